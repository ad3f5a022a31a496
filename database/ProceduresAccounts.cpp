// Stored procedures: accounts and budgets, and the creation of next year's allocations.
#include "database/ProcedureKit.h"

namespace dbproc {

void RegisterAccountsProcedures() {}

}  // namespace dbproc
