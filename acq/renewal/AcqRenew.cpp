// AcqRenew: renewal of standing orders and subscriptions.
//
// The windows are modal dialogs over lists the module fills: the options
// (vendor, location, range of next renewal dates, year of the new money),
// the candidates (dialog 46: renew quantity editable, extended price kept
// at unit price x quantity), the renew-to lists (dialog 47: the budget and
// contract of the new year for each old one), and the orders that do not
// renew yet (dialog 57). The lines created are shown in the lister
// "po_renewed_titles". The database work is AcqDbRenew's: each line is
// renewed in its own transaction, whole or not at all.
#include "acq/renewal/AcqRenew.h"

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqSecurity.h"
#include "acq/po/AcqPoAct.h"
#include "acq/renewal/AcqDbRenew.h"
#include "acq/renewal/AcqRenewPeriod.h"
#include "host/db/DbDabs.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/sys/Bucket.h"
#include "host/sys/LbStr.h"

namespace acq::AcqRenew {
namespace {

namespace msg = AcqDbRenew::msg;
using AcqDbRenew::Candidate;
using AcqDbRenew::Refusal;

// Dialogs and their controls.
constexpr int kOptionsDialog = 1880;
constexpr int kVendorField = 1881;
constexpr int kVendorName = 1882;
constexpr int kVendorButton = 1883;
constexpr int kLocationField = 1884;
constexpr int kBeginField = 1885;
constexpr int kEndField = 1886;
constexpr int kYearField = 1887;
constexpr int kCandidatesDialog = 46;
constexpr int kList = 1000;
constexpr int kSecondList = 1001;
constexpr int kRenewButton = 4601;
constexpr int kDiscontinueButton = 4602;
constexpr int kSelectAllButton = 4603;
constexpr int kDeselectAllButton = 4604;
constexpr int kRenewToDialog = 47;
constexpr int kBatchContract = 4701;
constexpr int kSetContractButton = 4702;
constexpr int kSetRenewalDialog = 57;
constexpr int kTypeField = 5701;
constexpr int kPeriodField = 5702;
constexpr int kFiscalYearField = 5703;
constexpr int kNextDateField = 5704;
constexpr int kSetButton = 5705;
constexpr int kMsgNotADate = 1893;

constexpr const char* kRenewedView = "po_renewed_titles";
constexpr const char* kEnvir = "renewal";

void Tell(HWND owner, int message, std::string_view a1 = {}, std::string_view a2 = {}) {
  MucTools_MsgBoxCap(owner ? owner : PwMucBase_hwndClient,
                     Lb_FormatMessage(AcqBase::LoadStr(message), a1, a2),
                     MB_OK | MB_ICONWARNING);
}
void Tell(HWND owner, const Refusal& r) {
  if (r.message > 0) Tell(owner, r.message, r.a1, r.a2);   // -1: the failure was shown
}

std::string Trimmed(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  while (!text.empty() && text.front() == ' ') text.erase(text.begin());
  return text;
}

bool ParseInt(const std::string& text, int64_t low, int64_t high, int64_t& value) {
  const std::string t = Trimmed(text);
  if (t.empty() || t.size() > 9) return false;
  int64_t v = 0;
  size_t i = t[0] == '-' ? 1 : 0;
  if (i == t.size()) return false;
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return false;
    v = v * 10 + (t[i] - '0');
  }
  if (t[0] == '-') v = -v;
  if (v < low || v > high) return false;
  value = v;
  return true;
}

// An optional date field: "" is kNoDate; false when it is not a date.
bool ParseDate(const std::string& text, DayNum& date) {
  const std::string t = Trimmed(text);
  date = kNoDate;
  return t.empty() || DbDabs_StrToDate(t, date);
}

std::string Str(BktHandle rows, int row, const char* name) {
  const int col = _BktGetColNum(rows, name);
  return col == 0 || _ColIsNull(rows, row, col) ? std::string() : _ColGetStringW(rows, row, col);
}
int32_t Int(BktHandle rows, int row, const char* name) {
  const int col = _BktGetColNum(rows, name);
  return col == 0 || _ColIsNull(rows, row, col) ? 0 : _ColGetInt(rows, row, col);
}
Dec64 Dec(BktHandle rows, int row, const char* name) {
  const int col = _BktGetColNum(rows, name);
  return col == 0 || _ColIsNull(rows, row, col) ? Dec64{} : _ColGetDec64(rows, row, col);
}
std::string MoneyText(Dec64 amount) {
  return LbDec64_StrFrom64(amount, DbDabs_QueryMoneyFmt(0).decimals);
}

// ---- options -------------------------------------------------------------------------------

struct OptionsState {
  AcqDbRenew::Options options;
};

int FieldControl(const std::string& field) {
  if (field == "vendor#") return kVendorField;
  if (field == "renew_to_year") return kYearField;
  if (field == "end_date") return kEndField;
  if (field == "begin_date") return kBeginField;
  return 0;
}

// Reads and checks the options; false (told, focus on the field) to stay.
bool TakeOptions(HWND hwnd, AcqDbRenew::Options& options) {
  int64_t vendor = 0, year = 0;
  const std::string vendorText = Trimmed(GetDlgItemTextW(hwnd, kVendorField));
  options.vendor = vendorText.empty() || !ParseInt(vendorText, 1, INT32_MAX, vendor)
                       ? 0
                       : static_cast<int32_t>(vendor);
  options.location = Trimmed(GetDlgItemTextW(hwnd, kLocationField));
  for (auto [id, date, name] : {std::tuple{kBeginField, &options.begin, "Begin Date"},
                                std::tuple{kEndField, &options.end, "End Date"}}) {
    if (!ParseDate(GetDlgItemTextW(hwnd, id), *date)) {
      Tell(hwnd, kMsgNotADate, name);
      SetDlgFocus(hwnd, id);
      return false;
    }
  }
  options.year = ParseInt(GetDlgItemTextW(hwnd, kYearField), 1, 9999, year)
                     ? static_cast<int16_t>(year)
                     : 0;
  std::string field;
  const Refusal r = AcqDbRenew::CheckOptions(options, field);
  if (!r) return true;
  Tell(hwnd, r);
  if (const int id = FieldControl(field); id != 0) SetDlgFocus(hwnd, id);
  return false;
}

LRESULT OptionsDlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  static OptionsState* state = nullptr;
  switch (message) {
    case WM_INITDIALOG: {
      state = reinterpret_cast<OptionsState*>(lParam);
      const int16_t fiscal = AcqDbGlobal::Globals().params.fiscal_year;
      if (fiscal != AcqDbGlobal::kNoFiscalYear)
        SetDlgItemTextW(hwnd, kYearField, std::to_string(fiscal + 1));
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kVendorButton: {
          int32_t vendor = 0;
          std::string name;
          if (MrVendor_FindVendorIn(AcqDbGlobal::Session(), hwnd, "vendacq", vendor, name)) {
            SetDlgItemTextW(hwnd, kVendorField, std::to_string(vendor));
            SetDlgItemTextW(hwnd, kVendorName, name);
          }
          return TRUE;
        }
        case IDOK:
          if (state != nullptr && TakeOptions(hwnd, state->options)) EndDialog(hwnd, IDOK);
          return TRUE;
        case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
        default: break;
      }
      break;
    case WM_CLOSE: EndDialog(hwnd, IDCANCEL); return TRUE;
    default: break;
  }
  return FALSE;
}

