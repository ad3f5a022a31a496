#include "database/ProcedureKit.h"

namespace dbproc {

void RegisterPrintProcedures() {}

}  // namespace dbproc
