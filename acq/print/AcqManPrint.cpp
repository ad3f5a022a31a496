// AcqManPrint: Printing routines of the management windows.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqManPrint)
