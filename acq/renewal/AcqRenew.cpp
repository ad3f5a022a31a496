// AcqRenew: renewal of standing orders and subscriptions.
#include "acq/renewal/AcqRenew.h"

#include "acq/AcqUnit.h"
#include "acq/frame/AcqGlobal.h"

namespace acq::AcqRenew {

void OpenRenewalCandidates() { AcqGlobal::ShowComingSoon("Renewal Candidates"); }
void OpenSetRenewalOrders() { AcqGlobal::ShowComingSoon("Set Renewal Orders"); }

void Initialize() {}
void Terminate() {}

}  // namespace acq::AcqRenew

ACQ_UNIT_BODY(AcqRenew)
