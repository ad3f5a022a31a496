// AcqVoucher: Vouchers: listing, printing and voiding.
// Nothing to set up at start-up yet.
#include "acq/AcqUnit.h"

ACQ_UNIT_EMPTY(AcqVoucher)
