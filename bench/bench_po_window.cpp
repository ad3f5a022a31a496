// How long the PO window takes to open on a PO of 1,000 lines, in process:
// from AcqPo::OpenPo to the dialog created with its header, its 1,000 list
// rows and its totals set, averaged over several opens (the window is
// destroyed between opens, untimed). For comparison, the two queries the
// window runs on its own, timed alone: the line display procedure
// (AcqDbGen::FillPoLineDisplay) and the load of the PO's lines as the window
// loads them (view po_line_window), and, as a reference, the plain po_line
// rows. The rest of an open is the window's own work: the header, matching
// the two results, formatting the cells and the totals.
//
// The module is started as the frame starts it: the library entry runs the
// unit bodies in their start-up order (which also loads the string table
// and the dialog templates), the host runs the registered Initialize
// procedures, and the start-up message logs in and loads the prerequisites.
// No UI driver is installed, so nothing is drawn; what a terminal's `show`
// of the window would cost is printed apart.
//
// The library: the demo database, the measured PO (1,000 lines of 4 or 5
// items: received and invoiced with a prorated charge, invoiced only, on
// order on one budget, on order split over two budgets, every tenth line a
// cancelled item), and 49 more POs of 1,000 one-item lines around it. A
// benchmark: it prints figures and checks only that the window showed the
// PO's lines.
//
// Usage: bench_po_window [opens]   (default 10)
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGen.h"
#include "acq/frame/AcqMain.h"
#include "acq/po/AcqPo.h"
#include "host/db/DbAdmin.h"
#include "host/mr/MrUi.h"
#include "host/sys/RunTime.h"
#include "host/win32/Dialog.h"

// The library entry of the module (linked in from its objects).
extern "C" int32_t DllEntryPoint(HINSTANCE instance, uint32_t reason, void* reserved);

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int32_t kPo = 200000;            // clear of the demo's POs
constexpr const char* kPoNumber = "BENCH-WINDOW";
constexpr int kLines = 1000;
constexpr int kOtherPos = 49;              // of kLines one-item lines each
constexpr int32_t kStatement = 900;        // clear of the demo's statements
constexpr int kLinesList = 1000;           // the window's list control
// The window's total fields and what they total.
constexpr std::pair<int, const char*> kTotals[] = {
    {1011, "price"}, {1012, "billed"}, {1013, "charges"},
    {1014, "billed items"}, {1015, "on order"}, {1016, "spent"}};

constexpr uint32_t kProcessDetach = 0;
constexpr uint32_t kProcessAttach = 1;

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool Exec(sqlite3* db, const std::string& sql) {
  char* error = nullptr;
  if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) == SQLITE_OK) return true;
  std::fprintf(stderr, "%s in %.300s\n", error ? error : "?", sql.c_str());
  sqlite3_free(error);
  return false;
}

// Money in millionths, as the database stores it.
constexpr int64_t kPrice = 24990000;        // 24.99 a copy
constexpr int64_t kShipping = 1500000;      // 1.50 prorated on the received copy

