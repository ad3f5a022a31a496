// What undo costs at the size of a big order: undo order of a PO of 1,000
// lines (one ordered item each) through the stored procedure, in one
// transaction; and undo of the receipt of 1,000 received lines, one line
// (one transaction) at a time, each with its claim date reset, its
// catalogue records and its money put back. Prints the times.
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "BenchModule.h"
#include "acq/po/AcqDbUndo.h"
#include "host/db/DbAdmin.h"
#include "host/db/DbDabs.h"

namespace {

using bench::MsSince;
using bench::Exec;
using bench::ShowError;

namespace fs = std::filesystem;
namespace undo = acq::AcqDbUndo;
using Clock = std::chrono::steady_clock;

constexpr int kLines = 1000;
constexpr int32_t kOrderPo = 95;     // ordered, nothing later: undo order
constexpr int32_t kReceivedPo = 96;  // received: undo receipt line by line

// Two POs of vendor 1 with kLines lines of one item at 10.00 on ADULT.2026,
// approved and ordered 40 days ago; the second's items received today.
bool Populate(const std::string& path) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return false;
  const std::string today = std::to_string(DbDabs_GetDate());
  const std::string ordered = std::to_string(DbDabs_GetDate() - 40);
  const std::string lines = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i+1 FROM n WHERE"
                            " i<" + std::to_string(kLines) + ") ";
  bool ok = Exec(db, "BEGIN");
  for (int32_t po : {kOrderPo, kReceivedPo}) {
    const std::string p = std::to_string(po);
    const std::string received = po == kReceivedPo ? today : "NULL";
    const std::string claim = po == kReceivedPo ? "NULL" : ordered + "+30";
    ok = ok &&
         Exec(db, "INSERT INTO po(\"po#\", po_number, \"vendor#\", currency, spent_event,"
                  " item_creation, attach_barcode, renewal_type, location, bill_to_address,"
                  " ship_to_address) VALUES (" + p + ", 'BENCH-" + p + "', 1, 'USD', 0, 0, 0,"
                  " 0, 'MAIN', 'ACCTS', 'RECV')") &&
         Exec(db, lines + "INSERT INTO po_line(\"po#\", line, media_type, title, unit_price,"
                          " last_item) SELECT " + p + ", i, 'BOOK', 'Bench title ' || i,"
                          " 10000000, 1 FROM n") &&
         Exec(db, lines + "INSERT INTO po_line_item(\"po#\", line, item, location, budget,"
                          " approve_date, order_date, receive_date, next_claim_date) SELECT " +
                          p + ", i, 1, 'MAIN', 'ADULT.2026', " + ordered + ", " + ordered +
                          ", " + received + ", " + claim + " FROM n") &&
         Exec(db, lines + "INSERT INTO po_line_item_budget_amount(\"po#\", line, item, budget,"
                          " amount, exchange_rate) SELECT " + p + ", i, 1, 'ADULT.2026',"
                          " 10000000, 1000000 FROM n");
  }
  ok = ok && Exec(db, "COMMIT");
  sqlite3_close(db);
  return ok;
}

}  // namespace

int main() {
  const fs::path dir = fs::temp_directory_path() / ("acq-bench-undo-" + std::to_string(getpid()));
  fs::create_directories(dir);
  setenv("ACQ_WORKSTATION", (dir / "workstation.ini").c_str(), 1);
  const std::string path = (dir / "undo.db").string();
  DbMsg msg;
  if (DbAdmin_CreateDatabase(path, true, msg) != kDbOk || !Populate(path)) {
    std::fprintf(stderr, "cannot create the database: %s\n", msg.text.c_str());
    return 1;
  }
  if (!bench::StartModule(path, &ShowError)) return 1;

  auto start = Clock::now();
  const undo::Result order = undo::UndoOrder(kOrderPo);
  const double orderMs = MsSince(start);

  start = Clock::now();
  int undone = 0;
  for (int line = 1; line <= kLines; ++line)
    if (undo::UndoLine(undo::UndoActivity::Receive, kReceivedPo, static_cast<int16_t>(line))
            .outcome == undo::Outcome::Undone)
      ++undone;
  const double receiptMs = MsSince(start);
  bench::StopModule();

  std::printf("Undo order of a PO of %d lines (one ordered item each):\n", kLines);
  std::printf("  one transaction   %8.2f ms (%s)\n", orderMs,
              order.outcome == undo::Outcome::Undone ? "undone" : "NOT undone");
  std::printf("Undo receipt of %d received lines, one transaction each:\n", kLines);
  std::printf("  all lines         %8.2f ms (%.3f ms a line, %d undone)\n", receiptMs,
              receiptMs / kLines, undone);
  fs::remove_all(dir);
  return 0;
}
