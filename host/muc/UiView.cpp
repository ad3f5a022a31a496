// A window's content as the drivers show it: one line per field, button,
// label and list row, plain text.
#include <string>
#include <vector>

#include "host/muc/UiWords.h"

namespace {

// `text` with control characters escaped as Ui_Quote does, without quotes.
std::string Plain(std::string_view text) {
  std::string quoted = Ui_Quote(text);
  return quoted.substr(1, quoted.size() - 2);
}

}  // namespace

std::vector<std::string> Ui_WindowViewLines(const UiWindowView& view) {
  std::vector<std::string> lines;
  lines.push_back("window " + Ui_Quote(view.caption) + " (" + view.kind + ")");
  for (const UiWindowView::Item& item : view.items) {
    switch (item.kind) {
      case UiWindowView::Item::Kind::Field:
        lines.push_back("  field " + item.name + " = " + Plain(item.text) +
                        (item.enabled ? "" : " (read-only)"));
        break;
      case UiWindowView::Item::Kind::Button:
        lines.push_back("  button " + std::to_string(item.id) + " " + Ui_Quote(item.text) +
                        (item.isDefault ? " default" : "") + (item.enabled ? "" : " disabled"));
        break;
      case UiWindowView::Item::Kind::Label:
        lines.push_back("  label " + Ui_Quote(item.text));
        break;
    }
  }
  if (view.headings.empty()) return lines;
  std::string columns = "  columns";
  for (const std::string& heading : view.headings) columns += " | " + Plain(heading);
  lines.push_back(columns);
  for (size_t n = 0; n < view.rows.size(); ++n) {
    const UiWindowView::Row& row = view.rows[n];
    std::string line = "  row " + std::to_string(n + 1) + (row.selected ? "*" : "");
    for (const std::string& cell : row.cells) line += " | " + Plain(cell);
    lines.push_back(line);
  }
  if (view.rows.empty()) lines.push_back("  (no rows)");
  return lines;
}

void UiDriver::ShowWindow(const UiWindowView& view) {
  for (const std::string& line : Ui_WindowViewLines(view)) Notice("show", line);
}
