// What uploading a large ORDRSP interchange costs: the module's upload end
// to end on SQLite (AcqEdiRead::UploadFiles: the file read in chunks, every
// segment checked and stored with its messages, interchange and exceptions,
// in one transaction) against a plain program over the same bytes and the
// same session API (read, split on the terminator, insert the same segment
// rows in one transaction); then the reader alone (splitting and element
// extraction, no database) against a plain splitter. Each run is a child
// process, so its peak resident memory is its own. The log-in before an
// upload checks the password with a memory-hard hash (64 MiB for a moment);
// that peak belongs to the session, not the upload, so it is shown apart
// and the upload's peak is counted from after it.
//
//   bench_edi_upload          100 MB (about 7 million segments)
//   bench_edi_upload --gb     also 1 GB (several minutes); or ACQ_BENCH_EDI_GB=1
//   ACQ_BENCH_EDI_READER_ONLY=1: only the reader and the splitter (no database)
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "BenchModule.h"
#include "acq/db/AcqDb.h"
#include "acq/edi/AcqEdiRead.h"
#include "acq/edi/AcqEdiReaderCore.h"
#include "acq/edi/AcqEdifact.h"
#include "host/db/DbAdmin.h"
#include "host/sys/Bucket.h"

namespace {

namespace fs = std::filesystem;
namespace rd = acq::AcqEdiRead;
namespace ae = acq::AcqEdifact;
using Clock = std::chrono::steady_clock;

void ShowError(std::string_view text) {
  std::fprintf(stderr, "database error: %.*s\n", static_cast<int>(text.size()), text.data());
}

// An ORDRSP interchange of about `bytes` bytes from vendor SAN 1556150 to
// the library's SAN 8888888: messages of 40 lines, 5 segments a line.
int64_t Generate(const fs::path& path, int64_t bytes, const std::string& reference) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::string text = "UNA:+.? 'UNB+UNOC:3+1556150:31B+8888888:31B+260105:0930+" + reference + "'";
  int64_t written = 0, segments = 2;
  int messages = 0;
  while (written < bytes) {
    const std::string n = std::to_string(++messages);
    text += "UNH+" + n + "+ORDRSP:D:96A:UN'BGM+231+R" + n + "+29'DTM+137:20260105:102'"
            "NAD+BY+8888888::31B'NAD+SU+1556150::31B'CUX+2:USD:9'";
    int count = 8;
    for (int line = 1; line <= 40; ++line) {
      const std::string l = std::to_string(line);
      text += "LIN+" + l + "+5+978030640615:EN'QTY+21:2'QTY+12:2'PRI+AAB:10.99::SRP'RFF+LI:" +
              n + "/" + l + "'";
      count += 5;
    }
    text += "CNT+2:40'UNT+" + std::to_string(count) + "+" + n + "'";
    segments += count;
    if (text.size() > (1 << 20)) {
      out << text;
      written += static_cast<int64_t>(text.size());
      text.clear();
    }
  }
  text += "UNZ+" + std::to_string(messages) + "+" + reference + "'";
  out << text;
  return segments + 1;
}

struct Measured {
  double ms = 0;
  long peakKb = 0;
  long loginPeakKb = 0;   // 0: the run did not log in
  bool ok = false;
};

// This process's peak resident memory so far, in KB (0 if unknown).
long PeakKb() {
  long kb = 0;
  if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
    char line[256];
    while (std::fgets(line, sizeof line, f))
      if (std::sscanf(line, "VmHWM: %ld", &kb) == 1) break;
    std::fclose(f);
  }
  return kb;
}

// The peak of a child, kept when the log-in ended and counted again from
// there (the kernel's high-water mark drops to what is resident now).
long loginPeakKb = 0;
bool peakRestarted = false;

void RestartPeak() {
  loginPeakKb = PeakKb();
  std::FILE* f = std::fopen("/proc/self/clear_refs", "w");
  peakRestarted = f != nullptr && std::fputs("5", f) >= 0;
  if (f && std::fclose(f) != 0) peakRestarted = false;
}

// Runs `work` in a child process: its time (as the child measured it) and
// its peak resident memory (from RestartPeak on when the work called it).
Measured InChild(const std::function<bool()>& work) {
  int pipeFd[2];
  if (pipe(pipeFd) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    close(pipeFd[0]);
    const auto start = Clock::now();
    const bool ok = work();
    const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    const double answer[4] = {ms, ok ? 1.0 : 0.0,
                              peakRestarted ? static_cast<double>(PeakKb()) : 0.0,
                              static_cast<double>(loginPeakKb)};
    if (write(pipeFd[1], answer, sizeof answer) != sizeof answer) _exit(2);
    _exit(0);
  }
  close(pipeFd[1]);
  double answer[4] = {0, 0, 0, 0};
  const bool got = read(pipeFd[0], answer, sizeof answer) == sizeof answer;
  close(pipeFd[0]);
  int status = 0;
  struct rusage usage {};
  wait4(child, &status, 0, &usage);
  Measured m;
  m.ms = answer[0];
  m.ok = got && answer[1] != 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  // Without a restart (no /proc) the whole child's peak, log-in included.
  m.peakKb = answer[2] > 0 ? static_cast<long>(answer[2]) : usage.ru_maxrss;
  m.loginPeakKb = static_cast<long>(answer[3]);
  return m;
}

