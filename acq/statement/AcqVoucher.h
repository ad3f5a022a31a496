// AcqVoucher: vouchers: listing, printing and voiding.
#pragma once

#include <cstdint>
#include <string>

#include "host/win32/Win32.h"

namespace acq::AcqVoucher {

// The voucher a voucher window stands for; false for any other window.
bool ActiveVoucher(HWND hwnd, int32_t& voucher, std::string& number);

}  // namespace acq::AcqVoucher
