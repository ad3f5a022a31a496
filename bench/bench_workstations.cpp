// Money activities per second with 1, 2, 4 and 8 workstations (processes)
// working at once on one library database, through the module's own
// activity paths: each workstation adds items to a line of its own through
// the line save and takes each through approval, invoice, receipt,
// supplemental invoice and credit (cancelling first what was made for it),
// while all of them move the same PO header, two budgets and a contract.
//
// Runs on an SQLite file, then on a database server when one is named
// (--server URI, else $ACQ_TEST_SERVER; the password from libpq's password
// file): a database of its own is made there and dropped at the end.
// Prints, per run, the activities per second, the write conflicts met
// (retried, or ending an activity), the retries, the waits for another
// workstation's lock and the activities that failed (there should be none).
//
//   bench_workstations [--server URI] [--activities N]   (N per workstation, 250)
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "BenchModule.h"
#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbGlobal.h"
#include "acq/po/AcqDbAct.h"
#include "host/db/DbAdmin.h"
#include "host/db/DbEngine.h"
#include "tests/support/Processes.h"
#include "tests/support/WorkstationSaves.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// The write conflicts an activity met and did not get past: its shown
// failure ends in the session's code, " (10)" or " (11)".
int conflictFailures = 0;

void ShowError(std::string_view text) {
  if (text.ends_with("(10)") || text.ends_with("(11)")) ++conflictFailures;
  std::fprintf(stderr, "database error: %.*s\n", static_cast<int>(text.size()), text.data());
}

// What one run's workstations did, summed.
struct Tally {
  int activities = 0;
  int failed = 0;
  uint64_t conflicts = 0;   // retried ones and those that ended an activity
  uint64_t retries = 0;
  uint64_t lockWaits = 0;
  int brokenProcesses = 0;
};

// One workstation: a session of its own (the parent's connection is left
// alone), `plan` on `line`; its counts go to `out` as one line of numbers.
int Workstation(int16_t line, const testproc::MoneyPlan& plan, const testproc::Gate& gate,
                int out) {
  DbMsg msg;
  HDb own = nullptr;
  if (_DbCloneHDb(acq::AcqDbGlobal::Session(), own, msg) != kDbOk) {
    std::fprintf(stderr, "cannot log in again: %s\n", msg.text.c_str());
    return 1;
  }
  acq::AcqDbGlobal::Globals().session = own;
  conflictFailures = 0;
  const DbConflictStats before = _DbGetConflictStats();   // the parent's came along
  gate.Wait();
  int done = 0, failed = 0;
  for (int n = 0; n < plan.Activities(); ++n)
    ++(testproc::RunMoneyActivity(plan, n, line) ? done : failed);
  const DbConflictStats after = _DbGetConflictStats();
  _DbLogout(&own);
  const uint64_t retries = after.retries - before.retries;
  const std::string report =
      std::to_string(done) + " " + std::to_string(failed) + " " +
      std::to_string(retries + conflictFailures) + " " + std::to_string(retries) + " " +
      std::to_string(after.lockWaits - before.lockWaits) + "\n";
  return write(out, report.data(), report.size()) == static_cast<ssize_t>(report.size()) ? 0 : 1;
}

// `processes` workstations at once; the seconds from the start signal to
// the last one's end.
double Run(int processes, const testproc::MoneyPlan& plan, Tally& tally) {
  std::vector<int16_t> lines;
  for (int p = 0; p < processes; ++p) {
    const int16_t line = testproc::MakeMoneyLine(plan.cancels);
    if (line == 0) return 0;
    lines.push_back(line);
  }
  int fds[2];
  if (pipe(fds) != 0) return 0;
  testproc::Gate gate;
  std::vector<pid_t> children;
  for (int16_t line : lines)
    children.push_back(
        testproc::Spawn([&, line] { return Workstation(line, plan, gate, fds[1]); }));
  close(fds[1]);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));   // all logged in
  const auto start = Clock::now();
  gate.Open(processes);
  for (pid_t child : children) tally.brokenProcesses += testproc::WaitFor(child, 900) != 0;
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  FILE* in = fdopen(fds[0], "r");
  int done = 0, failed = 0;
  unsigned long long conflicts = 0, retries = 0, waits = 0;
  while (std::fscanf(in, "%d %d %llu %llu %llu", &done, &failed, &conflicts, &retries,
                     &waits) == 5) {
    tally.activities += done;
    tally.failed += failed;
    tally.conflicts += conflicts;
    tally.retries += retries;
    tally.lockWaits += waits;
  }
  std::fclose(in);
  return seconds;
}

// `uri` with the database it names replaced by `name` (user, host, port
// and the query stay).
std::string WithDatabase(const std::string& uri, const std::string& name) {
  const size_t authority = uri.find("://");
  if (authority == std::string::npos) return uri;
  const size_t query = uri.find_first_of("?#", authority + 3);
  const size_t path = std::min(uri.find('/', authority + 3), query);
  return uri.substr(0, path) + "/" + name + (query == std::string::npos ? "" : uri.substr(query));
}

