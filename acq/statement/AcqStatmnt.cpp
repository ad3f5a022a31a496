// AcqStatmnt: the statement window. One modeless dialog per open statement:
// the header as fields a person types into, the statement's lines (PO line
// items invoiced on it, with their money on this statement), its extra
// charges and, for the budget-based types, its statement budgets, and
// whether it balances. The charges and budgets are edited in the window's
// copy (AcqSent's dialogs) and the Save button writes header and rows
// together (AcqDbStmnt). "Unsaved" means the fields or rows differ from
// the statement as last read; the header counts as open while its fields
// differ, which is what approval and proration refuse to run over.
#include "acq/statement/AcqStatmnt.h"

#include <algorithm>
#include <set>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqFind.h"
#include "acq/frame/AcqGlobal.h"
#include "acq/frame/AcqList.h"
#include "acq/frame/AcqSecurity.h"
#include "acq/po/AcqPoAct.h"
#include "acq/po/AcqPoParts.h"
#include "acq/statement/AcqDbStmnt.h"
#include "acq/statement/AcqSent.h"
#include "acq/statement/AcqStApp.h"
#include "host/mr/MrFramework.h"
#include "host/mr/PwMr.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"

namespace acq::AcqStatmnt {

namespace {

using AcqDbStmnt::BudgetRow;
using AcqDbStmnt::Charge;
using AcqDbStmnt::Header;
using AcqDbStmnt::Statement;
using AcqPo::parts::Ask;
using AcqPo::parts::Tell;

constexpr int kStatementDialog = 60;
constexpr int kModeDialog = 63;
constexpr int kModeStatement = 6301, kModePos = 6302, kModeLabel = 6303;

// Header fields of the window, by control id.
enum Field : int {
  kNumber = 1001, kVendor = 1002, kVendorName = 1003, kAmount = 1004, kCurrency = 1005,
  kRate = 1006, kDate = 1007, kNote = 1008, kGst = 1009, kPst = 1010, kGstAmount = 1011,
  kPstAmount = 1012, kType = 1013, kBalanced = 1014, kApproved = 1015,
};
constexpr int kLinesList = 1000, kChargesList = 1020, kBudgetsList = 1030;
enum Button : int {
  kOpenButton = 6001, kAddCharge = 6002, kEditCharge = 6003, kDeleteCharge = 6004,
  kAddBudget = 6005, kEditBudget = 6006, kDeleteBudget = 6007, kSave = 6010,
};

enum Message : int {
  kMsgBadValue = 1503,
  kMsgChargeTwice = 1504,
  kMsgBudgetTwice = 1505,
  kMsgNumberRequired = 1506,
  kMsgUnknownVendor = 1507,
  kMsgSelectOne = 1508,
  kMsgAskUndo = 1509,
  kMsgSaveChanges = 1510,
  kMsgSelectUndo = 1511,
  kMsgBalanced = 1512,
  kMsgNotBalanced = 1513,
  kMsgNewStatement = 1514,
  kMsgTypeName = 1520,   // 1520 + type: the type's name
  kMsgSaveFirst = 1516,
  kMsgMustUndoApproval = 295,
  kMsgInvalidSearch = 120,
  kMsgNoCandidates = 121,
  kMsgNoCandidatesFound = 122,
  kMsgWordsNotFound = 123,
  kMsgIllFormed = 124,
  kMsgTooManyTerms = 126,
  kMsgUnbalanced = 129,
  kMsgInvalidWildcard = 130,
};
constexpr int kCandidateDialog = 64;
constexpr int kCandidateList = 1000, kSearchFor = 6401, kCandidateSearch = 6402;
constexpr size_t kMaxTerms = 16;
constexpr size_t kNumberChars = 16;
constexpr size_t kNoteChars = 255;

// State of one statement window, in the registry from its creation to
// WM_DESTROY. `shown` is the statement as last read (or, for a new one, the
// empty statement the window started with); `charges` and `budgets` are
// the window's copies that Save writes.
struct StWindow {
  HWND hwnd = nullptr;
  Statement shown;
  std::vector<Charge> charges;
  std::vector<BudgetRow> budgets;
  std::vector<AcqDbStmnt::Line> lines;
  AcqFundCtrl::BustListHold confirmed;   // budget statuses confirmed while entering
};

BktHandle windows = nullptr;
StWindow* pendingWindow = nullptr;

// The window itself only: its modal dialogs are not statement windows.
StWindow* Find(HWND hwnd) {
  return windows == nullptr ? nullptr
                            : static_cast<StWindow*>(AcqGlobal::WindowListFind(windows, hwnd));
}

std::vector<StWindow*> WindowsOf(int32_t statement) {
  std::vector<StWindow*> found;
  for (int row = 1; windows != nullptr && row <= _BktCountAll(windows); ++row) {
    auto* w = static_cast<StWindow*>(_ColGetNonScalar(windows, row, 2));
    if (w->shown.header.statement == statement && statement != 0) found.push_back(w);
  }
  return found;
}

std::string Trim(std::string text) {
  const size_t b = text.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  return text.substr(b, text.find_last_not_of(" \t") - b + 1);
}

std::string MoneyText(Dec64 amount) {
  return LbDec64_StrFrom64(amount, AcqPo::parts::MoneyDigits());
}
std::string MoneyText(const std::optional<Dec64>& amount) {
  return amount ? MoneyText(*amount) : std::string();
}

std::string TypeName(int type) { return AcqBase::LoadStrText(kMsgTypeName + type); }

std::string Caption(const StWindow& w) {
  const std::string number = w.shown.header.statement == 0
                                  ? AcqBase::LoadStrText(kMsgNewStatement)
                                  : w.shown.header.number;
  return TypeName(w.shown.header.type) + " " + number;
}

// ---- the header fields ----------------------------------------------------------------------

void ShowVendorName(HWND hwnd) {
  int64_t vendor = 0;
  std::string name;
  if (AcqPo::parts::ParseWhole(GetDlgItemTextW(hwnd, kVendor), vendor)) {
    DbMsg msg;
    (void)AcqDbGen::GetVendorName(msg, static_cast<int32_t>(vendor), name);
  }
  SetDlgItemTextW(hwnd, kVendorName, name);
}

// A currency typed or defaulted brings its exchange rate into the rate
// field (a person may still type another rate after it).
void CurrencyChanged(HWND hwnd) {
  std::string currency = Trim(GetDlgItemTextW(hwnd, kCurrency));
  if (currency.empty()) return;
  BucketHold rows;
  DbMsg msg;
  if (DbCode code = AcqDb::LoadTable(msg, AcqDb::ClearChanges::Yes, "",
                                     "currency=" + AcqPo::parts::Quote(currency),
                                     "exchange_rate", "currency", rows.get());
      code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return;
  }
  if (_BktCountAll(*rows) == 0) return;
  if (const auto rate = AcqPo::parts::DecOf(*rows, 1, "exchange_rate"))
    SetDlgItemTextW(hwnd, kRate, LbDec64_StrFrom64(*rate));
}

// A vendor typed: its name beside it and, while the statement has no
// currency yet, the vendor's currency.
void VendorChanged(HWND hwnd) {
  ShowVendorName(hwnd);
  int64_t vendor = 0;
  if (!Trim(GetDlgItemTextW(hwnd, kCurrency)).empty() ||
      !AcqPo::parts::ParseWhole(GetDlgItemTextW(hwnd, kVendor), vendor))
    return;
  std::string currency;
  DbMsg msg;
  if (!AcqDbGen::GetVendorCurrency(msg, static_cast<int32_t>(vendor), currency) ||
      currency.empty())
    return;
  SetDlgItemTextW(hwnd, kCurrency, currency);
  CurrencyChanged(hwnd);
}

void ShowHeader(const StWindow& w) {
  const Header& h = w.shown.header;
  SetWindowTextW(w.hwnd, Caption(w));
  SetDlgItemTextW(w.hwnd, kNumber, h.number);
  SetDlgItemTextW(w.hwnd, kType, std::to_string(h.type));
  SetDlgItemTextW(w.hwnd, kVendor, h.vendor != 0 ? std::to_string(h.vendor) : "");
  SetDlgItemTextW(w.hwnd, kAmount, MoneyText(h.amount));
  SetDlgItemTextW(w.hwnd, kCurrency, h.currency);
  SetDlgItemTextW(w.hwnd, kRate, LbDec64_StrFrom64(h.rate));
  SetDlgItemTextW(w.hwnd, kDate, h.date ? DbDabs_DateToStr(*h.date) : "");
  SetDlgItemTextW(w.hwnd, kNote, h.note);
  CheckDlgButton(w.hwnd, kGst, h.gst);
  CheckDlgButton(w.hwnd, kPst, h.pst);
  SetDlgItemTextW(w.hwnd, kGstAmount, MoneyText(h.gstAmount));
  SetDlgItemTextW(w.hwnd, kPstAmount, MoneyText(h.pstAmount));
  SetDlgItemTextW(w.hwnd, kApproved, h.approveDate ? DbDabs_DateToStr(*h.approveDate) : "");
  ShowVendorName(w.hwnd);
}

// What refuses a field: its id, the message and its arguments.
struct FieldError {
  int field = 0;
  int message = 0;
  std::string a1, a2;
};

bool ReadOptionalMoney(HWND hwnd, int field, std::optional<Dec64>& out, FieldError& err) {
  const std::string text = Trim(GetDlgItemTextW(hwnd, field));
  out.reset();
  if (text.empty()) return true;
  Dec64 amount;
  if (!AcqSent::ParseMoney(text, amount)) {
    err = {field, kMsgBadValue, text, "amount"};
    return false;
  }
  out = amount;
  return true;
}

// The header as the fields hold it; false with `err` when a field does not
// hold a value of its kind (no database checks here).
bool ReadHeader(const StWindow& w, Header& h, FieldError& err) {
  const HWND hwnd = w.hwnd;
  h = w.shown.header;
  h.number = Trim(GetDlgItemTextW(hwnd, kNumber));
  int64_t whole = 0;
  const std::string typeText = Trim(GetDlgItemTextW(hwnd, kType));
  if (!AcqPo::parts::ParseWhole(typeText, whole) || whole < 0 || whole > 6) {
    err = {kType, kMsgBadValue, typeText, "statement type (0 to 6)"};
    return false;
  }
  h.type = static_cast<int>(whole);
  const std::string vendorText = Trim(GetDlgItemTextW(hwnd, kVendor));
  if (vendorText.empty()) {
    h.vendor = 0;
  } else if (!AcqPo::parts::ParseWhole(vendorText, whole) || whole <= 0) {
    err = {kVendor, kMsgBadValue, vendorText, "vendor number"};
    return false;
  } else {
    h.vendor = static_cast<int32_t>(whole);
  }
  const std::string amountText = Trim(GetDlgItemTextW(hwnd, kAmount));
  if (!AcqSent::ParseMoney(amountText.empty() ? "0" : amountText, h.amount)) {
    err = {kAmount, kMsgBadValue, amountText, "amount"};
    return false;
  }
  h.currency = Trim(GetDlgItemTextW(hwnd, kCurrency));
  for (char& c : h.currency)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  const std::string rateText = Trim(GetDlgItemTextW(hwnd, kRate));
  const auto rate = LbDec64_StrTo64(rateText.empty() ? "1" : rateText);
  if (!rate || rate->raw <= 0 || rate->raw > Dec64::FromInt(1'000'000).raw) {
    err = {kRate, kMsgBadValue, rateText, "exchange rate"};
    return false;
  }
  h.rate = *rate;
  const std::string dateText = Trim(GetDlgItemTextW(hwnd, kDate));
  h.date.reset();
  if (!dateText.empty()) {
    DayNum day = 0;
    if (!DbDabs_StrToDate(dateText, day)) {
      err = {kDate, kMsgBadValue, dateText, "date"};
      return false;
    }
    h.date = day;
  }
  h.note = GetDlgItemTextW(hwnd, kNote);
  h.gst = IsDlgButtonChecked(hwnd, kGst);
  h.pst = IsDlgButtonChecked(hwnd, kPst);
  if (!ReadOptionalMoney(hwnd, kGstAmount, h.gstAmount, err) ||
      !ReadOptionalMoney(hwnd, kPstAmount, h.pstAmount, err))
    return false;
  // Credits and refunds are kept negative (the save turns them too): a
  // positive amount typed over a saved credit is no change.
  if (h.type >= kCredit) {
    for (Dec64* amount : {&h.amount, h.gstAmount ? &*h.gstAmount : nullptr,
                          h.pstAmount ? &*h.pstAmount : nullptr})
      if (amount != nullptr && amount->raw > 0) *amount = Dec64::FromRaw(-amount->raw);
  }
  return true;
}

// The checks of a header that need the database or the whole record.
bool CheckHeader(const Header& h, FieldError& err) {
  if (h.number.empty()) {
    err = {kNumber, kMsgNumberRequired, "", ""};
    return false;
  }
  if (Lb_CharCount(h.number) > kNumberChars) {
    err = {kNumber, kMsgBadValue, h.number, "statement number (at most 16 characters)"};
    return false;
  }
  if (Lb_CharCount(h.note) > kNoteChars) {
    err = {kNote, kMsgBadValue, h.note.substr(0, 20) + "...", "note (at most 255 characters)"};
    return false;
  }
  DbMsg msg;
  if (h.vendor == 0 || !AcqDbGen::VendorExists(msg, h.vendor)) {
    err = {kVendor, kMsgUnknownVendor, h.vendor == 0 ? "" : std::to_string(h.vendor), ""};
    return false;
  }
  if (!h.currency.empty()) {
    bool known = false;
    if (!AcqPo::parts::RowExists("currency", "currency",
                                 "currency=" + AcqPo::parts::Quote(h.currency), known))
      return false;
    if (!known) {
      err = {kCurrency, kMsgBadValue, h.currency, "currency"};
      return false;
    }
  }
  return true;
}

bool HeaderChangedOnScreen(const StWindow& w) {
  Header h;
  FieldError err;
  return !ReadHeader(w, h, err) || !(h == w.shown.header);
}

bool RowsChanged(const StWindow& w) {
  return w.charges != w.shown.charges || w.budgets != w.shown.budgets;
}

bool Unsaved(const StWindow& w) {
  return w.shown.header.statement == 0 || HeaderChangedOnScreen(w) || RowsChanged(w);
}

// ---- the lists ----------------------------------------------------------------------------

void ShowRows(StWindow& w) {
  std::vector<std::vector<std::string>> rows;
  for (const AcqDbStmnt::Line& l : w.lines) {
    rows.push_back({std::to_string(l.statementLine), l.poNumber, std::to_string(l.line), l.title,
                    std::to_string(l.quantity), MoneyText(l.amount), MoneyText(l.itemAmount)});
  }
  const std::vector<int> lineSelection = GetDlgListSelection(w.hwnd, kLinesList);
  SetDlgListRows(w.hwnd, kLinesList, rows);
  SetDlgListSelection(w.hwnd, kLinesList, lineSelection);
  rows.clear();
  for (const Charge& c : w.charges)
    rows.push_back({c.type, MoneyText(c.amount), c.budget, c.vouchered ? "yes" : ""});
  SetDlgListRows(w.hwnd, kChargesList, rows);
  rows.clear();
  for (const BudgetRow& b : w.budgets)
    rows.push_back({b.budget, MoneyText(b.amount), b.vouchered ? "yes" : ""});
  SetDlgListRows(w.hwnd, kBudgetsList, rows);
}

void ShowBalance(const StWindow& w) {
  std::string text;
  bool balanced = false;
  if (w.shown.header.statement != 0 &&
      AcqStApp::IsStatementBalanced(w.shown.header.statement, balanced))
    text = AcqBase::LoadStrText(balanced ? kMsgBalanced : kMsgNotBalanced);
  SetDlgItemTextW(w.hwnd, kBalanced, text);
}

// Which buttons a statement of its type offers: the open button only for
// the line-based types, the budget rows only for the others.
void ShowButtons(const StWindow& w) {
  const int type = w.shown.header.type;
  static const char* const kOpenLabels[] = {"&Invoice", "Sup &Invoice", "", "&Credit", "",
                                            "&Refund", ""};
  SetDlgItemTextW(w.hwnd, kOpenButton, kOpenLabels[type]);
  EnableDlgItem(w.hwnd, kOpenButton, !IsBudgetType(type) && w.shown.header.statement != 0);
  for (int id : {kAddBudget, kEditBudget, kDeleteBudget}) EnableDlgItem(w.hwnd, id, IsBudgetType(type));
}

// Everything again from the database; false when the statement is gone or
// the database failed (told).
bool ReloadAll(StWindow& w) {
  if (w.shown.header.statement != 0) {
    bool found = false;
    Statement fresh;
    if (!AcqDbStmnt::LoadStatement(w.shown.header.statement, fresh, found)) return false;
    if (!found) {
      Tell(w.hwnd, AcqDbStmnt::kMsgStatementGone, MB_OK | MB_ICONWARNING, w.shown.header.number);
      return false;
    }
    w.shown = fresh;
    if (!AcqDbStmnt::LoadLines(w.shown.header.statement, w.lines)) return false;
  }
  w.charges = w.shown.charges;
  w.budgets = w.shown.budgets;
  ShowHeader(w);
  ShowRows(w);
  ShowBalance(w);
  ShowButtons(w);
  return true;
}

// ---- actions --------------------------------------------------------------------------------

int SingleSelected(HWND hwnd, int list, size_t count) {
  const std::vector<int> rows = GetDlgListSelection(hwnd, list);
  if (rows.size() == 1 && rows.front() >= 1 && static_cast<size_t>(rows.front()) <= count)
    return rows.front() - 1;
  Tell(hwnd, kMsgSelectOne, MB_OK | MB_ICONINFORMATION);
  return -1;
}

void AddOrEditCharge(StWindow& w, bool add) {
  Charge c;
  int at = -1;
  if (!add) {
    at = SingleSelected(w.hwnd, kChargesList, w.charges.size());
    if (at < 0) return;
    c = w.charges[static_cast<size_t>(at)];
  }
  if (!AcqSent::EditCharge(w.hwnd, c, w.confirmed.get())) return;
  for (size_t n = 0; n < w.charges.size(); ++n) {
    if (static_cast<int>(n) != at && w.charges[n].type == c.type) {
      Tell(w.hwnd, kMsgChargeTwice, MB_OK | MB_ICONWARNING, c.type);
      return;
    }
  }
  if (add) {
    w.charges.push_back(c);
  } else {
    w.charges[static_cast<size_t>(at)] = c;
  }
  std::sort(w.charges.begin(), w.charges.end(),
            [](const Charge& a, const Charge& b) { return a.type < b.type; });
  ShowRows(w);
}

void AddOrEditBudget(StWindow& w, bool add) {
  BudgetRow r;
  int at = -1;
  if (!add) {
    at = SingleSelected(w.hwnd, kBudgetsList, w.budgets.size());
    if (at < 0) return;
    r = w.budgets[static_cast<size_t>(at)];
  }
  if (!AcqSent::EditBudget(w.hwnd, r, w.confirmed.get())) return;
  for (size_t n = 0; n < w.budgets.size(); ++n) {
    if (static_cast<int>(n) != at && w.budgets[n].budget == r.budget) {
      Tell(w.hwnd, kMsgBudgetTwice, MB_OK | MB_ICONWARNING, r.budget);
      return;
    }
  }
  if (add) {
    w.budgets.push_back(r);
  } else {
    w.budgets[static_cast<size_t>(at)] = r;
  }
  std::sort(w.budgets.begin(), w.budgets.end(),
            [](const BudgetRow& a, const BudgetRow& b) { return a.budget < b.budget; });
  ShowRows(w);
}

void DeleteSelectedRows(StWindow& w, int list) {
  const std::vector<int> rows = GetDlgListSelection(w.hwnd, list);
  if (rows.empty()) {
    Tell(w.hwnd, kMsgSelectOne, MB_OK | MB_ICONINFORMATION);
    return;
  }
  // From the bottom, so the row numbers above stay right.
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
    const size_t at = static_cast<size_t>(*it) - 1;
    if (list == kChargesList && at < w.charges.size()) w.charges.erase(w.charges.begin() + static_cast<std::ptrdiff_t>(at));
    if (list == kBudgetsList && at < w.budgets.size()) w.budgets.erase(w.budgets.begin() + static_cast<std::ptrdiff_t>(at));
  }
  ShowRows(w);
}

void TellFieldError(const StWindow& w, const FieldError& err) {
  if (err.message != 0) Tell(w.hwnd, err.message, MB_OK | MB_ICONWARNING, err.a1, err.a2);
  if (err.field != 0) SetDlgFocus(w.hwnd, err.field);
}

// Saves the window; true when saved (or nothing to save).
bool Save(StWindow& w) {
  if (!Unsaved(w)) return true;
  Statement edited;
  FieldError err;
  if (!ReadHeader(w, edited.header, err) || !CheckHeader(edited.header, err)) {
    TellFieldError(w, err);
    return false;
  }
  edited.charges = w.charges;
  edited.budgets = w.budgets;
  AcqDbStmnt::Refusal refused;
  MucTools_HourGlass(true);
  const bool saved = AcqDbStmnt::SaveStatement(w.shown, edited, refused, w.confirmed.get());
  MucTools_HourGlass(false);
  if (!saved) {
    if (refused.message != 0)
      Tell(w.hwnd, refused.message, MB_OK | MB_ICONWARNING, refused.arg);
    return false;
  }
  w.shown.header.statement = edited.header.statement;
  ReloadAll(w);
  return true;
}

// Closing with unsaved changes asks first: Yes saves (and stays open when
// the save fails), No drops them, Cancel keeps the window.
bool MayClose(StWindow& w) {
  if (!Unsaved(w)) return true;
  if (w.shown.header.statement == 0 && !HeaderChangedOnScreen(w) && !RowsChanged(w)) return true;
  switch (Tell(w.hwnd, kMsgSaveChanges, MB_YESNOCANCEL | MB_ICONQUESTION, Caption(w))) {
    case IDYES: return Save(w);
    case IDNO: return true;
    default: return false;
  }
}

// The open button: the PO-side activity of the statement's type on a line
// the person picks from the vendor's candidates.
void OpenLines(StWindow& w);

constexpr uint32_t Bit(int code) { return 1u << code; }

LRESULT StatementDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_INITDIALOG) {
    StWindow* w = pendingWindow;
    pendingWindow = nullptr;
    if (w == nullptr) return TRUE;
    w->hwnd = hwnd;
    AcqGlobal::WindowListPut(windows, hwnd, w);
    MrProc_RegisterContextWindow(hwnd);
    MrProc_SetWindowMenuBits(hwnd, Bit(kMrRefresh));
    SetDlgListColumns(hwnd, kLinesList,
                      {{"statement_line", "St. Line"}, {"po_number", "PO Number"},
                       {"line", "Line"}, {"title", "Title"}, {"quantity", "Qty"},
                       {"amount", "Amount"}, {"item_amount", "Item Amount"}});
    SetDlgListColumns(hwnd, kChargesList,
                      {{"extra_charge_type", "Charge Type"}, {"charge_amount", "Amount"},
                       {"budget", "Budget"}, {"vouchered", "Vouchered"}});
    SetDlgListColumns(hwnd, kBudgetsList,
                      {{"statement_budget", "Budget"}, {"budget_amount", "Amount"},
                       {"budget_vouchered", "Vouchered"}});
    ReloadAll(*w);
    return TRUE;
  }
  StWindow* w = Find(hwnd);
  if (w == nullptr) return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
  switch (msg) {
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (HIWORD(wParam) == EN_CHANGE) {
        if (id == kVendor) VendorChanged(hwnd);
        if (id == kCurrency) CurrencyChanged(hwnd);
        break;
      }
      if (HIWORD(wParam) != BN_CLICKED && HIWORD(wParam) != ACCEL_COMMAND) break;
      switch (id) {
        case kSave: Save(*w); return TRUE;
        case kAddCharge: AddOrEditCharge(*w, true); return TRUE;
        case kEditCharge: AddOrEditCharge(*w, false); return TRUE;
        case kDeleteCharge: DeleteSelectedRows(*w, kChargesList); return TRUE;
        case kAddBudget: AddOrEditBudget(*w, true); return TRUE;
        case kEditBudget: AddOrEditBudget(*w, false); return TRUE;
        case kDeleteBudget: DeleteSelectedRows(*w, kBudgetsList); return TRUE;
        case kOpenButton: OpenLines(*w); return TRUE;
        case IDCANCEL:
          if (MayClose(*w)) DestroyWindow(hwnd);
          return TRUE;
        default: break;
      }
      break;
    }
    case kMrQueryClose:
      return MayClose(*w) ? 1 : 0;
    case WM_DESTROY:
      MrProc_UnregisterContextWindow(hwnd);
      AcqGlobal::WindowListRemove(windows, hwnd);
      delete w;
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

