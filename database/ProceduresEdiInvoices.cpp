// Stored procedures of statements made from EDIFACT invoices.
#include "database/ProcedureKit.h"

namespace dbproc {

void RegisterEdiInvoicesProcedures() {}

}  // namespace dbproc
