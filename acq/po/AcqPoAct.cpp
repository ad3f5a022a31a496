// AcqPoAct: the activity window over one PO line.
//
// The window is an editor of the framework whose record is the line with
// empty entry columns (view po_activity_entry); its save handler does the
// work: it reads the pending items again (another workstation may have
// acted since the window opened), checks what was typed, shows the
// borrower requests of the items before a receive or invoice, and runs the
// activity on the pending items cut to the quantity. Nothing of the record
// itself is ever written.
#include "acq/po/AcqPoAct.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqGlobal.h"
#include "acq/frame/AcqMain.h"
#include "acq/frame/AcqSecurity.h"
#include "acq/po/AcqPoApp.h"
#include "acq/print/AcqPrint.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"

namespace acq::AcqPoAct {
namespace {

using AcqDb::ClearChanges;
using AcqDbAct::Activity;
using AcqSecurity::AcqPrivilege;

constexpr int kMsgQuantity = 55;          // %1 the number pending
constexpr int kMsgPickCount = 56;
constexpr int kMsgPoNotApproved = 346;    // %1 the PO number
constexpr int kMsgLineNotApproved = 347;  // %1 the line
constexpr int kMsgAmountNotNumber = 1250;
constexpr int kMsgAmountDecimals = 1251;
constexpr int kMsgAmountMissing = 1252;
constexpr int kMsgStatementMissing = 1253;
constexpr int kMsgStatementUnknown = 1254;
constexpr int kMsgCaption = 1255;         // kind, PO number, line, pending
constexpr int kMsgCaptionInTurn = 1256;   // caption, n, of m
constexpr int kMsgDistributeValues = 1259;
constexpr int kMsgPoGone = 1261;          // %1 the po#
constexpr int kMsgUnknownCode = 1216;     // %1 the code, %2 what it is
constexpr int kMsgStatementApproved = 295;
constexpr int kMsgAmountTooLarge = 1305;  // %1 the amount

// The requests dialog: the items' borrower requests before the activity.
constexpr int kRequestsDialog = 36;
constexpr int kRequestsList = 1000;
constexpr int kRequestsIntro = 1001;
constexpr int kRequestsPrint = 1003;

constexpr int kMaxWhere = 255;
constexpr const char* kEnvir = "poact";
constexpr const char* kBadView = "AcqPoAct.ActivityEd: bad po or statement view";

// Entry columns of po_activity_entry.
constexpr const char* kQuantity = "entry_quantity";
constexpr const char* kAmount = "entry_amount";
constexpr const char* kStatementNumber = "statement_number";
constexpr const char* kNextClaimDate = "next_claim_date";
constexpr const char* kWorkslipNote = "workslip_note";

struct KindInfo {
  Activity kind;
  const char* view;      // editor definition; "" for none
  int nothingPending;    // "There is nothing to ... for PO %1 Line %2."
  AcqPrivilege privilege;
  int name;              // string: the activity's name for captions
};
const KindInfo kKinds[] = {
    {Activity::BackOrder, "po_activity_backorder", 52, AcqSecurity::poBOrd, 1271},
    {Activity::Cancel, "po_activity_cancel", 51, AcqSecurity::poCan, 1272},
    {Activity::Credit, "po_activity_credit", 54, AcqSecurity::stInv, 1273},
    {Activity::Discontinue, "po_activity_discontinue", 273, AcqSecurity::poRenew, 1274},
    {Activity::Invoice, "po_activity_invoice", 50, AcqSecurity::stInv, 1275},
    {Activity::Receive, "po_activity_receive", 49, AcqSecurity::poRec, 1276},
    {Activity::Refund, "po_activity_refund", 57, AcqSecurity::stInv, 1277},
    {Activity::SupInvoice, "po_activity_supinv", 53, AcqSecurity::stInv, 1279},
    {Activity::Approve, "", 259, AcqSecurity::poApprv, 1280},
    {Activity::Distribute, "po_activity_distribute", 1258, AcqSecurity::poEdit, 1281},
};

const KindInfo* Info(Activity kind) {
  for (const KindInfo& k : kKinds) {
    if (k.kind == kind) return &k;
  }
  return nullptr;
}

// Activities entered on a statement line: the window takes the statement
// and the amount.
bool OnStatement(Activity kind) { return AcqDbAct::StatementLineType(kind) >= 0; }

// Before these the person sees which of the items borrowers have asked for.
bool AlertsRequests(Activity kind) {
  return kind == Activity::Receive || kind == Activity::Invoice ||
         kind == Activity::ReceiveInvoice;
}

void Tell(HWND owner, int message, std::string_view a1 = {}, std::string_view a2 = {}) {
  MucTools_MsgBoxCap(owner, Lb_FormatMessage(AcqBase::LoadStr(message), a1, a2),
                     MB_OK | MB_ICONWARNING);
}

// The header of a PO as the windows name it.
struct PoInfo {
  std::string number;   // po_number, or po# when it has none
  int32_t vendor = 0;
};

// False when it cannot be read (the error shown).
bool LoadPoInfo(int32_t po, PoInfo& info) {
  BucketHold rows;
  DbMsg msg;
  if (DbCode code = AcqDb::LoadTable(msg, ClearChanges::Yes, "", "po#=" + std::to_string(po),
                                     "po_number,vendor#", "po", rows.get());
      code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  if (_BktCountAll(*rows) != 1) {
    Tell(PwMucBase_hwndClient, kMsgPoGone, std::to_string(po));
    return false;
  }
  info.number = _ColGetStringW(*rows, 1, 1);
  if (info.number.empty()) info.number = std::to_string(po);
  info.vendor = _ColGetInt(*rows, 1, 2);
  return true;
}

enum class Lines { Approved, NotApproved, Failed };

// Whether every item of the line is approved (the rule for every other
// activity). Failed: the error was shown.
Lines LineApproval(int32_t po, int16_t line) {
  BucketHold unapproved;
  if (!AcqDbAct::LoadPendingItems(Activity::Approve, po, line, 0, unapproved.get()))
    return Lines::Failed;
  return _BktCountAll(*unapproved) == 0 ? Lines::Approved : Lines::NotApproved;
}

// ---- the windows ---------------------------------------------------------------------

// A run of one activity over several lines, one window at a time.
struct Sequence {
  const KindInfo* kind = nullptr;
  std::vector<std::pair<int32_t, int16_t>> lines;
  size_t next = 0;   // index of the next line to open
  Refresh onDone;
};

// State record of one activity window, from MrEditor_Open to WM_DESTROY.
struct ActWindow {
  const KindInfo* kind = nullptr;
  int32_t po = 0;
  int16_t line = 0;
  PoInfo poInfo;
  Refresh onDone;
  HEDITOR editor = nullptr;
  HWND hwnd = nullptr;
  // Distribute: the pending items, shown as the window's child rows to
  // pick from. Owned here; the editor only shows them.
  BucketHold children;
  bool committed = false;   // the activity ran: close and refresh
  // Set once the window is fully open: only then does its closing open the
  // next window of its run (a window that failed to open is passed over by
  // OpenNextInTurn's own loop).
  bool ready = false;
  std::shared_ptr<Sequence> sequence;
};

// The open activity windows ("HWND", "DATA" = ActWindow*), Initialize to
// Terminate.
BktHandle windows = nullptr;
// Set only while OpenWindow creates a window, for its WM_INITDIALOG.
ActWindow* opening = nullptr;

ActWindow* Find(HWND hwnd) {
  return windows == nullptr ? nullptr
                            : static_cast<ActWindow*>(AcqGlobal::WindowListFind(windows, hwnd));
}

int ScalarSizeMinus1(BktHandle bkt, int col) {
  switch (_BktGetColType(bkt, col)) {
    case kColByte: return 0;
    case kColInt16: return 1;
    default: return 3;
  }
}

// The record's text of `column` ("" when NULL or absent).
std::string Text(BktHandle record, const char* column) {
  const int col = _BktGetColNum(record, column);
  if (col == 0 || _ColIsNull(record, 1, col)) return {};
  if (_BktGetColType(record, col) == kColText) return _ColGetStringW(record, 1, col);
  int64_t value = 0;
  _ColGetScalar(record, 1, col, value, ScalarSizeMinus1(record, col));
  return std::to_string(value);
}

std::string Trim(std::string_view text) {
  size_t first = 0;
  size_t last = text.size();
  while (first < last && std::isspace(static_cast<unsigned char>(text[first]))) ++first;
  while (last > first && std::isspace(static_cast<unsigned char>(text[last - 1]))) --last;
  return std::string(text.substr(first, last - first));
}

// Tells why the entry is refused and puts the focus on its field.
bool Refuse(const ActWindow& w, const char* field, int message, std::string_view a1 = {},
            std::string_view a2 = {}) {
  Tell(w.hwnd, message, a1, a2);
  MrEditor_FocusField(w.editor, field);
  return false;
}

// A whole number of items as typed: digits only (no sign, no decimals).
bool ParseCount(std::string_view typed, int& count) {
  const std::string text = Trim(typed);
  if (text.empty() || text.size() > 5) return false;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  count = value;
  return true;
}

// The statement the money is entered on: statement_number, a statement of
// the PO's vendor. False when refused (told, focus on the field).
bool ResolveStatement(const ActWindow& w, int32_t& statement) {
  const std::string number = Trim(Text(MrEditor_Record(w.editor), kStatementNumber));
  std::string vendorName;
  DbMsg msg;
  if (!AcqDbGen::GetVendorName(msg, w.poInfo.vendor, vendorName) || vendorName.empty())
    vendorName = std::to_string(w.poInfo.vendor);
  if (number.empty()) return Refuse(w, kStatementNumber, kMsgStatementMissing, vendorName);
  std::string where = "vendor#=" + std::to_string(w.poInfo.vendor) + " and statement_number=";
  if (_DbQuoteAppend(where, kMaxWhere, number) != kDbOk)
    return Refuse(w, kStatementNumber, kMsgStatementUnknown, vendorName, number);
  BucketHold rows;
  if (DbCode code = AcqDb::LoadTable(msg, ClearChanges::Yes, "statement#", where,
                                     "statement#,approve_date", "statement", rows.get());
      code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  if (_BktCountAll(*rows) == 0)
    return Refuse(w, kStatementNumber, kMsgStatementUnknown, vendorName, number);
  // An approved statement is closed to new lines and money until its
  // approval is undone (a voucher may already pay it).
  if (!_ColIsNull(*rows, 1, 2)) return Refuse(w, kStatementNumber, kMsgStatementApproved, number);
  statement = _ColGetInt(*rows, 1, 1);
  return true;
}

// Whether `code` is a row of `table` (its key column `column`); false when
// the database failed (shown).
bool CodeExists(const char* table, const char* column, std::string_view code, bool& exists) {
  std::string where = std::string(column) + "=";
  if (_DbQuoteAppend(where, kMaxWhere, code) != kDbOk) {
    exists = false;
    return true;
  }
  BucketHold rows;
  DbMsg msg;
  if (DbCode c = AcqDb::LoadTable(msg, ClearChanges::Yes, "", where, column, table, rows.get());
      c != kDbOk) {
    AcqDbExcept::HandleDbError(msg, c);
    return false;
  }
  exists = _BktCountAll(*rows) > 0;
  return true;
}

// Distribute: the location and collection given must be the library's.
// False when refused (told, focus on the field) or the database failed.
bool DistributeCodesKnown(const ActWindow& w, const AcqDbAct::ActivityEntry& entry) {
  const struct {
    const std::string& code;
    const char* column;
    const char* what;
  } codes[] = {{entry.location, "location", "location"},
               {entry.collection, "collection", "collection"}};
  for (const auto& c : codes) {
    bool exists = true;
    if (c.code.empty()) continue;
    if (!CodeExists(c.column, c.column, c.code, exists)) return false;
    if (!exists) return Refuse(w, c.column, kMsgUnknownCode, c.code, c.what);
  }
  return true;
}

// Whether `text` is written as an amount: a sign, digits (commas between
// them allowed) and at most one decimal point. Such a text that is no
// amount holds more than money can.
bool WrittenAsAmount(std::string_view text) {
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  bool digit = false;
  bool point = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (c == '.' && !point) {
      point = true;
    } else if (c != ',' || point) {
      return false;
    }
  }
  return digit;
}

// The amount typed for the items, at most the money format's decimals, its
// sign normalised for the activity. False when refused.
bool ReadAmount(const ActWindow& w, Dec64& amount) {
  const std::string typed = Trim(Text(MrEditor_Record(w.editor), kAmount));
  if (typed.empty()) return Refuse(w, kAmount, kMsgAmountMissing);
  const std::optional<Dec64> value = LbDec64_StrTo64(typed);
  if (!value) {
    return Refuse(w, kAmount, WrittenAsAmount(typed) ? kMsgAmountTooLarge : kMsgAmountNotNumber,
                  typed);
  }
  const int digits = AcqDbGlobal::Globals().params.decimal_digits;
  Dec64 rounded = *value;
  if (LbDec64_Round64(rounded, digits) != DecStatus::Ok || rounded != *value)
    return Refuse(w, kAmount, kMsgAmountDecimals, typed, std::to_string(digits));
  amount = AcqDbAct::NormalizeSign(w.kind->kind, *value);
  return true;
}

// The notes and the claim date of the record into the entry.
void ReadNotes(HEDITOR editor, AcqDbAct::ActivityEntry& entry) {
  BktHandle record = MrEditor_Record(editor);
  entry.changeOrderNote = Text(record, "change_order_note");
  entry.internalNote = Text(record, "internal_note");
  // The field starts with the line's note: changing it (clearing it too)
  // replaces the line's; leaving it alone leaves it.
  const int workslip = _BktGetColNum(record, kWorkslipNote);
  entry.workslipNoteEntered = workslip != 0 && _ColIsChanged(record, 1, workslip);
  entry.workslipNote = Text(record, kWorkslipNote);
  const int claim = _BktGetColNum(record, kNextClaimDate);
  if (claim != 0 && !_ColIsNull(record, 1, claim)) {
    int64_t day = 0;
    _ColGetScalar(record, 1, claim, day, ScalarSizeMinus1(record, claim));
    entry.nextClaimDate = static_cast<DayNum>(day);
  }
  entry.location = Trim(Text(record, "location"));
  entry.collection = Trim(Text(record, "collection"));
  entry.itype = Trim(Text(record, "itype"));
}

// Keeps the first `quantity` rows of `items`.
void CutTo(BktHandle items, int quantity) {
  while (_BktCountAll(items) > quantity) _BktDelete(items, _BktCountAll(items));
}

// Distribute: the pending items the person picked among the child rows,
// exactly `quantity` of them (message 56). False when refused.
bool KeepPicked(const ActWindow& w, BktHandle items, int quantity) {
  const std::vector<int> picked = MrEditor_ChildSelection(w.editor);
  BktHandle shown = *w.children;
  const int shownItem = _BktGetColNum(shown, "item");
  const int item = _BktGetColNum(items, "item");
  std::vector<int> keep;
  for (int row : picked) {
    if (row < 1 || row > _BktCountAll(shown)) continue;
    int found = 0;
    if (_BktLocateKey(items, item, BktKey::Int(_ColGetInt(shown, row, shownItem)), 0, {}, found))
      keep.push_back(found);
  }
  if (static_cast<int>(picked.size()) != quantity || static_cast<int>(keep.size()) != quantity) {
    Tell(w.hwnd, kMsgPickCount);
    return false;
  }
  for (int row = _BktCountAll(items); row >= 1; --row) {
    if (std::find(keep.begin(), keep.end(), row) == keep.end()) _BktDelete(items, row);
  }
  return true;
}

// ---- the requests alert --------------------------------------------------------------

struct RequestRows {
  std::vector<std::vector<std::string>> rows;   // item, borrower, barcode, requests
};

const std::vector<DlgListColumn> kRequestColumns = {
    {"item", "Item"}, {"name", "Borrower"}, {"ibarcode", "Item Barcode"},
    {"num_requests", "Requests"}};

LRESULT RequestsDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG: {
      const auto* requests = reinterpret_cast<const RequestRows*>(lParam);
      SetDlgListColumns(hwnd, kRequestsList, kRequestColumns);
      SetDlgListRows(hwnd, kRequestsList, requests->rows);
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: EndDialog(hwnd, IDOK); return TRUE;
        case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
        case kRequestsPrint: {
          // The list as shown, with the dialog's own words above it.
          std::vector<std::string> headings;
          for (const DlgListColumn& c : kRequestColumns) headings.push_back(c.heading);
          (void)AcqPrint::PrintList(hwnd, GetWindowTextW(hwnd),
                                    GetDlgItemTextW(hwnd, kRequestsIntro), headings,
                                    GetDlgListRows(hwnd, kRequestsList));
          return TRUE;
        }
        default: break;
      }
      break;
    case WM_CLOSE:
      EndDialog(hwnd, IDCANCEL);
      return TRUE;
    default:
      break;
  }
  return FALSE;
}

// Shows the borrower requests of `items` (dialog 36); true to go on (no
// requests, or Continue), false when the person goes back or the requests
// cannot be read (shown).
bool ConfirmRequests(const ActWindow& w, BktHandle items) {
  BucketHold rows;
  DbMsg msg;
  const std::string where = "po#=" + std::to_string(w.po) + " and line=" + std::to_string(w.line);
  if (DbCode code = AcqDb::LoadTable(msg, ClearChanges::Yes, "item", where,
                                     "item,name,ibarcode,num_requests", "po_request_alert",
                                     rows.get());
      code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  const int item = _BktGetColNum(items, "item");
  RequestRows requests;
  for (int row = 1; row <= _BktCountAll(*rows); ++row) {
    int found = 0;
    if (!_BktLocateKey(items, item, BktKey::Int(_ColGetInt(*rows, row, 1)), 0, {}, found))
      continue;
    requests.rows.push_back({std::to_string(_ColGetInt(*rows, row, 1)),
                             _ColGetStringW(*rows, row, 2), _ColGetStringW(*rows, row, 3),
                             std::to_string(_ColGetInt(*rows, row, 4))});
  }
  if (requests.rows.empty()) return true;
  return DialogBoxParamW(AcqBase::ResourceInstance(), kRequestsDialog, w.hwnd, &RequestsDlgProc,
                         reinterpret_cast<LPARAM>(&requests)) == IDOK;
}

// ---- the save -----------------------------------------------------------------------------

// The window's save: checks the entry against the items pending now and
// runs the activity. True when it committed.
bool SaveActivity(ActWindow& w) {
  const Activity kind = w.kind->kind;
  int32_t statement = 0;
  if (OnStatement(kind) && !ResolveStatement(w, statement)) return false;
  BucketHold items;
  if (!AcqDbAct::LoadPendingItems(kind, w.po, w.line, statement, items.get())) return false;
  const int pending = _BktCountAll(*items);
  if (pending == 0) {
    Tell(w.hwnd, w.kind->nothingPending, w.poInfo.number, std::to_string(w.line));
    return false;
  }
  int quantity = 0;
  if (!ParseCount(Text(MrEditor_Record(w.editor), kQuantity), quantity) || quantity < 1 ||
      quantity > pending) {
    return Refuse(w, kQuantity, kMsgQuantity, std::to_string(pending));
  }
  AcqDbAct::ActivityEntry entry;
  ReadNotes(w.editor, entry);
  if (OnStatement(kind)) {
    if (!ReadAmount(w, entry.amount)) return false;
    entry.statement = statement;
  }
  if (kind == Activity::Distribute) {
    if (entry.location.empty() && entry.collection.empty() && entry.itype.empty())
      return Refuse(w, "location", kMsgDistributeValues);
    if (!DistributeCodesKnown(w, entry)) return false;
    if (!KeepPicked(w, *items, quantity)) return false;
  } else {
    CutTo(*items, quantity);
  }
  if (AlertsRequests(kind) && !ConfirmRequests(w, *items)) return false;
  if (!AcqDbAct::RunActivity(kind, *items, entry)) return false;
  w.committed = true;
  return true;
}

// ---- the window procedure -------------------------------------------------------------------

void OpenNextInTurn(const std::shared_ptr<Sequence>& sequence);

constexpr uint32_t Bit(int code) { return 1u << code; }

LRESULT ActDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  ActWindow* w = Find(hwnd);
  switch (msg) {
    case WM_INITDIALOG:
      if (opening != nullptr) {
        opening->hwnd = hwnd;
        opening->editor = reinterpret_cast<HEDITOR>(lParam);
        AcqGlobal::WindowListPut(windows, hwnd, opening);
      }
      MucTools_ReplaceSysMenu(hwnd);
      // One line, one activity: no other record is made or removed here.
      MrProc_WithholdCodes(hwnd, Bit(kMrNew) | Bit(kMrCopy) | Bit(kMrDelete));
      return TRUE;
    case kMrCodeDone:
      // Saved from the menu: the activity has run, the window's work is done.
      if (w != nullptr && wParam == kMrSave && lParam != 0 && w->committed) DestroyWindow(hwnd);
      break;
    case WM_DESTROY:
      if (w != nullptr) {
        AcqGlobal::WindowListRemove(windows, hwnd);
        std::unique_ptr<ActWindow> owned(w);
        if (*w->children != nullptr) MrEditor_SetChildRows(w->editor, nullptr, {}, {});
        if (w->committed && w->onDone) w->onDone(w->po, w->line);
        if (w->ready && w->sequence && !AcqMain::Closing()) OpenNextInTurn(w->sequence);
      }
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

std::string Caption(const ActWindow& w, int pending) {
  std::string caption =
      Lb_FormatMessage(AcqBase::LoadStrText(kMsgCaption), AcqBase::LoadStrText(w.kind->name),
                       w.poInfo.number, std::to_string(w.line), std::to_string(pending));
  if (w.sequence && w.sequence->lines.size() > 1) {
    caption = Lb_FormatMessage(AcqBase::LoadStrText(kMsgCaptionInTurn), caption,
                               std::to_string(w.sequence->next),
                               std::to_string(w.sequence->lines.size()));
  }
  return caption;
}

// Whether the editor's record carries what the window needs; a definition
// that does not is a programming error, reported, and the window closes.
bool RecordFits(const ActWindow& w) {
  BktHandle record = MrEditor_Record(w.editor);
  bool fits = record != nullptr && _BktGetColNum(record, "po#") != 0 &&
              _BktGetColNum(record, "line") != 0 && _BktGetColNum(record, kQuantity) != 0;
  if (fits && OnStatement(w.kind->kind))
    fits = _BktGetColNum(record, kStatementNumber) != 0 && _BktGetColNum(record, kAmount) != 0;
  if (!fits) KtSystem_Error(kBadView);
  return fits;
}

// Opens the window on `w` (taken over) with the pending `items`; false when
// it did not open.
bool OpenWindow(std::unique_ptr<ActWindow> w, BktHandle items) {
  const int pending = _BktCountAll(items);
  const std::string where = "po#=" + std::to_string(w->po) + " and line=" + std::to_string(w->line);
  const std::string caption = Caption(*w, pending);
  MucTools_HourGlass(true);
  HENVIR envir = MrProc_NewEnvir(AcqDbGlobal::Session(), kEnvir);
  ActWindow* raw = w.get();
  opening = raw;
  HEDITOR editor = MrEditor_Open(envir, raw->kind->view, &ActDlgProc, PwMucBase_hwndClient, where,
                                 false, caption);
  opening = nullptr;
  MucTools_HourGlass(false);
  if (editor == nullptr || raw->hwnd == nullptr) {
    if (raw->hwnd == nullptr) MrProc_FreeEnvir(&envir);  // no window took it
    if (raw->hwnd != nullptr) w.release();               // WM_DESTROY freed it
    return false;
  }
  w.release();  // the window's now: freed at WM_DESTROY
  if (!RecordFits(*raw)) {
    DestroyWindow(raw->hwnd);
    return false;
  }
  MrEditor_SetSaveHandler(editor, [raw](HEDITOR) { return SaveActivity(*raw); });
  if (raw->kind->kind == Activity::Distribute) {
    raw->children.get() = _BktDupe(items);
    MrEditor_SetChildRows(editor, *raw->children,
                          {"item", "location", "collection", "itype", "budget"},
                          {"Item", "Location", "Collection", "Item Type", "Budget"});
  }
  // The number pending is offered; it counts as entered, so OK at once
  // runs the activity on every pending item.
  std::string error;
  (void)MrEditor_SetField(editor, kQuantity, std::to_string(pending), &error);
  MrEditor_FocusField(editor, kQuantity);
  raw->ready = true;
  return true;
}

// Everything before the window: the PO, the approval rule, the pending
// items; then the window (or, for approval, the approval itself). The
// privilege has been asked. True when a window opened or the line was
// approved.
bool OpenLine(const KindInfo& k, int32_t po, int16_t line, const Refresh& onDone,
              const std::shared_ptr<Sequence>& sequence) {
  if (k.kind == Activity::Approve) return AcqPoApp::ApproveLine(po, line, onDone);
  auto w = std::make_unique<ActWindow>();
  w->kind = &k;
  w->po = po;
  w->line = line;
  w->onDone = onDone;
  w->sequence = sequence;
  if (!LoadPoInfo(po, w->poInfo)) return false;
  switch (LineApproval(po, line)) {
    case Lines::Failed: return false;
    case Lines::NotApproved:
      Tell(PwMucBase_hwndClient, kMsgLineNotApproved, std::to_string(line));
      return false;
    case Lines::Approved: break;
  }
  BucketHold items;
  if (!AcqDbAct::LoadPendingItems(k.kind, po, line, 0, items.get())) return false;
  if (_BktCountAll(*items) == 0) {
    Tell(PwMucBase_hwndClient, k.nothingPending, w->poInfo.number, std::to_string(line));
    return false;
  }
  return OpenWindow(std::move(w), *items);
}

// The next line of a run that opens a window (lines that cannot take the
// activity are told and passed over); nothing when none is left.
void OpenNextInTurn(const std::shared_ptr<Sequence>& sequence) {
  while (sequence->next < sequence->lines.size()) {
    const auto [po, line] = sequence->lines[sequence->next++];
    if (OpenLine(*sequence->kind, po, line, sequence->onDone, sequence)) return;
  }
}

// The activity's privilege, asked with prompt. Kinds without a window
// (receive-and-invoice) are not offered here.
const KindInfo* Granted(Activity kind) {
  const KindInfo* k = Info(kind);
  if (k == nullptr) {
    Lib_Trace("AcqPoAct: activity " + std::to_string(static_cast<int>(kind)) +
              " has no activity window");
    return nullptr;
  }
  return AcqSecurity::CheckPrivilege(k->privilege) ? k : nullptr;
}

}  // namespace

bool OpenActivity(Activity kind, int32_t po, int16_t line, const Refresh& onDone) {
  const KindInfo* k = Granted(kind);
  return k != nullptr && OpenLine(*k, po, line, onDone, nullptr);
}

void RunOnLines(Activity kind, const std::vector<std::pair<int32_t, int16_t>>& lines,
                const Refresh& onDone) {
  if (lines.empty()) return;
  const KindInfo* k = Granted(kind);
  if (k == nullptr) return;
  if (k->kind == Activity::Approve) {
    (void)AcqPoApp::ApproveLinesAsked(lines, false, onDone);
    return;
  }
  auto sequence = std::make_shared<Sequence>();
  sequence->kind = k;
  sequence->lines = lines;
  sequence->onDone = onDone;
  OpenNextInTurn(sequence);
}

void RunOnPo(Activity kind, int32_t po, const Refresh& onDone) {
  const KindInfo* k = Granted(kind);
  if (k == nullptr) return;
  PoInfo info;
  if (!LoadPoInfo(po, info)) return;
  BucketHold rows;
  DbMsg msg;
  if (DbCode code = AcqDb::LoadTable(msg, ClearChanges::Yes, "line", "po#=" + std::to_string(po),
                                     "line", "po_line", rows.get());
      code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return;
  }
  std::vector<std::pair<int32_t, int16_t>> lines;
  for (int row = 1; row <= _BktCountAll(*rows); ++row)
    lines.emplace_back(po, static_cast<int16_t>(_ColGetInt(*rows, row, 1)));
  if (k->kind == Activity::Approve) {
    (void)AcqPoApp::ApproveLinesAsked(lines, true, onDone);
    return;
  }
  for (const auto& [p, line] : lines) {
    switch (LineApproval(p, line)) {
      case Lines::Failed: return;
      case Lines::NotApproved: Tell(PwMucBase_hwndClient, kMsgPoNotApproved, info.number); return;
      case Lines::Approved: break;
    }
  }
  auto sequence = std::make_shared<Sequence>();
  sequence->kind = k;
  sequence->lines = std::move(lines);
  sequence->onDone = onDone;
  OpenNextInTurn(sequence);
}

bool IsActivityWindow(HWND hwnd) { return Find(hwnd) != nullptr; }

void EndActivity(HWND hwnd, int result) {
  if (Find(hwnd) == nullptr) return;
  SendMessageW(hwnd, WM_COMMAND, static_cast<WPARAM>(result == IDOK ? IDOK : IDCANCEL), 0);
}

void Initialize() {
  windows = AcqGlobal::CreateWindowList();
  opening = nullptr;
}

void Terminate() {
  // The windows themselves are closed with the client; their records go here.
  for (int row = 1; row <= _BktCountAll(windows); ++row)
    delete static_cast<ActWindow*>(_ColGetNonScalar(windows, row, 2));
  AcqGlobal::DestroyWindowList(&windows);
  opening = nullptr;
}

}  // namespace acq::AcqPoAct

ACQ_UNIT_BODY(AcqPoAct)
