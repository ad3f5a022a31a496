// AcqPoAct: The PO activity editor: approve, receive, invoice, cancel and the rest.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqPoAct)
