// The library entry: what the operating-system loader calls when it loads
// and unloads the module. Loading runs the unit bodies in the fixed start-up
// order and asks the host whether it accepts this module version; unloading
// runs the termination chain, which ends the units in reverse order.
#include <cstdint>

#include "acq/AcqUnits.h"
#include "acq/frame/AcqBase.h"
#include "host/sys/RunTime.h"

namespace {

constexpr uint32_t kProcessDetach = 0;
constexpr uint32_t kProcessAttach = 1;

constexpr const char* kModuleId = "PWACQ";
constexpr const char* kModuleVersion = "7.5.127.77";

// The start-up order. Units that depend on others come after them, and the
// termination chain unwinds in exactly the reverse order.
using BodyProc = void (*)();
constexpr BodyProc kUnitBodies[] = {
    acq::AcqBase::Body,      acq::AcqDbExcept::Body,   acq::AcqDbGlobal::Body,
    acq::AcqDb::Body,        acq::AcqDbBase::Body,     acq::AcqFundCtrl::Body,
    acq::AcqDbErrCom::Body,  acq::AcqGlobal::Body,     acq::AcqDbCom::Body,
    acq::AcqDbStat::Body,    acq::AcqDbView::Body,     acq::AcqDbGen::Body,
    acq::AcqDbMr::Body,      acq::AcqDbSearch::Body,   acq::AcqSecurity::Body,
    acq::AcqAccount::Body,   acq::AcqManPrint::Body,   acq::AcqBHRpt::Body,
    acq::AcqBHMan::Body,     acq::AcqEdiPrn::Body,     acq::AcqBudget::Body,
    acq::AcqDbBudget::Body,  acq::AcqDbStmnt::Body,    acq::AcqBibDelete::Body,
    acq::AcqWrkOptions::Body, acq::AcqWrkslip::Body,   acq::AcqWrkBatch::Body,
    acq::AcqDbAct::Body,     acq::AcqPoAct::Body,      acq::AcqDbProrate::Body,
    acq::AcqProrate::Body,   acq::AcqStatmnt::Body,    acq::AcqFind::Body,
    acq::AcqPrint::Body,     acq::AcqVoucher::Body,    acq::AcqPo::Body,
    acq::AcqBisac::Body,     acq::AcqNumWords::Body,   acq::AcqPayables::Body,
    acq::AcqClaim::Body,     acq::AcqCopy::Body,       acq::AcqCredits::Body,
    acq::AcqDbPrereq::Body,  acq::AcqEdiOrd::Body,     acq::AcqEdifact::Body,
    acq::AcqEdiInv::Body,    acq::AcqTempPea::Body,    acq::AcqEdiRsp::Body,
    acq::AcqEdiUpld::Body,   acq::AcqList::Body,       acq::AcqParam::Body,
    acq::AcqPoApp::Body,     acq::AcqPPrint::Body,     acq::AcqPr::Body,
    acq::AcqRenew::Body,     acq::AcqReport::Body,     acq::AcqSent::Body,
    acq::AcqStApp::Body,     acq::AcqMain::Body,
};
static_assert(std::size(kUnitBodies) == 59, "the module has fifty-nine units");

}  // namespace

extern "C" __attribute__((visibility("default"))) int32_t DllEntryPoint(
    HINSTANCE instance, uint32_t reason, void* /*reserved*/) {
  switch (reason) {
    case kProcessAttach:
      acq::AcqBase::SetInstance(instance);
      Lib_ResetTermChain();
      for (BodyProc body : kUnitBodies) body();
      return Lib_Compatible(kModuleId, kModuleVersion) ? 1 : 0;
    case kProcessDetach:
      Lib_RunTermChain();
      return 1;
    default:  // thread attach and detach
      return 1;
  }
}
