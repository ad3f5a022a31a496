// Runs the real host frame `acq` with the real module as a child process,
// against a database of its own, and collects what it printed.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "support/TestLibrary.h"

namespace e2e {

struct RunResult {
  int exitCode = -1;
  std::string out;         // standard output
  std::string err;         // standard error
  std::string transcript;  // the script driver's transcript
  std::string trace;       // the host's trace (ACQ_TRACE)
};

class Workspace {
 public:
  // A temporary folder and a demo database of the test's own (a file in
  // the folder, or a database on the test server).
  Workspace();
  ~Workspace();
  Workspace(const Workspace&) = delete;
  Workspace& operator=(const Workspace&) = delete;

  const std::filesystem::path& Dir() const { return dir_; }
  // What --db takes: the database file's path or the server database's URI.
  std::string Db() const { return lib_.Target(); }
  const testlib::TestLibrary& Lib() const { return lib_; }
  // SQL on the database through a connection of the test's own.
  void Exec(const std::string& sql) const;
  // Runs `acq` with `args`, a script of `script` (when not empty), the trace
  // on, and the workstation configuration inside the folder.
  RunResult Run(const std::vector<std::string>& args, const std::string& script = "") const;

 private:
  testlib::TestLibrary lib_;
  std::filesystem::path dir_;
};

// The whole of a file ("" when it cannot be read).
std::string ReadFile(const std::filesystem::path& path);
// Whether a program's standard error holds a sanitizer's report.
bool HasSanitizerReport(const std::string& err);

// Lines of `text` that start with `prefix`, without it.
std::vector<std::string> LinesWithPrefix(const std::string& text, const std::string& prefix);
size_t CountOf(const std::string& text, const std::string& needle);

}  // namespace e2e
