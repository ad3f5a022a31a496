// AcqProrate: The extra-charge proration window.
#include "acq/statement/AcqProrate.h"

#include "acq/AcqUnit.h"

namespace acq::AcqProrate {

void Prorate(HWND) {}
void UndoProration(HWND) {}
void ListLineCharges(HWND) {}

}  // namespace acq::AcqProrate

ACQ_UNIT_EMPTY(AcqProrate)
