// Stored procedures of payables and cheque runs.
#include "database/ProcedureKit.h"

namespace dbproc {

void RegisterPayablesProcedures() {}

}  // namespace dbproc
