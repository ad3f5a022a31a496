// AcqSent: the extra-charge and statement-budget entry dialogs of the
// statement window (modal over it). A refused value keeps the dialog open
// with the cursor on the field at fault, so nothing typed is lost.
#include "acq/statement/AcqSent.h"

#include "acq/AcqUnit.h"
#include "acq/frame/AcqBase.h"
#include "acq/po/AcqPoParts.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"

namespace acq::AcqSent {

namespace {

using AcqPo::parts::Tell;

constexpr int kChargeDialog = 61;
constexpr int kBudgetDialog = 62;
// Controls of the extra-charge dialog.
constexpr int kChargeType = 1101, kChargeAmount = 1102, kChargeBudget = 1103;
// Controls of the statement-budget dialog.
constexpr int kBudgetBudget = 1201, kBudgetAmount = 1202;

constexpr int kMsgUnknownChargeType = 1502;
constexpr int kMsgBadValue = 1503;

std::string Trim(std::string text) {
  const size_t b = text.find_first_not_of(" \t");
  if (b == std::string::npos) return {};
  return text.substr(b, text.find_last_not_of(" \t") - b + 1);
}

std::string Upper(std::string text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return text;
}

std::string MoneyText(Dec64 amount) {
  return LbDec64_StrFrom64(amount, AcqPo::parts::MoneyDigits());
}

// The state of one open dialog, handed over in WM_INITDIALOG.
struct ChargeState {
  AcqDbStmnt::Charge* charge;
  AcqFundCtrl::BustList* confirmed;
  std::string defaulted;   // the budget last put in by default ("" none)
};
struct BudgetState {
  AcqDbStmnt::BudgetRow* row;
  AcqFundCtrl::BustList* confirmed;
};

// Reads the amount of `field`; false after telling what is wrong.
bool ReadAmount(HWND hwnd, int field, const char* what, Dec64& amount) {
  const std::string text = Trim(GetDlgItemTextW(hwnd, field));
  if (ParseMoney(text, amount)) return true;
  Tell(hwnd, kMsgBadValue, MB_OK | MB_ICONWARNING, text, what);
  SetDlgFocus(hwnd, field);
  return false;
}

// A budget typed or defaulted: it must exist and be confirmed for use.
bool BudgetAccepted(HWND hwnd, int field, const std::string& budget,
                    AcqFundCtrl::BustList* confirmed) {
  if (AcqPo::parts::BudgetExists(hwnd, budget) &&
      AcqPo::parts::ConfirmBudgetEntered(budget, confirmed))
    return true;
  SetDlgFocus(hwnd, field);
  return false;
}

// The type's default budget into the budget field, unless the person has
// put a budget of their own there.
void TypeChanged(HWND hwnd, ChargeState& st) {
  const std::string now = Trim(GetDlgItemTextW(hwnd, kChargeBudget));
  if (!now.empty() && now != st.defaulted) return;
  std::string budget;
  if (!AcqDbStmnt::DefaultChargeBudget(Upper(Trim(GetDlgItemTextW(hwnd, kChargeType))), budget))
    return;
  st.defaulted = budget;
  SetDlgItemTextW(hwnd, kChargeBudget, budget);
}

bool ChargeOk(HWND hwnd, ChargeState& st) {
  AcqDbStmnt::Charge c = *st.charge;
  c.type = Upper(Trim(GetDlgItemTextW(hwnd, kChargeType)));
  bool known = false;
  if (!AcqPo::parts::RowExists("extra_charge_type", "extra_charge_type",
                               "extra_charge_type=" + AcqPo::parts::Quote(c.type), known))
    return false;
  if (c.type.empty() || !known) {
    Tell(hwnd, kMsgUnknownChargeType, MB_OK | MB_ICONWARNING, c.type);
    SetDlgFocus(hwnd, kChargeType);
    return false;
  }
  if (!ReadAmount(hwnd, kChargeAmount, "amount", c.amount)) return false;
  c.budget = Upper(Trim(GetDlgItemTextW(hwnd, kChargeBudget)));
  // An empty budget leaves the charge to be prorated over the lines.
  if (!c.budget.empty() && c.budget != st.charge->budget &&
      !BudgetAccepted(hwnd, kChargeBudget, c.budget, st.confirmed))
    return false;
  *st.charge = c;
  return true;
}

LRESULT ChargeProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  static ChargeState* st = nullptr;
  switch (msg) {
    case WM_INITDIALOG:
      st = reinterpret_cast<ChargeState*>(lParam);
      if (st != nullptr) {
        SetDlgItemTextW(hwnd, kChargeType, st->charge->type);
        SetDlgItemTextW(hwnd, kChargeAmount,
                        st->charge->type.empty() ? "" : MoneyText(st->charge->amount));
        SetDlgItemTextW(hwnd, kChargeBudget, st->charge->budget);
      }
      return TRUE;
    case WM_COMMAND:
      if (st == nullptr) break;
      if (LOWORD(wParam) == kChargeType && HIWORD(wParam) == EN_CHANGE) {
        TypeChanged(hwnd, *st);
        return TRUE;
      }
      if (HIWORD(wParam) == EN_CHANGE) break;
      if (LOWORD(wParam) == IDOK) {
        if (ChargeOk(hwnd, *st)) EndDialog(hwnd, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(hwnd, IDCANCEL);
        return TRUE;
      }
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

bool BudgetOk(HWND hwnd, BudgetState& st) {
  AcqDbStmnt::BudgetRow r = *st.row;
  r.budget = Upper(Trim(GetDlgItemTextW(hwnd, kBudgetBudget)));
  if (r.budget.empty()) {
    Tell(hwnd, kMsgBadValue, MB_OK | MB_ICONWARNING, "", "budget");
    SetDlgFocus(hwnd, kBudgetBudget);
    return false;
  }
  if (r.budget != st.row->budget &&
      !BudgetAccepted(hwnd, kBudgetBudget, r.budget, st.confirmed))
    return false;
  if (!ReadAmount(hwnd, kBudgetAmount, "amount", r.amount)) return false;
  *st.row = r;
  return true;
}

LRESULT BudgetProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  static BudgetState* st = nullptr;
  switch (msg) {
    case WM_INITDIALOG:
      st = reinterpret_cast<BudgetState*>(lParam);
      if (st != nullptr) {
        SetDlgItemTextW(hwnd, kBudgetBudget, st->row->budget);
        SetDlgItemTextW(hwnd, kBudgetAmount,
                        st->row->budget.empty() ? "" : MoneyText(st->row->amount));
      }
      return TRUE;
    case WM_COMMAND:
      if (st == nullptr || HIWORD(wParam) == EN_CHANGE) break;
      if (LOWORD(wParam) == IDOK) {
        if (BudgetOk(hwnd, *st)) EndDialog(hwnd, IDOK);
        return TRUE;
      }
      if (LOWORD(wParam) == IDCANCEL) {
        EndDialog(hwnd, IDCANCEL);
        return TRUE;
      }
      break;
    default:
      break;
  }
  return _Win32_DefDlgProc(hwnd, msg, wParam, lParam);
}

}  // namespace

bool ParseMoney(const std::string& text, Dec64& amount) {
  const auto parsed = LbDec64_StrTo64(text);
  if (!parsed || !AcqPo::parts::FitsMoneyDigits(*parsed)) return false;
  // Keeps amount x rate inside Dec64 for any sensible rate.
  if (parsed->raw > Dec64::FromInt(1'000'000'000).raw ||
      parsed->raw < -Dec64::FromInt(1'000'000'000).raw)
    return false;
  amount = *parsed;
  return true;
}

bool EditCharge(HWND owner, AcqDbStmnt::Charge& charge, AcqFundCtrl::BustList* confirmed) {
  ChargeState st{&charge, confirmed, ""};
  return DialogBoxParamW(AcqBase::ResourceInstance(), kChargeDialog, owner, &ChargeProc,
                         reinterpret_cast<LPARAM>(&st)) == IDOK;
}

bool EditBudget(HWND owner, AcqDbStmnt::BudgetRow& row, AcqFundCtrl::BustList* confirmed) {
  BudgetState st{&row, confirmed};
  return DialogBoxParamW(AcqBase::ResourceInstance(), kBudgetDialog, owner, &BudgetProc,
                         reinterpret_cast<LPARAM>(&st)) == IDOK;
}

}  // namespace acq::AcqSent

ACQ_UNIT_EMPTY(AcqSent)
