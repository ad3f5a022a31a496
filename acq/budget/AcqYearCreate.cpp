// AcqYearCreate: creating next year's allocations through modal dialogs
// over lists the module fills: the options (dialog 1910, the user's row of
// account_year_create_options), the candidates (dialog 1916, several may be
// selected) and the note of the budget transaction (dialog 1920). The
// database work is AcqDbAccount's: one transaction per "&Create".
#include "acq/budget/AcqYearCreate.h"

#include <algorithm>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "acq/budget/AcqDbAccount.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqForm.h"
#include "acq/frame/AcqGlobal.h"
#include "host/db/DbDabs.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"
#include "host/win32/Dialog.h"

namespace acq::AcqYearCreate {
namespace {

using AcqDbAccount::CreateOptions;

constexpr int kOptionsDialog = 1910;
constexpr int kFromField = 1911;
constexpr int kForField = 1912;
constexpr int kFactorField = 1913;
constexpr int kNoAccountCheck = 1914;
constexpr int kStatusChoice = 1915;
constexpr int kCandidatesDialog = 1916;
constexpr int kList = 1000;
constexpr int kCreateButton = 1917;
constexpr int kSelectAllButton = 1918;
constexpr int kNoteDialog = 1920;
constexpr int kNoteField = 1921;

constexpr int kBadFactorMsg = 370;
constexpr int kNothingToCreateMsg = 372;
constexpr int kNoFromYearMsg = 373;
constexpr int kCreatedElsewhereMsg = 1900;
constexpr int kCreatedMsg = 1902;
constexpr int kNotANumberMsg = 1903;

// The status choices in order; index - 1 is the status, 0 "No Change".
const std::vector<std::string> kStatusChoices = {"No Change", "Open", "Frozen", "Closed"};

void Tell(HWND owner, int message, std::string_view a1 = {}) {
  MucTools_MsgBoxCap(owner, Lb_FormatMessage(AcqBase::LoadStr(message), a1),
                     MB_OK | MB_ICONWARNING);
}

std::string Trimmed(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  while (!text.empty() && text.front() == ' ') text.erase(text.begin());
  return text;
}

// An optional whole number of a field: "" is none; false when it is not a
// number between -32768 and 32767.
bool ParseOptional(const std::string& raw, std::optional<int16_t>& value) {
  const std::string t = Trimmed(raw);
  value.reset();
  if (t.empty()) return true;
  size_t i = t[0] == '-' ? 1 : 0;
  if (i == t.size() || t.size() > 6) return false;
  int v = 0;
  for (; i < t.size(); ++i) {
    if (t[i] < '0' || t[i] > '9') return false;
    v = v * 10 + (t[i] - '0');
  }
  if (t[0] == '-') v = -v;
  if (v < INT16_MIN || v > INT16_MAX) return false;
  value = static_cast<int16_t>(v);
  return true;
}

std::string OptionalText(std::optional<int16_t> value) {
  return value ? std::to_string(*value) : std::string();
}

// ---- options -------------------------------------------------------------------------------

void ShowOptions(HWND hwnd, const CreateOptions& o) {
  SetDlgItemTextW(hwnd, kFromField, OptionalText(o.fromYear));
  SetDlgItemTextW(hwnd, kForField, OptionalText(o.forYear));
  SetDlgItemTextW(hwnd, kFactorField, OptionalText(o.inflationFactor));
  CheckDlgButton(hwnd, kNoAccountCheck, o.noAccountInflation);
  SetDlgChoices(hwnd, kStatusChoice, kStatusChoices);
  const size_t index = o.newStatus && *o.newStatus >= 0 && *o.newStatus <= 2
                           ? static_cast<size_t>(*o.newStatus + 1)
                           : 0;
  SetDlgChoice(hwnd, kStatusChoice, kStatusChoices[index]);
}

// Reads and checks the options; false (told, focus on the field) to stay.
bool TakeOptions(HWND hwnd, CreateOptions& o) {
  for (auto [id, value, name] :
       {std::tuple{kFromField, &o.fromYear, "Year to Create From"},
        std::tuple{kForField, &o.forYear, "Year to Create For"},
        std::tuple{kFactorField, &o.inflationFactor, "Inflation Factor"}}) {
    if (!ParseOptional(GetDlgItemTextW(hwnd, id), *value)) {
      Tell(hwnd, kNotANumberMsg, name);
      SetDlgFocus(hwnd, id);
      return false;
    }
  }
  o.noAccountInflation = IsDlgButtonChecked(hwnd, kNoAccountCheck);
  const int status = GetDlgChoice(hwnd, kStatusChoice);
  o.newStatus = status > 0 ? std::optional<int16_t>(static_cast<int16_t>(status - 1))
                           : std::nullopt;
  if (const int message = AcqDbAccount::CheckCreateOptions(o); message != 0) {
    Tell(hwnd, message);
    SetDlgFocus(hwnd, message == kBadFactorMsg ? kFactorField : kForField);
    return false;
  }
  return true;
}

// ---- note ------------------------------------------------------------------------------------

LRESULT NoteDlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  static std::string* note = nullptr;
  switch (message) {
    case WM_INITDIALOG: note = reinterpret_cast<std::string*>(lParam); return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          if (note != nullptr) *note = Lb_CutChars(Trimmed(GetDlgItemTextW(hwnd, kNoteField)), 255);
          EndDialog(hwnd, IDOK);
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

struct CandidatesState {
  CreateOptions options;
  BucketHold rows;   // candidates still listed
};

const std::vector<DlgListColumn> kColumns = {{"budget", "Budget"},
                                             {"descr", "Description"},
                                             {"amount", "Amount"},
                                             {"new_amount", "New Amount"},
                                             {"status", "Status"}};

std::string Money(Dec64 amount) { return LbDec64_StrFrom64(amount, DbDabs_QueryMoneyFmt(0)); }

void ShowCandidates(HWND hwnd, const CandidatesState& s) {
  BktHandle rows = *s.rows;
  const int amountCol = _BktGetColNum(rows, "amount");
  std::vector<std::vector<std::string>> cells;
  for (int row = 1; row <= _BktCountAll(rows); ++row) {
    const Dec64 amount = _ColGetDec64(rows, row, amountCol);
    Dec64 inflated{};
    const bool fits = AcqDbAccount::InflateAmount(
        amount, AcqDbAccount::GetInflationFactor(s.options, rows, row), inflated);
    const int status = _ColGetInt(rows, row, _BktGetColNum(rows, "status"));
    cells.push_back({_ColGetStringW(rows, row, _BktGetColNum(rows, "budget")),
                     _ColGetStringW(rows, row, _BktGetColNum(rows, "descr")), Money(amount),
                     fits ? LbDec64_StrFrom64(inflated) : std::string("?"),
                     kStatusChoices[static_cast<size_t>(status < 0 || status > 2 ? 0 : status + 1)]});
  }
  SetDlgListRows(hwnd, kList, cells);
}

void CreateSelected(HWND hwnd, CandidatesState& s) {
  const std::vector<int> selected = GetDlgListSelection(hwnd, kList);
  if (selected.empty()) return;
  std::string note;
  if (AcqDbGlobal::Globals().params.track_budget_trans &&
      DialogBoxParamW(AcqBase::ResourceInstance(), kNoteDialog, hwnd, &NoteDlgProc,
                      reinterpret_cast<LPARAM>(&note)) != IDOK)
    return;
  BucketHold chosen(_BktDupe(*s.rows));
  for (int row = _BktCountAll(*chosen); row >= 1; --row)
    if (!std::binary_search(selected.begin(), selected.end(), row)) _BktDelete(*chosen, row);
  int created = 0;
  switch (AcqDbAccount::CreateYearAllocations(s.options, *chosen, note, created)) {
    case AcqDbAccount::CreateOutcome::kCreated:
      for (auto it = selected.rbegin(); it != selected.rend(); ++it) _BktDelete(*s.rows, *it);
      Tell(hwnd, kCreatedMsg, std::to_string(created));
      break;
    case AcqDbAccount::CreateOutcome::kAlreadyCreated:
      Tell(hwnd, kCreatedElsewhereMsg);
      (void)AcqDbAccount::LoadYearsToCreate(s.options, s.rows.get());
      break;
    case AcqDbAccount::CreateOutcome::kFailed: break;   // shown already
  }
  ShowCandidates(hwnd, s);
  if (_BktCountAll(*s.rows) == 0) EndDialog(hwnd, IDOK);
}

void SelectAll(HWND hwnd, const CandidatesState& s) {
  std::vector<int> rows;
  for (int row = 1; row <= _BktCountAll(*s.rows); ++row) rows.push_back(row);
  SetDlgListSelection(hwnd, kList, rows);
}

LRESULT CandidatesDlgProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  static CandidatesState* state = nullptr;
  switch (message) {
    case WM_INITDIALOG:
      state = reinterpret_cast<CandidatesState*>(lParam);
      SetDlgListColumns(hwnd, kList, kColumns);
      ShowCandidates(hwnd, *state);
      return TRUE;
    case WM_COMMAND:
      if (state == nullptr) break;
      switch (LOWORD(wParam)) {
        case kCreateButton: CreateSelected(hwnd, *state); return TRUE;
        case kSelectAllButton: SelectAll(hwnd, *state); return TRUE;
        case IDCANCEL: EndDialog(hwnd, IDCANCEL); return TRUE;
        default: break;
      }
      break;
    case WM_CLOSE: EndDialog(hwnd, IDCANCEL); return TRUE;
    default: break;
  }
  return FALSE;
}

// The candidates of the options; false (told) when there are none.
bool LoadCandidates(HWND owner, CandidatesState& s) {
  DbMsg msg;
  if (!AcqDbGen::ExistsAccountYearYear(msg, s.options.fromYear)) {
    Tell(owner, kNoFromYearMsg);
    return false;
  }
  if (!AcqDbAccount::LoadYearsToCreate(s.options, s.rows.get())) return false;
  if (_BktCountAll(*s.rows) > 0) return true;
  Tell(owner, kNothingToCreateMsg);
  return false;
}

}  // namespace

void OpenCreateFiscalYear(HWND owner) {
  const std::string user = DbUser_GetUser();
  CandidatesState state;
  if (!AcqDbAccount::LoadCreateOptions(user, state.options)) return;
  for (;;) {
    if (DialogBoxParamW(AcqBase::ResourceInstance(), kOptionsDialog, owner,
                        &AcqForm::DlgProc<CreateOptions, ShowOptions, TakeOptions>,
                        reinterpret_cast<LPARAM>(&state.options)) != IDOK)
      return;
    (void)AcqDbAccount::SaveCreateOptions(user, state.options);   // a failure is shown
    if (LoadCandidates(owner, state)) break;   // else the options again
  }
  (void)DialogBoxParamW(AcqBase::ResourceInstance(), kCandidatesDialog, owner, &CandidatesDlgProc,
                        reinterpret_cast<LPARAM>(&state));
}

}  // namespace acq::AcqYearCreate
