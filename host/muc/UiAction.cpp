// The words and actions shared by the script and terminal drivers, and the
// frame's parse of the action texts the drivers hand it.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "host/muc/UiWords.h"
#include "host/sys/LbStr.h"

bool Ui_SplitWords(std::string_view line, std::vector<UiWord>& out, std::string& error) {
  return Lb_SplitWords(line, out, error, true);
}

std::string Ui_Quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default: out.push_back(c);
    }
  }
  out.push_back('"');
  return out;
}

bool Ui_ParseNumber(std::string_view text, bool allowNegative, int64_t& out) {
  std::string s(text);
  if (s.empty()) return false;
  bool negative = s[0] == '-';
  if (negative && !allowNegative) return false;
  std::string digits = negative ? s.substr(1) : s;
  int base = 10;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    if (negative) return false;
    base = 16;
    digits = digits.substr(2);
  }
  if (digits.empty() || digits[0] == '+' || digits[0] == '-' || digits[0] == ' ') return false;
  errno = 0;
  char* end = nullptr;
  unsigned long long magnitude = std::strtoull(digits.c_str(), &end, base);
  if (errno == ERANGE || *end != '\0') return false;
  if (negative) {
    if (magnitude > static_cast<unsigned long long>(INT64_MAX) + 1) return false;
    out = static_cast<int64_t>(0 - magnitude);
  } else {
    out = static_cast<int64_t>(magnitude);
  }
  return true;
}

namespace {

// An action on the top window into `out`. False with `error` empty when
// the verb is none of them, with `error` set when its arguments are wrong.
bool ParseWindowAction(const std::vector<UiWord>& w, UiAction& out, std::string& error) {
  using K = UiAction::Kind;
  const std::string& verb = w[0].text;
  out = UiAction{};
  auto fail = [&](const char* usage) {
    error = std::string("'") + verb + "' needs " + usage;
    return false;
  };
  if (verb == "show") {
    if (w.size() != 1) return fail("no arguments");
    out.kind = K::Show;
    return true;
  }
  if (verb == "window") {
    if (w.size() != 2 || w[1].text.empty()) return fail("one \"caption substring\"");
    out.kind = K::Window;
    out.text = w[1].text;
    return true;
  }
  if (verb == "select") {
    out.kind = K::Select;
    if (w.size() == 2 && w[1].quoted) {
      if (w[1].text.empty()) return fail("row numbers, one non-empty \"text\", or none");
      out.text = w[1].text;
      return true;
    }
    if (w.size() == 2 && w[1].text == "none") return true;
    for (size_t i = 1; i < w.size(); ++i) {
      int64_t n = 0;
      if (w[i].quoted || !Ui_ParseNumber(w[i].text, false, n) || n < 1 || n > INT32_MAX)
        return fail("row numbers (1 is the first row), one \"text\", or none");
      out.rows.push_back(static_cast<int>(n));
    }
    if (out.rows.empty()) return fail("row numbers (1 is the first row), one \"text\", or none");
    return true;
  }
  if (verb == "sort") {
    if (w.size() < 2 || w.size() > 3 || w[1].text.empty() ||
        (w.size() == 3 && w[2].text != "asc" && w[2].text != "desc"))
      return fail("COLUMN and optionally asc or desc");
    out.kind = K::Sort;
    out.name = w[1].text;
    out.descending = w.size() == 3 && w[2].text == "desc";
    return true;
  }
  if (verb == "search" || verb == "field") {
    if (w.size() != 3 || w[1].text.empty())
      return fail(verb == "search" ? "COLUMN \"value\"" : "NAME \"value\"");
    out.kind = verb == "search" ? K::Search : K::Field;
    out.name = w[1].text;
    out.text = w[2].text;
    return true;
  }
  if (verb == "press") {
    if (w.size() != 2 || w[1].text.empty()) return fail("one button id or name");
    out.kind = K::Press;
    out.name = w[1].text;
    return true;
  }
  if (verb == "key") {
    if (w.size() != 2 || w[1].text.empty()) return fail("one key name (\"Ctrl+F\", \"Enter\")");
    out.kind = K::Key;
    out.text = w[1].text;
    return true;
  }
  if (verb == "wait") {
    const char* usage = "SECONDS or nothing, or: until enabled BUTTON [SECONDS] (0 to 3600 seconds)";
    out.kind = K::Wait;
    size_t next = 1;
    if (w.size() > 1 && !w[1].quoted && w[1].text == "until") {
      if (w.size() < 4 || w[2].text != "enabled" || w[3].text.empty()) return fail(usage);
      out.name = w[3].text;
      next = 4;
    }
    if (w.size() > next + 1) return fail(usage);
    if (w.size() == next + 1) {
      int64_t seconds = 0;
      if (w[next].quoted || !Ui_ParseNumber(w[next].text, false, seconds) || seconds > 3600)
        return fail(usage);
      out.seconds = static_cast<int>(seconds);
    }
    return true;
  }
  if (verb == "node" || verb == "rename" || verb == "drag") {
    // Item numbers count from 1 in display order.
    auto item = [](const UiWord& word, std::vector<int>& rows) {
      int64_t n = 0;
      if (word.quoted || !Ui_ParseNumber(word.text, false, n) || n < 1 || n > INT32_MAX) return false;
      rows.push_back(static_cast<int>(n));
      return true;
    };
    if (verb == "node") {
      out.kind = K::Node;
      if (w.size() == 2 && w[1].quoted && !w[1].text.empty()) {
        out.text = w[1].text;
        return true;
      }
      if (w.size() != 2 || !item(w[1], out.rows)) return fail("an item number (1 is the first) or one \"text\"");
      return true;
    }
    if (verb == "rename") {
      out.kind = K::Rename;
      if (w.size() != 3 || !item(w[1], out.rows)) return fail("an item number (1 is the first) and \"text\"");
      out.text = w[2].text;
      return true;
    }
    out.kind = K::Drag;
    if (w.size() != 3 || !item(w[1], out.rows) || !item(w[2], out.rows) || out.rows[0] == out.rows[1])
      return fail("two different item numbers: the item dragged and the one it is dropped onto");
    return true;
  }
  if (verb == "framework") {
    int64_t code = 0;
    if (w.size() != 2 || !Ui_ParseNumber(w[1].text, false, code) || code > 31)
      return fail("one framework code (0 to 31)");
    out.kind = K::Framework;
    out.message = static_cast<uint32_t>(code);
    return true;
  }
  return false;
}

// A word that parses back to `text`: bare when it is a plain word, else
// quoted as Ui_Quote does (the escapes Ui_SplitWords reads), so an action
// stays one line whatever its value holds.
std::string Word(std::string_view text, bool forceQuotes) {
  bool plain = !forceQuotes && !text.empty() && text[0] != '#' && text[0] != '"';
  for (char c : text)
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '"' || c == '\\') plain = false;
  return plain ? std::string(text) : Ui_Quote(text);
}

}  // namespace

