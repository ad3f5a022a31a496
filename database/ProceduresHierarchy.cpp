// Stored procedures: budget hierarchies and their report.
#include "database/ProcedureKit.h"

namespace dbproc {

void RegisterHierarchyProcedures() {}

}  // namespace dbproc
