// Stored procedures: the report windows.
#include "database/ProcedureKit.h"

namespace dbproc {

void RegisterReportsProcedures() {}

}  // namespace dbproc
