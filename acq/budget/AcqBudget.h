// AcqBudget: asks the person about fund control's findings. One prompt per
// finding; Yes with the matching privilege (held, or granted through the
// security prompt) confirms it. Unauthorised budgets are never confirmable.
#pragma once

#include <cstdint>
#include <string_view>

#include "acq/budget/AcqFundCtrl.h"

namespace acq::AcqBudget {

// The three steps below in order; true when every finding was confirmed
// and the action is to be run again. Installed as fund control's handler.
bool ConfirmBusts(AcqFundCtrl::BustList* list);
// Message 144 with the listed budgets joined by ", " (at most 257
// characters) when any is listed; false then.
bool ReportUnauthorizedBudgets(AcqFundCtrl::BustList* list);
// Status findings (messages 62/70, buFroze/buClose), then budget-limit
// findings (71/215 with buOrLim, 72/216 with buSpLim). False at the first
// No or refused privilege.
bool ConfirmBudgetBusts(AcqFundCtrl::BustList* list);
// Contract-limit findings (73/217 with coOrLim, 74/218 with coSpLim).
bool ConfirmContractBusts(AcqFundCtrl::BustList* list);

// A single budget chosen in an editor: message 61 when the user may not use it.
bool ConfirmBudgetUse(std::string_view budget);
// Status 0 passes; 1 asks 62, otherwise 70, as Yes/No; Yes asks the privilege.
bool ConfirmBudgetStatus(int status, std::string_view budget);

// The pre-check of an editor that computed its prospective budget totals
// itself (`deltas`: budget, on_order, spent; `totals`: budget rows after the
// change), before it saves. Unauthorised budgets: message 144, the list's
// unauthorised budgets cleared, false. Otherwise the status and limit
// findings are asked about; a decline purges the unconfirmed findings (so a
// later save asks again) and gives false; true lets the save go on, the
// confirmed findings kept in `list`.
bool PreCheckBudgets(AcqFundCtrl::BustList* list, BktHandle deltas, BktHandle totals);

void Initialize();
void Terminate();

}  // namespace acq::AcqBudget
