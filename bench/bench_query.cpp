// Finding a PO by its number and loading the lines of a 1,000-line PO, on a
// library database of 100,000 PO lines (100 POs of 1,000 lines, one item a
// line), through the module's own query routines on the embedded database;
// opening a list window over all 100,000 lines, and the find windows'
// starts-with searches with and without the indexes that answer them.
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/db/AcqDbGlobal.h"
#include "host/db/DbAdmin.h"
#include "host/mr/MrFramework.h"
#include "host/muc/MucTools.h"

namespace {

namespace fs = std::filesystem;

constexpr int kPos = 100;
constexpr int kLinesPerPo = 1000;
constexpr int kFirstPo = 100000;  // clear of the demo's POs

void Check(int rc, sqlite3* db, const char* what) {
  if (rc != SQLITE_OK && rc != SQLITE_DONE) {
    std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
    std::exit(1);
  }
}

// The demo library plus 100 POs of 1,000 lines each, written directly.
void Populate(const std::string& path) {
  sqlite3* db = nullptr;
  Check(sqlite3_open(path.c_str(), &db), db, "open");
  Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
  sqlite3_stmt* po = nullptr;
  sqlite3_stmt* line = nullptr;
  sqlite3_stmt* item = nullptr;
  Check(sqlite3_prepare_v2(db,
                           "INSERT INTO po(\"po#\", po_number, \"vendor#\", currency, location, "
                           "creation_date) SELECT ?1, ?2, min(\"vendor#\"), 'USD', 'MAIN', 46000 "
                           "FROM vendor",
                           -1, &po, nullptr),
        db, "prepare po");
  Check(sqlite3_prepare_v2(db,
                           "INSERT INTO po_line(\"po#\", line, title, author, isbn, unit_price, "
                           "last_item) VALUES (?1, ?2, ?3, 'Author, An', '9780000000000', "
                           "24990000, 1)",
                           -1, &line, nullptr),
        db, "prepare line");
  Check(sqlite3_prepare_v2(db,
                           "INSERT INTO po_line_item(\"po#\", line, item, location, budget, "
                           "order_date) VALUES (?1, ?2, 1, 'MAIN', 'ADULT.2026', 46001)",
                           -1, &item, nullptr),
        db, "prepare item");
  char text[64];
  for (int p = 0; p < kPos; ++p) {
    std::snprintf(text, sizeof text, "BENCH-%06d", p);
    sqlite3_bind_int(po, 1, kFirstPo + p);
    sqlite3_bind_text(po, 2, text, -1, SQLITE_TRANSIENT);
    Check(sqlite3_step(po), db, "insert po");
    sqlite3_reset(po);
    for (int l = 1; l <= kLinesPerPo; ++l) {
      std::snprintf(text, sizeof text, "Title %d of PO %d", l, p);
      sqlite3_bind_int(line, 1, kFirstPo + p);
      sqlite3_bind_int(line, 2, l);
      sqlite3_bind_text(line, 3, text, -1, SQLITE_TRANSIENT);
      Check(sqlite3_step(line), db, "insert line");
      sqlite3_reset(line);
      sqlite3_bind_int(item, 1, kFirstPo + p);
      sqlite3_bind_int(item, 2, l);
      Check(sqlite3_step(item), db, "insert item");
      sqlite3_reset(item);
    }
  }
  sqlite3_finalize(po);
  sqlite3_finalize(line);
  sqlite3_finalize(item);
  // A list window (not a find window: it opens on every row) over the lines.
  Check(sqlite3_exec(db,
                     "INSERT INTO pw_view(view_name, kind, source, key_columns, order_by, "
                     "caption) VALUES ('bench_po_lines', 'L', 'po_line_find', 'po#,line', "
                     "'po_number,line', 'PO Lines');"
                     "INSERT INTO pw_view_column(view_name, position, column_name, heading) "
                     "VALUES ('bench_po_lines', 1, 'po_number', 'PO Number'), "
                     "('bench_po_lines', 2, 'line', 'Line'), "
                     "('bench_po_lines', 3, 'title', 'Title'), "
                     "('bench_po_lines', 4, 'author', 'Author'), "
                     "('bench_po_lines', 5, 'isbn', 'ISBN')",
                     nullptr, nullptr, nullptr),
        db, "list window");
  Check(sqlite3_exec(db, "COMMIT; ANALYZE", nullptr, nullptr, nullptr), db, "commit");
  sqlite3_close(db);
}

void ShowError(std::string_view text) { std::fprintf(stderr, "database error: %.*s\n", int(text.size()), text.data()); }

struct Library {
  fs::path dir = fs::temp_directory_path() / ("acq-bench-query-" + std::to_string(getpid()));
  Library() {
    fs::create_directories(dir);
    const std::string path = (dir / "library.db").string();
    setenv("ACQ_WORKSTATION", (dir / "workstation.ini").c_str(), 1);
    DbMsg msg;
    if (DbAdmin_CreateDatabase(path, true, msg) != kDbOk) {
      std::fprintf(stderr, "cannot create the database: %s\n", msg.text.c_str());
      std::exit(1);
    }
    Populate(path);
    acq::AcqDbExcept::Initialize();
    acq::AcqDbGlobal::Initialize();
    acq::AcqDb::Initialize();
    acq::AcqDbExcept::SetDbErrorProc(&ShowError);
    DbGlobal_globRec = DbGlobalRec{path, "admin", "admin", "acq", "MAIN"};
    if (acq::AcqDb::Login(msg) != kDbOk) {
      std::fprintf(stderr, "cannot log in: %s\n", msg.text.c_str());
      std::exit(1);
    }
  }
  ~Library() {
    acq::AcqDb::Logout();
    acq::AcqDb::Terminate();
    acq::AcqDbGlobal::Terminate();
    acq::AcqDbExcept::Terminate();
    fs::remove_all(dir);
  }
};

Library& TheLibrary() {
  static Library library;
  return library;
}

void BM_FindPoByNumber(benchmark::State& state) {
  TheLibrary();
  DbMsg msg;
  int n = 0;
  for (auto _ : state) {
    char number[32];
    std::snprintf(number, sizeof number, "BENCH-%06d", n++ % kPos);
    int32_t po = 0;
    if (!acq::AcqDbGen::FindPoByNumber(msg, number, po) || po < kFirstPo) {
      state.SkipWithError("PO not found");
      return;
    }
  }
}
BENCHMARK(BM_FindPoByNumber)->Unit(benchmark::kMicrosecond);

void BM_LoadPoLines1000(benchmark::State& state) {
  TheLibrary();
  DbMsg msg;
  const std::string where = "po#=" + std::to_string(kFirstPo + kPos / 2);
  for (auto _ : state) {
    BucketHold lines;
    if (acq::AcqDb::LoadTable(msg, acq::AcqDb::ClearChanges::Yes, "line", where, "*", "po_line",
                              lines.get()) != kDbOk ||
        _BktCountAll(*lines) != kLinesPerPo) {
      state.SkipWithError(msg.text.c_str());
      return;
    }
  }
  state.counters["lines/s"] = benchmark::Counter(kLinesPerPo, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LoadPoLines1000)->Unit(benchmark::kMillisecond);

// The PO window's line list: every line with its counts and money.
void BM_FillPoLineDisplay1000(benchmark::State& state) {
  TheLibrary();
  DbMsg msg;
  for (auto _ : state) {
    std::vector<BktHandle> sets;
    const DbCode code = acq::AcqDbGen::FillPoLineDisplay(msg, kFirstPo + kPos / 2, sets);
    const int rows = sets.empty() ? 0 : _BktCountAll(sets.front());
    for (BktHandle& b : sets) _BktDestroy(&b);
    if (code != kDbOk || rows != kLinesPerPo) {
      state.SkipWithError(code != kDbOk ? msg.text.c_str() : "wrong line count");
      return;
    }
  }
}
BENCHMARK(BM_FillPoLineDisplay1000)->Unit(benchmark::kMillisecond);

// The PO find window's own path: a search on the PO number in the lister
// "po_find_head" (a starts-with search over POs with their vendors).
void BM_FindWindowSearchByNumber(benchmark::State& state) {
  TheLibrary();
  RegisterClassW("BenchClient", &DefWindowProcW);
  HWND client = CreateWindowW("BenchClient", "", nullptr);
  PwMucBase_hwndClient = client;
  HENVIR envir = MrProc_NewEnvir(acq::AcqDbGlobal::Session(), "poline");
  HLISTER lister = MrLister_MrListerUserInst(envir, "po_find_head", nullptr, client, "", "");
  if (lister == nullptr || !MrLister_MrListerBegin(lister, "bench")) {
    state.SkipWithError("no PO find window");
    return;
  }
  int n = 0;
  for (auto _ : state) {
    char number[32];
    std::snprintf(number, sizeof number, "BENCH-%06d", n++ % kPos);
    MrLister_SetSearch(lister, "po_number", number);
    if (!MrProc_MrProcCmd(acq::AcqDbGlobal::Session(), kMrSearch, client) ||
        _BktCountAll(MrLister_Rows(lister)) != 1) {
      state.SkipWithError("the search did not find the PO");
      break;
    }
  }
  DestroyWindow(client);
}
BENCHMARK(BM_FindWindowSearchByNumber)->Unit(benchmark::kMicrosecond);

// The framework's windows need a client window; one serves every benchmark.
HWND Client() {
  static HWND client = [] {
    RegisterClassW("BenchListClient", &DefWindowProcW);
    HWND hwnd = CreateWindowW("BenchListClient", "", nullptr);
    PwMucBase_hwndClient = hwnd;
    return hwnd;
  }();
  return client;
}

// A list window (not a find window) over all 100,000 PO lines, from asking
// for it to its first rows shown; "rows" counts the rows it then holds.
void BM_OpenListWindow100000(benchmark::State& state) {
  TheLibrary();
  HWND client = Client();
  int shown = 0;
  for (auto _ : state) {
    HENVIR envir = MrProc_NewEnvir(acq::AcqDbGlobal::Session(), "poline");
    HLISTER lister = MrLister_MrListerUserInst(envir, "bench_po_lines", nullptr, client, "", "");
    const bool opened = lister != nullptr && MrLister_MrListerBegin(lister, "bench");
    shown = opened ? _BktCountAll(MrLister_Rows(lister)) : 0;
    state.PauseTiming();
    MrProc_FreeEnvir(&envir);   // closes the window
    state.ResumeTiming();
    if (shown == 0) {
      state.SkipWithError("the list window did not open");
      break;
    }
  }
  state.counters["rows"] = shown;
}
BENCHMARK(BM_OpenListWindow100000)->Unit(benchmark::kMillisecond);

// The PO line find window's starts-with search on the title, as its Search
// button runs it: "title 512 of po 42" finds one line of the 100,000; with
// `broad`, "title 5" finds 11,100 lines (titles 5, 50-59 and 500-599 of
// every PO), of which the window fetches the first page and counts the rest.
void SearchTitles(benchmark::State& state, bool broad = false) {
  TheLibrary();
  HWND client = Client();
  HENVIR envir = MrProc_NewEnvir(acq::AcqDbGlobal::Session(), "poline");
  HLISTER lister = MrLister_MrListerUserInst(envir, "po_find_line", nullptr, client, "", "");
  if (lister == nullptr || !MrLister_MrListerBegin(lister, "bench")) {
    state.SkipWithError("no PO line find window");
    return;
  }
  int n = 0;
  for (auto _ : state) {
    char title[48];
    // POs 10 to 99: no other PO's number starts with theirs.
    std::snprintf(title, sizeof title, "title %d of po %d", 1 + n % kLinesPerPo, 10 + n % 90);
    ++n;
    MrLister_SetSearch(lister, "title", broad ? "title 5" : title);
    if (!MrProc_MrProcCmd(acq::AcqDbGlobal::Session(), kMrSearch, client) ||
        MrLister_RowCount(lister) != (broad ? 111 * kPos : 1)) {
      state.SkipWithError("the search did not find the lines");
      break;
    }
  }
  state.counters["rows"] = _BktCountAll(MrLister_Rows(lister));
  MrProc_FreeEnvir(&envir);
}

void BM_FindWindowSearchTitle(benchmark::State& state) { SearchTitles(state); }
BENCHMARK(BM_FindWindowSearchTitle)->Unit(benchmark::kMicrosecond);

void BM_FindWindowSearchTitleBroad(benchmark::State& state) { SearchTitles(state, true); }
BENCHMARK(BM_FindWindowSearchTitleBroad)->Unit(benchmark::kMicrosecond);

// The same search with the indexes on po_line's title taken away for the
// run (and put back after it): what the search costs without them.
void BM_FindWindowSearchTitleNoIndex(benchmark::State& state) {
  const std::string path = (TheLibrary().dir / "library.db").string();
  sqlite3* db = nullptr;
  Check(sqlite3_open(path.c_str(), &db), db, "open");
  std::vector<std::string> names, creates;   // of the indexes taken away
  sqlite3_stmt* stmt = nullptr;
  Check(sqlite3_prepare_v2(db,
                           "SELECT name, sql FROM sqlite_schema WHERE type = 'index' AND "
                           "tbl_name = 'po_line' AND sql LIKE '%title%'",
                           -1, &stmt, nullptr),
        db, "indexes");
  while (sqlite3_step(stmt) == SQLITE_ROW) {
    names.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    creates.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
  }
  sqlite3_finalize(stmt);
  for (const std::string& name : names)
    Check(sqlite3_exec(db, ("DROP INDEX \"" + name + "\"").c_str(), nullptr, nullptr, nullptr),
          db, "drop index");
  SearchTitles(state);
  for (const std::string& sql : creates)
    Check(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), db, "create index");
  sqlite3_close(db);
  state.counters["indexes dropped"] = static_cast<double>(names.size());
}
BENCHMARK(BM_FindWindowSearchTitleNoIndex)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
