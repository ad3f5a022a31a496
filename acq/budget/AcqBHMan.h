// AcqBHMan: the budget hierarchy manager.
#pragma once

namespace acq::AcqBHMan {

// Whether the manager may close with the module; asks the user about unsaved
// changes when it has any. True when the manager is not open.
bool MayClose();

}  // namespace acq::AcqBHMan
