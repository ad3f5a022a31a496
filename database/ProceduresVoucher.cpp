// Stored procedures of vouchers.
#include "database/ProcedureKit.h"

namespace dbproc {

void RegisterVoucherProcedures() {}

}  // namespace dbproc
