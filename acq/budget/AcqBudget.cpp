// AcqBudget: asks the person about fund control's findings, one prompt per
// finding, and confirms those answered Yes by someone holding (or granting
// through the security prompt) the matching privilege.
#include "acq/budget/AcqBudget.h"

#include <string>

#include "acq/AcqUnit.h"
#include "acq/db/AcqDbGen.h"
#include "acq/frame/AcqBase.h"
#include "acq/frame/AcqSecurity.h"
#include "host/db/DbDabs.h"
#include "host/muc/MucTools.h"
#include "host/sys/LbStr.h"

namespace acq::AcqBudget {
namespace {

using AcqSecurity::AcqPrivilege;

// Messages of the string table.
constexpr int kNotAuthorizedMsg = 61;
constexpr int kFrozenMsg = 62;
constexpr int kClosedMsg = 70;
constexpr int kOnOrderLimitMsg = 71;
constexpr int kSpentLimitMsg = 72;
constexpr int kContractOnOrderLimitMsg = 73;
constexpr int kContractSpentLimitMsg = 74;
constexpr int kNotAuthorizedListMsg = 144;
constexpr int kOnOrderOverMsg = 215;
constexpr int kSpentOverMsg = 216;
constexpr int kContractOnOrderOverMsg = 217;
constexpr int kContractSpentOverMsg = 218;

// How much of a joined budget list and of a money amount a prompt shows.
constexpr size_t kBudgetListChars = 257;
constexpr size_t kMoneyChars = 21;

constexpr int16_t kStatusFrozen = 1;

HWND Owner() { return PwMucBase_hwndClient; }

std::string Money(Dec64 value) {
  return Lb_CutChars(LbDec64_StrFrom64(value, DbDabs_QueryMoneyFmt(0)), kMoneyChars);
}

// Yes, then the privilege: both needed to confirm.
bool AskYesAndPrivilege(const std::string& message, AcqPrivilege privilege) {
  return MucTools_MsgBoxCapYNbool(Owner(), message) && AcqSecurity::CheckPrivilege(privilege);
}

int Col(BktHandle bkt, const char* name) { return _BktGetColNum(bkt, name); }

bool Confirmed(BktHandle bkt, int row) {
  const int col = Col(bkt, "authorized");
  return !_ColIsNull(bkt, row, col) && _ColGetBoolean(bkt, row, col);
}

void MarkConfirmed(BktHandle bkt, int row) { _ColSetBoolean(bkt, row, Col(bkt, "authorized"), true); }

struct LimitRow {
  int amountType = 0;
  Dec64 limitBust;
  Dec64 amountBust;
};

LimitRow LimitOf(BktHandle bkt, int row) {
  return LimitRow{_ColGetInt(bkt, row, Col(bkt, "amountType")),
                  _ColGetDec64(bkt, row, Col(bkt, "bustLimitAmt")),
                  _ColGetDec64(bkt, row, Col(bkt, "bustAmountAmt"))};
}

bool ConfirmStatusFindings(BktHandle status) {
  const int budgetCol = Col(status, "budget");
  const int statusCol = Col(status, "status");
  for (int row = 1; row <= _BktCountAll(status); ++row) {
    if (Confirmed(status, row)) continue;
    if (!ConfirmBudgetStatus(_ColGetInt(status, row, statusCol),
                             _ColGetStringW(status, row, budgetCol)))
      return false;
    MarkConfirmed(status, row);
  }
  return true;
}

bool ConfirmBudgetLimitFindings(BktHandle busts) {
  const int budgetCol = Col(busts, "budget");
  for (int row = 1; row <= _BktCountAll(busts); ++row) {
    if (Confirmed(busts, row)) continue;
    const LimitRow bust = LimitOf(busts, row);
    const bool onOrder = bust.amountType == AcqFundCtrl::kOnOrder;
    const bool over = bust.amountBust > Dec64{};
    const int id = onOrder ? (over ? kOnOrderOverMsg : kOnOrderLimitMsg)
                           : (over ? kSpentOverMsg : kSpentLimitMsg);
    const std::string message =
        Lb_FormatMessage(AcqBase::LoadStr(id), _ColGetStringW(busts, row, budgetCol),
                         Money(bust.limitBust), over ? Money(bust.amountBust) : std::string());
    if (!AskYesAndPrivilege(message, onOrder ? AcqSecurity::buOrLim : AcqSecurity::buSpLim))
      return false;
    MarkConfirmed(busts, row);
  }
  return true;
}

}  // namespace

bool ConfirmBusts(AcqFundCtrl::BustList* list) {
  return ReportUnauthorizedBudgets(list) && ConfirmBudgetBusts(list) &&
         ConfirmContractBusts(list);
}

bool ReportUnauthorizedBudgets(AcqFundCtrl::BustList* list) {
  if (list == nullptr || _BktCountAll(list->unauthorized) == 0) return true;
  std::string joined;
  for (int row = 1; row <= _BktCountAll(list->unauthorized); ++row) {
    if (row > 1) joined += ", ";
    joined += _ColGetStringW(list->unauthorized, row, 1);
  }
  MucTools_MsgBoxCap(Owner(),
                     Lb_FormatMessage(AcqBase::LoadStr(kNotAuthorizedListMsg),
                                      Lb_CutChars(joined, kBudgetListChars)),
                     MB_OK | MB_ICONWARNING);
  return false;
}

bool ConfirmBudgetBusts(AcqFundCtrl::BustList* list) {
  if (list == nullptr) return true;
  return ConfirmStatusFindings(list->status) && ConfirmBudgetLimitFindings(list->budgetBusts);
}

bool ConfirmContractBusts(AcqFundCtrl::BustList* list) {
  if (list == nullptr) return true;
  BktHandle busts = list->contractBusts;
  const int vendorCol = Col(busts, "vendor#");
  const int contractCol = Col(busts, "contract");
  for (int row = 1; row <= _BktCountAll(busts); ++row) {
    if (Confirmed(busts, row)) continue;
    const LimitRow bust = LimitOf(busts, row);
    const bool onOrder = bust.amountType == AcqFundCtrl::kOnOrder;
    const bool over = bust.amountBust > Dec64{};
    const int id = onOrder ? (over ? kContractOnOrderOverMsg : kContractOnOrderLimitMsg)
                           : (over ? kContractSpentOverMsg : kContractSpentLimitMsg);
    std::string vendorName;   // empty when the vendor has none (or is gone)
    DbMsg msg;
    AcqDbGen::GetVendorName(msg, _ColGetInt(busts, row, vendorCol), vendorName);
    const std::string message = Lb_FormatMessage(
        AcqBase::LoadStr(id), vendorName, _ColGetStringW(busts, row, contractCol),
        Money(bust.limitBust), over ? Money(bust.amountBust) : std::string());
    if (!AskYesAndPrivilege(message, onOrder ? AcqSecurity::coOrLim : AcqSecurity::coSpLim))
      return false;
    MarkConfirmed(busts, row);
  }
  return true;
}

bool ConfirmBudgetUse(std::string_view budget) {
  if (AcqFundCtrl::UserMayUseBudget(budget)) return true;
  MucTools_MsgBoxCap(Owner(), Lb_FormatMessage(AcqBase::LoadStr(kNotAuthorizedMsg), budget),
                     MB_OK | MB_ICONWARNING);
  return false;
}

bool ConfirmBudgetStatus(int status, std::string_view budget) {
  if (status == 0) return true;
  const bool frozen = status == kStatusFrozen;
  const std::string message =
      Lb_FormatMessage(AcqBase::LoadStr(frozen ? kFrozenMsg : kClosedMsg), budget);
  return AskYesAndPrivilege(message, frozen ? AcqSecurity::buFroze : AcqSecurity::buClose);
}

bool PreCheckBudgets(AcqFundCtrl::BustList* list, BktHandle deltas, BktHandle totals) {
  if (AcqFundCtrl::CheckBudgetAuthorization(list, totals)) {
    ReportUnauthorizedBudgets(list);
    AcqFundCtrl::ClearUnauthorizedBudgets(list);
    return false;
  }
  if (AcqFundCtrl::CheckBudgetBusts(list, deltas, totals) && !ConfirmBudgetBusts(list)) {
    AcqFundCtrl::PurgeUnconfirmedBusts(list);
    return false;
  }
  return true;
}

void Initialize() { AcqFundCtrl::SetBustHandler(&ConfirmBusts); }

void Terminate() {
  if (AcqFundCtrl::GetBustHandler() == &ConfirmBusts) AcqFundCtrl::SetBustHandler(nullptr);
}

}  // namespace acq::AcqBudget

ACQ_UNIT_BODY(AcqBudget)
