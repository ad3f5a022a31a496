// AcqBisac: BISAC order files.
// (Stub until it is built.)
#include "acq/edi/AcqBisac.h"

#include "acq/AcqUnit.h"

namespace acq::AcqBisac {

void BisacOrdersCommand(HWND) {}

}  // namespace acq::AcqBisac

ACQ_UNIT_EMPTY(AcqBisac)
