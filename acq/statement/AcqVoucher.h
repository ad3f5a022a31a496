// AcqVoucher: vouchers: listing, creating, printing, saving and voiding.
#pragma once

#include <cstdint>
#include <string>

#include "host/win32/Win32.h"

namespace acq::AcqVoucher {

// The voucher a voucher window stands for; false for any other window.
bool ActiveVoucher(HWND hwnd, int32_t& voucher, std::string& number);

// The voucher list "voucher_list" (command 241).
void OpenVoucherList();

// Whether any voucher pays a row of `statement` (exist_statement_voucher);
// false on a database failure (reported).
bool StatementHasVoucher(int32_t statement, bool& exists);

}  // namespace acq::AcqVoucher