// ---- candidates ------------------------------------------------------------------------------

struct CandidateRow {
  Candidate line;
  std::string poNumber, title;
  int32_t vendor = 0;
  DayNum next = kNoDate;
  int renewable = 0;       // approved items not renewed, discontinued or cancelled
  Dec64 unitPrice{};
};

struct CandidatesState {
  AcqDbRenew::Options options;
  std::vector<CandidateRow> rows;
  std::vector<std::pair<int32_t, int16_t>> renewed;   // lines made, in order
  std::vector<std::pair<int32_t, int16_t>> discontinue;   // lines to discontinue after
};

const std::vector<DlgListColumn> kCandidateColumns = {
    {"po_number", "PO Number"},        {"line", "Line"},
    {"title", "Title"},                {"next_renewal_date", "Next Renewal"},
    {"renew_qty", "Renew Qty", true},  {"discontinue_qty", "Discontinue Qty"},
    {"unit_price", "Unit Price"},      {"extended_price", "Extended Price"}};
constexpr int kRenewQtyColumn = 4;
constexpr int kExtendedColumn = 7;

bool LoadCandidates(CandidatesState& s) {
  BucketHold rows;
  if (!AcqDbBase::LoadRows("po#,po_number,line,vendor#,title,next_renewal_date,renew_qty,"
                           "unit_price",
                           "po_renewal_candidates", AcqDbRenew::CandidateWhere(s.options),
                           "po_number,po#,line", rows))
    return false;
  s.rows.clear();
  for (int row = 1; row <= _BktCountAll(*rows); ++row) {
    CandidateRow c;
    c.line.po = Int(*rows, row, "po#");
    c.line.line = static_cast<int16_t>(Int(*rows, row, "line"));
    c.renewable = Int(*rows, row, "renew_qty");
    c.line.quantity = c.renewable;
    c.poNumber = Str(*rows, row, "po_number");
    c.title = Str(*rows, row, "title");
    c.vendor = Int(*rows, row, "vendor#");
    c.next = static_cast<DayNum>(Int(*rows, row, "next_renewal_date"));
    c.unitPrice = Dec(*rows, row, "unit_price");
    s.rows.push_back(std::move(c));
  }
  return true;
}

