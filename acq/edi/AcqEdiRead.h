// AcqEdiRead: the interchange reader of the upload. Reads each file in
// bounded memory, splits it into segments, checks the service segments,
// identifies vendor and location, and stores the interchange, its messages,
// segments and exceptions in one transaction per file. Runs on whatever
// thread calls it, on that thread's session (AcqDbGlobal::Session()).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "host/db/PwDb.h"

namespace acq::AcqEdiRead {

// What a run tells the window that shows it, and how it reads.
struct Hooks {
  std::function<bool()> aborted;   // tested before every chunk, segment and file
  std::function<void(const std::string& path, size_t index, size_t count)> fileStarted;
  std::function<void(int64_t consumed, int64_t size)> progress;   // characters of the file
  std::function<void(std::string_view text)> status;              // each exception's text
  size_t fileBufferSize = 10240;   // bytes of the file buffer (tests read with tiny ones)
  int firstFileDelayMs = 1000;     // pause before reading the first file
};

struct FileResult {
  std::string path;
  int32_t edifact = 0;       // 0 when the file got no key
  bool failed = false;       // an error was written: only its exception rows are stored
  bool saved = false;        // its rows are committed
  int64_t segments = 0;      // segments read, UNA included
  int32_t messages = 0;      // UNH segments
  int warnings = 0;
  int errors = 0;
};

struct RunResult {
  std::vector<FileResult> files;   // in the order read
  bool aborted = false;            // the person aborted
  bool ended = false;              // a database failure ended the run (code, msg)
  DbCode code = kDbOk;
  DbMsg msg;
};

// Uploads `paths` in order. A file that cannot be opened or read gets its
// exception and the next file goes on; a failed save or a failed duplicate
// check ends the run.
RunResult UploadFiles(const std::vector<std::string>& paths, const Hooks& hooks);

}  // namespace acq::AcqEdiRead
