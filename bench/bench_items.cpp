// What making catalogue items and copies for ordered lines costs: 1,000
// items created one by one (each its own transaction: the key, the
// temporary barcode, an inventory number, the item row, its activity and
// item# on the line item), then the copies of 10 lines of 100 items (one
// transaction per line). The lines have no bibliographic record yet, so the
// first item or copy of each line makes one. Prints the times; it never
// fails for being slow.
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "BenchModule.h"
#include "acq/po/AcqDbCopy.h"
#include "host/db/DbAdmin.h"

namespace {

using bench::MsSince;
using bench::ShowError;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kLines = 10;          // lines 10 .. 19 of PO 1 get items
constexpr int kCopyLines = 10;      // lines 20 .. 29 get copies
constexpr int kItemsPerLine = 100;

bool Populate(const std::string& path) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK;
  const std::string lines =
      "WITH RECURSIVE l(n) AS (SELECT 10 UNION ALL SELECT n+1 FROM l WHERE n<" +
      std::to_string(10 + kLines + kCopyLines - 1) + "), i(n) AS (SELECT 1 UNION ALL SELECT "
      "n+1 FROM i WHERE n<" + std::to_string(kItemsPerLine) + ") ";
  const std::string statements[] = {
      "BEGIN",
      lines + "INSERT INTO po_line(\"po#\", line, title, isbn, media_type, unit_price, "
              "last_item) SELECT 1, n, 'Bench title ' || n, '97815559' || (10000 + n), 'BOOK', "
              "10000000, 100 FROM l",
      lines + "INSERT INTO po_line_item(\"po#\", line, item, location, collection, itype, "
              "budget, approve_date) SELECT 1, l.n, i.n, 'MAIN', 'ADULT', 'BOOK', 'ADULT.2026', "
              "46030 FROM l, i",
      "INSERT INTO pw_site_feature(feature) VALUES('IncInvA')",
      "COMMIT",
  };
  for (const std::string& sql : statements) {
    char* error = nullptr;
    if (ok && sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
      std::fprintf(stderr, "%s in %.200s\n", error ? error : "?", sql.c_str());
      ok = false;
    }
    sqlite3_free(error);
  }
  sqlite3_close(db);
  return ok;
}

}  // namespace

int main() {
  const fs::path dir = fs::temp_directory_path() / ("acq-bench-items-" + std::to_string(getpid()));
  fs::create_directories(dir);
  setenv("ACQ_WORKSTATION", (dir / "workstation.ini").c_str(), 1);
  const std::string path = (dir / "items.db").string();
  DbMsg msg;
  if (DbAdmin_CreateDatabase(path, true, msg) != kDbOk || !Populate(path)) {
    std::fprintf(stderr, "cannot create the database: %s\n", msg.text.c_str());
    return 1;
  }
  if (!bench::StartModule(path, &ShowError)) return 1;
  int failed = 0;
  const Clock::time_point items = Clock::now();
  for (int line = 10; line < 10 + kLines; ++line)
    for (int item = 1; item <= kItemsPerLine; ++item) {
      int32_t made = 0;
      if (acq::AcqDbCopy::CreateItem(1, static_cast<int16_t>(line), static_cast<int16_t>(item),
                                     {"", "B"}, made) != acq::AcqDbCopy::CreateResult::Created)
        ++failed;
    }
  const double itemsMs = MsSince(items);
  const Clock::time_point copies = Clock::now();
  int madeCopies = 0;
  for (int line = 10 + kLines; line < 10 + kLines + kCopyLines; ++line) {
    int made = 0;
    if (!acq::AcqDbCopy::CreateCopies(1, static_cast<int16_t>(line), made)) ++failed;
    madeCopies += made;
  }
  const double copiesMs = MsSince(copies);
  bench::StopModule();
  const int itemCount = kLines * kItemsPerLine;
  std::printf("%d items created one by one (inventory numbers on):\n", itemCount);
  std::printf("  %8.2f ms (%.3f ms each)\n", itemsMs, itemsMs / itemCount);
  std::printf("%d copies, %d lines of %d in one transaction each:\n", madeCopies, kCopyLines,
              kItemsPerLine);
  std::printf("  %8.2f ms (%.3f ms each)\n", copiesMs, copiesMs / (madeCopies ? madeCopies : 1));
  if (failed) std::printf("  %d creations failed\n", failed);
  fs::remove_all(dir);
  return 0;
}
