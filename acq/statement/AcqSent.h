// AcqSent: the entry dialogs of a statement's money rows: an extra charge
// (type, amount, budget; the budget defaults from the type) and a statement
// budget (budget, amount). Each checks what a person typed before it hands
// the row back; nothing is written here (the statement's save does that).
#pragma once

#include "acq/statement/AcqDbStmnt.h"
#include "host/win32/Win32.h"

namespace acq::AcqSent {

// The extra-charge dialog over `charge` (empty for a new one). Typing a
// known type into it puts the type's default budget into an empty budget
// field. OK passes when the type is an extra-charge type, the amount is
// money of the site's precision, and a budget given exists and is
// confirmed for use (messages 61, 62 and 70 through fund control); the
// checked row is then in `charge`. False when cancelled. A confirmed
// status is noted in `confirmed` so that the save does not ask again.
bool EditCharge(HWND owner, AcqDbStmnt::Charge& charge,
                AcqFundCtrl::BustList* confirmed = nullptr);

// The statement-budget dialog over `row`; OK passes when the budget exists
// and is confirmed and the amount is money. False when cancelled.
bool EditBudget(HWND owner, AcqDbStmnt::BudgetRow& row,
                AcqFundCtrl::BustList* confirmed = nullptr);

// `text` as money of the site's precision; false when it is none.
bool ParseMoney(const std::string& text, Dec64& amount);

}  // namespace acq::AcqSent
