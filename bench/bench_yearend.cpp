// What a year end costs at the size of a large library: 10,000 budgets of
// 2030 (1000.00 each, 100.00 of it spent) with 100,000 open PO lines (ten
// on-order rows of 10.00 on each budget, plus one spent row of 100.00).
// Times the creation of 2031 (3 % inflation, one transaction), the transfer
// of 50 % of the unspent money of all 10,000 pairs (one transaction a
// pair), and the reassignment of all on-order money of 2030 to 2031 (one
// transaction). Prints the times and checks the sums to the last digit.
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchModule.h"
#include "acq/budget/AcqDbAccount.h"
#include "acq/budget/AcqDbYearEnd.h"
#include "host/db/DbAdmin.h"

namespace {

using bench::Exec;
using bench::MsSince;
using bench::ShowError;

namespace fs = std::filesystem;
namespace ye = acq::AcqDbYearEnd;
namespace acct = acq::AcqDbAccount;
using Clock = std::chrono::steady_clock;

constexpr int kBudgets = 10000;
constexpr int kLinesPerBudget = 10;

bool Populate(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
  const std::string n = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE i<" +
                        std::to_string(kBudgets) + ") ";
  const std::string account = "'Y' || substr('0000' || i, -5)";
  const bool ok =
      Exec(db, "BEGIN") &&
      Exec(db, n + "INSERT INTO account(account, descr) SELECT " + account +
                   ", 'Bench ' || i FROM n") &&
      Exec(db, n + "INSERT INTO account_year(account, year, amount, on_order, spent) SELECT " +
                   account + ", 2030, 1000000000, " +
                   std::to_string(kLinesPerBudget * 10000000LL) + ", 100000000 FROM n") &&
      Exec(db, n + ", l(j) AS (SELECT 1 UNION ALL SELECT j+1 FROM l WHERE j<" +
                   std::to_string(kLinesPerBudget) +
                   ") INSERT INTO po_line_item_budget_amount(\"po#\", line, item, budget, amount,"
                   " exchange_rate, spent) SELECT 100000 + i, j, 1, " + account +
                   " || '.2030', 10000000, 1000000, 0 FROM n, l") &&
      Exec(db, n + "INSERT INTO po_line_item_budget_amount(\"po#\", line, item, budget, amount,"
                   " exchange_rate, spent) SELECT 100000 + i, 99, 1, " + account +
                   " || '.2030', 100000000, 1000000, 1 FROM n") &&
      Exec(db, "COMMIT");
  sqlite3_close(db);
  return ok;
}

std::string Sum(const std::string& path, const std::string& sql) {
  sqlite3* db = nullptr;
  std::string out = "?";
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return out;
  sqlite3_stmt* stmt = nullptr;
  if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW)
    out = LbDec64_StrFrom64(Dec64::FromRaw(sqlite3_column_int64(stmt, 0)), 6);
  sqlite3_finalize(stmt);
  sqlite3_close(db);
  return out;
}

std::string YearSum(const std::string& path, const char* column, int year) {
  return Sum(path, std::string("SELECT sum(") + column +
                       ") FROM account_year WHERE account LIKE 'Y%' AND year = " +
                       std::to_string(year));
}

}  // namespace

int main() {
  const fs::path dir =
      fs::temp_directory_path() / ("acq-bench-yearend-" + std::to_string(getpid()));
  fs::create_directories(dir);
  setenv("ACQ_WORKSTATION", (dir / "workstation.ini").c_str(), 1);
  const std::string path = (dir / "yearend.db").string();
  DbMsg msg;
  auto start = Clock::now();
  if (DbAdmin_CreateDatabase(path, true, msg) != kDbOk || !Populate(path)) {
    std::fprintf(stderr, "cannot create the database: %s\n", msg.text.c_str());
    return 1;
  }
  const double populateMs = MsSince(start);
  if (!bench::StartModule(path, &ShowError)) return 1;

  // Next year's allocations.
  acct::CreateOptions options;
  options.fromYear = 2030;
  options.forYear = 2031;
  options.inflationFactor = 3;
  start = Clock::now();
  BktHandle rows = nullptr;
  int created = 0;
  const bool loaded = acct::LoadYearsToCreate(options, rows);
  const auto outcome = loaded ? acct::CreateYearAllocations(options, rows, "bench", created)
                              : acct::CreateOutcome::kFailed;
  _BktDestroy(&rows);
  const double createMs = MsSince(start);

  // Transfer of unspent, pair by pair.
  start = Clock::now();
  std::vector<ye::TransferRow> sources;
  ye::Refusal refusal;
  int transferred = 0;
  if (ye::LoadTransferRows(2030, 2031, sources, refusal)) {
    for (const ye::TransferRow& r : sources) {
      if (r.source.front() != 'Y') continue;
      Dec64 moved;
      const Dec64 fraction = ye::TransferFraction(r.accountPercent, false, 50);
      if (ye::TransferUnspent(fraction, std::nullopt, r.target, std::nullopt, r.source, "bench",
                              moved, refusal) &&
          moved > Dec64{})
        ++transferred;
    }
  }
  const double transferMs = MsSince(start);

  // Reassignment of all on-order money of 2030, in one transaction.
  std::vector<ye::Pair> pairs;
  for (const ye::TransferRow& r : sources)
    if (r.source.front() == 'Y') pairs.push_back({r.source, r.target});
  const std::string before2030 = YearSum(path, "on_order", 2030);
  start = Clock::now();
  int moved = 0;
  const bool reassigned = ye::Reassign(pairs, ye::kRollOnOrder, "bench", moved, refusal);
  const double reassignMs = MsSince(start);
  bench::StopModule();

  std::printf("Year end of %d budgets with %d open PO lines (populated in %.0f ms):\n", kBudgets,
              kBudgets * kLinesPerBudget, populateMs);
  std::printf("  create next year  %9.2f ms (%d created%s)\n", createMs, created,
              outcome == acct::CreateOutcome::kCreated ? "" : ", FAILED");
  std::printf("  transfer unspent  %9.2f ms (%d pairs, %.3f ms a pair)\n", transferMs,
              transferred, transferMs / (transferred ? transferred : 1));
  std::printf("  reassign on order %9.2f ms (%d rows moved%s)\n", reassignMs, moved,
              reassigned ? "" : ", FAILED");
  // 1030.00 + 50 % of 900.00 on each 2031 budget; all on order moved.
  const std::string amount2031 = YearSum(path, "amount", 2031);
  const std::string onOrder2031 = YearSum(path, "on_order", 2031);
  std::printf("  2031 amounts %s (expected 14800000.000000: %s)\n", amount2031.c_str(),
              amount2031 == "14800000.000000" ? "exact" : "NOT exact");
  std::printf("  on order 2030 before %s, 2031 after %s (%s)\n", before2030.c_str(),
              onOrder2031.c_str(), before2030 == onOrder2031 ? "exact" : "NOT exact");
  fs::remove_all(dir);
  return 0;
}
