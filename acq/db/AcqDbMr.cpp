// AcqDbMr: Line-item budget reads for the lister/editor framework.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqDbMr)
