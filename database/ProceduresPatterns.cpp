// Stored procedures: patterns, templates and purchase requests.
#include "database/ProcedureKit.h"

namespace dbproc {

void RegisterPatternsProcedures() {}

}  // namespace dbproc
