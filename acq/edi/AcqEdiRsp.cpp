// AcqEdiRsp: EDIFACT order responses. The message list (dialog 76) reads
// the selected messages into response lines; the line list (dialog 77)
// applies them to their PO lines. The reading and the applying are
// AcqDbEdiRsp's; this unit holds the two windows and what their buttons do.
//
// Each list is open at most once; opening it again brings it forward.
#include "acq/edi/AcqEdiRsp.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/edi/AcqDbEdiRsp.h"
#include "acq/frame/AcqBase.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/sys/Bucket.h"
#include "host/sys/LbStr.h"

namespace acq::AcqEdiRsp {
namespace {

namespace db = AcqDbEdiRsp;

constexpr int kMsgReviewExceptions = 317;
constexpr int kMsgSelectMessages = 1740;
constexpr int kMsgSelectLines = 1741;
constexpr int kMsgAlreadyTaken = 1743;
constexpr size_t kLocationChars = 10;

constexpr UINT kCmdProcessMessages = 7601, kCmdDetails = 7602, kCmdSelectAllMessages = 7603;
constexpr UINT kCmdProcessLines = 7701, kCmdRemove = 7702, kCmdCancelOrder = 7703,
               kCmdSelectAllLines = 7704;

constexpr const char* kMessagesView = "acq_ordrsp_messages";
constexpr const char* kLinesView = "acq_ordrsp_lines";
constexpr const char* kEnvir = "ordrsp";

struct ListWindow {
  HLISTER lister = nullptr;
  HWND hwnd = nullptr;
  std::string view;
};
ListWindow messageList, lineList;

void Tell(int id) {
  MucTools_MsgBoxCap(PwMucBase_hwndClient, AcqBase::LoadStr(id), MB_OK | MB_ICONINFORMATION);
}

// An exception of the reading or applying, in a box under the caption of
// the order-response messages.
void ShowException(std::string_view text) {
  std::string caption = AcqBase::LoadStr(db::kMsgNotOrderResponse);
  caption.resize(std::min(caption.size(), caption.find('|')));
  MucTools_MsgBoxCap(PwMucBase_hwndClient, caption + "|" + std::string(text),
                     MB_OK | MB_ICONWARNING);
}

void Reload(const ListWindow& w) {
  if (w.lister != nullptr) (void)MrLister_MrListerBegin(w.lister, MucTools_BuildSizeKey(w.view));
}

// The integer columns `cols` of each selected row, in list order.
std::vector<std::vector<int32_t>> Selected(const ListWindow& w,
                                           const std::vector<std::string_view>& cols) {
  std::vector<std::vector<int32_t>> out;
  if (w.lister == nullptr) return out;
  BktHandle rows = MrLister_Rows(w.lister);
  std::vector<int> nums;
  for (std::string_view c : cols) nums.push_back(_BktGetColNum(rows, c));
  for (int row : MrLister_Selection(w.lister)) {
    std::vector<int32_t> values;
    for (int n : nums) values.push_back(n == 0 ? 0 : _ColGetInt(rows, row, n));
    out.push_back(std::move(values));
  }
  return out;
}

// Selects every row, or none when every row already is.
void ToggleSelectAll(const ListWindow& w) {
  if (w.lister == nullptr) return;
  const int count = MrLister_FetchRows(w.lister, MrLister_RowCount(w.lister));
  std::vector<int> all;
  for (int row = 1; row <= count; ++row) all.push_back(row);
  MrLister_SetSelection(w.lister,
                        MrLister_Selection(w.lister).size() == all.size() ? std::vector<int>{}
                                                                          : all);
}

LRESULT ListDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

bool OpenList(ListWindow& w, const char* view, const std::string& where) {
  if (w.hwnd != nullptr) {
    MucTools_SetCurrKtView(w.hwnd);
    Reload(w);
    return true;
  }
  MucTools_HourGlass(true);
  HENVIR envir = MrProc_NewEnvir(AcqDbGlobal::Session(), kEnvir);
  HLISTER lister =
      MrLister_MrListerUserInst(envir, view, &ListDlgProc, PwMucBase_hwndClient, where, "");
  bool ok = lister != nullptr;
  if (!ok) {
    MrProc_FreeEnvir(&envir);
  } else {
    w = ListWindow{lister, MrLister_Hwnd(lister), view};
    if (!MrLister_MrListerBegin(lister, MucTools_BuildSizeKey(view))) {
      DestroyWindow(w.hwnd);
      ok = false;
    }
  }
  MucTools_HourGlass(false);
  return ok;
}

// Reads the selected messages into lines; the keys of those read.
std::vector<db::MessageKey> ReadSelectedMessages() {
  std::vector<db::MessageKey> read;
  const auto keys = Selected(messageList, {"edifact#", "message#"});
  if (keys.empty()) {
    Tell(kMsgSelectMessages);
    return read;
  }
  int warnings = 0;
  bool taken = false;
  MucTools_HourGlass(true);
  for (const auto& k : keys) {
    const db::MessageKey key{k[0], k[1]};
    switch (db::ReadMessage(key, &ShowException, warnings)) {
      case db::ReadResult::Read: read.push_back(key); break;
      case db::ReadResult::Taken: taken = true; break;
      case db::ReadResult::Failed:
      case db::ReadResult::DbError: break;
    }
  }
  MucTools_HourGlass(false);
  if (taken) Tell(kMsgAlreadyTaken);
  if (warnings > 0) Tell(kMsgReviewExceptions);
  return read;
}

// Applies `lines` one by one (each its own transaction); true when some
// other workstation had taken any of them.
bool ApplyLines(const std::vector<db::LineKey>& lines, db::ApplyMode mode) {
  bool gone = false;
  MucTools_HourGlass(true);
  for (const db::LineKey& line : lines)
    gone |= db::ApplyLine(line, mode, &ShowException) == db::ApplyResult::Gone;
  MucTools_HourGlass(false);
  return gone;
}

void ProcessMessages() {
  const std::vector<db::MessageKey> read = ReadSelectedMessages();
  std::vector<db::LineKey> lines;
  for (const db::MessageKey& m : read) {
    std::vector<db::LineKey> ofMessage;
    if (!db::LinesOfMessage(m, ofMessage)) break;
    lines.insert(lines.end(), ofMessage.begin(), ofMessage.end());
  }
  if (ApplyLines(lines, db::ApplyMode::Process)) Tell(kMsgAlreadyTaken);
  if (lineList.hwnd != nullptr) DestroyWindow(lineList.hwnd);
  Reload(messageList);
}

void MessageDetails() {
  if (Selected(messageList, {"edifact#"}).empty()) return Tell(kMsgSelectMessages);
  (void)ReadSelectedMessages();
  Reload(messageList);
  (void)OpenList(lineList, kLinesView, "");
}

void ApplySelectedLines(db::ApplyMode mode) {
  std::vector<db::LineKey> lines;
  for (const auto& k : Selected(lineList, {"edifact#", "message#", "segment#"}))
    lines.push_back({k[0], k[1], k[2]});
  if (lines.empty()) return Tell(kMsgSelectLines);
  if (ApplyLines(lines, mode)) Tell(kMsgAlreadyTaken);
  Reload(lineList);
  Reload(messageList);
}

LRESULT ListDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      MucTools_ReplaceSysMenu(hwnd);
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED && HIWORD(wParam) != ACCEL_COMMAND) break;
      if (hwnd == messageList.hwnd) {
        switch (LOWORD(wParam)) {
          case kCmdProcessMessages: ProcessMessages(); return TRUE;
          case kCmdDetails: MessageDetails(); return TRUE;
          case kCmdSelectAllMessages: ToggleSelectAll(messageList); return TRUE;
          default: break;
        }
      } else if (hwnd == lineList.hwnd) {
        switch (LOWORD(wParam)) {
          case kCmdProcessLines: ApplySelectedLines(db::ApplyMode::Process); return TRUE;
          case kCmdRemove: ApplySelectedLines(db::ApplyMode::Remove); return TRUE;
          case kCmdCancelOrder: ApplySelectedLines(db::ApplyMode::CancelOrder); return TRUE;
          case kCmdSelectAllLines: ToggleSelectAll(lineList); return TRUE;
          default: break;
        }
      }
      break;
    case WM_DESTROY:
      for (ListWindow* w : {&messageList, &lineList})
        if (w->hwnd == hwnd) *w = ListWindow{};
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

}  // namespace

void OrderResponsesCommand(HWND) {
  std::string where;
  // A site whose locations trade separately sees its own location's messages.
  if (AcqDbGlobal::Globals().params.multi_location_edi != 0)
    where = "location = '" + Lb_CutChars(DbGlobal_globRec.location, kLocationChars) + "'";
  (void)OpenList(messageList, kMessagesView, where);
}

void Initialize() { messageList = lineList = ListWindow{}; }

void Terminate() { messageList = lineList = ListWindow{}; }

}  // namespace acq::AcqEdiRsp

ACQ_UNIT_BODY(AcqEdiRsp)
