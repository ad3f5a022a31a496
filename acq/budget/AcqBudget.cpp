// AcqBudget: Budget confirmations: asking the user about limit findings.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqBudget)
