// AcqAccount: accounts and their budgets: the check of an edited budget,
// the listers and editors of accounts and budgets.
#include "acq/budget/AcqAccount.h"

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <tuple>
#include <string>
#include <utility>
#include <vector>

#include "acq/AcqUnit.h"
#include "acq/budget/AcqBudget.h"
#include "acq/budget/AcqDbAccount.h"
#include "acq/budget/AcqFundCtrl.h"
#include "acq/budget/AcqYearCreate.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqForm.h"
#include "acq/frame/AcqGlobal.h"
#include "acq/frame/AcqSecurity.h"
#include "host/db/DbDabs.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"

namespace acq::AcqAccount {
namespace {

constexpr int kCloseWithOrdersMsg = 362;
constexpr int kMaintainedAmountMsg = 363;
constexpr int kOverLimitMsg = 364;
constexpr const char* kOnOrderLabel = "On Order";
constexpr const char* kSpentLabel = "Spent";

HWND Owner() { return PwMucBase_hwndClient; }
int Col(BktHandle bkt, const char* name) { return _BktGetColNum(bkt, name); }

bool Ask(int id, std::string_view a1, std::string_view a2 = {}, std::string_view a3 = {}) {
  return MucTools_MsgBoxCapYNbool(Owner(), Lb_FormatMessage(AcqBase::LoadStr(id), a1, a2, a3));
}

// Does `name` of the edited row differ from the stored budget (row 1 of
// `stored`, or a new budget's default when there is none)?
bool Differs(BktHandle edited, int row, BktHandle stored, const char* name) {
  const int col = Col(edited, name);
  if (col == 0) return false;
  if (stored == nullptr || _BktCountAll(stored) == 0) {
    if (_ColIsNull(edited, row, col)) return false;
    return _BktGetColType(edited, col) == kColDec64 ? !_ColGetDec64(edited, row, col).IsZero()
                                                     : _ColGetInt(edited, row, col) != 0;
  }
  return _ColCompare(edited, row, col, stored, 1, Col(stored, name)) != 0;
}

bool AnyDiffers(BktHandle edited, int row, BktHandle stored,
                std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (Differs(edited, row, stored, name)) return true;
  return false;
}

// Step 3 for one amount type: the limit bust of the edited totals.
bool LimitAccepted(BktHandle edited, int row, BktHandle stored, int amountType,
                   std::initializer_list<const char*> watched, const char* label,
                   const std::string& budget) {
  if (!AnyDiffers(edited, row, stored, watched)) return true;
  Dec64 amountBust{}, limitBust{};
  AcqFundCtrl::ComputeBusts(amountBust, limitBust, amountType, row, edited);
  return limitBust.raw <= 0 || Ask(kOverLimitMsg, label, budget, label);
}

}  // namespace

bool ValidateBudgetEdit(BktHandle edited, int row) {
  const int yearCol = Col(edited, "year");
  const std::optional<int16_t> year =
      _ColIsNull(edited, row, yearCol)
          ? std::nullopt
          : std::optional<int16_t>(static_cast<int16_t>(_ColGetInt(edited, row, yearCol)));
  const std::string budget =
      AcqDbAccount::BudgetId(_ColGetStringW(edited, row, Col(edited, "account")), year);
  BucketHold stored;
  DbMsg msg;
  if (const DbCode code = AcqDbGen::LoadBudget(msg, budget, stored.get()); code != kDbOk) {
    AcqDbExcept::HandleDbError(msg, code);
    return false;
  }
  if (_ColGetInt(edited, row, Col(edited, "status")) == AcqDbAccount::kStatusClosed &&
      Differs(edited, row, *stored, "status") && AcqDbGen::IsBudgetOnOrder(msg, budget) &&
      !Ask(kCloseWithOrdersMsg, budget))
    return false;
  if (Differs(edited, row, *stored, "on_order") &&
      !Ask(kMaintainedAmountMsg, kOnOrderLabel, budget))
    return false;
  if (Differs(edited, row, *stored, "spent") && !Ask(kMaintainedAmountMsg, kSpentLabel, budget))
    return false;
  return LimitAccepted(edited, row, *stored, AcqFundCtrl::kOnOrder,
                       {"amount", "on_order", "on_order_limit", "on_order_limit_percent"},
                       kOnOrderLabel, budget) &&
         LimitAccepted(edited, row, *stored, AcqFundCtrl::kSpent,
                       {"amount", "spent", "spent_limit", "spent_limit_percent"}, kSpentLabel,
                       budget);
}

namespace {

// ---- the account years window ------------------------------------------------------------------

constexpr int kYearsDialog = 1900;
constexpr int kYearField = 1901;
constexpr int kFindButton = 1902;
constexpr int kList = 1000;
constexpr int kEditButton = 1903;
constexpr int kNewButton = 1904;
constexpr int kCreateYearButton = 1905;
constexpr int kBudgetDialog = 1907;
constexpr int kAccountField = 1908;
constexpr int kBudgetYearField = 1909;
constexpr int kStatusChoice = 1915;
constexpr int kStaleMsg = 1904;
constexpr int kBadFieldMsg = 1905;
constexpr int kYearNotNumberMsg = 1903;

const std::vector<std::string> kStatusNames = {"Open", "Frozen", "Closed"};

// The money and limit fields of the budget dialog.
struct MoneyField {
  int id;
  const char* column;
  const char* label;
  bool nullable;
};
constexpr MoneyField kMoneyFields[] = {{1922, "amount", "Amount", false},
                                       {1923, "on_order", "On Order", false},
                                       {1924, "spent", "Spent", false},
                                       {1925, "on_order_limit", "On Order Limit", true},
                                       {1929, "spent_limit", "Spent Limit", true}};
constexpr std::pair<int, const char*> kPercentChecks[] = {{1928, "on_order_limit_percent"},
                                                          {1919, "spent_limit_percent"}};

void Tell(HWND owner, int id, std::string_view a1 = {}) {
  MucTools_MsgBoxCap(owner, Lb_FormatMessage(AcqBase::LoadStr(id), a1), MB_OK | MB_ICONWARNING);
}

std::string Trimmed(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  while (!text.empty() && text.front() == ' ') text.erase(text.begin());
  return text;
}

// "" is none; false when not a whole number of 16 bits.
bool ParseYear(const std::string& raw, std::optional<int16_t>& year) {
  const std::string t = Trimmed(raw);
  year.reset();
  if (t.empty()) return true;
  char* end = nullptr;
  const long v = std::strtol(t.c_str(), &end, 10);
  if (*end != '\0' || v < INT16_MIN || v > INT16_MAX) return false;
  year = static_cast<int16_t>(v);
  return true;
}

struct YearsState {
  std::optional<int16_t> year;
  BucketHold rows;   // the budgets listed (columns of the budget view)
};

struct BudgetEditState {
  BktHandle row = nullptr;   // one row being edited; account and year typed when new
  bool isNew = false;
};

std::string Money(Dec64 v) { return LbDec64_StrFrom64(v, DbDabs_QueryMoneyFmt(0)); }

const std::vector<DlgListColumn> kYearColumns = {{"budget", "Budget"},   {"descr", "Description"},
                                                 {"amount", "Amount"},   {"on_order", "On Order"},
                                                 {"spent", "Spent"},     {"status", "Status"}};

void ShowBudgets(HWND hwnd, const YearsState& s) {
  std::vector<std::vector<std::string>> cells;
  BktHandle b = *s.rows;
  for (int row = 1; b != nullptr && row <= _BktCountAll(b); ++row) {
    const int status = _ColGetInt(b, row, Col(b, "status"));
    cells.push_back({_ColGetStringW(b, row, Col(b, "budget")), _ColGetStringW(b, row, Col(b, "descr")),
                     Money(_ColGetDec64(b, row, Col(b, "amount"))),
                     Money(_ColGetDec64(b, row, Col(b, "on_order"))),
                     Money(_ColGetDec64(b, row, Col(b, "spent"))),
                     status >= 0 && status <= 2 ? kStatusNames[static_cast<size_t>(status)] : ""});
  }
  SetDlgListRows(hwnd, kList, cells);
}

bool FindBudgets(HWND hwnd, YearsState& s) {
  if (!ParseYear(GetDlgItemTextW(hwnd, kYearField), s.year)) {
    Tell(hwnd, kYearNotNumberMsg, "Year");
    SetDlgFocus(hwnd, kYearField);
    return false;
  }
  const std::string where = s.year ? "year=" + std::to_string(*s.year) : "year IS NULL";
  if (!AcqDbBase::LoadRows("*", "budget", where, "account", s.rows)) return false;
  AcqFundCtrl::FilterBudgetsForUser(*s.rows);
  ShowBudgets(hwnd, s);
  return true;
}

void ShowBudgetRow(HWND hwnd, const BudgetEditState& e) {
  BktHandle b = e.row;
  SetDlgItemTextW(hwnd, kAccountField, _ColGetStringW(b, 1, Col(b, "account")));
  const int yearCol = Col(b, "year");
  SetDlgItemTextW(hwnd, kBudgetYearField,
                  _ColIsNull(b, 1, yearCol) ? "" : std::to_string(_ColGetInt(b, 1, yearCol)));
  EnableDlgItem(hwnd, kAccountField, e.isNew);
  EnableDlgItem(hwnd, kBudgetYearField, e.isNew);
  for (const MoneyField& f : kMoneyFields) {
    const int col = Col(b, f.column);
    SetDlgItemTextW(hwnd, f.id, _ColIsNull(b, 1, col) ? "" : LbDec64_StrFrom64(_ColGetDec64(b, 1, col)));
  }
  for (auto [id, column] : kPercentChecks)
    CheckDlgButton(hwnd, id, _ColGetBoolean(b, 1, Col(b, column)));
  SetDlgChoices(hwnd, kStatusChoice, kStatusNames);
  const int status = _ColGetInt(b, 1, Col(b, "status"));
  SetDlgChoice(hwnd, kStatusChoice, kStatusNames[static_cast<size_t>(status >= 0 && status <= 2 ? status : 0)]);
}

// Reads the fields into the row (only cells whose value differs are set,
// so the change flags say what the person changed); false (told) to stay.
bool TakeBudgetRow(HWND hwnd, BudgetEditState& e) {
  BktHandle b = e.row;
  if (e.isNew) {
    const std::string account = Trimmed(GetDlgItemTextW(hwnd, kAccountField));
    std::optional<int16_t> year;
    if (account.empty() || !ParseYear(GetDlgItemTextW(hwnd, kBudgetYearField), year)) {
      Tell(hwnd, kBadFieldMsg, account.empty() ? "Account" : "Year");
      SetDlgFocus(hwnd, account.empty() ? kAccountField : kBudgetYearField);
      return false;
    }
    _ColSetTextW(b, 1, Col(b, "account"), account);
    if (year) _ColSetInt(b, 1, Col(b, "year"), *year); else _ColSetNull(b, 1, Col(b, "year"));
    _ColSetTextW(b, 1, Col(b, "budget"), AcqDbAccount::BudgetId(account, year));
  }
  for (const MoneyField& f : kMoneyFields) {
    const std::string text = Trimmed(GetDlgItemTextW(hwnd, f.id));
    const int col = Col(b, f.column);
    if (text.empty() && f.nullable) {
      if (!_ColIsNull(b, 1, col)) _ColSetNull(b, 1, col);
      continue;
    }
    const std::optional<Dec64> value = LbDec64_StrTo64(text);
    if (!value) {
      Tell(hwnd, kBadFieldMsg, f.label);
      SetDlgFocus(hwnd, f.id);
      return false;
    }
    if (_ColIsNull(b, 1, col) || _ColGetDec64(b, 1, col) != *value) _ColSetDec64(b, 1, col, *value);
  }
  for (auto [id, column] : kPercentChecks) {
    const bool checked = IsDlgButtonChecked(hwnd, id);
    if (_ColGetBoolean(b, 1, Col(b, column)) != checked) _ColSetBoolean(b, 1, Col(b, column), checked);
  }
  const int status = std::max(0, GetDlgChoice(hwnd, kStatusChoice));
  if (_ColGetInt(b, 1, Col(b, "status")) != status) _ColSetInt(b, 1, Col(b, "status"), status);
  return true;
}

// Edits a copy of the budget (row `row` of the list, or a new one) until
// it is saved or the person gives up.
void EditBudget(HWND hwnd, YearsState& s, int row) {
  BudgetEditState e;
  BucketHold edited, asRead;
  if (row > 0) {
    DbMsg msg;
    const std::string budget = _ColGetStringW(*s.rows, row, Col(*s.rows, "budget"));
    if (const DbCode code = AcqDbGen::LoadBudget(msg, budget, asRead.get()); code != kDbOk) {
      AcqDbExcept::HandleDbError(msg, code);
      return;
    }
    if (_BktCountAll(*asRead) == 0) return;
    edited.get() = _BktDupe(*asRead);
    _BktClearChg(*edited, 1);
  } else {
    if (!AcqDbBase::LoadBktFromCols(0, 0, edited.get(), "*", "budget")) return;
    int r = 0;
    _BktInsert(*edited, 0, r);
    for (const MoneyField& f : kMoneyFields)
      if (!f.nullable) _ColSetDec64(*edited, 1, Col(*edited, f.column), Dec64{});
    for (auto [id, column] : kPercentChecks) _ColSetBoolean(*edited, 1, Col(*edited, column), false);
    _ColSetInt(*edited, 1, Col(*edited, "status"), AcqDbAccount::kStatusOpen);
    if (s.year) _ColSetInt(*edited, 1, Col(*edited, "year"), *s.year);
    e.isNew = true;
  }
  e.row = *edited;
  for (;;) {
    if (DialogBoxParamW(AcqBase::ResourceInstance(), kBudgetDialog, hwnd,
                        &AcqForm::DlgProc<BudgetEditState, ShowBudgetRow, TakeBudgetRow>,
                        reinterpret_cast<LPARAM>(&e)) != IDOK)
      return;
    const std::string budget = _ColGetStringW(*edited, 1, Col(*edited, "budget"));
    if (e.isNew && !AcqBudget::ConfirmBudgetUse(budget)) continue;
    if (!ValidateBudgetEdit(*edited, 1)) continue;
    switch (AcqDbAccount::SaveBudgetEdit(*edited, 1, *asRead)) {
      case AcqDbAccount::SaveOutcome::kSaved: (void)FindBudgets(hwnd, s); return;
      case AcqDbAccount::SaveOutcome::kStale: Tell(hwnd, kStaleMsg, budget); return;
      case AcqDbAccount::SaveOutcome::kFailed: continue;   // shown; the edit is kept
    }
  }
}

LRESULT YearsDlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  static YearsState* state = nullptr;
  switch (message) {
    case WM_INITDIALOG: {
      state = reinterpret_cast<YearsState*>(lParam);
      SetDlgListColumns(hwnd, kList, kYearColumns);
      const int16_t fiscal = AcqDbGlobal::Globals().params.fiscal_year;
      if (fiscal != AcqDbGlobal::kNoFiscalYear) SetDlgItemTextW(hwnd, kYearField, std::to_string(fiscal));
      return TRUE;
    }
    case WM_COMMAND: {
      if (state == nullptr) break;
      const std::vector<int> selected = GetDlgListSelection(hwnd, kList);
      switch (LOWORD(wParam)) {
        case kFindButton: (void)FindBudgets(hwnd, *state); return TRUE;
        case kEditButton:
          if (selected.size() == 1) EditBudget(hwnd, *state, selected[0]);
          return TRUE;
        case kNewButton: EditBudget(hwnd, *state, 0); return TRUE;
        case kCreateYearButton:
          AcqYearCreate::OpenCreateFiscalYear(hwnd);
          if (*state->rows != nullptr) (void)FindBudgets(hwnd, *state);
          return TRUE;
        case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
        default: break;
      }
      break;
    }
    case WM_CLOSE: EndDialog(hwnd, IDCANCEL); return TRUE;
    default: break;
  }
  return FALSE;
}

// ---- the accounts window -------------------------------------------------------------------------

constexpr int kAccountsDialog = 1926;
constexpr int kSearchField = 1901;
constexpr int kDeleteButton = 1918;
constexpr int kAccountDialog = 1927;
constexpr int kDescrField = 1911;
constexpr int kRefField = 1912;
constexpr int kInflationField = 1913;
constexpr int kTransferField = 1914;
constexpr int kHasBudgetsMsg = 1901;
constexpr int kByBudgetCommand = 262;
constexpr int kByYearCommand = 263;

struct AccountsState {
  int command = 0;
  BucketHold rows;   // columns of account
};

const std::vector<DlgListColumn> kAccountColumns = {{"account", "Account"},
                                                    {"descr", "Description"},
                                                    {"acct_ref", "Reference"},
                                                    {"inflation_factor", "Inflation %"},
                                                    {"transfer_unspent_percent", "Transfer %"}};

std::string OptionalCell(BktHandle b, int row, const char* column) {
  const int col = Col(b, column);
  if (col == 0 || _ColIsNull(b, row, col)) return "";
  return _BktGetColType(b, col) == kColText ? _ColGetStringW(b, row, col)
                                            : std::to_string(_ColGetInt(b, row, col));
}

std::string LikePrefix(const std::string& text) {
  std::string quoted;
  (void)_DbQuoteAppend(quoted, static_cast<int>(2 * text.size() + 4), text + "%");
  return quoted;
}

// 261 by the account, 262 by a budget's identifier, 263 by a budget's year.
bool FindAccounts(HWND hwnd, AccountsState& s) {
  const std::string text = Trimmed(GetDlgItemTextW(hwnd, kSearchField));
  std::string where = "account like " + LikePrefix(text);
  if (s.command == kByBudgetCommand) {
    where = "account in (select account from budget_code where budget like " + LikePrefix(text) + ")";
  } else if (s.command == kByYearCommand) {
    std::optional<int16_t> year;
    if (!ParseYear(text, year)) {
      Tell(hwnd, kYearNotNumberMsg, "Year");
      return false;
    }
    where = "account in (select account from account_year where " +
            (year ? "year=" + std::to_string(*year) : std::string("year IS NULL")) + ")";
  }
  if (!AcqDbBase::LoadRows("*", "account", where, "account", s.rows)) return false;
  AcqFundCtrl::FilterBudgetsForUser(*s.rows);
  std::vector<std::vector<std::string>> cells;
  for (int row = 1; row <= _BktCountAll(*s.rows); ++row) {
    std::vector<std::string> line;
    for (const DlgListColumn& c : kAccountColumns) line.push_back(OptionalCell(*s.rows, row, c.name.c_str()));
    cells.push_back(std::move(line));
  }
  SetDlgListRows(hwnd, kList, cells);
  return true;
}

struct AccountEditState {
  AcqDbAccount::AccountRow row;
  bool isNew = false;
};

LRESULT AccountDlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  static AccountEditState* state = nullptr;
  auto text = [](std::optional<int16_t> v) { return v ? std::to_string(*v) : std::string(); };
  switch (message) {
    case WM_INITDIALOG:
      state = reinterpret_cast<AccountEditState*>(lParam);
      SetDlgItemTextW(hwnd, kAccountField, state->row.account);
      EnableDlgItem(hwnd, kAccountField, state->isNew);
      SetDlgItemTextW(hwnd, kDescrField, state->row.descr);
      SetDlgItemTextW(hwnd, kRefField, state->row.acctRef);
      SetDlgItemTextW(hwnd, kInflationField, text(state->row.inflationFactor));
      SetDlgItemTextW(hwnd, kTransferField, text(state->row.transferUnspentPercent));
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK: {
          if (state == nullptr) return TRUE;
          AcqDbAccount::AccountRow& r = state->row;
          r.account = Lb_CutChars(Trimmed(GetDlgItemTextW(hwnd, kAccountField)), 8);
          r.descr = Trimmed(GetDlgItemTextW(hwnd, kDescrField));
          r.acctRef = Trimmed(GetDlgItemTextW(hwnd, kRefField));
          for (auto [id, value, label] :
               {std::tuple{kInflationField, &r.inflationFactor, "Inflation Factor"},
                std::tuple{kTransferField, &r.transferUnspentPercent, "Transfer Unspent Percent"}}) {
            if (!ParseYear(GetDlgItemTextW(hwnd, id), *value)) {
              Tell(hwnd, kBadFieldMsg, label);
              SetDlgFocus(hwnd, id);
              return TRUE;
            }
          }
          if (r.account.empty()) {
            Tell(hwnd, kBadFieldMsg, "Account");
            SetDlgFocus(hwnd, kAccountField);
            return TRUE;
          }
          if (const int refused = AcqDbAccount::CheckAccount(r); refused != 0) {
            Tell(hwnd, refused);
            SetDlgFocus(hwnd, refused == 378 ? kTransferField : kInflationField);
            return TRUE;
          }
          if (AcqDbAccount::SaveAccount(r, state->isNew)) EndDialog(hwnd, IDOK);
          return TRUE;
        }
        case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
        default: break;
      }
      break;
    case WM_CLOSE: EndDialog(hwnd, IDCANCEL); return TRUE;
    default: break;
  }
  return FALSE;
}

