// AcqWrkslip: workslips, one per PO line, printed on the workstation's
// workslip printer (a printer of the system, or a port with escape
// sequences) or shown in "Workslip Display".
#pragma once

#include <cstdint>
#include <vector>

#include "host/win32/Win32.h"

namespace acq::AcqWrkslip {

// Which view a workslip reads: the line's ordered items, or its received ones.
enum class Source { Order, Receipt };

// One workslip: a PO line, and the items it stands for (empty: every item
// of the line in the view). "No. Copies" counts the distinct items.
struct Slip {
  int32_t po = 0;
  int16_t line = 0;
  std::vector<int16_t> items{};
};

struct PrintResult {
  bool ok = false;   // false: printing stopped (the person was told why)
  int printed = 0;   // workslips that went out before it stopped
};

// Prints `slips` in order on this workstation's workslip printer, one job
// (or one port session) for them all. Tells the person itself what went
// wrong (not set up, the port cannot be written, the font too large, an
// unknown printer) and then stops; nothing is written to the database.
PrintResult Print(HWND owner, const std::vector<Slip>& slips, Source source);

// "Workslip Display": `slip` as it prints, with Print.
void Display(HWND owner, const Slip& slip, Source source);

void Initialize();
void Terminate();

}  // namespace acq::AcqWrkslip