HWND CreateStatementWindow(StWindow* w) {
  MucTools_HourGlass(true);
  pendingWindow = w;
  HWND hwnd = CreateDialogParamW(AcqBase::ResourceInstance(), kStatementDialog,
                                 PwMucBase_hwndClient, &StatementDlgProc, 0);
  if (pendingWindow != nullptr) {   // no window took it
    pendingWindow = nullptr;
    delete w;
  }
  MucTools_HourGlass(false);
  return hwnd;
}

}  // namespace

void OpenStatement(int32_t statement, const std::string& number) {
  if (const std::vector<StWindow*> open = WindowsOf(statement); !open.empty()) {
    MucTools_SetCurrKtView(open.front()->hwnd);
    return;
  }
  if (!AcqSecurity::CheckPrivilege(AcqSecurity::stHead)) return;
  auto* w = new StWindow;
  w->shown.header.statement = statement;
  w->shown.header.number = number;
  CreateStatementWindow(w);
}

void NewStatement(int type) {
  if (type < 0 || type > 6) {
    KtSystem_Error("AcqStatmnt.NewStatement: invalid StatementType");
    return;
  }
  auto* w = new StWindow;
  w->shown.header.type = type;
  w->shown.header.date = DbDabs_GetDate();
  CreateStatementWindow(w);
}