// The measured PO and the POs around it, written straight into the file.
bool Populate(const std::string& path) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK;
  const std::string lines = "WITH RECURSIVE l(n) AS (SELECT 1 UNION ALL SELECT n+1 FROM l "
                            "WHERE n<" + std::to_string(kLines) + ") ";
  const std::string po = std::to_string(kPo);
  const std::string price = std::to_string(kPrice);
  const std::string statement = std::to_string(kStatement);
  // One money row of item `item` on every line of the PO: amount, spent,
  // charge type and whether it comes from the statement.
  auto money = [&](int item, const char* budget, int64_t amount, bool spent, const char* charge,
                   bool invoiced) {
    return "SELECT " + po + ", n, " + std::to_string(item) + ", '" + budget + "', " +
           std::to_string(amount) + ", 1000000, " + (spent ? "1, " : "0, ") + charge + ", " +
           (invoiced ? statement + ", n, 0" : std::string("NULL, NULL, NULL")) + " FROM l";
  };
  ok = ok && Exec(db, "BEGIN") &&
       Exec(db, "INSERT INTO po(\"po#\", po_number, \"vendor#\", currency, location, "
                "creation_date) SELECT " + po + ", '" + kPoNumber +
                    "', min(\"vendor#\"), 'USD', 'MAIN', 46000 FROM vendor") &&
       Exec(db, lines + "INSERT INTO po_line(\"po#\", line, title, author, isbn, unit_price, "
                        "last_item) SELECT " + po + ", n, 'Window title ' || n, 'Author, An', "
                        "'978' || printf('%010d', n), " + price +
                    ", CASE WHEN n % 10 = 0 THEN 5 ELSE 4 END FROM l") &&
       // Items 1-4 of every line, approved and ordered; 5 (every tenth line) cancelled.
       Exec(db, lines + ", i(k) AS (VALUES (1), (2), (3), (4), (5)) "
                        "INSERT INTO po_line_item(\"po#\", line, item, location, budget, "
                        "budget_split, approve_date, order_date, printed_date, receive_date, "
                        "invoice_date, cancel_date) SELECT " + po + ", n, k, 'MAIN', "
                        "CASE WHEN k = 4 THEN NULL ELSE 'ADULT.2026' END, "
                        "CASE WHEN k = 4 THEN 'ADULT.2026 60% + REF.2026 40%' END, "
                        "46010, 46011, 46011, CASE WHEN k = 1 THEN 46030 END, "
                        "CASE WHEN k <= 2 THEN 46031 END, CASE WHEN k = 5 THEN 46020 END "
                        "FROM l, i WHERE k <= 4 OR n % 10 = 0") &&
       Exec(db, "INSERT INTO po_line_item_budget(\"po#\", line, item, budget, percentage) "
                "SELECT \"po#\", line, item, s.column1, s.column2 FROM po_line_item, "
                "(VALUES ('ADULT.2026', 60), ('REF.2026', 40)) AS s "
                "WHERE \"po#\" = " + po + " AND item = 4") &&
       Exec(db, "INSERT INTO statement(\"statement#\", statement_number, statement_type, "
                "\"vendor#\", amount, currency, exchange_rate, approve_date) SELECT " +
                    statement + ", 'BENCH-INV', 0, \"vendor#\", " +
                    std::to_string(2 * kLines * kPrice) +
                    ", 'USD', 1000000, 46032 FROM po WHERE \"po#\" = " + po) &&
       Exec(db, "INSERT INTO statement_extra_charge(\"statement#\", extra_charge_type, amount) "
                "VALUES (" + statement + ", 'SHIP', " + std::to_string(kLines * kShipping) +
                    ")") &&
       Exec(db, lines + "INSERT INTO statement_line(\"statement#\", statement_line, "
                        "statement_line_type, \"po#\", line, quantity, amount) SELECT " +
                    statement + ", n, 0, " + po + ", n, 2, " + std::to_string(2 * kPrice) +
                    " FROM l") &&
       // Item 1 invoiced and received (spent) with its share of the shipping,
       // item 2 invoiced (on order), item 3 on order at its price, item 4 on
       // order at its price split 60/40.
       Exec(db, lines + "INSERT INTO po_line_item_budget_amount(\"po#\", line, item, budget, "
                        "amount, exchange_rate, spent, extra_charge_type, \"statement#\", "
                        "statement_line, statement_line_type) " +
                    money(1, "ADULT.2026", kPrice, true, "NULL", true) + " UNION ALL " +
                    money(1, "ADULT.2026", kShipping, true, "'SHIP'", true) + " UNION ALL " +
                    money(2, "ADULT.2026", kPrice, false, "NULL", true) + " UNION ALL " +
                    money(3, "ADULT.2026", kPrice, false, "NULL", false) + " UNION ALL " +
                    money(4, "ADULT.2026", kPrice * 6 / 10, false, "NULL", false) +
                    " UNION ALL " + money(4, "REF.2026", kPrice * 4 / 10, false, "NULL", false)) &&
       // The POs around it: one ordered item a line, its price on order.
       Exec(db, "WITH RECURSIVE p(k) AS (SELECT 1 UNION ALL SELECT k+1 FROM p WHERE k<" +
                    std::to_string(kOtherPos) + ") INSERT INTO po(\"po#\", po_number, "
                    "\"vendor#\", currency, location, creation_date) SELECT " + po +
                    " + k, 'BENCH-' || printf('%06d', k), (SELECT min(\"vendor#\") FROM vendor), "
                    "'USD', 'MAIN', 46000 FROM p") &&
       Exec(db, lines + "INSERT INTO po_line(\"po#\", line, title, author, isbn, unit_price, "
                        "last_item) SELECT p.\"po#\", n, 'Title ' || n || ' of ' || p.po_number, "
                        "'Author, An', '9780000000000', " + price + ", 1 FROM po p, l "
                        "WHERE p.\"po#\" > " + po) &&
       Exec(db, "INSERT INTO po_line_item(\"po#\", line, item, location, budget, approve_date, "
                "order_date) SELECT \"po#\", line, 1, 'MAIN', 'ADULT.2026', 46010, 46011 "
                "FROM po_line WHERE \"po#\" > " + po) &&
       Exec(db, "INSERT INTO po_line_item_budget_amount(\"po#\", line, item, budget, amount) "
                "SELECT \"po#\", line, 1, 'ADULT.2026', " + price +
                    " FROM po_line WHERE \"po#\" > " + po) &&
       Exec(db, "COMMIT") && Exec(db, "ANALYZE");
  sqlite3_close(db);
  return ok;
}

