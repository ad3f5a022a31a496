// AcqDbStat: PO line counts and the usage-statistics events of PO activities.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqDbStat)
