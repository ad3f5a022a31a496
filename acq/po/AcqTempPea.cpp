// AcqTempPea: Line-item budget amounts, budget split and exchange rates.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqTempPea)
