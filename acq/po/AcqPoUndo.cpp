// AcqPoUndo: taking activities back (the windows' side). The person
// confirms once; each line is then undone or refused on its own, the
// refused lines are named together by reason, and every PO window showing
// a line that changed follows.
#include "acq/po/AcqPoUndo.h"

#include <map>
#include <set>
#include <string>

#include "acq/db/AcqDbGen.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqFind.h"
#include "acq/frame/AcqList.h"
#include "acq/po/AcqDbUndo.h"
#include "acq/po/AcqPo.h"
#include "acq/po/AcqPoParts.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"

namespace acq::AcqPoUndo {
namespace {

using AcqDbUndo::Outcome;
using AcqDbUndo::UndoActivity;

constexpr int kMsgAskUndoActivity = 58;
constexpr int kMsgAskUndoOrder = 210;
constexpr int kMsgLinesPrefix = 245;
constexpr int kMsgSelectLines = 1801;
constexpr int kMsgSelectPos = 1802;

// The part of message `id` before the bar: a box's caption, or the whole
// of a plain string ("text|").
std::string CaptionOf(int id) {
  const std::string full = AcqBase::LoadStr(id);
  const size_t bar = full.find('|');
  return bar == std::string::npos ? std::string() : full.substr(0, bar);
}

void Show(int id, std::string_view a1 = {}) {
  MucTools_MsgBoxCap(PwMucBase_hwndClient, Lb_FormatMessage(AcqBase::LoadStr(id), a1),
                     MB_OK | MB_ICONWARNING);
}

// The refused lines, by the message that refused them, in one box each:
// "Line(s) 2, 5 " before the refusal's text.
void ShowRefusals(const std::map<int, std::vector<std::string>>& refused) {
  for (const auto& [message, lines] : refused) {
    std::string list;
    for (const std::string& l : lines) list += (list.empty() ? "" : ", ") + l;
    const std::string prefix = Lb_FormatMessage(CaptionOf(kMsgLinesPrefix), list);
    MucTools_MsgBoxCap(PwMucBase_hwndClient,
                       CaptionOf(message) + "|" + prefix + AcqBase::LoadStrText(message),
                       MB_OK | MB_ICONWARNING);
  }
}

UndoActivity ActivityOf(UndoKind kind) {
  switch (kind) {
    case UndoKind::Approve: return UndoActivity::Approve;
    case UndoKind::Receive: return UndoActivity::Receive;
    case UndoKind::Cancel: return UndoActivity::Cancel;
    case UndoKind::DiscontinueOrRenew: break;
  }
  return UndoActivity::Renew;
}

// The selected POs of a PO find window or a list of POs, each once.
std::vector<std::pair<int32_t, std::string>> SelectedPos(HWND hwnd) {
  auto pos = AcqFind::SelectedPos(hwnd);
  if (pos.empty()) pos = AcqList::SelectedPos(hwnd);
  return pos;
}

}  // namespace

void UndoLines(UndoKind kind, const std::vector<std::pair<int32_t, int16_t>>& lines) {
  if (lines.empty()) {
    Show(kMsgSelectLines);
    return;
  }
  if (!MucTools_MsgBoxCapYNbool(PwMucBase_hwndClient, AcqBase::LoadStr(kMsgAskUndoActivity)))
    return;
  std::map<int, std::vector<std::string>> refused;
  std::set<std::pair<int32_t, int16_t>> changed;
  std::set<int32_t> pos;
  for (const auto& l : lines) pos.insert(l.first);
  const bool severalPos = pos.size() > 1;   // then lines are named "PO/line"
  for (const auto& [po, line] : lines) {
    UndoActivity activity = ActivityOf(kind);
    if (kind == UndoKind::DiscontinueOrRenew && !AcqDbUndo::DiscontinueOrRenew(po, line, activity))
      break;   // the database failed: shown already
    const AcqDbUndo::Result r = AcqDbUndo::UndoLine(activity, po, line);
    if (r.outcome == Outcome::Failed) break;
    if (r.outcome == Outcome::Refused) {
      std::string name = std::to_string(line);
      if (severalPos) {
        DbMsg msg;
        std::string number;
        if (AcqDbGen::GetPoNumber(msg, po, number)) name = number + "/" + name;
      }
      refused[r.message].push_back(name);
      continue;
    }
    changed.insert({po, line});
    if (r.oldPo != 0) changed.insert({r.oldPo, r.oldLine});
  }
  for (const auto& [po, line] : changed) AcqPo::parts::LineChanged(po, line);
  ShowRefusals(refused);
}

void UndoOrders(HWND listWindow) {
  const auto pos = SelectedPos(listWindow);
  if (pos.empty()) {
    if (AcqFind::IsFindWindow(listWindow) || AcqList::IsListWindow(listWindow))
      Show(kMsgSelectPos);
    return;
  }
  if (!MucTools_MsgBoxCapYNbool(PwMucBase_hwndClient, AcqBase::LoadStr(kMsgAskUndoOrder)))
    return;
  for (const auto& [po, shownNumber] : pos) {
    const AcqDbUndo::Result r = AcqDbUndo::UndoOrder(po);
    if (r.outcome == Outcome::Failed) break;
    if (r.outcome == Outcome::Refused) {
      DbMsg msg;
      std::string number = shownNumber;
      (void)AcqDbGen::GetPoNumber(msg, po, number);
      Show(r.message, number);
      continue;
    }
    AcqPo::ReloadPo(po);
  }
}

}  // namespace acq::AcqPoUndo
