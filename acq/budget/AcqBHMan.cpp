// AcqBHMan: the budget hierarchy manager. Its window is not part of this
// build, so there is never anything to save or to ask about.
#include "acq/budget/AcqBHMan.h"

#include "acq/AcqUnit.h"

namespace acq::AcqBHMan {

bool MayClose() { return true; }
bool IsManagerWindow(HWND /*hwnd*/) { return false; }
void Save() {}

}  // namespace acq::AcqBHMan

ACQ_UNIT_EMPTY(AcqBHMan)