bool Ui_ParseActionWords(const std::vector<UiWord>& words, UiAction& out, std::string& error) {
  if (words.empty()) {
    error = "empty action";
    return false;
  }
  const std::string& verb = words[0].text;
  if (verb == "close") {
    if (words.size() != 1) {
      error = "'close' takes no arguments";
      return false;
    }
    out = UiAction{};
    return true;
  }
  if (verb == "command") {
    const char* usage = "'command' needs one command number (0 to 65535) or \"menu text\"";
    if (words.size() != 2 || words[1].text.empty()) {
      error = usage;
      return false;
    }
    out = UiAction{};
    out.kind = UiAction::Kind::Command;
    const UiWord& arg = words[1];
    int64_t id = 0;
    const bool isNumber = Ui_ParseNumber(arg.text, false, id);
    // A bare word that starts like a number is a mistyped number, not a text.
    const char first = arg.text[0];
    const bool looksNumeric = !arg.quoted && (first == '-' || first == '+' ||
                                              (first >= '0' && first <= '9'));
    if (!isNumber && !looksNumeric) {
      out.text = arg.text;   // a menu item's text, which the frame looks up
      return true;
    }
    if (!isNumber || id > 0xFFFF) {
      error = usage;
      return false;
    }
    out.message = static_cast<uint32_t>(id);
    return true;
  }
  if (verb == "menu") {
    if (words.size() > 2) {
      error = "'menu' needs nothing or one \"popup\"";
      return false;
    }
    out = UiAction{};
    out.kind = UiAction::Kind::Menu;
    if (words.size() == 2) out.text = words[1].text;
    return true;
  }
  if (verb == "send" || verb == "post") {
    int64_t msg = 0, wParam = 0, lParam = 0;
    if (words.size() != 4 || !Ui_ParseNumber(words[1].text, false, msg) || msg > 0xFFFFFFFF ||
        !Ui_ParseNumber(words[2].text, false, wParam) ||
        !Ui_ParseNumber(words[3].text, true, lParam)) {
      error = "'" + verb + "' needs MSG WPARAM LPARAM (numbers, decimal or 0x..)";
      return false;
    }
    out = UiAction{};
    out.kind = verb == "send" ? UiAction::Kind::Send : UiAction::Kind::Post;
    out.message = static_cast<uint32_t>(msg);
    out.wParam = static_cast<uintptr_t>(wParam);
    out.lParam = static_cast<intptr_t>(lParam);
    return true;
  }
  if (ParseWindowAction(words, out, error)) return true;
  if (error.empty()) error = "unknown action '" + Lb_CutForMessage(verb) + "'";
  return false;
}

