// AcqSent: Extra-charge entry fields of the statement editors.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqSent)
