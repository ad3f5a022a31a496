// AcqEdiInv: EDIFACT invoices turned into statements.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqEdiInv)
