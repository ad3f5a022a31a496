// Saves per second with 1, 2 and 4 workstations (processes) saving at once on
// one embedded database file, through the module's own save paths: each
// process alternates the PO line item save of an item of its own on a line
// they all share, and a save that re-reads a shared total inside its
// transaction and adds to it (as budget totals are kept). Prints the saves
// per second, the failed saves (there should be none), the retries after a
// conflict and the waits for another workstation's write lock.
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "acq/db/AcqDb.h"
#include "acq/db/AcqDbExcept.h"
#include "acq/db/AcqDbGlobal.h"
#include "host/db/DbAdmin.h"
#include "tests/support/Processes.h"
#include "tests/support/WorkstationSaves.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kSavesPerProcess = 2000;

struct Result {
  int saves = 0;
  int failures = 0;
  DbConflictStats stats;
};

void ShowError(std::string_view text) {
  std::fprintf(stderr, "database error: %.*s\n", static_cast<int>(text.size()), text.data());
}

bool Exec(const std::string& path, const char* sql) {
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK &&
            sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
  if (!ok) std::fprintf(stderr, "setting up: %s\n", sqlite3_errmsg(db));
  sqlite3_close(db);
  return ok;
}

// One workstation: its own session, kSavesPerProcess saves; the result goes
// to `out` as a line of numbers.
int Workstation(int process, const std::string& path, const testproc::Gate& gate, int out) {
  acq::AcqDbExcept::Initialize();
  acq::AcqDbGlobal::Initialize();
  acq::AcqDb::Initialize();
  acq::AcqDbExcept::SetDbErrorProc(&ShowError);
  DbGlobal_globRec = DbGlobalRec{path, "admin", "admin", "acq", "MAIN"};
  DbMsg msg;
  if (acq::AcqDb::Login(msg) != kDbOk) return 1;
  gate.Wait();
  Result r;
  for (int n = 0; n < kSavesPerProcess; ++n) {
    const bool saved = n % 2 == 0 ? testproc::SaveOwnItem(process, std::to_string(n)) == kDbOk
                               : testproc::BumpTally();
    ++(saved ? r.saves : r.failures);
  }
  r.stats = _DbGetConflictStats();
  acq::AcqDb::Logout();
  const std::string line = std::to_string(r.saves) + " " + std::to_string(r.failures) + " " +
                           std::to_string(r.stats.retries) + " " +
                           std::to_string(r.stats.lockWaits) + " " +
                           std::to_string(r.stats.lockWaitMs) + "\n";
  return write(out, line.data(), line.size()) == static_cast<ssize_t>(line.size()) ? 0 : 1;
}

void Run(int processes, const std::string& path) {
  int pipeFds[2];
  if (pipe(pipeFds) != 0) return;
  testproc::Gate gate;
  std::vector<pid_t> children;
  for (int p = 1; p <= processes; ++p)
    children.push_back(testproc::Spawn([&, p] { return Workstation(p, path, gate, pipeFds[1]); }));
  close(pipeFds[1]);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));   // all logged in
  const auto start = Clock::now();
  gate.Open(processes);
  int failed = 0;
  for (pid_t child : children) failed += testproc::WaitFor(child, 600) != 0;
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  Result sum;
  FILE* in = fdopen(pipeFds[0], "r");
  Result r;
  unsigned long long retries, waits, waitMs;
  while (std::fscanf(in, "%d %d %llu %llu %llu", &r.saves, &r.failures, &retries, &waits,
                     &waitMs) == 5) {
    sum.saves += r.saves;
    sum.failures += r.failures;
    sum.stats.retries += retries;
    sum.stats.lockWaits += waits;
    sum.stats.lockWaitMs += waitMs;
  }
  std::fclose(in);
  std::printf("%d process%s: %6.0f saves/s (%d saves in %.2f s), %d failed, %llu retries, "
              "%llu lock waits (%llu ms in all)%s\n",
              processes, processes == 1 ? "  " : "es", sum.saves / seconds, sum.saves, seconds,
              sum.failures, static_cast<unsigned long long>(sum.stats.retries),
              static_cast<unsigned long long>(sum.stats.lockWaits),
              static_cast<unsigned long long>(sum.stats.lockWaitMs),
              failed ? "  (a process failed)" : "");
}

}  // namespace

int main() {
  const fs::path dir = fs::temp_directory_path() / ("acq-bench-ws-" + std::to_string(getpid()));
  fs::create_directories(dir);
  const std::string path = (dir / "library.db").string();
  setenv("ACQ_WORKSTATION", (dir / "workstation.ini").c_str(), 1);
  DbMsg msg;
  if (DbAdmin_CreateDatabase(path, true, msg) != kDbOk) {
    std::fprintf(stderr, "cannot create the database: %s\n", msg.text.c_str());
    return 1;
  }
  if (!Exec(path,
            "CREATE TABLE tally(\"tally#\" INTEGER PRIMARY KEY, hits INTEGER NOT NULL);"
            "INSERT INTO tally VALUES (1, 0);"
            "INSERT INTO po_line_item(\"po#\", line, item, location) VALUES (6, 1, 11, 'MAIN'), "
            "(6, 1, 12, 'MAIN'), (6, 1, 13, 'MAIN'), (6, 1, 14, 'MAIN')"))
    return 1;
  std::printf("Workstations saving at once on one database file, %d saves each:\n",
              kSavesPerProcess);
  for (int processes : {1, 2, 4}) Run(processes, path);
  fs::remove_all(dir);
  return 0;
}
