// AcqDbErrCom: PO line database routines: loading and saving lines, items and their budgets.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqDbErrCom)
