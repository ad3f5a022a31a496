// Stored procedures of extra-charge proration.
#include "database/ProcedureKit.h"

namespace dbproc {

void RegisterProrationProcedures() {}

}  // namespace dbproc