void EditAccount(HWND hwnd, AccountsState& s, int row) {
  if (!AcqSecurity::CheckManPrivilege(AcqSecurity::acEdit)) return;
  AccountEditState e;
  e.isNew = row == 0;
  if (row > 0) {
    BktHandle b = *s.rows;
    e.row.account = OptionalCell(b, row, "account");
    e.row.descr = OptionalCell(b, row, "descr");
    e.row.acctRef = OptionalCell(b, row, "acct_ref");
    (void)ParseYear(OptionalCell(b, row, "inflation_factor"), e.row.inflationFactor);
    (void)ParseYear(OptionalCell(b, row, "transfer_unspent_percent"), e.row.transferUnspentPercent);
  }
  if (DialogBoxParamW(AcqBase::ResourceInstance(), kAccountDialog, hwnd, &AccountDlgProc,
                      reinterpret_cast<LPARAM>(&e)) == IDOK)
    (void)FindAccounts(hwnd, s);
}

void DeleteSelectedAccount(HWND hwnd, AccountsState& s, int row) {
  if (!AcqSecurity::CheckManPrivilege(AcqSecurity::acDel)) return;
  const std::string account = OptionalCell(*s.rows, row, "account");
  bool hasBudgets = false;
  if (AcqDbAccount::DeleteAccount(account, hasBudgets))
    (void)FindAccounts(hwnd, s);
  else if (hasBudgets)
    Tell(hwnd, kHasBudgetsMsg, account);
}

