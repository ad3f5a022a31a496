// AcqPo: the line editor's dialogs: Bdgt Split (an item's budgets and their
// percentages, a grid the person fills) and Add Items (how many), and the
// checks of a budget entered.
#include <algorithm>
#include <cctype>

#include "acq/budget/AcqBudget.h"
#include "acq/db/AcqDbGen.h"
#include "acq/frame/AcqBase.h"
#include "acq/po/AcqPoParts.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"

namespace acq::AcqPo::parts {
namespace {

using AcqDbBudget::SplitEntry;

constexpr int kSplitDialog = 1201;
constexpr int kQuantityDialog = 1202;
constexpr int kGrid = 1000;
constexpr int kAddRow = 1101;
constexpr int kQuantityField = 1001;
constexpr size_t kSplitTextChars = 255;
// The widest an entry can be with its joint: budget and percentage of at
// most 15 characters each, a blank, "%" and " + ".
constexpr size_t kWidestEntry = 35;
constexpr int kMaxQuantity = 999;
constexpr const char* kJoint = " + ";

std::string Trim(std::string_view s) {
  const size_t b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  const size_t e = s.find_last_not_of(" \t");
  return std::string(s.substr(b, e - b + 1));
}

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// ---- Bdgt Split ---------------------------------------------------------------------------------

// The split the dialog edits, from EditBudgetSplit to the dialog's end.
std::vector<SplitEntry>* editedSplit = nullptr;
// Where the dialog records the statuses the person confirmed (may be null).
AcqFundCtrl::BustList* splitConfirmed = nullptr;

void ShowSplit(HWND hwnd, const std::vector<SplitEntry>& split) {
  std::vector<std::vector<std::string>> rows;
  for (const SplitEntry& e : split) rows.push_back({e.budget, std::to_string(e.percentage)});
  rows.push_back({"", ""});   // room for one more
  SetDlgListRows(hwnd, kGrid, rows);
  SetDlgListSelection(hwnd, kGrid, {static_cast<int>(rows.size())});
}

void AddRow(HWND hwnd) {
  std::vector<std::vector<std::string>> rows = GetDlgListRows(hwnd, kGrid);
  rows.push_back({"", ""});
  SetDlgListRows(hwnd, kGrid, rows);
  SetDlgListSelection(hwnd, kGrid, {static_cast<int>(rows.size())});
}

bool RefuseRow(HWND hwnd, int row, int message, std::string_view a1 = {}) {
  Tell(hwnd, message, MB_OK | MB_ICONWARNING, a1);
  if (row > 0) SetDlgListSelection(hwnd, kGrid, {row});
  return false;
}

// The grid's rows as a split: rows of 0 % (and empty rows) dropped; the
// percentages must add up to 100 and the budgets differ, each a budget of
// the library the person may use.
bool ReadSplit(HWND hwnd, std::vector<SplitEntry>& split) {
  split.clear();
  const std::vector<std::vector<std::string>> rows = GetDlgListRows(hwnd, kGrid);
  std::vector<int> rowOf;
  for (size_t n = 0; n < rows.size(); ++n) {
    const int row = static_cast<int>(n) + 1;
    const std::string budget = rows[n].size() > 0 ? Trim(rows[n][0]) : std::string();
    const std::string percent = rows[n].size() > 1 ? Trim(rows[n][1]) : std::string();
    if (budget.empty() && percent.empty()) continue;
    int64_t p = 0;
    if (!ParseWhole(percent, p) || p < 0 || p > 100)
      return RefuseRow(hwnd, row, kMsgPercentage, percent);
    if (p == 0) continue;
    if (budget.empty()) return RefuseRow(hwnd, row, kMsgPercentNeedsBudget);
    split.push_back(SplitEntry{budget, static_cast<int>(p)});
    rowOf.push_back(row);
  }
  size_t twice = 0;
  if (const int refusal = SplitRuleRefusal(split, &twice); refusal != 0)
    return RefuseRow(hwnd, refusal == kMsgSameBudget ? rowOf[twice] : 0, refusal);
  for (size_t n = 0; n < split.size(); ++n) {
    if (!BudgetExists(hwnd, split[n].budget) || !ConfirmBudgetEntered(split[n].budget, splitConfirmed)) {
      SetDlgListSelection(hwnd, kGrid, {rowOf[n]});
      return false;
    }
  }
  return true;
}

void ConfirmSplit(HWND hwnd) {
  std::vector<SplitEntry> split;
  if (!ReadSplit(hwnd, split)) return;
  std::vector<std::string> entries;
  for (const SplitEntry& e : split) entries.push_back(SplitEntryText(e));
  std::string text;
  if (!JoinSplitEntries(entries, text)) {
    // Too long to keep as the item's split text: nothing of it is kept.
    Tell(hwnd, kMsgTooManyBudgets, MB_OK | MB_ICONWARNING);
    EndDialog(hwnd, IDCANCEL);
    return;
  }
  if (editedSplit != nullptr) *editedSplit = std::move(split);
  EndDialog(hwnd, IDOK);
}

LRESULT SplitDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      SetDlgListColumns(hwnd, kGrid, {{"budget", "Budget", true}, {"percentage", "Percent", true}});
      if (editedSplit != nullptr) ShowSplit(hwnd, *editedSplit);
      return TRUE;
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) break;
      switch (LOWORD(wParam)) {
        case kAddRow: AddRow(hwnd); return TRUE;
        case IDOK: ConfirmSplit(hwnd); return TRUE;
        case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
        default: break;
      }
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, 0);
}

