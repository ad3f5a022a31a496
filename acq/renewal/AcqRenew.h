// AcqRenew: renewal of standing orders and subscriptions from their PO
// lines: the options and renew-to editors, the candidate lister, the new
// lines with next period's items, prices and budgets, and setting renewal
// on orders that do not renew yet.
#pragma once

namespace acq::AcqRenew {

// The renewal candidates (162; poRenew asked by the caller): the options
// editor first, then the candidates found.
void OpenRenewalCandidates();
// Set renewal on orders (163; poSetRw asked by the caller).
void OpenSetRenewalOrders();

void Initialize();
void Terminate();

}  // namespace acq::AcqRenew