bool IsStatementWindow(HWND hwnd) { return Find(hwnd) != nullptr; }

void Reload(HWND hwnd) {
  // Changes on screen are asked about first, as closing asks.
  if (StWindow* w = Find(hwnd); w != nullptr && MayClose(*w)) ReloadAll(*w);
}

bool ActiveStatement(HWND hwnd, int32_t& statement, std::string& number) {
  const StWindow* w = Find(hwnd);
  if (w == nullptr || w->shown.header.statement == 0) return false;
  statement = w->shown.header.statement;
  number = w->shown.header.number;
  return true;
}

bool ReadyFor(HWND hwnd, int unsavedMsg, int headerOpenMsg) {
  const StWindow* w = Find(hwnd);
  if (w == nullptr) return true;
  if (w->shown.header.statement != 0 && HeaderChangedOnScreen(*w)) {
    Tell(w->hwnd, headerOpenMsg, MB_OK | MB_ICONINFORMATION);
    return false;
  }
  if (w->shown.header.statement == 0 || RowsChanged(*w)) {
    Tell(w->hwnd, unsavedMsg, MB_OK | MB_ICONINFORMATION);
    return false;
  }
  return true;
}

void StatementChanged(int32_t statement) {
  for (StWindow* w : WindowsOf(statement)) {
    if (!Unsaved(*w)) {
      ReloadAll(*w);
      continue;
    }
    // Changes typed here stay on screen over the statement as this window
    // read it, so that their save is told of the change made elsewhere
    // instead of undoing it; the lines and the balance follow at once.
    if (AcqDbStmnt::LoadLines(statement, w->lines)) ShowRows(*w);
    ShowBalance(*w);
  }
}