void ShowError(std::string_view text) {
  std::fprintf(stderr, "error shown: %.*s\n", static_cast<int>(text.size()), text.data());
}

// The module loaded, initialised and started up on the library, with a
// frame and client window, as the frame does it; undone in reverse.
class Module {
 public:
  explicit Module(const std::string& path) {
    instance_ = Lib_RegisterInstance(ACQ_BIN_DIR "/libPwAcq75.so", nullptr);
    Lib_ResetTermChain();
    Lib_SetPhase(kPhaseBodies);
    attached_ = true;   // a refused module's bodies ran too: detach undoes them
    if (DllEntryPoint(instance_, kProcessAttach, nullptr) == 0) {
      std::fprintf(stderr, "the host does not accept the module\n");
      return;
    }
    Lib_RunInitializeProcs();
    initialised_ = true;
    Lib_SetPhase(kPhaseInitialised);
    RegisterClassW("BenchPoFrame", &DefWindowProcW);
    RegisterClassW("BenchPoClient", &MainWndProc);
    frame_ = CreateWindowW("BenchPoFrame", "acq", nullptr);
    client_ = CreateWindowW("BenchPoClient", "", frame_);
    SetHwnd(frame_, client_);
    DbGlobal_globRec = DbGlobalRec{path, "admin", "admin", "acq", "MAIN"};
    started_ = SendMessageW(client_, acq::AcqMain::kMsgStartup, 0, 0) == 0;
    if (!started_) return;
    Lib_SetPhase(kPhaseRunning);
  }
  ~Module() {
    if (client_ != nullptr) {
      Lib_SetPhase(kPhaseClosing);
      SendMessageW(client_, WM_CLOSE, 0, 0);
      DestroyWindow(client_);
      DestroyWindow(frame_);
    }
    if (initialised_) {
      Lib_SetPhase(kPhaseTerminating);
      Lib_RunTerminateProcs();
    }
    if (attached_) {
      Lib_SetPhase(kPhaseUnloading);
      DllEntryPoint(instance_, kProcessDetach, nullptr);
    }
    Lib_ForgetRegisteredProcs();
    Lib_UnregisterInstance(instance_);
  }
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  bool Started() const { return started_; }
  HWND Client() const { return client_; }

 private:
  HINSTANCE instance_ = nullptr;
  bool attached_ = false;
  bool initialised_ = false;
  bool started_ = false;
  HWND frame_ = nullptr;
  HWND client_ = nullptr;
};

// The PO window among the client's windows; nullptr when none is open.
HWND FindPoWindow(HWND client) {
  for (HWND child = GetFirstChild(client); child != nullptr; child = GetNextSibling(child))
    if (acq::AcqPo::IsPoWindow(child)) return child;
  return nullptr;
}

struct Figures {
  std::vector<double> ms;
  double Mean() const {
    double sum = 0;
    for (double m : ms) sum += m;
    return ms.empty() ? 0 : sum / static_cast<double>(ms.size());
  }
  double Min() const { return ms.empty() ? 0 : *std::min_element(ms.begin(), ms.end()); }
  double Max() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
};

void Print(const char* what, const Figures& f) {
  std::printf("  %-48s %9.2f %9.2f %9.2f\n", what, f.Mean(), f.Min(), f.Max());
}

// `runs` timings of `step`; false (and no more runs) when a step failed.
bool Time(int runs, Figures& into, const std::function<bool()>& step) {
  for (int n = 0; n < runs; ++n) {
    const Clock::time_point start = Clock::now();
    const bool ok = step();
    into.ms.push_back(MsSince(start));
    if (!ok) return false;
  }
  return true;
}

bool LoadRows(const std::string& columns, const std::string& table, int expected) {
  BucketHold rows;
  DbMsg msg;
  const DbCode code =
      acq::AcqDb::LoadTable(msg, acq::AcqDb::ClearChanges::Yes, "line",
                            "po#=" + std::to_string(kPo), columns, table, rows.get());
  if (code != kDbOk || _BktCountAll(*rows) != expected) {
    std::fprintf(stderr, "loading %s: %s (%d rows)\n", table.c_str(), msg.text.c_str(),
                 _BktCountAll(*rows));
    return false;
  }
  return true;
}

