// AcqWrkslip: workslips, one per PO line, printed on the workstation's
// workslip printer (a printer of the system, or a port with escape
// sequences) or shown in "Workslip Display".
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
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

// ---- a workslip's text, as Print lays it out ----------------------------------------------

// One labelled value; `wraps` for the long ones (title, author, notes).
struct SlipField {
  std::string label;
  std::string value;
  bool wraps = false;
};
// Where the copies go: the distinct items of one location and collection.
struct SlipDistribution {
  std::string location;
  std::string collection;
  int quantity = 0;
};
struct SlipContent {
  std::vector<SlipField> fields;              // in print order
  std::vector<SlipDistribution> distribution; // in the order of the items
};

// Reads `slip` from the view of `source` (dated today). `found` false when
// the view has no row for it (every item cancelled, or none received).
// False on a database failure, which is shown.
[[nodiscard]] bool LoadContent(const Slip& slip, Source source, SlipContent& out, bool& found);

// The text lines of one workslip on a port printer of `charsPerLine`
// characters: `title` centred, a rule of "-", "Label: value" lines, the
// distribution (columns two blanks apart) and a closing rule of "=".
std::vector<std::string> PortLines(const SlipContent& content, std::string_view title,
                                   int charsPerLine);

void Initialize();
void Terminate();

}  // namespace acq::AcqWrkslip