bool Ui_ParseAction(std::string_view text, UiAction& out, std::string* error) {
  std::vector<UiWord> words;
  std::string why;
  bool ok = Ui_SplitWords(text, words, why) && Ui_ParseActionWords(words, out, why);
  if (!ok && error) *error = why;
  return ok;
}

std::string Ui_ActionText(const UiAction& action) {
  char buf[96];
  switch (action.kind) {
    case UiAction::Kind::Command:
      if (!action.text.empty()) return "command " + Word(action.text, true);
      std::snprintf(buf, sizeof buf, "command %u", static_cast<unsigned>(action.message));
      return buf;
    case UiAction::Kind::Menu:
      return action.text.empty() ? "menu" : "menu " + Word(action.text, true);
    case UiAction::Kind::Send:
    case UiAction::Kind::Post:
      std::snprintf(buf, sizeof buf, "%s 0x%04X %llu %lld",
                    action.kind == UiAction::Kind::Send ? "send" : "post",
                    static_cast<unsigned>(action.message),
                    static_cast<unsigned long long>(action.wParam),
                    static_cast<long long>(action.lParam));
      return buf;
    case UiAction::Kind::Close:
      break;
    case UiAction::Kind::Window: return "window " + Word(action.text, true);
    case UiAction::Kind::Select: {
      if (!action.text.empty()) return "select " + Word(action.text, true);
      if (action.rows.empty()) return "select none";
      std::string out = "select";
      for (int row : action.rows) out += " " + std::to_string(row);
      return out;
    }
    case UiAction::Kind::Sort:
      return "sort " + Word(action.name, false) + (action.descending ? " desc" : " asc");
    case UiAction::Kind::Search:
      return "search " + Word(action.name, false) + " " + Word(action.text, true);
    case UiAction::Kind::Field:
      return "field " + Word(action.name, false) + " " + Word(action.text, true);
    case UiAction::Kind::Press: return "press " + Word(action.name, false);
    case UiAction::Kind::Key: return "key " + Word(action.text, true);
    case UiAction::Kind::Framework: return "framework " + std::to_string(action.message);
    case UiAction::Kind::Show: return "show";
    case UiAction::Kind::Node:
      if (!action.text.empty()) return "node " + Word(action.text, true);
      return "node " + std::to_string(action.rows.empty() ? 0 : action.rows[0]);
    case UiAction::Kind::Rename:
      return "rename " + std::to_string(action.rows.empty() ? 0 : action.rows[0]) + " " +
             Word(action.text, true);
    case UiAction::Kind::Drag:
      return "drag " + std::to_string(action.rows.size() > 0 ? action.rows[0] : 0) + " " +
             std::to_string(action.rows.size() > 1 ? action.rows[1] : 0);
    case UiAction::Kind::Wait:
      return "wait " + (action.name.empty() ? "" : "until enabled " + Word(action.name, false) + " ") +
             std::to_string(action.seconds);
  }
  return "close";
}

std::vector<std::string> Ui_MenuViewLines(const UiMenuView& view) {
  std::vector<std::string> lines;
  for (const UiMenuView::Popup& popup : view.popups) {
    lines.push_back("menu " + Ui_Quote(popup.text));
    for (const UiMenuView::Item& item : popup.items)
      if (!item.separator)
        lines.push_back("  item " + std::to_string(item.command) + " " + Ui_Quote(item.text) +
                      (item.enabled ? "" : " disabled"));
  }
  return lines;
}
