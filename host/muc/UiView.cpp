// A window's content as the drivers show it: one line per field, button,
// label and list row, plain text.
#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "host/muc/UiWords.h"

namespace {

// `text` with control characters escaped as Ui_Quote does, without quotes.
std::string Plain(std::string_view text) {
  std::string quoted = Ui_Quote(text);
  return quoted.substr(1, quoted.size() - 2);
}

// `columns | heading | ...`, then a line per row: its number, `*` when
// selected, its mark in parentheses, its cells.
void AppendList(std::vector<std::string>& lines, const std::vector<std::string>& headings,
                const std::vector<UiWindowView::Row>& rows) {
  std::string columns = "  columns";
  for (const std::string& heading : headings) columns += " | " + Plain(heading);
  lines.push_back(columns);
  for (size_t n = 0; n < rows.size(); ++n) {
    const UiWindowView::Row& row = rows[n];
    std::string line = "  row " + std::to_string(n + 1) + (row.selected ? "*" : "");
    if (!row.mark.empty()) line += " (" + Plain(row.mark) + ")";
    for (const std::string& cell : row.cells) line += " | " + Plain(cell);
    lines.push_back(line);
  }
  if (rows.empty()) lines.push_back("  (no rows)");
}

// Whether two texts are the same, ASCII letters in any case.
bool SameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t n = 0; n < a.size(); ++n)
    if (std::tolower(static_cast<unsigned char>(a[n])) != std::tolower(static_cast<unsigned char>(b[n])))
      return false;
  return true;
}

}  // namespace

std::vector<std::string> Ui_WindowViewLines(const UiWindowView& view) {
  std::vector<std::string> lines;
  lines.push_back("window " + Ui_Quote(view.caption) + " (" + view.kind + ")");
  for (const UiWindowView::Item& item : view.items) {
    switch (item.kind) {
      case UiWindowView::Item::Kind::Field:
        // A radio button reads as the choice it is, its text beside it;
        // `(*)` marks the one of its group that is chosen.
        if (item.radioGroup != 0) {
          lines.push_back("  radio " + item.name + (item.text == "Yes" ? " (*) " : " ( ) ") +
                          Ui_Quote(item.label) + (item.enabled ? "" : " (read-only)"));
          break;
        }
        if (item.isChoice) {
          std::string options;
          for (const std::string& o : item.options) options += (options.empty() ? "" : " | ") + Plain(o);
          lines.push_back("  field " + item.name + " = " + Plain(item.text) + " (choice: " +
                          options + ")" + (item.enabled ? "" : " (read-only)"));
          break;
        }
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
  for (const UiWindowView::Tree& tree : view.trees) {
    lines.push_back("  tree " + Plain(tree.name) + (tree.enabled ? "" : " (read-only)"));
    for (size_t n = 0; n < tree.nodes.size(); ++n) {
      const UiWindowView::TreeNode& node = tree.nodes[n];
      lines.push_back("  node " + std::to_string(n + 1) + (node.selected ? "* " : " ") +
                      std::string(2 * static_cast<size_t>(std::max(node.depth, 0)), ' ') +
                      Ui_Quote(node.label));
    }
    if (tree.nodes.empty()) lines.push_back("  (no items)");
  }
  if (!view.headings.empty()) AppendList(lines, view.headings, view.rows);
  for (const UiWindowView::List& list : view.lists) {
    lines.push_back("  list " + Plain(list.name));
    AppendList(lines, list.headings, list.rows);
  }
  return lines;
}

std::optional<size_t> UiDriver::AskChoice(std::string_view prompt,
                                          const std::vector<std::string>& options,
                                          size_t initial) {
  if (options.empty()) return std::nullopt;
  std::string listed(prompt);
  for (size_t n = 0; n < options.size(); ++n) listed += (n ? ", " : " (") + options[n];
  listed += ")";
  const std::optional<std::string> answer =
      AskText(listed, options[initial < options.size() ? initial : 0], false);
  if (!answer) return std::nullopt;
  for (size_t n = 0; n < options.size(); ++n)
    if (SameText(*answer, options[n])) return n;
  return std::nullopt;
}

void UiDriver::ShowWindow(const UiWindowView& view) {
  for (const std::string& line : Ui_WindowViewLines(view)) Notice("show", line);
}
