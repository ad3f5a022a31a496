// AcqEdiRsp: EDIFACT order responses applied to PO line items.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqEdiRsp)
