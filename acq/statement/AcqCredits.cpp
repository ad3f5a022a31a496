// AcqCredits: Credits applied to invoices.
#include "acq/statement/AcqCredits.h"

#include "acq/AcqUnit.h"

namespace acq::AcqCredits {

void OpenCredits(HWND) {}

}  // namespace acq::AcqCredits

ACQ_UNIT_EMPTY(AcqCredits)
