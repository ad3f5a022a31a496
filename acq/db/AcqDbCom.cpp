// AcqDbCom: Database queries shared by budgets and statements.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqDbCom)
