// AcqFundCtrl: fund control — budget and contract limit checks. For now it
// owns the budget-restriction rows read at start-up.
#pragma once

#include "host/sys/Bucket.h"

namespace acq::AcqFundCtrl {

// The rows of account_user_restricted, loaded by the start-up load; owned
// here from that load until DestroyRestrictionBkt (start-up's counterpart).
BktHandle& RestrictionBkt();
void DestroyRestrictionBkt();

void Initialize();
void Terminate();

}  // namespace acq::AcqFundCtrl
