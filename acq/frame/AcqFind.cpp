// AcqFind: The find windows for POs, PO lines and statements.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqFind)
