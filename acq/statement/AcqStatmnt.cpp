// AcqStatmnt: Vendor statements: entry, balance and approval.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqStatmnt)
