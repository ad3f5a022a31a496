// Stored procedures of statement approval.
#include "database/ProcedureKit.h"

namespace dbproc {

void RegisterApprovalProcedures() {}

}  // namespace dbproc
