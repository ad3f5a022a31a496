// AcqDbProrate: The database side of extra-charge proration.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqDbProrate)
