// AcqCredits: credit memos applied to invoices, seen from either side.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/db/DbDabs.h"
#include "host/sys/Dec64.h"
#include "host/win32/Win32.h"

namespace acq::AcqCredits {

// The credits applied to the invoice, or the invoices a credit is applied
// to, of the statement window `hwnd` (command 214).
void OpenCredits(HWND statementWindow);

// The statement a credits window is for. Money in its currency.
struct CreditStatement {
  int32_t statement = 0;
  std::string number;
  bool isCredit = false;   // a credit memo (types 3, 4); else an invoice
  int32_t vendor = 0;
  std::string currency;
  Dec64 remaining{};       // amount_remaining (the amount while NULL)
  int decimals = 2;
};

// A statement of the other side and what lies between it and ours.
struct CreditCandidate {
  int32_t statement = 0;
  std::string number;
  DayNum date = kNoDate;
  Dec64 amount{}, remaining{};
  Dec64 appliedHere{};     // applied between the two statements
  bool vouchered = false;  // that application has a voucher
};

// Reads `statement`; false for a refund, a statement that is not there or
// a failed read (reported).
bool ReadStatement(int32_t statement, CreditStatement& own);

// The other side of the vendor in the same currency: for a credit memo
// the invoices with something remaining, for an invoice the credit memos
// with something remaining, and either way those something is applied
// between already; none whose applied and remaining amounts are both zero.
// False on a failed read (reported).
bool ReadCandidates(const CreditStatement& own, std::vector<CreditCandidate>& out);

// What can still be applied between `own` and `other` (zero or more).
Dec64 Outstanding(const CreditStatement& own, const CreditCandidate& other);

void Initialize();
void Terminate();

}  // namespace acq::AcqCredits
