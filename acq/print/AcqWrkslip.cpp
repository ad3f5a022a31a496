// AcqWrkslip: Workslips for received items.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqWrkslip)
