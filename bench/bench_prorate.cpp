// What prorating an extra charge over a statement of 65,535 line rows
// costs through the module (AcqDbProrate::ProrateCharges on a warm session:
// re-reading the rows, the arithmetic, the inserts, history, budget moves
// and the ledger) against the raw cost of inserting the same 65,535 money
// rows straight on SQLite with one prepared statement in one transaction;
// and against inserting every row the proration writes (money rows, one
// history row per item, one ledger row per share) the same way. Prints the
// times and the ratios; the goal is within 2x of the money rows alone.
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "BenchModule.h"
#include "acq/statement/AcqDbProrate.h"
#include "host/db/DbAdmin.h"

namespace {

using bench::Exec;
using bench::ShowError;

namespace fs = std::filesystem;
namespace math = acq::AcqProrateMath;
using Clock = std::chrono::steady_clock;

constexpr int kLines = 13107;          // of 5 items each: 65,535 line rows
constexpr int kItems = 5;
constexpr int64_t kShare = 10000;      // 0.01 a row: a charge of 655.35

// Statement 30 of Northfield (PO 8 has no contract) with 65,535 line rows of
// 1.00 on ADULT.2026 and an open charge SHIP of 655.35; room on the budget.
bool Populate(const std::string& path, bool ledger) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK;
  ok = ok && Exec(db, "BEGIN") &&
       Exec(db, "INSERT INTO statement(\"statement#\", statement_number, statement_type, "
                "\"vendor#\", amount, currency, exchange_rate) "
                "VALUES (30, 'NF-BENCH', 0, 2, 0, 'USD', 1000000)") &&
       Exec(db, "WITH RECURSIVE n(k) AS (SELECT 0 UNION ALL SELECT k + 1 FROM n WHERE k < " +
                    std::to_string(kLines * kItems - 1) +
                    ") INSERT INTO po_line_item_budget_amount(\"po#\", line, item, budget, "
                    "amount, exchange_rate, spent, \"statement#\", statement_line, "
                    "statement_line_type) SELECT 8, k / 5 + 1, k % 5 + 1, 'ADULT.2026', "
                    "1000000, 1000000, 0, 30, 1, 0 FROM n") &&
       Exec(db, "INSERT INTO statement_extra_charge(\"statement#\", extra_charge_type, amount,"
                " exchange_rate) VALUES (30, 'SHIP', " +
                    std::to_string(kShare * kLines * kItems) + ", 1000000)") &&
       Exec(db, "UPDATE account_year SET amount=100000000000, on_order_limit=NULL "
                "WHERE account='ADULT' AND year=2026") &&
       Exec(db, std::string("UPDATE acq_parameter SET track_budget_trans=") +
                    (ledger ? "1" : "0")) &&
       Exec(db, "COMMIT");
  sqlite3_close(db);
  return ok;
}

double RunModule(const std::string& path, size_t& rows) {
  if (!bench::StartModule(path, &ShowError)) return -1;
  std::vector<math::StatementLine> lines;
  for (int line = 1; line <= kLines; ++line)
    lines.push_back({8, static_cast<int16_t>(line), Dec64::FromInt(kItems), false});
  acq::AcqDbProrate::ProrateReport report;
  const auto start = Clock::now();
  const bool ok = acq::AcqDbProrate::ProrateCharges(30, lines, math::LineChoice::All,
                                                    math::Method::Amount, {"SHIP"}, report);
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  rows = report.rows;
  bench::StopModule();
  return ok ? ms : -1;
}

