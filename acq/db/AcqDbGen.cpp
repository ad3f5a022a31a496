// AcqDbGen: The query library: one routine per stored procedure, single-value statement and routine table load.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqDbGen)
