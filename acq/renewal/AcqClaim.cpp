// AcqClaim: Claim dates and the claims review.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqClaim)