bool FillDisplay() {
  std::vector<BktHandle> sets;
  DbMsg msg;
  const DbCode code = acq::AcqDbGen::FillPoLineDisplay(msg, kPo, sets);
  const int rows = sets.empty() ? 0 : _BktCountAll(sets.front());
  for (BktHandle& set : sets) _BktDestroy(&set);
  if (code != kDbOk || rows != kLines) {
    std::fprintf(stderr, "fill_po_line_display: %s (%d rows)\n", msg.text.c_str(), rows);
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const int opens = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  const fs::path dir =
      fs::temp_directory_path() / ("acq-bench-po-window-" + std::to_string(getpid()));
  fs::create_directories(dir);
  setenv("ACQ_WORKSTATION", (dir / "workstation.ini").c_str(), 1);
  const std::string path = (dir / "library.db").string();
  DbMsg msg;
  Clock::time_point start = Clock::now();
  if (DbAdmin_CreateDatabase(path, true, msg) != kDbOk || !Populate(path)) {
    std::fprintf(stderr, "cannot create the database: %s\n", msg.text.c_str());
    fs::remove_all(dir);
    return 1;
  }
  std::printf("library: PO %s of %d lines among %d POs, made in %.0f ms\n", kPoNumber, kLines,
              kOtherPos + 1, MsSince(start));

  int status = 0;
  {
    start = Clock::now();
    Module module(path);
    if (!module.Started()) {
      std::fprintf(stderr, "the module did not start up\n");
      fs::remove_all(dir);
      return 1;
    }
    // Database errors to stderr, not to a message box nobody answers.
    acq::AcqDbExcept::SetDbErrorProc(&ShowError);
    std::printf("module loaded, initialised and started up in %.0f ms\n\n", MsSince(start));
    const HWND client = module.Client();

    Figures open, describe, display, window, plain;
    double firstOpen = 0;
    std::string totals;
    size_t shownRows = 0;
    // The first open runs alone (statements prepared, the dialog template
    // read); the averages are over the opens after it.
    for (int n = 0; n <= opens && status == 0; ++n) {
      start = Clock::now();
      acq::AcqPo::OpenPo(kPo, kPoNumber);
      const double ms = MsSince(start);
      const HWND hwnd = FindPoWindow(client);
      shownRows = hwnd ? GetDlgListRows(hwnd, kLinesList).size() : 0;
      if (hwnd == nullptr || shownRows != static_cast<size_t>(kLines)) {
        std::fprintf(stderr, "the PO window %s (%zu lines shown)\n",
                     hwnd ? "showed the wrong lines" : "did not open", shownRows);
        status = 1;
      } else if (n == 0) {
        firstOpen = ms;
        for (const auto& [id, name] : kTotals)
          totals += std::string(totals.empty() ? "" : ", ") + name + " " +
                    GetDlgItemTextW(hwnd, id);
      } else {
        open.ms.push_back(ms);
        start = Clock::now();
        const UiWindowView view = MrUi_DescribeWindow(hwnd);
        describe.ms.push_back(MsSince(start));
        if (view.rows.size() != static_cast<size_t>(kLines)) status = 1;
      }
      if (hwnd != nullptr) DestroyWindow(hwnd);
    }
    if (status == 0) {
      if (!Time(opens, display, &FillDisplay) ||
          !Time(opens, window,
                [] {
                  return LoadRows("po#,line,title,isbn,unit_price,quantity", "po_line_window",
                                  kLines);
                }) ||
          !Time(opens, plain, [] { return LoadRows("*", "po_line", kLines); })) {
        status = 1;
      }
    }
    if (status == 0) {
      std::printf("PO window on %d lines (%zu shown)\ntotals shown: %s\n\n", kLines, shownRows,
                  totals.c_str());
      std::printf("  %-48s %9s %9s %9s\n", "milliseconds", "mean", "min", "max");
      std::printf("  %-48s %9.2f\n", "first open", firstOpen);
      Print(("open, over " + std::to_string(opens) + " opens").c_str(), open);
      std::printf("\nthe window's queries alone, %d runs each\n", opens);
      Print("fill_po_line_display", display);
      Print("lines as the window loads them (po_line_window)", window);
      Print("po_line rows, every column", plain);
      // By the means and, less disturbed by other work on the machine, by the minima.
      const double queries = display.Mean() + window.Mean();
      const double fastestQueries = display.Min() + window.Min();
      std::printf("  %-48s %9.2f %9.2f\n", "the window's two queries together", queries,
                  fastestQueries);
      const double own = open.Mean() - queries;
      const double fastestOwn = open.Min() - fastestQueries;
      std::printf("  %-48s %9.2f %9.2f  (%.0f%% / %.0f%% of an open)\n", "the window's own work",
                  own, fastestOwn, open.Mean() > 0 ? 100.0 * own / open.Mean() : 0.0,
                  open.Min() > 0 ? 100.0 * fastestOwn / open.Min() : 0.0);
      std::printf("\nnot part of an open: a terminal's view of the window\n");
      Print("describing it (what `show` prints)", describe);
    }
  }
  fs::remove_all(dir);
  return status;
}
