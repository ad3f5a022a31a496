// AcqVoucher: vouchers: listing, creating, printing, saving and voiding.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/db/DbDabs.h"
#include "host/sys/Dec64.h"

#include "host/win32/Win32.h"

namespace acq::AcqVoucher {

// The voucher a voucher window stands for; false for any other window.
bool ActiveVoucher(HWND hwnd, int32_t& voucher, std::string& number);

// The voucher list "voucher_list" (command 241).
void OpenVoucherList();

// Whether any voucher pays a row of `statement` (exist_statement_voucher);
// false on a database failure (reported).
bool StatementHasVoucher(int32_t statement, bool& exists);

// Whether a "(new)" candidate that showed `shown` still stands: its
// statement's outstanding amount is still that (get_new_statement_vouch_
// amount). False on a failed read (reported).
bool CandidateIsCurrent(int32_t statement, Dec64 shown, bool& current);

// ---- the printed voucher ---------------------------------------------------------------------

// One budget line of a voucher: money in the statement currency and in the
// base currency, each already as text with its currency's decimals.
struct VoucherBudget {
  std::string budget, acctRef, amount, base;
  Dec64 amountValue{}, baseValue{};
};

// A credit applied to the invoice the voucher pays.
struct VoucherCredit {
  std::string statementNumber;
  Dec64 amount{};   // positive: what is taken off the invoice
};

// Everything a printed voucher shows. `voucher` < 1 for a "(new)" one.
struct VoucherDoc {
  int32_t voucher = 0;
  int32_t statement = 0;
  std::string number;             // voucher_number, "(new)" for a candidate
  std::string statementNumber;
  int statementType = 0;
  std::string vendor, currency;
  DayNum date = kNoDate;
  bool isVoid = false, prepaid = false;
  int decimals = 2, baseDecimals = 2;
  std::vector<VoucherBudget> budgets;
  std::vector<VoucherCredit> credits;
};

// Reads voucher `voucher`, or with `voucher` < 1 the "(new)" voucher of
// `statement`. False when a read failed (reported) or it is not there.
bool LoadVoucherDoc(int32_t voucher, int32_t statement, VoucherDoc& doc);

// The voucher as the lines of a text report, 80 characters wide at most,
// no trailing blanks; what "Save To File" writes and the printer shows.
std::vector<std::string> VoucherText(const VoucherDoc& doc);

// Writes `docs` as one text file at `path` (workstation code page, CR LF
// line ends), a blank line and a rule between vouchers. False with the
// reason in `error`, and no file left behind, when it cannot be written.
bool WriteVoucherFile(const std::string& path, const std::vector<VoucherDoc>& docs,
                      std::string& error);

void Initialize();
void Terminate();

}  // namespace acq::AcqVoucher
