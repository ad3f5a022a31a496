// Stored procedures: the year-end moves (transfer of unspent, reassignment).
#include "database/ProcedureKit.h"

namespace dbproc {

void RegisterYearEndProcedures() {}

}  // namespace dbproc
