// Script lines that reach a PO line's activities as a person does: find the
// PO, open it in its window (Edit mode), select the line and press the
// activity's button. Shared by the activity window tests.
#pragma once

#include <string>

namespace e2e {

// The PO window's activity buttons, by the name a person sees on them.
inline const char* ActivityButton(const std::string& kind) {
  struct Button {
    const char* kind;
    const char* id;
  };
  static const Button kButtons[] = {
      {"approve", "1411"}, {"receive", "1412"}, {"invoice", "1413"},   {"supinv", "1414"},
      {"credit", "1415"},  {"refund", "1416"},  {"cancel", "1417"},    {"backorder", "1418"},
      {"distribute", "1419"},
  };
  for (const Button& b : kButtons)
    if (kind == b.kind) return b.id;
  return "0";
}

// Opens PO `number` in the PO window and selects the rows of `lines`
// ("2", or "1 3": the window lists a PO's lines in order, one row each).
inline std::string OnLines(const std::string& number, const std::string& lines) {
  return "command 152\nsearch po_number \"" + number +
         "\"\nselect 1\nkey \"Enter\"\npress 1301\nselect " + lines + "\n";
}

// ... and starts activity `kind` on them.
inline std::string StartOn(const std::string& kind, const std::string& number,
                           const std::string& lines) {
  return OnLines(number, lines) + "press " + ActivityButton(kind) + "\n";
}

}  // namespace e2e
