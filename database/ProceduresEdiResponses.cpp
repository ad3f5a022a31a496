// Stored procedures of order responses read from EDIFACT messages.
#include "database/ProcedureKit.h"

namespace dbproc {

void RegisterEdiResponsesProcedures() {}

}  // namespace dbproc
