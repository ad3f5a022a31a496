// AcqDbBudget: Budget transactions: moving on-order and spent money, the budget ledger.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqDbBudget)
