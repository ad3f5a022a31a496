// What an activity costs over the SQL it runs. A receive of a 100-item line
// as one activity, and 1,000 receives of one item each, through the
// module (AcqDbAct::RunActivity, on a warm session), against the same SQL
// statements replayed straight on SQLite in the same transactions (the
// statements captured from an identical run, values written in). The
// items are invoiced on an approved statement, so each receipt also turns
// their money spent: budget moves, ledger rows, statistics. Prints the
// times and the ratios; the goal is within 2x.
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "BenchModule.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/po/AcqDbAct.h"
#include "host/db/DbAdmin.h"
#include "host/db/EngineSqlite.h"

namespace {

using bench::Exec;
using bench::ShowError;

namespace fs = std::filesystem;
namespace act = acq::AcqDbAct;
using Clock = std::chrono::steady_clock;

constexpr int16_t kBigLine = 10;       // 100 items, received at once
constexpr int16_t kWarmLine = 11;      // 5 items: the session's first activity
constexpr int16_t kFirstSmall = 12;    // 10 lines of 100 items, received one by one
constexpr int kSmallLines = 10;
constexpr int kItemsPerLine = 100;

// Lines 10 .. 21 of PO 1, every item approved, ordered and invoiced at
// 10.00 on statement 30 (approved), its money still on order.
bool Populate(const std::string& path) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK;
  std::string lines = "WITH RECURSIVE l(n) AS (SELECT 10 UNION ALL SELECT n+1 FROM l WHERE n<21)";
  std::string items = "WITH RECURSIVE i(n) AS (SELECT 1 UNION ALL SELECT n+1 FROM i WHERE n<" +
                      std::to_string(kItemsPerLine) + ")";
  ok = ok && Exec(db, "BEGIN") &&
       Exec(db, "INSERT INTO statement(\"statement#\", statement_number, statement_type, "
                "\"vendor#\", amount, currency, exchange_rate, approve_date) "
                "VALUES (30, 'NF-BENCH', 0, 1, 0, 'USD', 1000000, 46060)") &&
       Exec(db, lines + " INSERT INTO po_line(\"po#\", line, title, unit_price, last_item) "
                        "SELECT 1, n, 'Bench title ' || n, 10000000, " +
                    std::to_string(kItemsPerLine) + " FROM l") &&
       Exec(db, lines + ", " + items.substr(std::string("WITH RECURSIVE ").size()) +
                    " INSERT INTO po_line_item(\"po#\", line, item, location, budget, "
                    "approve_date, order_date, printed_date, invoice_date, next_claim_date) "
                    "SELECT 1, l.n, i.n, 'MAIN', 'ADULT.2026', 46030, 46031, 46031, 46040, "
                    "46061 FROM l, i") &&
       Exec(db, "INSERT INTO po_line_item_budget_amount(\"po#\", line, item, budget, amount, "
                "exchange_rate, spent, \"statement#\", statement_line, statement_line_type) "
                "SELECT \"po#\", line, item, budget, 10000000, 1000000, 0, 30, 1, 0 "
                "FROM po_line_item WHERE \"po#\"=1 AND line>=10") &&
       Exec(db, "UPDATE account_year SET on_order=on_order+12000000000 "
                "WHERE account='ADULT' AND year=2026") &&
       // Room for the money: no limit stops a receipt (the prompts are not measured).
       Exec(db, "UPDATE vendor_contract SET amount=100000000000, on_order_limit=NULL, "
                "spent_limit=NULL WHERE vendor_contract='STAND26'") &&
       Exec(db, "COMMIT");
  sqlite3_close(db);
  return ok;
}

// The statements of the session while the hook is installed, values
// written in; the session's own schema reads are not counted.
struct Capture {
  std::vector<std::string>* into = nullptr;
};
int Record(unsigned, void* context, void* stmt, void*) {
  auto* capture = static_cast<Capture*>(context);
  if (capture->into == nullptr) return 0;
  char* sql = sqlite3_expanded_sql(static_cast<sqlite3_stmt*>(stmt));
  const std::string text = sql ? sql : "";
  sqlite3_free(sql);
  for (const char* schemaRead : {"PRAGMA", "-- PRAGMA", "SELECT name, type, pk FROM pragma_",
                                 "SELECT name FROM sqlite_schema"})
    if (text.rfind(schemaRead, 0) == 0) return 0;
  capture->into->push_back(text);
  return 0;
}

// One-item Buckets of the line's pending receipts: what the activity
// window hands over, loaded before the clock starts.
std::vector<BktHandle> SingleItems(int16_t line) {
  BktHandle all = nullptr;
  std::vector<BktHandle> out;
  if (!act::LoadPendingItems(act::Activity::Receive, 1, line, 0, all)) return out;
  for (int row = 1; row <= _BktCountAll(all); ++row) {
    BktHandle one = nullptr;
    _BktClone(one, 0, 0, all);
    int added = 0;
    _BktInsert(one, 0, added);
    _BktRowCopy(one, added, all, row);
    out.push_back(one);
  }
  _BktDestroy(&all);
  return out;
}

struct Run {
  double bigMs = 0;     // the 100-item receive
  double smallMs = 0;   // the 1,000 one-item receives
  bool ok = true;
};