// A library database for the benchmark on one engine, made on
// construction and removed on destruction.
class BenchDatabase {
 public:
  BenchDatabase(const std::string& server, const fs::path& dir) : server_(server) {
    if (server.empty()) {
      target_ = (dir / "library.db").string();
    } else {
      name_ = "acq_bench_" + std::to_string(getpid());
      std::string error;
      if (pwdb::DbEngine_Open(server, false, base_, error) != kDbOk) {
        std::fprintf(stderr, "cannot reach %s: %s\n", pwdb::DbEngine_ShownTarget(server).c_str(),
                     error.c_str());
        return;
      }
      if (base_->Exec("DROP DATABASE IF EXISTS \"" + name_ + "\"") != kDbOk ||
          base_->Exec("CREATE DATABASE \"" + name_ + "\" TEMPLATE template0") != kDbOk) {
        std::fprintf(stderr, "cannot make the database: %s\n", base_->ErrorText().c_str());
        return;
      }
      target_ = WithDatabase(server, name_);
    }
    DbMsg msg;
    if (DbAdmin_CreateDatabase(target_, true, msg) != kDbOk) {
      std::fprintf(stderr, "cannot make the library: %s\n", msg.text.c_str());
      return;
    }
    std::unique_ptr<pwdb::DbConnection> conn;
    std::string error;
    if (pwdb::DbEngine_Open(target_, false, conn, error) != kDbOk ||
        conn->Exec(testproc::kMoneySetUp) != kDbOk) {
      std::fprintf(stderr, "cannot set the library up: %s\n",
                   conn ? conn->ErrorText().c_str() : error.c_str());
      return;
    }
    ready_ = true;
  }
  ~BenchDatabase() {
    if (base_ && !name_.empty()) base_->Exec("DROP DATABASE IF EXISTS \"" + name_ + "\" WITH (FORCE)");
  }
  BenchDatabase(const BenchDatabase&) = delete;
  BenchDatabase& operator=(const BenchDatabase&) = delete;
  bool Ready() const { return ready_; }
  const std::string& Target() const { return target_; }

 private:
  std::string server_, name_, target_;
  std::unique_ptr<pwdb::DbConnection> base_;
  bool ready_ = false;
};

// The four runs on one engine, a table row each; false when the database
// or the module could not be set up.
bool Bench(const char* engine, const std::string& server, const fs::path& dir,
           const testproc::MoneyPlan& plan) {
  BenchDatabase db(server, dir);
  if (!db.Ready() || !bench::StartModule(db.Target(), &ShowError)) return false;
  for (int processes : {1, 2, 4, 8}) {
    Tally t;
    const double seconds = Run(processes, plan, t);
    std::printf("%-8s %12d %13.1f %10d %8.2f %7d %9llu %8llu %10llu%s\n", engine, processes,
                seconds > 0 ? t.activities / seconds : 0.0, t.activities, seconds, t.failed,
                static_cast<unsigned long long>(t.conflicts),
                static_cast<unsigned long long>(t.retries),
                static_cast<unsigned long long>(t.lockWaits),
                t.brokenProcesses ? "  (a workstation crashed or hung)" : "");
    std::fflush(stdout);
  }
  bench::StopModule();
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const char* fromEnv = std::getenv("ACQ_TEST_SERVER");
  std::string server = fromEnv ? fromEnv : "";
  int activities = 250;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--server") == 0 && i + 1 < argc) {
      server = argv[++i];
    } else if (std::strcmp(argv[i], "--activities") == 0 && i + 1 < argc) {
      activities = std::atoi(argv[++i]);
    } else {
      std::fprintf(stderr, "usage: %s [--server URI] [--activities N]\n", argv[0]);
      return 64;
    }
  }
  if (activities < testproc::MoneyPlan::kPerRound) {
    std::fprintf(stderr, "--activities: at least %d\n", testproc::MoneyPlan::kPerRound);
    return 64;
  }
  if (!server.empty() && !pwdb::DbEngine_IsServerTarget(server)) {
    std::fprintf(stderr, "--server: a postgresql:// URI, not '%s'\n", server.c_str());
    return 64;
  }
  const fs::path dir = fs::temp_directory_path() / ("acq-bench-ws-" + std::to_string(getpid()));
  fs::create_directories(dir);
  setenv("ACQ_WORKSTATION", (dir / "workstation.ini").c_str(), 1);
  const auto plan = testproc::MoneyPlan::For(activities);
  std::printf("Workstations running money activities at once, %d each (line saves, approvals,\n"
              "invoices, receipts, supplemental invoices, credits, cancels) on one PO, two\n"
              "budgets and a contract:\n\n",
              plan.Activities());
  std::printf("%-8s %12s %13s %10s %8s %7s %9s %8s %10s\n", "engine", "workstations",
              "activities/s", "activities", "seconds", "failed", "conflicts", "retries",
              "lock waits");
  bool ok = Bench("sqlite", "", dir, plan);
  if (server.empty())
    std::printf("server   skipped: name one with --server URI or ACQ_TEST_SERVER\n");
  else
    ok = Bench("server", server, dir, plan) && ok;
  std::error_code ec;
  fs::remove_all(dir, ec);
  return ok ? 0 : 1;
}
