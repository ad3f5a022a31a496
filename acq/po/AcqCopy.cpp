// AcqCopy: Item and copy creation for ordered lines.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqCopy)
