// Migration 16: the voucher list and voucher bookkeeping.
#include "database/Database.h"

std::vector<std::string> Database_VouchersMigration() {
  return {};
}
