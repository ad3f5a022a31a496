// AcqYearEnd: transfer of unspent money and reassignment of attachments.
//
// Each command is an options dialog (kept per user in its options table)
// and a lister of the source budgets of the source year with an editable
// target per row; the action button works on the selected rows. The money
// work is AcqDbYearEnd's: a transfer commits pair by pair, a reassignment
// all at once through fund control.
#include "acq/budget/AcqYearEnd.h"

#include <optional>
#include <string>
#include <vector>

#include "acq/budget/AcqDbYearEnd.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbBase.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqForm.h"
#include "acq/frame/AcqGlobal.h"
#include "host/db/DbDabs.h"
#include "host/db/PwDb.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/sys/Bucket.h"
#include "host/sys/LbStr.h"
#include "host/win32/Dialog.h"

namespace acq::AcqYearEnd {
namespace {

namespace ye = AcqDbYearEnd;
namespace msg = AcqDbYearEnd::msg;

constexpr int kMaxRetries = 5;
constexpr int kMsgNotAYear = 1937;
constexpr int kMsgBadRollType = 1936;

// Dialogs and controls.
constexpr int kTransferOptions = 1940;
constexpr int kTransferLister = 1941;
constexpr int kReassignOptions = 1942;
constexpr int kReassignLister = 1943;
constexpr int kSourceYear = 1944;
constexpr int kTargetYear = 1945;
constexpr int kPercent = 1946;      // transfer
constexpr int kIgnoreAccount = 1947;
constexpr int kTargetStatus = 1948;
constexpr int kSourceStatus = 1949;
constexpr int kRollOnOrder = 1946;  // reassignment radios
constexpr int kRollSpent = 1947;
constexpr int kRollBoth = 1948;
constexpr int kByType = 1949;
constexpr int kList = 1000;
constexpr int kTransferButton = 1956;
constexpr int kSelectAll = 1957;
constexpr int kReassignButton = 1958;
constexpr int kNote = 1959;

const std::vector<std::string> kStatuses = {"No Change", "Open", "Frozen", "Closed"};

void Tell(HWND owner, int message, std::string_view a1 = {}, std::string_view a2 = {},
          std::string_view a3 = {}) {
  MucTools_MsgBoxCap(owner ? owner : PwMucBase_hwndClient,
                     Lb_FormatMessage(AcqBase::LoadStr(message), a1, a2, a3),
                     MB_OK | MB_ICONWARNING);
}
void Tell(HWND owner, const ye::Refusal& r) {
  if (r.message > 0) Tell(owner, r.message, r.a1, r.a2);   // -1: the failure was shown
}

std::string Trimmed(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  while (!text.empty() && text.front() == ' ') text.erase(text.begin());
  return text;
}

// A whole number in [low, high]; "" is none. False when it is not one.
bool ParseOptional(const std::string& raw, int low, int high, std::optional<int>& value) {
  const std::string t = Trimmed(raw);
  value = std::nullopt;
  if (t.empty()) return true;
  size_t i = t[0] == '-' ? 1 : 0;
  if (i == t.size() || t.size() > 6) return false;
  for (; i < t.size(); ++i)
    if (t[i] < '0' || t[i] > '9') return false;
  const int v = std::stoi(t);
  if (v < low || v > high) return false;
  value = v;
  return true;
}

std::optional<int16_t> Year16(std::optional<int> year) {
  if (!year) return std::nullopt;
  return static_cast<int16_t>(*year);
}
std::string YearText(std::optional<int16_t> year) { return year ? std::to_string(*year) : ""; }
std::string NullOr(std::optional<int> value) {
  return value ? std::to_string(*value) : std::string("NULL");
}
std::string Quoted(std::string_view text) {
  std::string out = "'";
  for (char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
  return out + "'";
}
std::optional<int> IntAt(BktHandle rows, int row, const char* name) {
  const int col = _BktGetColNum(rows, name);
  if (col == 0 || _ColIsNull(rows, row, col)) return std::nullopt;
  return _ColGetInt(rows, row, col);
}
std::string MoneyText(Dec64 amount) {
  return LbDec64_StrFrom64(amount, DbDabs_QueryMoneyFmt(0).decimals);
}

// A status choice: "No Change" (none) or 0..2.
std::optional<int> StatusOf(HWND hwnd, int id) {
  const int chosen = GetDlgChoice(hwnd, id);
  if (chosen <= 0) return std::nullopt;
  return chosen - 1;
}
void ShowStatus(HWND hwnd, int id, std::optional<int> status) {
  SetDlgChoices(hwnd, id, kStatuses);
  SetDlgChoice(hwnd, id, kStatuses[status ? static_cast<size_t>(*status + 1) : 0]);
}

// The options row of the user in `table` (nothing when none), and its
// save: one row per user, replaced.
bool LoadOptionsRow(const char* table, BucketHold& rows) {
  return AcqDbBase::LoadRows("*", table, "user_id=" + Quoted(DbUser_GetUser()), "", rows);
}
void SaveOptionsRow(const char* table, const std::string& columns, const std::string& values) {
  const std::string user = Quoted(DbUser_GetUser());
  auto steps = [&] {
    return AcqDbBase::RunStatement(std::string("delete from ") + table + " where user_id=" +
                                   user) &&
           AcqDbBase::RunStatement(std::string("insert into ") + table + "(user_id, " + columns +
                                   ") values(" + user + ", " + values + ")");
  };
  (void)AcqDbBase::SaveWithReportedRetry(kMaxRetries, steps, {});
}

// The years of an options dialog; false (told, focus on the field) when
// one is not a year.
bool TakeYears(HWND hwnd, std::optional<int16_t>& source, std::optional<int16_t>& target) {
  for (auto [id, year] : {std::pair{kSourceYear, &source}, std::pair{kTargetYear, &target}}) {
    std::optional<int> value;
    const std::string text = GetDlgItemTextW(hwnd, id);
    if (!ParseOptional(text, 1, 9999, value)) {
      Tell(hwnd, kMsgNotAYear, Trimmed(text));
      SetDlgFocus(hwnd, id);
      return false;
    }
    *year = Year16(value);
  }
  return true;
}

// ---- the lister shared by both commands -----------------------------------------------------

struct ListerState {
  bool transfer = true;
  std::optional<int16_t> sourceYear, targetYear;
  // Transfer options.
  std::optional<int> percent, targetStatus, sourceStatus;
  bool ignoreAccount = false;
  // Reassignment options.
  int rollType = ye::kRollOnOrder;
  std::vector<ye::TransferRow> rows;
};

void ShowRows(HWND hwnd, const ListerState& s) {
  std::vector<DlgListColumn> columns = {{"budget", "Source"}, {"descr", "Description"}};
  if (s.transfer) {
    columns.push_back({"amount", "Amount"});
    columns.push_back({"total_spent", "Spent"});
    columns.push_back({"unspent", "Unspent"});
  }
  columns.push_back({"target_budget", "Target", true});
  SetDlgListColumns(hwnd, kList, columns);
  std::vector<std::vector<std::string>> cells;
  for (const ye::TransferRow& r : s.rows) {
    std::vector<std::string> row = {r.source, r.descr};
    if (s.transfer) {
      Dec64 unspent;
      (void)LbDec64_Sub64(r.amount, r.spent, unspent);
      row.push_back(MoneyText(r.amount));
      row.push_back(MoneyText(r.spent));
      row.push_back(MoneyText(unspent));
    }
    row.push_back(r.target);
    cells.push_back(std::move(row));
  }
  SetDlgListRows(hwnd, kList, cells);
}

std::vector<ye::Pair> SelectedPairs(HWND hwnd, const ListerState& s) {
  std::vector<ye::Pair> pairs;
  const auto cells = GetDlgListRows(hwnd, kList);
  for (int row : GetDlgListSelection(hwnd, kList)) {
    if (row < 1 || row > static_cast<int>(cells.size())) continue;
    const auto& line = cells[static_cast<size_t>(row - 1)];
    pairs.push_back({s.rows[static_cast<size_t>(row - 1)].source, Trimmed(line.back())});
  }
  return pairs;
}

void TransferSelected(HWND hwnd, ListerState& s) {
  const std::vector<ye::Pair> pairs = SelectedPairs(hwnd, s);
  if (const ye::Refusal r = ye::CheckPairs(ye::Op::Transfer, pairs, s.targetYear)) {
    Tell(hwnd, r);
    return;
  }
  const std::string note = Trimmed(GetDlgItemTextW(hwnd, kNote));
  int done = 0, nothing = 0;
  Dec64 total;
  for (const ye::Pair& p : pairs) {
    // The source is never reduced: a second run would send the money again.
    Dec64 earlier;
    if (!ye::AlreadyTransferred(p.source, p.target, earlier)) return;
    if (earlier > Dec64{} &&
        !MucTools_MsgBoxCapYNbool(hwnd, Lb_FormatMessage(AcqBase::LoadStr(msg::kTransferredBefore),
                                                         p.target, MoneyText(earlier), p.source)))
      continue;
    Dec64 fraction, moved;
    ye::Refusal refusal;
    if (!ye::GetTransferPercent(ye::SplitBudget(p.source).account, s.ignoreAccount, s.percent,
                                fraction))
      return;
    if (!ye::TransferUnspent(fraction, s.targetStatus, p.target, s.sourceStatus, p.source, note,
                             moved, refusal)) {
      Tell(hwnd, refusal);   // this pair only; the others stand
      continue;
    }
    if (moved > Dec64{}) {
      ++done;
      (void)LbDec64_Add64(total, moved, total);
    } else {
      ++nothing;
    }
  }
  Tell(hwnd, msg::kTransferDone, std::to_string(done), MoneyText(total), std::to_string(nothing));
}

void ReassignSelected(HWND hwnd, ListerState& s) {
  std::vector<ye::Pair> pairs = SelectedPairs(hwnd, s);
  if (const ye::Refusal r = ye::CheckPairs(ye::Op::Reassign, pairs, s.targetYear)) {
    Tell(hwnd, r);
    return;
  }
  if (s.rollType != ye::kRollOnOrder) Tell(hwnd, msg::kReassignSpentWarning);
  ye::Refusal warning;
  if (!ye::ScreenPairs(pairs, s.rollType, warning)) return;
  Tell(hwnd, warning);
  if (pairs.empty()) return;
  int moved = 0;
  ye::Refusal refusal;
  if (!ye::Reassign(pairs, s.rollType, Trimmed(GetDlgItemTextW(hwnd, kNote)), moved, refusal)) {
    Tell(hwnd, refusal);
    return;
  }
  Tell(hwnd, msg::kReassignDone, std::to_string(moved));
  // The budgets reassigned leave the list.
  std::vector<ye::TransferRow> left;
  for (const ye::TransferRow& r : s.rows) {
    bool moved_ = false;
    for (const ye::Pair& p : pairs) moved_ = moved_ || p.source == r.source;
    if (!moved_) left.push_back(r);
  }
  s.rows = std::move(left);
  ShowRows(hwnd, s);
}

LRESULT ListerDlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  static ListerState* state = nullptr;
  switch (message) {
    case WM_INITDIALOG:
      state = reinterpret_cast<ListerState*>(lParam);
      ShowRows(hwnd, *state);
      return TRUE;
    case WM_COMMAND:
      if (state == nullptr) break;
      switch (LOWORD(wParam)) {
        case kTransferButton: TransferSelected(hwnd, *state); return TRUE;
        case kReassignButton: ReassignSelected(hwnd, *state); return TRUE;
        case kSelectAll: {
          std::vector<int> all;
          for (int row = 1; row <= static_cast<int>(state->rows.size()); ++row)
            all.push_back(row);
          SetDlgListSelection(hwnd, kList, all);
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

// ---- options ---------------------------------------------------------------------------------

// Loads the source budgets for the options taken; false (told) to stay.
bool LoadSources(HWND hwnd, ListerState& s) {
  const ye::Op op = s.transfer ? ye::Op::Transfer : ye::Op::Reassign;
  if (const ye::Refusal r = ye::CheckYears(op, s.sourceYear, s.targetYear)) {
    Tell(hwnd, r);
    return false;
  }
  ye::Refusal refusal;
  if (!ye::LoadTransferRows(s.sourceYear, s.targetYear, s.rows, refusal)) return false;
  if (refusal) {
    Tell(hwnd, s.transfer ? msg::kTransferNothing : msg::kReassignNothing);
    return false;
  }
  return true;
}

bool TakeTransferOptions(HWND hwnd, ListerState& s) {
  if (!TakeYears(hwnd, s.sourceYear, s.targetYear)) return false;
  if (!ParseOptional(GetDlgItemTextW(hwnd, kPercent), 0, 100, s.percent)) {
    Tell(hwnd, msg::kTransferBadPercent);
    SetDlgFocus(hwnd, kPercent);
    return false;
  }
  s.ignoreAccount = IsDlgButtonChecked(hwnd, kIgnoreAccount);
  s.targetStatus = StatusOf(hwnd, kTargetStatus);
  s.sourceStatus = StatusOf(hwnd, kSourceStatus);
  SaveOptionsRow("transfer_unspent_options",
                 "source_year, target_year, transfer_unspent_percent, "
                 "ignore_account_pcnt_setting, target_status, source_status",
                 NullOr(s.sourceYear) + ", " + NullOr(s.targetYear) + ", " + NullOr(s.percent) +
                     ", " + (s.ignoreAccount ? "1" : "0") + ", " + NullOr(s.targetStatus) +
                     ", " + NullOr(s.sourceStatus));
  return LoadSources(hwnd, s);
}

bool TakeReassignOptions(HWND hwnd, ListerState& s) {
  if (!TakeYears(hwnd, s.sourceYear, s.targetYear)) return false;
  s.rollType = IsDlgButtonChecked(hwnd, kRollBoth)    ? ye::kRollBoth
               : IsDlgButtonChecked(hwnd, kRollSpent) ? ye::kRollSpent
               : IsDlgButtonChecked(hwnd, kRollOnOrder) ? ye::kRollOnOrder
                                                        : 0;
  if (s.rollType == 0) {
    Tell(hwnd, kMsgBadRollType);
    return false;
  }
  SaveOptionsRow("reassign_budget_options",
                 "source_year, target_year, reassign_amount_type, reassign_by_type",
                 NullOr(s.sourceYear) + ", " + NullOr(s.targetYear) + ", " +
                     std::to_string(s.rollType) + ", " +
                     (IsDlgButtonChecked(hwnd, kByType) ? "1" : "0"));
  return LoadSources(hwnd, s);
}

void ShowOptions(HWND hwnd, const ListerState& s) {
  BucketHold rows;
  const char* table = s.transfer ? "transfer_unspent_options" : "reassign_budget_options";
  const bool found = LoadOptionsRow(table, rows) && *rows && _BktCountAll(*rows) > 0;
  auto value = [&](const char* name) {
    return found ? IntAt(*rows, 1, name) : std::optional<int>{};
  };
  std::optional<int> source = value("source_year"), target = value("target_year");
  if (!found) {
    const int16_t fiscal = AcqDbGlobal::Globals().params.fiscal_year;
    if (fiscal != AcqDbGlobal::kNoFiscalYear) {
      source = fiscal;
      target = fiscal + 1;
    }
  }
  SetDlgItemTextW(hwnd, kSourceYear, YearText(Year16(source)));
  SetDlgItemTextW(hwnd, kTargetYear, YearText(Year16(target)));
  if (s.transfer) {
    const std::optional<int> percent = value("transfer_unspent_percent");
    SetDlgItemTextW(hwnd, kPercent, percent ? std::to_string(*percent) : "");
    CheckDlgButton(hwnd, kIgnoreAccount, value("ignore_account_pcnt_setting").value_or(0) != 0);
    ShowStatus(hwnd, kTargetStatus, value("target_status"));
    ShowStatus(hwnd, kSourceStatus, value("source_status"));
  } else {
    const int roll = value("reassign_amount_type").value_or(ye::kRollOnOrder);
    CheckDlgButton(hwnd, roll == ye::kRollBoth    ? kRollBoth
                         : roll == ye::kRollSpent ? kRollSpent
                                                  : kRollOnOrder,
                   true);
    CheckDlgButton(hwnd, kByType, value("reassign_by_type").value_or(0) != 0);
  }
}

bool TakeOptions(HWND hwnd, ListerState& s) {
  return s.transfer ? TakeTransferOptions(hwnd, s) : TakeReassignOptions(hwnd, s);
}

void Open(bool transfer) {
  ListerState state;
  state.transfer = transfer;
  if (DialogBoxParamW(AcqBase::ResourceInstance(), transfer ? kTransferOptions : kReassignOptions,
                      PwMucBase_hwndClient,
                      &AcqForm::DlgProc<ListerState, ShowOptions, TakeOptions>,
                      reinterpret_cast<LPARAM>(&state)) != IDOK)
    return;
  (void)DialogBoxParamW(AcqBase::ResourceInstance(), transfer ? kTransferLister : kReassignLister,
                        PwMucBase_hwndClient, &ListerDlgProc, reinterpret_cast<LPARAM>(&state));
}

}  // namespace

void OpenReassign() { Open(false); }
void OpenTransferUnspent() { Open(true); }

}  // namespace acq::AcqYearEnd
