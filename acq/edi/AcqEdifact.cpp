// AcqEdifact: EDIFACT element extraction, party codes and exceptions.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqEdifact)