// ---- Add Items ----------------------------------------------------------------------------------

std::optional<int>* askedQuantity = nullptr;

void ConfirmQuantity(HWND hwnd) {
  const std::string text = Trim(GetDlgItemTextW(hwnd, kQuantityField));
  int64_t n = 0;
  if (!ParseWhole(text, n)) {
    Tell(hwnd, kMsgQuantityNotNumber, MB_OK | MB_ICONWARNING, Lb_CutForMessage(text));
    return;
  }
  if (n < 1) {
    Tell(hwnd, kMsgQuantity, MB_OK | MB_ICONWARNING);
    return;
  }
  if (n > kMaxQuantity) {
    Tell(hwnd, kMsgQuantityTooMany, MB_OK | MB_ICONWARNING, std::to_string(kMaxQuantity));
    return;
  }
  if (askedQuantity != nullptr) *askedQuantity = static_cast<int>(n);
  EndDialog(hwnd, IDOK);
}

LRESULT QuantityDlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM) {
  if (msg == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
    switch (LOWORD(wParam)) {
      case IDOK: ConfirmQuantity(hwnd); return TRUE;
      case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
      default: break;
    }
  }
  if (msg == WM_INITDIALOG) return TRUE;
  return _Win32_DefDlgProc(hwnd, msg, wParam, 0);
}

}  // namespace

std::string SplitEntryText(const SplitEntry& entry) {
  return entry.budget + " " + std::to_string(entry.percentage) + "%";
}

bool JoinSplitEntries(const std::vector<std::string>& entries, std::string& text) {
  text.clear();
  for (const std::string& entry : entries) {
    if (Lb_CharCount(text) + kWidestEntry > kSplitTextChars) {
      text.clear();
      return false;
    }
    if (!text.empty()) text += kJoint;
    text += entry;
  }
  return true;
}

bool EditBudgetSplit(HWND owner, std::vector<SplitEntry>& split,
                     AcqFundCtrl::BustList* confirmed) {
  std::vector<SplitEntry> edited = split;
  editedSplit = &edited;
  splitConfirmed = confirmed;
  const INT_PTR result =
      DialogBoxParamW(AcqBase::ResourceInstance(), kSplitDialog, owner, &SplitDlgProc, 0);
  editedSplit = nullptr;
  splitConfirmed = nullptr;
  if (result != IDOK) return false;
  split = std::move(edited);
  return true;
}

std::optional<int> AskItemQuantity(HWND owner) {
  std::optional<int> quantity;
  askedQuantity = &quantity;
  const INT_PTR result =
      DialogBoxParamW(AcqBase::ResourceInstance(), kQuantityDialog, owner, &QuantityDlgProc, 0);
  askedQuantity = nullptr;
  return result == IDOK ? quantity : std::nullopt;
}

bool BudgetExists(HWND owner, std::string_view budget) {
  bool exists = false;
  if (!RowExists("budget", "budget", "budget=" + Quote(budget), exists)) return false;
  if (!exists) Tell(owner, kMsgUnknownBudget, MB_OK | MB_ICONWARNING, budget);
  return exists;
}

int SplitRuleRefusal(const std::vector<SplitEntry>& split, size_t* twice) {
  int sum = 0;
  for (const SplitEntry& e : split) sum += e.percentage;
  if (sum != 100) return kMsgPercents;
  for (size_t b = 1; b < split.size(); ++b) {
    for (size_t a = 0; a < b; ++a) {
      if (Upper(split[a].budget) != Upper(split[b].budget)) continue;
      if (twice != nullptr) *twice = b;
      return kMsgSameBudget;
    }
  }
  return 0;
}

bool ConfirmBudgetEntered(std::string_view budget, AcqFundCtrl::BustList* confirmed) {
  if (!AcqBudget::ConfirmBudgetUse(budget)) return false;
  uint8_t status = 0;
  DbMsg msg;
  if (!AcqDbGen::GetBudgetStatus(msg, budget, status)) return false;
  if (!AcqBudget::ConfirmBudgetStatus(status, budget)) return false;
  AcqFundCtrl::NoteConfirmedStatus(confirmed, budget, status);
  return true;
}

}  // namespace acq::AcqPo::parts
