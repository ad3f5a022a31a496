// AcqProrate: The extra-charge proration window.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqProrate)
