// AcqDbStmnt: The database side of vendor statements.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqDbStmnt)
