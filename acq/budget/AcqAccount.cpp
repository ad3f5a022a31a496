// AcqAccount: Account years and the fiscal-year operations.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqAccount)