// One prepared INSERT per table, reused for every row, one transaction.
double RunRaw(const std::string& path, bool everyRow) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK && Exec(db, "PRAGMA journal_mode=WAL") &&
            Exec(db, "PRAGMA foreign_keys=ON") && Exec(db, "PRAGMA synchronous=NORMAL");
  sqlite3_stmt* money = nullptr;
  sqlite3_stmt* history = nullptr;
  sqlite3_stmt* ledger = nullptr;
  ok = ok &&
       sqlite3_prepare_v2(db,
                          "INSERT INTO po_line_item_budget_amount(\"po#\", line, item, budget, "
                          "amount, exchange_rate, spent, extra_charge_type, \"statement#\", "
                          "statement_line, statement_line_type) "
                          "VALUES (8, ?1, ?2, 'ADULT.2026', ?3, 1000000, 0, 'SHIP', 30, 1, 0)",
                          -1, &money, nullptr) == SQLITE_OK &&
       sqlite3_prepare_v2(db,
                          "INSERT INTO po_line_item_history(\"po#\", line, item, "
                          "po_activity_type, transaction_type, date, time, \"statement#\", "
                          "extra_charge_type, amount, exchange_rate) "
                          "VALUES (8, ?1, ?2, 'extchrg', 0, 46100, 600, 30, 'SHIP', ?3, 1000000)",
                          -1, &history, nullptr) == SQLITE_OK &&
       sqlite3_prepare_v2(db,
                          "INSERT INTO budget_transaction_detail(\"budget_transaction#\", budget, "
                          "amount_type, trans_amount, prior_amount, \"po#\", line, item, "
                          "extra_charge_type, \"statement#\") "
                          "VALUES (1, 'ADULT.2026', 1, ?3, 0, 8, ?1, ?2, 'SHIP', 30)",
                          -1, &ledger, nullptr) == SQLITE_OK;
  if (!ok) {
    std::fprintf(stderr, "raw: %s\n", sqlite3_errmsg(db));
    sqlite3_close(db);
    return -1;
  }
  const auto start = Clock::now();
  ok = Exec(db, "BEGIN IMMEDIATE");
  if (everyRow)
    ok = ok && Exec(db, "INSERT INTO budget_transaction(\"budget_transaction#\", "
                        "transaction_source, date, time, user_id) VALUES (1, 1, 46100, 600, 'admin')");
  for (int line = 1; ok && line <= kLines; ++line) {
    for (int item = 1; ok && item <= kItems; ++item) {
      for (sqlite3_stmt* stmt : {money, history, ledger}) {
        if (stmt != money && !everyRow) continue;
        sqlite3_bind_int(stmt, 1, line);
        sqlite3_bind_int(stmt, 2, item);
        sqlite3_bind_int64(stmt, 3, kShare);
        ok = sqlite3_step(stmt) == SQLITE_DONE && ok;
        sqlite3_reset(stmt);
      }
    }
  }
  ok = ok && Exec(db, "COMMIT");
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  for (sqlite3_stmt* stmt : {money, history, ledger}) sqlite3_finalize(stmt);
  sqlite3_close(db);
  return ok ? ms : -1;
}

}  // namespace

int main() {
  const fs::path dir = fs::temp_directory_path() / ("acq-bench-prorate-" + std::to_string(getpid()));
  fs::create_directories(dir);
  setenv("ACQ_WORKSTATION", (dir / "workstation.ini").c_str(), 1);
  int failed = 0;
  for (const bool ledger : {true, false}) {
    const std::string base = (dir / "base.db").string();
    fs::remove(base);
    DbMsg msg;
    if (DbAdmin_CreateDatabase(base, true, msg) != kDbOk || !Populate(base, ledger)) {
      std::fprintf(stderr, "cannot create the database: %s\n", msg.text.c_str());
      return 1;
    }
    const std::string timed = (dir / "timed.db").string();
    const std::string raw = (dir / "raw.db").string();
    const std::string rawAll = (dir / "raw-all.db").string();
    for (const std::string& copy : {timed, raw, rawAll}) {
      fs::remove(copy);
      fs::copy_file(base, copy);
    }
    size_t rows = 0;
    const double module = RunModule(timed, rows);
    const double moneyRows = RunRaw(raw, false);
    const double everyRow = ledger ? RunRaw(rawAll, true) : -1;
    if (module < 0 || moneyRows < 0 || (ledger && everyRow < 0)) {
      std::fprintf(stderr, "a run failed\n");
      ++failed;
      continue;
    }
    std::printf("Prorating one charge over %d line rows (ledger %s): %zu rows\n",
                kLines * kItems, ledger ? "on" : "off", rows);
    std::printf("  through the module            %9.2f ms\n", module);
    std::printf("  money rows straight on SQLite %9.2f ms  ratio %5.2f\n", moneyRows,
                module / moneyRows);
    if (ledger)
      std::printf("  every row it writes, raw      %9.2f ms  ratio %5.2f\n", everyRow,
                  module / everyRow);
  }
  fs::remove_all(dir);
  return failed == 0 ? 0 : 1;
}