Dec64 Extended(const CandidateRow& c) {
  Dec64 total = c.unitPrice;
  if (LbDec64_Mul64I(total, c.line.quantity) != DecStatus::Ok) total = Dec64{};
  return total;
}

void ShowCandidates(HWND hwnd, const CandidatesState& s) {
  std::vector<std::vector<std::string>> cells;
  for (const CandidateRow& c : s.rows)
    cells.push_back({c.poNumber, std::to_string(c.line.line), c.title, DbDabs_DateToStr(c.next),
                     std::to_string(c.line.quantity), std::to_string(c.renewable - c.line.quantity),
                     MoneyText(c.unitPrice), MoneyText(Extended(c))});
  SetDlgListRows(hwnd, kList, cells);
}

// A renew quantity typed into the list: 0 to the renewable items; the
// extended price follows it exactly.
void TakeRenewQty(HWND hwnd, CandidatesState& s) {
  if (GetDlgListFocusColumn(hwnd, kList) != "renew_qty") return;
  const std::vector<int> sel = GetDlgListSelection(hwnd, kList);
  if (sel.size() != 1 || sel[0] < 1 || sel[0] > static_cast<int>(s.rows.size())) return;
  CandidateRow& c = s.rows[static_cast<size_t>(sel[0] - 1)];
  const auto cells = GetDlgListRows(hwnd, kList);
  int64_t qty = 0;
  if (!ParseInt(cells[static_cast<size_t>(sel[0] - 1)][kRenewQtyColumn], 0, c.renewable, qty)) {
    Tell(hwnd, msg::kBadQuantity, std::to_string(c.renewable));
  } else {
    c.line.quantity = static_cast<int>(qty);
  }
  SetDlgListCell(hwnd, kList, sel[0], kRenewQtyColumn, std::to_string(c.line.quantity));
  SetDlgListCell(hwnd, kList, sel[0], kRenewQtyColumn + 1,
                 std::to_string(c.renewable - c.line.quantity));
  SetDlgListCell(hwnd, kList, sel[0], kExtendedColumn, MoneyText(Extended(c)));
}

std::vector<const CandidateRow*> Selected(HWND hwnd, const CandidatesState& s) {
  std::vector<const CandidateRow*> picked;
  for (int row : GetDlgListSelection(hwnd, kList))
    if (row >= 1 && row <= static_cast<int>(s.rows.size()))
      picked.push_back(&s.rows[static_cast<size_t>(row - 1)]);
  return picked;
}

