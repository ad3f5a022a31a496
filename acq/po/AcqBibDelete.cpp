// AcqBibDelete: deleting the bibliographic records that orders created.
// A line is offered when what the catalogue holds for it is still only
// what the order made (items "r" or "n", acquisitions' own copies on order
// or received) and no other open line uses its record; each offered line
// is asked about by its title and removed in a transaction of its own.
#include "acq/po/AcqBibDelete.h"

#include <string>

#include "acq/AcqUnit.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqSecurity.h"
#include "acq/po/AcqCopy.h"
#include "acq/po/AcqDbCopy.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"

namespace acq::AcqBibDelete {
namespace {

constexpr int kMsgConfirmAll = 258;
constexpr int kMsgConfirmLine = 1822;   // title
constexpr int kMsgNothingEligible = 1830;

}  // namespace

void DeleteBibs(const std::vector<std::pair<int32_t, int16_t>>& lines) {
  if (lines.empty() || !AcqSecurity::CheckPrivilege(AcqSecurity::poDelBi)) return;
  if (!MucTools_MsgBoxCapYNbool(PwMucBase_hwndClient, AcqBase::LoadStr(kMsgConfirmAll))) return;
  bool offered = false;
  for (const auto& [po, line] : lines) {
    bool deletable = false;
    if (!AcqDbCopy::LineBibDeletable(po, line, deletable)) break;   // shown
    if (!deletable) continue;
    AcqDbCopy::Line l;
    if (!AcqDbCopy::LoadLine(po, line, l)) break;
    offered = true;
    if (!MucTools_MsgBoxCapYNbool(PwMucBase_hwndClient,
                                  Lb_FormatMessage(AcqBase::LoadStr(kMsgConfirmLine), l.title)))
      continue;
    bool removed = false;
    if (!AcqDbCopy::RemoveLineBib(po, line, removed)) break;   // shown; nothing removed
  }
  if (!offered)
    MucTools_MsgBoxCap(PwMucBase_hwndClient, AcqBase::LoadStr(kMsgNothingEligible),
                       MB_OK | MB_ICONINFORMATION);
  AcqCopy::ReloadPoWindows(lines);
}

void Initialize() {}
void Terminate() {}

}  // namespace acq::AcqBibDelete

ACQ_UNIT_BODY(AcqBibDelete)
