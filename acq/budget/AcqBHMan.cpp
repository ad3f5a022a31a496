// AcqBHMan: the budget hierarchy manager. Until its window exists there is
// nothing unsaved to ask about.
#include "acq/budget/AcqBHMan.h"

#include "acq/AcqUnit.h"

namespace acq::AcqBHMan {

bool MayClose() { return true; }

}  // namespace acq::AcqBHMan

ACQ_UNIT_EMPTY(AcqBHMan)
