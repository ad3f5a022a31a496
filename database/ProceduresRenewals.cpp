// Stored procedures: get_renewal_price and the renewal lists.
#include "database/ProcedureKit.h"

namespace dbproc {

void RegisterRenewalsProcedures() {}

}  // namespace dbproc