// The warm-up, the 100-item receive and the 1,000 single receives through
// the module; with `capture`, their statements are recorded (the warm-up's
// into `warm`).
Run RunModule(const std::string& path, std::vector<std::string>* warm,
              std::vector<std::string>* big, std::vector<std::string>* small) {
  Run r;
  if (!bench::StartModule(path, &ShowError)) {
    std::fprintf(stderr, "cannot start the module on %s\n", path.c_str());
    r.ok = false;
    return r;
  }
  Capture capture;
  // The statements are replayed straight on SQLite below, so they are
  // recorded with their values by SQLite's own trace.
  sqlite3* conn = DbSession_SqliteHandleForTest(acq::AcqDbGlobal::Session());
  if (warm) sqlite3_trace_v2(conn, SQLITE_TRACE_STMT, &Record, &capture);
  auto receive = [&](BktHandle items) {
    r.ok = act::RunActivity(act::Activity::Receive, items, act::ActivityEntry{}) && r.ok;
  };
  BktHandle items = nullptr;
  capture.into = warm;
  r.ok = act::LoadPendingItems(act::Activity::Receive, 1, kWarmLine, 0, items);
  receive(items);
  r.ok = act::LoadPendingItems(act::Activity::Receive, 1, kBigLine, 0, items) && r.ok;
  std::vector<BktHandle> singles;
  for (int l = 0; l < kSmallLines; ++l) {
    std::vector<BktHandle> more = SingleItems(static_cast<int16_t>(kFirstSmall + l));
    singles.insert(singles.end(), more.begin(), more.end());
  }

  capture.into = big;
  auto start = Clock::now();
  receive(items);
  r.bigMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  capture.into = small;
  start = Clock::now();
  for (BktHandle one : singles) receive(one);
  r.smallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  capture.into = nullptr;

  if (warm) sqlite3_trace_v2(conn, 0, nullptr, nullptr);
  for (BktHandle& one : singles) _BktDestroy(&one);
  _BktDestroy(&items);
  bench::StopModule();
  return r;
}

// The captured statements straight on SQLite: the warm-up's untimed, then
// the two timed parts.
Run Replay(const std::string& path, const std::vector<std::string>& warm,
           const std::vector<std::string>& big, const std::vector<std::string>& small) {
  Run r;
  sqlite3* db = nullptr;
  r.ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK;
  sqlite3_busy_timeout(db, 1000);
  // The settings of the module's sessions.
  r.ok = r.ok && Exec(db, "PRAGMA journal_mode=WAL") && Exec(db, "PRAGMA foreign_keys=ON") &&
         Exec(db, "PRAGMA synchronous=NORMAL");
  auto replay = [&](const std::vector<std::string>& statements) {
    for (const std::string& sql : statements) r.ok = Exec(db, sql) && r.ok;
  };
  replay(warm);
  auto start = Clock::now();
  replay(big);
  r.bigMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  start = Clock::now();
  replay(small);
  r.smallMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  sqlite3_close(db);
  return r;
}

}  // namespace

int main() {
  const fs::path dir = fs::temp_directory_path() / ("acq-bench-act-" + std::to_string(getpid()));
  fs::create_directories(dir);
  setenv("ACQ_WORKSTATION", (dir / "workstation.ini").c_str(), 1);
  const std::string base = (dir / "base.db").string();
  DbMsg msg;
  if (DbAdmin_CreateDatabase(base, true, msg) != kDbOk || !Populate(base)) {
    std::fprintf(stderr, "cannot create the database: %s\n", msg.text.c_str());
    return 1;
  }
  const std::string captured = (dir / "captured.db").string();
  const std::string timed = (dir / "timed.db").string();
  const std::string raw = (dir / "raw.db").string();
  for (const std::string& copy : {captured, timed, raw}) fs::copy_file(base, copy);

  std::vector<std::string> warm, big, small;
  const Run capture = RunModule(captured, &warm, &big, &small);
  const Run module = RunModule(timed, nullptr, nullptr, nullptr);
  const Run sql = Replay(raw, warm, big, small);
  if (!capture.ok || !module.ok || !sql.ok) {
    std::fprintf(stderr, "a run failed\n");
    return 1;
  }
  std::printf("Receive of a %d-item line (items invoiced on an approved statement):\n",
              kItemsPerLine);
  std::printf("  as one activity   %8.2f ms\n", module.bigMs);
  std::printf("  its %zu statements %8.2f ms straight on SQLite, one transaction\n", big.size(),
              sql.bigMs);
  std::printf("  ratio             %8.2f\n", module.bigMs / sql.bigMs);
  const int singles = kSmallLines * kItemsPerLine;
  std::printf("%d receives of one item each:\n", singles);
  std::printf("  as activities     %8.2f ms (%.3f ms each)\n", module.smallMs,
              module.smallMs / singles);
  std::printf("  their %zu statements %8.2f ms straight on SQLite, %d transactions\n",
              small.size(), sql.smallMs, singles);
  std::printf("  ratio             %8.2f\n", module.smallMs / sql.smallMs);
  fs::remove_all(dir);
  return 0;
}
