// AcqChequeFile: the formatted cheque file of a cheque run, written for the
// pre-printed cheque forms in the workstation's code page, and marked on
// the run as created (a run's file is made once).
#pragma once

#include <cstdint>
#include <string>

#include "host/win32/Win32.h"

namespace acq::AcqChequeFile {

enum class FileResult : uint8_t {
  Written,          // the file is complete and the run marked
  Cancelled,        // the person cancelled the save-as box
  AlreadyCreated,   // the run's file was made before: nothing written
  Failed,           // told to the person (no rows, cannot write, database); no file left
};

// Asks for the file's name (offering today's date as "MMMddyyyy.txt"),
// writes the run's file and marks the run, announcing the finished file.
// A file that cannot be created gives message 213; one that fails while
// written is erased and the reason told.
FileResult WriteChequeFile(HWND owner, int32_t run);

// The same without asking: the file at `path`.
FileResult WriteChequeFileTo(HWND owner, int32_t run, const std::string& path);

}  // namespace acq::AcqChequeFile