bool LineRows(HWND hwnd, std::vector<AcqProrateMath::StatementLine>& rows) {
  const StWindow* w = Find(hwnd);
  if (w == nullptr) return false;
  rows.clear();
  std::set<int> selected;
  for (int row : GetDlgListSelection(w->hwnd, kLinesList)) selected.insert(row);
  for (size_t n = 0; n < w->lines.size(); ++n) {
    AcqProrateMath::StatementLine r;
    r.po = w->lines[n].po;
    r.line = w->lines[n].line;
    r.itemAmount = w->lines[n].itemAmount;
    r.selected = selected.count(static_cast<int>(n) + 1) > 0;
    rows.push_back(r);
  }
  return true;
}

bool SelectedLines(HWND hwnd, std::vector<LineKey>& lines) {
  const StWindow* w = Find(hwnd);
  if (w == nullptr) return false;
  lines.clear();
  for (int row : GetDlgListSelection(w->hwnd, kLinesList)) {
    if (row < 1 || static_cast<size_t>(row) > w->lines.size()) continue;
    const AcqDbStmnt::Line& l = w->lines[static_cast<size_t>(row) - 1];
    lines.push_back({l.po, l.line});
  }
  return true;
}

namespace {

LRESULT ModeDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_INITDIALOG:
      if (const auto* number = reinterpret_cast<const std::string*>(lParam))
        SetDlgItemTextW(hwnd, kModeLabel, *number);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kModeStatement:
        case kModePos:
        case IDCANCEL:
          EndDialog(hwnd, LOWORD(wParam));
          return TRUE;
        default:
          break;
      }
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