bool MakeDatabase(const std::string& path) {
  DbMsg msg;
  if (DbAdmin_CreateDatabase(path, true, msg) != kDbOk) {
    std::fprintf(stderr, "cannot create the database: %s\n", msg.text.c_str());
    return false;
  }
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(path.c_str(), &db) == SQLITE_OK;
  ok = ok && sqlite3_exec(db,
                          "INSERT INTO vendor(\"vendor#\", vendor_code, name, currency, san) "
                          "VALUES (377, 'EDI377', 'Bench Vendor', 'USD', '1556150');"
                          "INSERT INTO address(location, address_code, name, san) VALUES "
                          "('MAIN', 'EDI1', 'Bench Receiving', '8888888')",
                          nullptr, nullptr, nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return ok;
}

bool ModuleUpload(const std::string& db, const std::string& file, int64_t segments) {
  if (!bench::StartModule(db, &ShowError)) return false;
  RestartPeak();
  rd::Hooks hooks;
  hooks.firstFileDelayMs = 0;
  const rd::RunResult run = rd::UploadFiles({file}, hooks);
  bench::StopModule();
  const bool ok = !run.ended && run.files.size() == 1 && run.files[0].saved &&
                  !run.files[0].failed && run.files[0].segments == segments;
  if (!ok) std::fprintf(stderr, "the upload failed: %s\n", run.msg.text.c_str());
  return ok;
}

// The plain program: 64 KB reads, split on unreleased terminators, each
// segment a row of the same Bucket layout inserted through the same session
// call, all in one transaction.
bool PlainUpload(const std::string& db, const std::string& file, int64_t segments) {
  if (!bench::StartModule(db, &ShowError)) return false;
  RestartPeak();
  HDb session = acq::AcqDbGlobal::Session();
  DbMsg msg;
  BktHandle rows = ae::NewTableBucket("edifact_segment", msg);
  bool ok = rows != nullptr;
  _DbBeginTrans(session);
  int32_t none = 0;
  ok = ok && acq::AcqDb::ExecSP(msg, &none, sizeof none, "",
                                "INSERT INTO edifact_interchange(\"edifact#\", una) VALUES "
                                "(999999, ':+.? ''')") == kDbOk;
  int row = 0;
  if (ok) _BktInsert(rows, 0, row);
  const int colKey = _BktGetColNum(rows, "edifact#"), colSeg = _BktGetColNum(rows, "segment#"),
            colText = _BktGetColNum(rows, "short_segment");
  std::FILE* in = std::fopen(file.c_str(), "rb");
  ok = ok && in != nullptr;
  std::vector<char> buffer(65536);
  std::string pending;
  int64_t count = 0;
  while (ok) {
    const size_t got = std::fread(buffer.data(), 1, buffer.size(), in);
    if (got == 0) break;
    pending.append(buffer.data(), got);
    size_t start = 0;
    for (size_t i = 0; i < pending.size() && ok; ++i) {
      if (pending[i] != '\'' || (i > 0 && pending[i - 1] == '?')) continue;
      _ColSetInt(rows, 1, colKey, 999999);
      _ColSetInt(rows, 1, colSeg, static_cast<int32_t>(++count));
      _ColSetTextW(rows, 1, colText, std::string_view(pending).substr(start, i + 1 - start));
      ok = acq::AcqDb::InsertRow(msg, 1, rows, "edifact_segment") == kDbOk;
      start = i + 1;
    }
    pending.erase(0, start);
  }
  if (in) std::fclose(in);
  ok = ok && _DbCommitTrans(session, msg) == kDbOk && count == segments;
  if (!ok) std::fprintf(stderr, "the plain upload failed: %s\n", msg.text.c_str());
  _BktDestroy(&rows);
  bench::StopModule();
  return ok;
}

// The reader's core with nothing behind it.
class NullSink : public rd::ReaderSink {
 public:
  bool NewKey(int32_t& key) override { return key = 1, true; }
  ae::Lookup FindVendor(int, std::string_view, int32_t& vendor) override {
    vendor = 377;
    ae::Lookup l;
    l.result = ae::Lookup::Result::Found;
    return l;
  }
  ae::Lookup FindLocation(int, std::string_view, std::string& location) override {
    location = "MAIN";
    ae::Lookup l;
    l.result = ae::Lookup::Result::Found;
    return l;
  }
  bool MultipleLocationSans(bool& multiple) override { return multiple = false, true; }
  bool CurrencyExists(std::string_view, bool& exists) override { return exists = true, true; }
  bool InterchangeExists(const rd::InterchangeRow&, bool& exists) override {
    return exists = false, true;
  }
  char WorkstationCharSet() override { return 'C'; }
  void Now(DayNum& date, MinuteOfDay& time) override { date = 46000, time = 0; }
  void Segment(int32_t, int32_t, std::string_view) override { ++segments; }
  void Message(const rd::MessageRow&) override {}
  void Exception(int32_t, int32_t, int32_t, std::string_view, int, bool) override { ++errors; }
  int64_t segments = 0;
  int errors = 0;
};

bool ReaderAlone(const std::string& file, int64_t segments) {
  std::FILE* in = std::fopen(file.c_str(), "rb");
  if (!in) return false;
  NullSink sink;
  rd::ReaderCore core(sink, file, static_cast<int64_t>(fs::file_size(file)));
  std::vector<char> chunk(rd::kChunkChars);
  for (;;) {
    const size_t got = std::fread(chunk.data(), 1, chunk.size(), in);
    core.Feed(std::string_view(chunk.data(), got), got == chunk.size());
    if (core.done() || got < chunk.size()) break;
  }
  std::fclose(in);
  return core.succeeded() && sink.segments == segments && sink.errors == 0;
}

bool PlainSplit(const std::string& file, int64_t segments) {
  std::FILE* in = std::fopen(file.c_str(), "rb");
  if (!in) return false;
  std::vector<char> buffer(rd::kChunkChars);
  int64_t count = 0;
  char previous = 0;
  for (size_t got; (got = std::fread(buffer.data(), 1, buffer.size(), in)) > 0;)
    for (size_t i = 0; i < got; ++i) {
      if (buffer[i] == '\'' && previous != '?') ++count;
      previous = buffer[i];
    }
  std::fclose(in);
  return count == segments;
}

void Line(const char* what, const Measured& m) {
  std::printf("  %-38s %10.0f ms  peak RSS %7.1f MB%s", what, m.ms,
              static_cast<double>(m.peakKb) / 1024.0, m.ok ? "" : "  FAILED");
  if (m.loginPeakKb > 0)
    std::printf("  (log-in before it: %.1f MB)", static_cast<double>(m.loginPeakKb) / 1024.0);
  std::printf("\n");
}

bool RunSize(const fs::path& dir, int64_t bytes, const char* label) {
  const fs::path file = dir / (std::string("ordrsp-") + label + ".edi");
  const int64_t segments = Generate(file, bytes, std::string("BENCH") + label);
  const std::string db = (dir / (std::string("bench-") + label + ".db")).string();
  if (!MakeDatabase(db)) return false;
  std::printf("ORDRSP interchange of %.1f MB, %lld segments\n",
              static_cast<double>(fs::file_size(file)) / 1e6, static_cast<long long>(segments));
  const bool readerOnly = std::getenv("ACQ_BENCH_EDI_READER_ONLY") != nullptr;
  const Measured module =
      readerOnly ? Measured{} : InChild([&] { return ModuleUpload(db, file.string(), segments); });
  const Measured plain =
      readerOnly ? Measured{} : InChild([&] { return PlainUpload(db, file.string(), segments); });
  const Measured reader = InChild([&] { return ReaderAlone(file.string(), segments); });
  const Measured split = InChild([&] { return PlainSplit(file.string(), segments); });
  if (!readerOnly) {
    Line("upload through the module (4 tables)", module);
    Line("plain split and insert (segments)", plain);
    std::printf("  %-38s %10.2f x   (goal <= 1.5)\n", "module / plain", module.ms / plain.ms);
    std::printf("  %-38s %10.1f MB  (goal < 64)\n", "upload peak RSS",
                static_cast<double>(module.peakKb) / 1024.0);
  }
  Line("reader alone (split + elements)", reader);
  Line("plain splitter", split);
  std::printf("  %-38s %10.2f x   (goal >= 0.5)\n", "reader speed / splitter speed",
              split.ms / reader.ms);
  fs::remove(file);
  fs::remove(db);
  return (readerOnly || (module.ok && plain.ok)) && reader.ok && split.ok;
}

}  // namespace

int main(int argc, char** argv) {
  const bool gigabyte = (argc > 1 && std::strcmp(argv[1], "--gb") == 0) ||
                        (std::getenv("ACQ_BENCH_EDI_GB") && *std::getenv("ACQ_BENCH_EDI_GB") == '1');
  const fs::path dir = fs::temp_directory_path() / ("acq-bench-edi-" + std::to_string(getpid()));
  fs::create_directories(dir);
  setenv("ACQ_WORKSTATION", (dir / "workstation.ini").c_str(), 1);
  bool ok = RunSize(dir, int64_t{100} << 20, "100MB");
  if (gigabyte) ok = RunSize(dir, int64_t{1} << 30, "1GB") && ok;
  else std::printf("(the 1 GB case: bench_edi_upload --gb, or ACQ_BENCH_EDI_GB=1)\n");
  fs::remove_all(dir);
  return ok ? 0 : 1;
}
