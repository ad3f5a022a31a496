// AcqEdiInv: EDIFACT invoices turned into statements.
// (Stub until it is built.)
#include "acq/edi/AcqEdiInv.h"

#include "acq/AcqUnit.h"

namespace acq::AcqEdiInv {

void InvoicesCommand(HWND) {}

}  // namespace acq::AcqEdiInv

ACQ_UNIT_EMPTY(AcqEdiInv)