LRESULT AccountsDlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  static AccountsState* state = nullptr;
  switch (message) {
    case WM_INITDIALOG:
      state = reinterpret_cast<AccountsState*>(lParam);
      SetDlgListColumns(hwnd, kList, kAccountColumns);
      return TRUE;
    case WM_COMMAND: {
      if (state == nullptr) break;
      const std::vector<int> selected = GetDlgListSelection(hwnd, kList);
      const int one = selected.size() == 1 && *state->rows != nullptr ? selected[0] : 0;
      switch (LOWORD(wParam)) {
        case kFindButton: (void)FindAccounts(hwnd, *state); return TRUE;
        case kEditButton: if (one > 0) EditAccount(hwnd, *state, one); return TRUE;
        case kNewButton: EditAccount(hwnd, *state, 0); return TRUE;
        case kDeleteButton: if (one > 0) DeleteSelectedAccount(hwnd, *state, one); return TRUE;
        case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
        default: break;
      }
      break;
    }
    case WM_CLOSE: EndDialog(hwnd, IDCANCEL); return TRUE;
    default: break;
  }
  return FALSE;
}

}  // namespace

void OpenAccounts(int command) {
  AccountsState state;
  state.command = command;
  (void)DialogBoxParamW(AcqBase::ResourceInstance(), kAccountsDialog, Owner(), &AccountsDlgProc,
                        reinterpret_cast<LPARAM>(&state));
}

void OpenAccountYears() {
  YearsState state;
  (void)DialogBoxParamW(AcqBase::ResourceInstance(), kYearsDialog, Owner(), &YearsDlgProc,
                        reinterpret_cast<LPARAM>(&state));
}

}  // namespace acq::AcqAccount

ACQ_UNIT_EMPTY(AcqAccount)