// ---- candidate lines ----------------------------------------------------------------------

// A PO line of the statement's vendor with items the type's activity can
// take.
struct Candidate {
  int32_t po = 0;
  std::string poNumber;
  int16_t line = 0;
  std::string title, author;
};

std::string Lower(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

// What "Search for" asks: every term must be in the title or author (any
// case); a term ending in "*" matches words it begins; parentheses only
// group and must balance. An empty text takes every candidate.
struct SearchTerms {
  std::vector<std::string> words;   // lower case, "*" kept at the end
  int refusal = 0;                  // the message that refuses the text
};

SearchTerms ParseSearch(const std::string& text) {
  SearchTerms out;
  int depth = 0;
  std::string word;
  auto flush = [&] {
    if (word.empty()) return;
    const size_t star = word.find('*');
    if (star != std::string::npos && (star + 1 != word.size() || star == 0)) {
      out.refusal = kMsgInvalidWildcard;
    } else if (word.find_first_of("abcdefghijklmnopqrstuvwxyz0123456789") ==
               std::string::npos) {
      out.refusal = kMsgIllFormed;
    }
    out.words.push_back(Lower(word));
    word.clear();
  };
  for (char c : text) {
    if (c == '(' || c == ')') {
      flush();
      depth += c == '(' ? 1 : -1;
      if (depth < 0) out.refusal = kMsgUnbalanced;
    } else if (c == '"' || c == '\'' || c == '%' || c == ';') {
      out.refusal = kMsgInvalidSearch;
    } else if (c == ' ' || c == '\t') {
      flush();
    } else {
      word += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    }
  }
  flush();
  if (out.refusal == 0 && depth != 0) out.refusal = kMsgUnbalanced;
  if (out.refusal == 0 && out.words.size() > kMaxTerms) out.refusal = kMsgTooManyTerms;
  return out;
}

bool TermMatches(const std::string& term, const Candidate& c) {
  const std::string hay = Lower(c.title + " " + c.author);
  if (term.back() != '*') return hay.find(term) != std::string::npos;
  // A prefix: it must begin a word.
  const std::string prefix = term.substr(0, term.size() - 1);
  for (size_t at = hay.find(prefix); at != std::string::npos; at = hay.find(prefix, at + 1))
    if (at == 0 || hay[at - 1] == ' ') return true;
  return false;
}

// The vendor's PO lines with items the activity of `type` can take.
bool LoadCandidates(int32_t vendor, int type, std::vector<Candidate>& out) {
  out.clear();
  const std::string pending = type == kInvoice
                                  ? "order_date IS NOT NULL and invoice_date IS NULL"
                                  : "invoice_date IS NOT NULL";
  BucketHold rows;
  DbMsg msg;
  if (DbCode code = AcqDb::LoadTable(
          msg, AcqDb::ClearChanges::Yes, "po_number,line",
          "vendor#=" + std::to_string(vendor) +
              " and exists(select * from po_line_item i where i.po#=po_line_find.po# and "
              "i.line=po_line_find.line and i.cancel_date IS NULL and i." + pending + ")",
          "po#,po_number,line,title,author", "po_line_find", rows.get());
      code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  using AcqPo::parts::TextOf;
  using AcqPo::parts::WholeOf;
  for (int row = 1; row <= _BktCountAll(*rows); ++row) {
    out.push_back({static_cast<int32_t>(WholeOf(*rows, row, "po#").value_or(0)),
                   TextOf(*rows, row, "po_number"),
                   static_cast<int16_t>(WholeOf(*rows, row, "line").value_or(0)),
                   TextOf(*rows, row, "title"), TextOf(*rows, row, "author")});
  }
  return true;
}

struct CandidateState {
  std::vector<Candidate> all;
  std::vector<Candidate> shown;
  Candidate chosen;
};

void ShowCandidates(HWND hwnd, const CandidateState& st) {
  std::vector<std::vector<std::string>> rows;
  for (const Candidate& c : st.shown)
    rows.push_back({c.poNumber, std::to_string(c.line), c.title, c.author});
  SetDlgListRows(hwnd, kCandidateList, rows);
}

// Runs "Search for" over the candidates; false (told) when the text is
// refused or finds nothing, the list left as it was.
bool SearchCandidates(HWND hwnd, CandidateState& st) {
  const SearchTerms terms = ParseSearch(GetDlgItemTextW(hwnd, kSearchFor));
  if (terms.refusal != 0) {
    Tell(hwnd, terms.refusal, MB_OK | MB_ICONWARNING);
    return false;
  }
  std::string missing;
  for (const std::string& t : terms.words) {
    if (std::none_of(st.all.begin(), st.all.end(),
                     [&](const Candidate& c) { return TermMatches(t, c); }))
      missing += (missing.empty() ? "" : ", ") + t;
  }
  if (!missing.empty()) {
    MucTools_MsgBoxCap(hwnd, AcqBase::LoadStr(kMsgWordsNotFound) + missing,
                       MB_OK | MB_ICONINFORMATION);
    return false;
  }
  std::vector<Candidate> found;
  for (const Candidate& c : st.all)
    if (std::all_of(terms.words.begin(), terms.words.end(),
                    [&](const std::string& t) { return TermMatches(t, c); }))
      found.push_back(c);
  if (found.empty()) {
    Tell(hwnd, kMsgNoCandidatesFound, MB_OK | MB_ICONINFORMATION);
    return false;
  }
  st.shown = std::move(found);
  ShowCandidates(hwnd, st);
  return true;
}

LRESULT CandidateProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  static CandidateState* st = nullptr;
  switch (msg) {
    case WM_INITDIALOG:
      st = reinterpret_cast<CandidateState*>(lParam);
      SetDlgListColumns(hwnd, kCandidateList,
                        {{"po_number", "PO Number"}, {"line", "Line"}, {"title", "Title"},
                         {"author", "Author"}});
      if (st != nullptr) ShowCandidates(hwnd, *st);
      return TRUE;
    case WM_COMMAND:
      if (st == nullptr || HIWORD(wParam) == EN_CHANGE) break;
      switch (LOWORD(wParam)) {
        case kCandidateSearch:
          SearchCandidates(hwnd, *st);
          return TRUE;
        case IDOK: {
          const std::vector<int> rows = GetDlgListSelection(hwnd, kCandidateList);
          if (rows.size() != 1 || static_cast<size_t>(rows.front()) > st->shown.size()) {
            Tell(hwnd, kMsgSelectOne, MB_OK | MB_ICONINFORMATION);
            return TRUE;
          }
          st->chosen = st->shown[static_cast<size_t>(rows.front()) - 1];
          EndDialog(hwnd, IDOK);
          return TRUE;
        }
        case IDCANCEL:
          EndDialog(hwnd, IDCANCEL);
          return TRUE;
        default:
          break;
      }
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

// The statement's number typed into the activity window just opened, as a
// person would type it, so that the activity writes onto this statement.
void FillStatementNumber(const std::string& number) {
  const HWND top = KtWin_GetTopKtWnd();
  if (!AcqPoAct::IsActivityWindow(top)) return;
  const DialogTemplate* tmpl = GetDialogTemplate(top);
  if (tmpl == nullptr) return;
  for (const DialogControl& c : tmpl->controls) {
    if (c.name != "statement_number") continue;
    SetDlgItemTextW(top, c.id, number);
    SendMessageW(top, WM_COMMAND, MAKEWPARAM(static_cast<uint16_t>(c.id), EN_CHANGE), 0);
    return;
  }
}

void OpenLines(StWindow& w) {
  const Header& h = w.shown.header;
  if (IsBudgetType(h.type) || h.statement == 0) return;
  if (!ReadyFor(w.hwnd, kMsgSaveFirst, kMsgSaveFirst)) return;
  if (h.approveDate) {
    Tell(w.hwnd, kMsgMustUndoApproval, MB_OK | MB_ICONINFORMATION);
    return;
  }
  CandidateState st;
  if (!LoadCandidates(h.vendor, h.type, st.all)) return;
  if (st.all.empty()) {
    Tell(w.hwnd, kMsgNoCandidates, MB_OK | MB_ICONINFORMATION);
    return;
  }
  st.shown = st.all;
  if (DialogBoxParamW(AcqBase::ResourceInstance(), kCandidateDialog, w.hwnd, &CandidateProc,
                      reinterpret_cast<LPARAM>(&st)) != IDOK)
    return;
  static constexpr AcqDbAct::Activity kActivities[] = {
      AcqDbAct::Activity::Invoice, AcqDbAct::Activity::SupInvoice, AcqDbAct::Activity::None,
      AcqDbAct::Activity::Credit,  AcqDbAct::Activity::None,       AcqDbAct::Activity::Refund,
      AcqDbAct::Activity::None};
  const int32_t statement = h.statement;
  const auto onDone = [statement](int32_t po, int16_t line) {
    StatementChanged(statement);
    AcqPo::parts::LineChanged(po, line);
  };
  if (AcqPoAct::OpenActivity(kActivities[h.type], st.chosen.po, st.chosen.line, onDone))
    FillStatementNumber(h.number);
}

}  // namespace

// The mode selection decides between the statement itself (the statement
// window) and the POs whose lines are on it (their list), as the PO's mode
// selection decides between editing and receiving.
void StatementMode(HWND active) {
  // A statement window is the statement already: the choice is made where
  // statements are found and listed.
  int32_t statement = 0;
  std::string number;
  if (!AcqFind::SelectedStatement(active, statement, number) &&
      !AcqList::SelectedStatement(active, statement, number))
    return;
  std::string shown = number;
  switch (DialogBoxParamW(AcqBase::ResourceInstance(), kModeDialog, PwMucBase_hwndClient,
                          &ModeDlgProc, reinterpret_cast<LPARAM>(&shown))) {
    case kModeStatement: OpenStatement(statement, number); break;
    case kModePos: AcqList::ListPosOfActiveStatement(active); break;
    default: break;
  }
}

void UndoStatement(HWND hwnd) {
  StWindow* w = Find(hwnd);
  if (w == nullptr || w->shown.header.statement == 0) return;
  std::vector<int16_t> chosen;
  std::set<std::pair<int32_t, int16_t>> poLines;
  for (int row : GetDlgListSelection(w->hwnd, kLinesList)) {
    if (row < 1 || static_cast<size_t>(row) > w->lines.size()) continue;
    const AcqDbStmnt::Line& l = w->lines[static_cast<size_t>(row) - 1];
    chosen.push_back(l.statementLine);
    poLines.insert({l.po, l.line});
  }
  if (chosen.empty()) {
    Tell(w->hwnd, kMsgSelectUndo, MB_OK | MB_ICONINFORMATION);
    return;
  }
  if (!Ask(w->hwnd, kMsgAskUndo, std::to_string(chosen.size()))) return;
  AcqDbStmnt::Refusal refused;
  const int32_t statement = w->shown.header.statement;
  if (!AcqDbStmnt::UndoStatementLines(statement, chosen, refused)) {
    if (refused.message != 0) Tell(w->hwnd, refused.message, MB_OK | MB_ICONWARNING, refused.arg);
    return;
  }
  StatementChanged(statement);
  for (const auto& [po, line] : poLines) AcqPo::parts::LineChanged(po, line);
}

void Initialize() {
  windows = AcqGlobal::CreateWindowList();
  pendingWindow = nullptr;
}

void Terminate() {
  for (int row = 1; windows != nullptr && row <= _BktCountAll(windows); ++row)
    delete static_cast<StWindow*>(_ColGetNonScalar(windows, row, 2));
  AcqGlobal::DestroyWindowList(&windows);
}

}  // namespace acq::AcqStatmnt

ACQ_UNIT_BODY(AcqStatmnt)
