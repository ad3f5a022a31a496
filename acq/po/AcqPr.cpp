// AcqPr: purchase requests.
#include "acq/po/AcqPr.h"

#include "acq/AcqUnit.h"
#include "acq/frame/AcqGlobal.h"

namespace acq::AcqPr {

void OpenRequests() { AcqGlobal::ShowComingSoon("Purchase Requests"); }
void FindRequests() { AcqGlobal::ShowComingSoon("Find Purchase Requests"); }

void Initialize() {}
void Terminate() {}

}  // namespace acq::AcqPr

ACQ_UNIT_BODY(AcqPr)
