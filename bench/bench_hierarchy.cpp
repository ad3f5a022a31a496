// What the budget hierarchies cost at the size of a large library: 10,000
// budgets in two hierarchies (100 groups of 100, and all of them again under
// one group: 20,103 items). Prints the time of loading and totalling the
// hierarchy report, of printing it to a PDF file, and of loading and saving
// the trees (one transaction), with the grand total, which must count each
// budget once: 10,000 x 1000.00 + 0.01 x (1 + ... + 10,000) = 10,500,050.00.
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "BenchModule.h"
#include "acq/budget/AcqBHRpt.h"
#include "acq/budget/AcqDbBH.h"
#include "host/db/DbAdmin.h"
#include "host/print/MucPrint.h"

namespace {

using bench::Exec;
using bench::MsSince;
using bench::ShowError;
namespace fs = std::filesystem;
namespace bh = acq::AcqDbBH;
using Clock = std::chrono::steady_clock;

constexpr int kBudgets = 10000;

bool Populate(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
  const std::string n = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                        std::to_string(kBudgets) + ") ";
  const std::string account = "'B' || CAST(100000 + i AS VARCHAR(6))";
  const bool ok =
      Exec(db, "BEGIN") &&
      // Only the bench's budgets: the demo's hierarchy and years go.
      Exec(db, "DELETE FROM budget_hierarchy") &&
      Exec(db, "UPDATE account_year SET amount = 0, on_order = 0, spent = 0") &&
      Exec(db, "INSERT INTO account(account, descr) " + n + "SELECT " + account +
                   ", 'Bench' FROM n") &&
      Exec(db, "INSERT INTO account_year(account, year, amount, on_order, spent) " + n +
                   "SELECT " + account + ", 2026, 1000000000 + i * 10000, 250000000, "
                   "500000000 FROM n") &&
      Exec(db, "INSERT INTO budget_hierarchy(item_key, parent_item_key, item_kind, label, "
               "position) VALUES (1, NULL, 0, 'By group', 1), (2, NULL, 0, 'All', 2), "
               "(3, 2, 1, 'Every budget', 1)") &&
      Exec(db, "INSERT INTO budget_hierarchy(item_key, parent_item_key, item_kind, label, "
               "position) " + n + "SELECT 100 + i, 1, 1, 'Group ' || i, i FROM n WHERE i <= 100") &&
      Exec(db, "INSERT INTO budget_hierarchy(item_key, parent_item_key, item_kind, label, "
               "budget, position) " + n + "SELECT 1000 + i, 100 + (i - 1) / 100 + 1, 2, " +
                   account + " || '.2026', " + account + " || '.2026', i FROM n") &&
      Exec(db, "INSERT INTO budget_hierarchy(item_key, parent_item_key, item_kind, label, "
               "budget, position) " + n + "SELECT 20000 + i, 3, 2, " + account +
                   " || '.2026', " + account + " || '.2026', i FROM n") &&
      Exec(db, "UPDATE pw_key SET next_key = 40000 WHERE key_table = 'budget_hierarchy'") &&
      Exec(db, "COMMIT");
  sqlite3_close(db);
  return ok;
}

}  // namespace

int main() {
  const fs::path dir =
      fs::temp_directory_path() / ("acq-bench-hierarchy-" + std::to_string(getpid()));
  fs::create_directories(dir);
  setenv("ACQ_WORKSTATION", (dir / "workstation.ini").c_str(), 1);
  const std::string path = (dir / "hierarchy.db").string();
  DbMsg msg;
  if (DbAdmin_CreateDatabase(path, true, msg) != kDbOk || !Populate(path)) {
    std::fprintf(stderr, "cannot create the database: %s\n", msg.text.c_str());
    return 1;
  }
  if (!bench::StartModule(path, &ShowError)) return 1;

  auto start = Clock::now();
  bh::Report report;
  const bool loaded = bh::LoadReport(report);
  const double reportMs = MsSince(start);

  start = Clock::now();
  std::string output, why;
  const bool printed = loaded && acq::AcqBHRpt::PrintTo(kMucPrintPdfFile, report, output, why);
  const double printMs = MsSince(start);
  const auto pdfBytes = printed && fs::exists(output) ? fs::file_size(output) : 0;

  start = Clock::now();
  bh::Forest forest;
  const bool read = bh::Load(forest);
  const double loadMs = MsSince(start);
  start = Clock::now();
  forest.Shift(forest.Tops().back(), -1);   // something to save
  const bool saved = read && bh::Save(forest);
  const double saveMs = MsSince(start);
  bench::StopModule();

  const std::string total = LbDec64_StrFrom64(report.totals.amount, 2);
  std::printf("Budget hierarchy report over %d budgets (%zu lines, each budget in two "
              "hierarchies):\n",
              kBudgets, report.lines.size());
  std::printf("  load and total     %8.2f ms %s\n", reportMs, loaded ? "" : "(FAILED)");
  std::printf("  print to PDF       %8.2f ms (%ju bytes) %s\n", printMs,
              static_cast<uintmax_t>(pdfBytes), printed ? "" : why.c_str());
  std::printf("  load the trees     %8.2f ms (%d items)\n", loadMs, forest.Count());
  std::printf("  save the trees     %8.2f ms (one transaction) %s\n", saveMs,
              saved ? "" : "(FAILED)");
  std::printf("  total amount %s (each budget once, expected 10500050.00: %s)\n", total.c_str(),
              total == "10500050.00" ? "exact" : "NOT exact");
  std::printf("  percent spent %s\n", LbDec64_StrFrom64(report.totals.percent_spent).c_str());
  if (printed) fs::remove(output);
  fs::remove_all(dir);
  return loaded && printed && saved ? 0 : 1;
}
