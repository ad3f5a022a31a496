// AcqBibDelete: Removing bibliographic records together with a PO.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqBibDelete)
