// AcqVoucher: vouchers: listing, printing and voiding. No voucher window is
// part of this build yet.
#include "acq/statement/AcqVoucher.h"

#include "acq/AcqUnit.h"

namespace acq::AcqVoucher {

bool ActiveVoucher(HWND /*hwnd*/, int32_t& /*voucher*/, std::string& /*number*/) { return false; }
void OpenVoucherList() {}
bool StatementHasVoucher(int32_t, bool& exists) { exists = false; return true; }

}  // namespace acq::AcqVoucher

ACQ_UNIT_EMPTY(AcqVoucher)
