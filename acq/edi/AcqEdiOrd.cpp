// AcqEdiOrd: EDIFACT ORDERS interchanges.
// (Stub until it is built.)
#include "acq/edi/AcqEdiOrd.h"

#include "acq/AcqUnit.h"

namespace acq::AcqEdiOrd {

void EdifactOrdersCommand(HWND) {}

}  // namespace acq::AcqEdiOrd

ACQ_UNIT_EMPTY(AcqEdiOrd)
