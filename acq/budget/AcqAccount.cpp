// AcqAccount: accounts and their budgets.
#include "acq/budget/AcqAccount.h"

#include "acq/AcqUnit.h"
#include "acq/frame/AcqGlobal.h"

namespace acq::AcqAccount {

void OpenAccounts(int /*command*/) { AcqGlobal::ShowComingSoon("Accounts"); }
void OpenAccountYears() { AcqGlobal::ShowComingSoon("Account Years"); }

}  // namespace acq::AcqAccount

ACQ_UNIT_EMPTY(AcqAccount)
