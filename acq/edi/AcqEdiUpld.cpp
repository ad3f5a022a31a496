// AcqEdiUpld: Upload of EDIFACT interchange files on the import thread.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqEdiUpld)
