// What renewing costs at the size of a big standing order: 1,000 candidate
// lines (one approved copy at 10.00 each on ADULT.2026, renewing into a new
// PO) renewed one line (one transaction) at a time onto ADULT.2027. Prints
// the time and the money that landed on next year's budget, which must be
// 1,000 x 10.00 exactly.
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "BenchModule.h"
#include "acq/renewal/AcqDbRenew.h"
#include "host/db/DbAdmin.h"
#include "host/db/DbDabs.h"

namespace {

using bench::Exec;
using bench::ShowError;

namespace fs = std::filesystem;
namespace renew = acq::AcqDbRenew;
using Clock = std::chrono::steady_clock;

constexpr int kLines = 1000;
constexpr int32_t kPo = 90;

bool Populate(const std::string& path, DayNum next) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
  const std::string p = std::to_string(kPo);
  const std::string lines = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE"
                            " i<" + std::to_string(kLines) + ") ";
  const bool ok =
      Exec(db, "BEGIN") &&
      Exec(db, "INSERT INTO po(\"po#\", po_number, \"vendor#\", currency, spent_event,"
               " item_creation, attach_barcode, renewal_type, subscription_period, location,"
               " bill_to_address, ship_to_address) VALUES (" + p + ", 'BENCH-" + p +
               "', 1, 'USD', 0, 0, 0, 1, 'ANNUAL', 'MAIN', 'ACCTS', 'RECV')") &&
      Exec(db, lines + "INSERT INTO po_line(\"po#\", line, media_type, title, unit_price,"
                       " last_item, next_renewal_date) SELECT " + p + ", i, 'SERIAL',"
                       " 'Bench serial ' || i, 10000000, 1, " + std::to_string(next) +
                       " FROM n") &&
      Exec(db, lines + "INSERT INTO po_line_item(\"po#\", line, item, location, budget,"
                       " approve_date, order_date) SELECT " + p + ", i, 1, 'MAIN',"
                       " 'ADULT.2026', 46000, 46000 FROM n") &&
      Exec(db, "COMMIT");
  sqlite3_close(db);
  return ok;
}

std::string OnOrder(const std::string& path, const char* account, int year) {
  sqlite3* db = nullptr;
  std::string out = "?";
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return out;
  sqlite3_stmt* stmt = nullptr;
  const std::string sql = "SELECT on_order FROM account_year WHERE account = '" +
                          std::string(account) + "' AND year = " + std::to_string(year);
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW)
    out = LbDec64_StrFrom64(Dec64::FromRaw(sqlite3_column_int64(stmt, 0)), 2);
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return out;
}

}  // namespace

int main() {
  const fs::path dir =
      fs::temp_directory_path() / ("acq-bench-renewal-" + std::to_string(getpid()));
  fs::create_directories(dir);
  setenv("ACQ_WORKSTATION", (dir / "workstation.ini").c_str(), 1);
  const std::string path = (dir / "renewal.db").string();
  DbMsg msg;
  DayNum next = 0;
  (void)DbDabs_MDYToDate(1, 1, 2027, next);
  if (DbAdmin_CreateDatabase(path, true, msg) != kDbOk || !Populate(path, next)) {
    std::fprintf(stderr, "cannot create the database: %s\n", msg.text.c_str());
    return 1;
  }
  const std::string before = OnOrder(path, "ADULT", 2027);
  if (!bench::StartModule(path, &ShowError)) return 1;

  renew::RenewTo to;
  to.year = 2027;
  to.accounts = {{"ADULT.2026", "ADULT.2027"}};
  const auto start = Clock::now();
  int renewed = 0;
  for (int line = 1; line <= kLines; ++line)
    if (renew::RenewLine({kPo, static_cast<int16_t>(line)}, to, false).kind ==
        renew::Outcome::Kind::Renewed)
      ++renewed;
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  bench::StopModule();

  const std::string after = OnOrder(path, "ADULT", 2027);
  std::printf("Renewal of %d candidate lines (one copy at 10.00 each), one transaction a line:\n",
              kLines);
  std::printf("  all lines         %8.2f ms (%.3f ms a line, %d renewed)\n", ms, ms / kLines,
              renewed);
  std::printf("  ADULT.2027 on order: %s before, %s after (expected 10000.00 more: %s)\n",
              before.c_str(), after.c_str(),
              after == "10000.00" && before == "0.00" ? "exact" : "NOT exact");
  fs::remove_all(dir);
  return 0;
}