// ---- renew to ------------------------------------------------------------------------------

struct RenewToState {
  std::vector<std::string> budgets;
  std::vector<std::tuple<int32_t, std::string, std::string>> contracts;   // vendor, name, contract
  AcqDbRenew::RenewTo to;
};

const std::vector<DlgListColumn> kCategoryColumns = {
    {"budget", "Budget"}, {"renew_to_account", "Renew To", true}};
const std::vector<DlgListColumn> kContractColumns = {{"vendor#", "Vendor #"},
                                                     {"vendor_name", "Vendor"},
                                                     {"vendor_contract", "Contract"},
                                                     {"renew_to_contract", "Renew To", true}};

// The proposals of the views: the same account a year on, the same contract.
void FillRenewTo(HWND hwnd, const RenewToState& s) {
  std::vector<std::vector<std::string>> cells;
  for (const std::string& budget : s.budgets) {
    std::string proposed;
    BucketHold row;
    std::string where;
    (void)_DbQuoteAppend(where, static_cast<int>(2 * budget.size() + 2), budget);
    if (AcqDbBase::LoadRows("renew_to_account", "po_renewal_categories", "budget=" + where, "",
                            row) &&
        _BktCountAll(*row) > 0)
      proposed = Str(*row, 1, "renew_to_account");
    // The proposal must be a budget of the renewal year.
    if (proposed.size() < 5 ||
        proposed.substr(proposed.size() - 4) != std::to_string(s.to.year))
      proposed.clear();
    cells.push_back({budget, proposed});
  }
  SetDlgListColumns(hwnd, kList, kCategoryColumns);
  SetDlgListRows(hwnd, kList, cells);
  cells.clear();
  for (const auto& [vendor, name, contract] : s.contracts)
    cells.push_back({std::to_string(vendor), name, contract, contract});
  SetDlgListColumns(hwnd, kSecondList, kContractColumns);
  SetDlgListRows(hwnd, kSecondList, cells);
}

void SetBatchContract(HWND hwnd) {
  const std::vector<int> sel = GetDlgListSelection(hwnd, kSecondList);
  const auto cells = GetDlgListRows(hwnd, kSecondList);
  std::set<std::string> vendors;
  for (int row : sel) vendors.insert(cells[static_cast<size_t>(row - 1)][0]);
  if (vendors.size() > 1) {
    Tell(hwnd, msg::kBatchVendor);
    return;
  }
  const std::string contract = Trimmed(GetDlgItemTextW(hwnd, kBatchContract));
  for (int row : sel) SetDlgListCell(hwnd, kSecondList, row, 3, contract);
}

bool TakeRenewTo(HWND hwnd, RenewToState& s) {
  s.to.accounts.clear();
  s.to.contracts.clear();
  for (const auto& cells : GetDlgListRows(hwnd, kList))
    if (cells.size() >= 2) s.to.accounts[cells[0]] = Trimmed(cells[1]);
  for (const auto& cells : GetDlgListRows(hwnd, kSecondList)) {
    int64_t vendor = 0;
    if (cells.size() >= 4 && ParseInt(cells[0], 1, INT32_MAX, vendor))
      s.to.contracts[{static_cast<int32_t>(vendor), cells[2]}] = Trimmed(cells[3]);
  }
  const Refusal r = AcqDbRenew::CheckRenewTo(s.to, s.budgets);
  if (!r) return true;
  Tell(hwnd, r);
  SetDlgFocus(hwnd, r.message == msg::kRenewToContract ? kSecondList : kList);
  return false;
}

LRESULT RenewToDlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  static RenewToState* state = nullptr;
  switch (message) {
    case WM_INITDIALOG:
      state = reinterpret_cast<RenewToState*>(lParam);
      FillRenewTo(hwnd, *state);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kSetContractButton: SetBatchContract(hwnd); return TRUE;
        case IDOK:
          if (state != nullptr && TakeRenewTo(hwnd, *state)) EndDialog(hwnd, IDOK);
          return TRUE;
        case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
        default: break;
      }
      break;
    case WM_CLOSE: EndDialog(hwnd, IDCANCEL); return TRUE;
    default: break;
  }
  return FALSE;
}

