// AcqBisac: one vendor's approved POs written as a BISAC order file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/db/DbDabs.h"
#include "host/win32/Win32.h"

namespace acq::AcqBisac {

// The BISAC Orders command on `active`: a PO editor (its PO) or a PO list
// (its selected POs).
void BisacOrdersCommand(HWND active);

// What a file is written with besides its POs.
struct RunOptions {
  DayNum date = kNoDate;   // "today" of the records; kNoDate: today
  std::string codePage;    // of the file; "" the workstation's
};

// The command's work on `pos`: the checks (one vendor 45, approved items
// 346, a default bill-to address 4), then the file named by `askPath`
// (false: the person cancelled, nothing happens) is written and closed,
// and each PO is marked as sent and taken out of `active`'s selection.
// True when the file was written and every PO marked. A failure erases
// the file; POs marked stay marked.
bool SendBisac(HWND active, const std::vector<int32_t>& pos,
               const std::function<bool(std::string& path)>& askPath,
               const RunOptions& options);

}  // namespace acq::AcqBisac
