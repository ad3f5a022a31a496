// AcqPayables: outstanding payables, cheque runs and cheque updates.
#pragma once

namespace acq::AcqPayables {

void OpenOutstandingPayables();   // command 310
void OpenChequeRuns();            // command 320: reprint a run's reports
void OpenChequeUpdates();         // command 330: reconcile or void cheques

}  // namespace acq::AcqPayables