// The contracts of the POs of `lines`, each once.
bool LoadContracts(const std::vector<Candidate>& lines, RenewToState& s) {
  std::set<int32_t> pos;
  for (const Candidate& c : lines) pos.insert(c.po);
  std::string in;
  for (int32_t po : pos) in += (in.empty() ? "" : ",") + std::to_string(po);
  BucketHold rows;
  if (!AcqDbBase::LoadRows("vendor#,vendor_name,vendor_contract", "po_with_vendor",
                           "vendor_contract is not null and po# in(" + in + ")",
                           "vendor#,vendor_contract", rows))
    return false;
  std::set<std::pair<int32_t, std::string>> seen;
  for (int row = 1; row <= _BktCountAll(*rows); ++row) {
    const int32_t vendor = Int(*rows, row, "vendor#");
    const std::string contract = Str(*rows, row, "vendor_contract");
    if (seen.insert({vendor, contract}).second)
      s.contracts.emplace_back(vendor, Str(*rows, row, "vendor_name"), contract);
  }
  return true;
}

void ShowRenewed(const std::vector<std::pair<int32_t, int16_t>>& lines) {
  if (lines.empty()) return;
  std::string where;
  for (const auto& [po, line] : lines)
    where += std::string(where.empty() ? "" : " or ") + "(po#=" + std::to_string(po) +
             " and line=" + std::to_string(line) + ")";
  HENVIR envir = MrProc_NewEnvir(AcqDbGlobal::Session(), kEnvir);
  HLISTER lister = MrLister_MrListerUserInst(envir, kRenewedView, nullptr, PwMucBase_hwndClient,
                                             "(" + where + ")", "");
  if (lister == nullptr) {
    MrProc_FreeEnvir(&envir);
    return;
  }
  if (!MrLister_MrListerBegin(lister, MucTools_BuildSizeKey(kRenewedView)))
    DestroyWindow(MrLister_Hwnd(lister));
}

// Renews the selected candidates in list order.
void RenewSelected(HWND hwnd, CandidatesState& s) {
  std::vector<Candidate> lines;
  for (const CandidateRow* c : Selected(hwnd, s)) lines.push_back(c->line);
  if (lines.empty()) {
    Tell(hwnd, msg::kSelectLines);
    return;
  }
  bool approved = false;
  if (!AcqDbRenew::AllApproved(lines, approved)) return;
  if (!approved) {
    Tell(hwnd, msg::kNotApproved);
    return;
  }
  const bool approve = AcqDbGlobal::Globals().params.renew_po_line_approval;
  if (approve && !AcqSecurity::CheckPrivilege(AcqSecurity::poApprv)) return;
  RenewToState renewTo;
  renewTo.to.year = s.options.year;
  if (!AcqDbRenew::LoadRenewableBudgets(lines, renewTo.budgets) || !LoadContracts(lines, renewTo))
    return;
  if (DialogBoxParamW(AcqBase::ResourceInstance(), kRenewToDialog, hwnd, &RenewToDlgProc,
                      reinterpret_cast<LPARAM>(&renewTo)) != IDOK)
    return;
  if (!approve) Tell(hwnd, msg::kApprovalWarning);
  int renewed = 0;
  MucTools_HourGlass(true);
  for (const Candidate& line : lines) {
    const AcqDbRenew::Outcome out = AcqDbRenew::RenewLine(line, renewTo.to, approve);
    if (out.kind == AcqDbRenew::Outcome::Kind::Renewed) {
      ++renewed;
      s.renewed.emplace_back(out.newPo, out.newLine);
    } else if (out.kind == AcqDbRenew::Outcome::Kind::Refused) {
      Tell(hwnd, out.refusal);
    }
  }
  MucTools_HourGlass(false);
  MucTools_MsgBoxCap(hwnd, Lb_FormatMessage(AcqBase::LoadStr(msg::kRenewedCount),
                                            std::to_string(renewed)),
                     MB_OK | MB_ICONINFORMATION);
  if (LoadCandidates(s)) ShowCandidates(hwnd, s);
}

