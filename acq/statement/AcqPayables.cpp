// AcqPayables: Outstanding payables and cheque runs.
#include "acq/statement/AcqPayables.h"

#include "acq/AcqUnit.h"

namespace acq::AcqPayables {

void OpenOutstandingPayables() {}
void OpenChequeRuns() {}
void OpenChequeUpdates() {}

}  // namespace acq::AcqPayables

ACQ_UNIT_EMPTY(AcqPayables)
