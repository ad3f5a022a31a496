// AcqYearEnd: transfer of unspent money and reassignment of attachments.
#include "acq/budget/AcqYearEnd.h"

#include "acq/frame/AcqGlobal.h"

namespace acq::AcqYearEnd {

void OpenReassign() { AcqGlobal::ShowComingSoon("Reassign Budget"); }
void OpenTransferUnspent() { AcqGlobal::ShowComingSoon("Transfer Unspent"); }

}  // namespace acq::AcqYearEnd
