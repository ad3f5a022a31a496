// AcqEdiOrd: one vendor's approved POs written as an EDIFACT ORDERS
// interchange.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "host/db/DbDabs.h"
#include "host/win32/Win32.h"

namespace acq::AcqEdiOrd {

// The EDIFACT Orders command on `active`: a PO editor (its PO) or a PO list
// (its selected POs).
void EdifactOrdersCommand(HWND active);

// What an interchange is written with besides its POs.
struct RunOptions {
  DayNum date = kNoDate;   // when it was prepared (UNB, DTM+137); kNoDate: now
  MinuteOfDay time = 0;
  bool test = false;       // marked as a test interchange (UNB element 11)
  std::string codePage;    // of the file; "" the workstation's
};

// The command's work on `pos`: the checks (one vendor 47, approved items
// 346, a default bill-to address 4, the code page 340), then the file
// named by `askPath` (false: the person cancelled, nothing happens) is
// written, each PO marked as sent and taken out of `active`'s selection
// after its message. True when the whole file was written. On a failure
// after the file was created it is erased; POs marked stay marked.
bool SendOrders(HWND active, const std::vector<int32_t>& pos,
                const std::function<bool(std::string& path)>& askPath,
                const RunOptions& options);

// Whether interchanges are written as tests: the host symbol "KtTryEDI"
// was "ORDERS" when the module started.
bool TestInterchanges();

void Initialize();
void Terminate();

}  // namespace acq::AcqEdiOrd
