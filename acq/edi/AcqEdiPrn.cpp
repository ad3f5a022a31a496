// AcqEdiPrn: The EDIFACT dialog that shows amounts.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqEdiPrn)
