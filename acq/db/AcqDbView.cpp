// AcqDbView: Lister column definitions (lister_column).
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqDbView)
