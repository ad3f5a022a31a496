// Printed forms read back in tests: a command's output (pdftotext from
// poppler), a PDF's text as laid out, and the folder the client writes the
// person's files into.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace testpdf {

// What `command` writes on its standard output; "" when it cannot run.
inline std::string CommandOutput(const std::string& command) {
  std::string out;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return out;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe.get())) > 0;) out.append(buffer, n);
  return out;
}

// The text of a PDF as `pdftotext -layout` lays it out; pages end with a
// form feed. "" when the file cannot be read.
inline std::string PdfText(const std::filesystem::path& pdf) {
  return CommandOutput("pdftotext -layout '" + pdf.string() + "' - 2>/dev/null");
}

// ACQ_SESSION_DIR for the scope: the client (and clients started from here)
// write the person's files there.
class SessionDirHold {
 public:
  explicit SessionDirHold(const std::string& dir) { setenv("ACQ_SESSION_DIR", dir.c_str(), 1); }
  ~SessionDirHold() { unsetenv("ACQ_SESSION_DIR"); }
  SessionDirHold(const SessionDirHold&) = delete;
  SessionDirHold& operator=(const SessionDirHold&) = delete;
};

}  // namespace testpdf
