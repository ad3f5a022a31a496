// Stored procedures: the catalogue side of items and copies.
#include "database/ProcedureKit.h"

namespace dbproc {

void RegisterCatalogueProcedures() {}

}  // namespace dbproc
