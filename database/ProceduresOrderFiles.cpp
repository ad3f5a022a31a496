// Stored procedures of orders sent as files.
#include "database/ProcedureKit.h"

namespace dbproc {

void RegisterOrderFilesProcedures() {}

}  // namespace dbproc
