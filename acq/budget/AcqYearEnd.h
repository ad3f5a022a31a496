// AcqYearEnd: the year-end moves of money between budgets: transferring
// the unspent part of one year's budgets to another year's, and
// reassigning on-order and spent attachments from one budget to another.
#pragma once

namespace acq::AcqYearEnd {

// Each opens its options, then its lister with its action button; the
// privilege (reasBud, tranUns) has been asked.
void OpenReassign();
void OpenTransferUnspent();

}  // namespace acq::AcqYearEnd