// The discontinue activity's windows are the PO windows' own (modeless):
// the candidates close first, and the activity opens on the selected lines.
void DiscontinueSelected(HWND hwnd, CandidatesState& s) {
  s.discontinue.clear();
  for (const CandidateRow* c : Selected(hwnd, s))
    s.discontinue.emplace_back(c->line.po, c->line.line);
  if (s.discontinue.empty()) {
    Tell(hwnd, msg::kSelectLines);
    return;
  }
  EndDialog(hwnd, kDiscontinueButton);
}

void SelectAll(HWND hwnd, const CandidatesState& s, bool all) {
  std::vector<int> rows;
  for (int row = 1; all && row <= static_cast<int>(s.rows.size()); ++row) rows.push_back(row);
  SetDlgListSelection(hwnd, kList, rows);
}

LRESULT CandidatesDlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  static CandidatesState* state = nullptr;
  switch (message) {
    case WM_INITDIALOG:
      state = reinterpret_cast<CandidatesState*>(lParam);
      SetDlgListColumns(hwnd, kList, kCandidateColumns);
      ShowCandidates(hwnd, *state);
      return TRUE;
    case WM_COMMAND:
      if (state == nullptr) break;
      if (LOWORD(wParam) == kList && HIWORD(wParam) == EN_CHANGE) {
        TakeRenewQty(hwnd, *state);
        return TRUE;
      }
      switch (LOWORD(wParam)) {
        case kRenewButton: RenewSelected(hwnd, *state); return TRUE;
        case kDiscontinueButton: DiscontinueSelected(hwnd, *state); return TRUE;
        case kSelectAllButton: SelectAll(hwnd, *state, true); return TRUE;
        case kDeselectAllButton: SelectAll(hwnd, *state, false); return TRUE;
        case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
        default: break;
      }
      break;
    case WM_CLOSE: EndDialog(hwnd, IDCANCEL); return TRUE;
    default: break;
  }
  return FALSE;
}

// ---- set renewal on orders ---------------------------------------------------------------------

struct SetRenewalState {
  std::vector<int32_t> pos;
};

const std::vector<DlgListColumn> kOrderColumns = {{"po_number", "PO Number"},
                                                  {"vendor_name", "Vendor"},
                                                  {"location", "Location"},
                                                  {"quantity", "Lines"}};

void LoadOrders(HWND hwnd, SetRenewalState& s) {
  BucketHold rows;
  if (!AcqDbBase::LoadRows("po#,po_number,vendor_name,location,quantity", "po_set_renew_orders",
                           "renewal_type=0", "po_number,po#", rows))
    return;
  s.pos.clear();
  std::vector<std::vector<std::string>> cells;
  for (int row = 1; row <= _BktCountAll(*rows); ++row) {
    s.pos.push_back(Int(*rows, row, "po#"));
    cells.push_back({Str(*rows, row, "po_number"), Str(*rows, row, "vendor_name"),
                     Str(*rows, row, "location"), std::to_string(Int(*rows, row, "quantity"))});
  }
  SetDlgListRows(hwnd, kList, cells);
}

