// AcqFundCtrl: fund control. For the budgets and vendor contracts an action
// touches it answers: may the current user use the budget; is it frozen or
// closed; does the action push an on-order or spent total past its limit.
// It never refuses by itself: it records its findings in the action's
// BustList and the action fails; AcqBudget asks the person, and confirmed
// findings let the retried action pass.
//
// Amount types: 1 on order, 2 spent. Budget status: 0 open, 1 frozen,
// 2 closed. Amounts are base-currency Dec64.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "host/sys/Bucket.h"
#include "host/sys/Dec64.h"

namespace acq::AcqFundCtrl {

constexpr int kOnOrder = 1;
constexpr int kSpent = 2;

// The findings of one action, kept across its retries.
//   unauthorized: budget (text 13)
//   status:       budget (text 13), status (int16), authorized (byte)
//   budgetBusts:  budget (text 13), amountType (int16), bustLimitAmt (Dec64),
//                 bustAmountAmt (Dec64), authorized (byte)
//   contractBusts: vendor# (int32), contract (text 8), amountType,
//                 bustLimitAmt, bustAmountAmt, authorized
// "authorized" is true once the person confirmed the finding.
struct BustList {
  BktHandle unauthorized = nullptr;
  BktHandle status = nullptr;
  BktHandle budgetBusts = nullptr;
  BktHandle contractBusts = nullptr;
};

BustList* CreateBustList();
void DestroyBustList(BustList** list);   // empties the pointer; nullptr ignored
// Creates on construction, destroys on scope exit.
class BustListHold {
 public:
  BustListHold() : list_(CreateBustList()) {}
  ~BustListHold() { DestroyBustList(&list_); }
  BustListHold(const BustListHold&) = delete;
  BustListHold& operator=(const BustListHold&) = delete;
  BustList* get() const { return list_; }

 private:
  BustList* list_;
};

// True when an unauthorised budget is listed or any finding is unconfirmed.
bool BustListPending(const BustList* list);
void ClearUnauthorizedBudgets(BustList* list);
// Records that the person confirmed using `budget` in `status` (frozen or
// closed) before the action ran, so the action does not ask again.
void NoteConfirmedStatus(BustList* list, std::string_view budget, int status);
// Drop the unconfirmed status and budget-limit findings / contract findings.
void PurgeUnconfirmedBusts(BustList* list);
void PurgeUnconfirmedContractBusts(BustList* list);

// The rows of account_user_restricted (account, user_id), loaded by the
// start-up load; owned here from that load until DestroyRestrictionBkt.
BktHandle& RestrictionBkt();
void DestroyRestrictionBkt();

// Account = the budget's text before the first "."; an account without
// restriction rows is open to everyone, else only to the users listed.
bool UserMayUseBudget(std::string_view budget, std::string_view user);
bool UserMayUseBudget(std::string_view budget);   // the logged-in user
// Deletes (last row first) every row the current user may not use: by the
// Bucket's `account` column when it has one, else by its `budget` column.
void FilterBudgetsForUser(BktHandle bkt);

// Limit of amount type `amountType` on row `row` of a budget or contract
// Bucket: false when there is none (null limit, a missing column, another
// type). A percentage limit is (limit / 100) x amount, divided first.
bool GetLimit(Dec64& limit, int amountType, int row, BktHandle bkt);
// Busts of the row's total for the type (type 1: on_order + spent; type 2:
// spent; 0: nothing): limitBust = total - limit when past it; amountBust =
// total - amount when past the allocation; both 0 when there is no limit.
void ComputeBusts(Dec64& amountBust, Dec64& limitBust, int amountType, int row, BktHandle bkt);

// Each returns true when it noted a finding (see the Bucket layouts above).
// budgetTotals: budget rows after the change (columns of `budget`);
// budgetDeltas: budget, on_order, spent (the action's change).
bool CheckBudgetAuthorization(BustList* list, BktHandle budgetTotals);
bool CheckBudgetBusts(BustList* list, BktHandle budgetDeltas, BktHandle budgetTotals);
// contractDeltas: vendor#, vendor_contract, on_order, spent; contractTotals:
// vendor_contract_extra rows after the change. False at once without a
// list, with budget_contract_checks off, or with an empty Bucket.
bool CheckContractBusts(BustList* list, BktHandle contractDeltas, BktHandle contractTotals);

// The confirmation procedure retry loops call (AcqBudget installs
// ConfirmBusts): true when every finding was confirmed and the action is
// to run again.
using BustHandler = bool (*)(BustList* list);
void SetBustHandler(BustHandler handler);
BustHandler GetBustHandler();

void Initialize();
void Terminate();

}  // namespace acq::AcqFundCtrl
