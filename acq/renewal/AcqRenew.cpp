// AcqRenew: Subscription and standing-order renewals.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqRenew)
