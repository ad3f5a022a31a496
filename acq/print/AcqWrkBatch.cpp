// AcqWrkBatch: Workslip batches kept per workstation.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqWrkBatch)
