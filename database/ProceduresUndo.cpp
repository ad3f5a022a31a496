// Stored procedures: undo_order.
#include "database/ProcedureKit.h"

namespace dbproc {

void RegisterUndoProcedures() {}

}  // namespace dbproc
