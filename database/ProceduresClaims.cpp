#include "database/ProcedureKit.h"

namespace dbproc {

void RegisterClaimProcedures() {}

}  // namespace dbproc
