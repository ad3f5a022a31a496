// AcqPo: the PO header and line editors. The PO window is not part of this
// build: opening a PO says so.
#include "acq/po/AcqPo.h"

#include "acq/AcqUnit.h"
#include "acq/frame/AcqGlobal.h"

namespace acq::AcqPo {

void OpenPo(int32_t /*po*/, const std::string& number) { AcqGlobal::ShowComingSoon("PO " + number); }

}  // namespace acq::AcqPo

ACQ_UNIT_EMPTY(AcqPo)