void SetRenewalOnSelected(HWND hwnd, SetRenewalState& s) {
  const std::vector<int> sel = GetDlgListSelection(hwnd, kList);
  if (sel.empty()) {
    Tell(hwnd, msg::kSelectOrders);
    return;
  }
  int64_t type = 0, year = 0;
  if (!ParseInt(GetDlgItemTextW(hwnd, kTypeField), 1, 2, type)) {
    Tell(hwnd, msg::kSetBadType);
    SetDlgFocus(hwnd, kTypeField);
    return;
  }
  const std::string period = Trimmed(GetDlgItemTextW(hwnd, kPeriodField));
  const auto lookup = AcqRenewPeriod::LoadPeriod(period);
  if (lookup.failed) return;
  if (!lookup.found) {
    Tell(hwnd, msg::kSetBadPeriod, period);
    SetDlgFocus(hwnd, kPeriodField);
    return;
  }
  DbMsg msg;   // a failed test is reported and answers false: refused as well
  if (!ParseInt(GetDlgItemTextW(hwnd, kFiscalYearField), 1, 9999, year) ||
      !AcqDbGen::ExistsAccountYearYear(msg, static_cast<int16_t>(year))) {
    Tell(hwnd, msg::kSetNoAllocations);
    SetDlgFocus(hwnd, kFiscalYearField);
    return;
  }
  DayNum next = kNoDate;
  if (!ParseDate(GetDlgItemTextW(hwnd, kNextDateField), next)) {
    Tell(hwnd, kMsgNotADate, "Next Renewal Date");
    SetDlgFocus(hwnd, kNextDateField);
    return;
  }
  int done = 0;
  for (int row : sel) {
    if (row < 1 || row > static_cast<int>(s.pos.size())) continue;
    bool changed = false;
    if (AcqDbRenew::SetRenewal(s.pos[static_cast<size_t>(row - 1)], static_cast<int>(type),
                               period, next, changed))
      ++done;
  }
  MucTools_MsgBoxCap(hwnd, Lb_FormatMessage(AcqBase::LoadStr(msg::kSetDone), std::to_string(done)),
                     MB_OK | MB_ICONINFORMATION);
  LoadOrders(hwnd, s);
}

LRESULT SetRenewalDlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  static SetRenewalState* state = nullptr;
  switch (message) {
    case WM_INITDIALOG: {
      state = reinterpret_cast<SetRenewalState*>(lParam);
      SetDlgListColumns(hwnd, kList, kOrderColumns);
      LoadOrders(hwnd, *state);
      const int16_t fiscal = AcqDbGlobal::Globals().params.fiscal_year;
      if (fiscal != AcqDbGlobal::kNoFiscalYear)
        SetDlgItemTextW(hwnd, kFiscalYearField, std::to_string(fiscal));
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kSetButton:
          if (state != nullptr) SetRenewalOnSelected(hwnd, *state);
          return TRUE;
        case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
        default: break;
      }
      break;
    case WM_CLOSE: EndDialog(hwnd, IDCANCEL); return TRUE;
    default: break;
  }
  return FALSE;
}

}  // namespace

void OpenRenewalCandidates() {
  CandidatesState candidates;
  for (;;) {
    OptionsState options;
    if (DialogBoxParamW(AcqBase::ResourceInstance(), kOptionsDialog, PwMucBase_hwndClient,
                        &OptionsDlgProc, reinterpret_cast<LPARAM>(&options)) != IDOK)
      return;
    candidates.options = options.options;
    if (!LoadCandidates(candidates)) return;
    if (!candidates.rows.empty()) break;
    Tell(PwMucBase_hwndClient, msg::kNoCandidates);   // and the options again
  }
  const INT_PTR result =
      DialogBoxParamW(AcqBase::ResourceInstance(), kCandidatesDialog, PwMucBase_hwndClient,
                      &CandidatesDlgProc, reinterpret_cast<LPARAM>(&candidates));
  ShowRenewed(candidates.renewed);
  if (result == kDiscontinueButton)
    AcqPoAct::RunOnLines(AcqDbAct::Activity::Discontinue, candidates.discontinue, nullptr);
}

void OpenSetRenewalOrders() {
  SetRenewalState state;
  (void)DialogBoxParamW(AcqBase::ResourceInstance(), kSetRenewalDialog, PwMucBase_hwndClient,
                        &SetRenewalDlgProc, reinterpret_cast<LPARAM>(&state));
}

void Initialize() {}
void Terminate() {}

}  // namespace acq::AcqRenew

ACQ_UNIT_BODY(AcqRenew)
