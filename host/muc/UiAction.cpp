// The words and actions shared by the script and terminal drivers, and the
// frame's parse of the action texts the drivers hand it.
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "host/muc/UiWords.h"

bool Ui_SplitWords(std::string_view line, std::vector<UiWord>& out, std::string& error) {
  out.clear();
  size_t i = 0;
  while (i < line.size()) {
    char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      ++i;
      continue;
    }
    if (c == '#') break;
    UiWord word;
    if (c == '"') {
      word.quoted = true;
      ++i;
      bool closed = false;
      while (i < line.size()) {
        char q = line[i++];
        if (q == '"') {
          closed = true;
          break;
        }
        if (q == '\\') {
          if (i == line.size() || (line[i] != '"' && line[i] != '\\')) {
            error = "unknown escape in quoted text (only \\\" and \\\\)";
            return false;
          }
          q = line[i++];
        }
        word.text.push_back(q);
      }
      if (!closed) {
        error = "missing closing quote";
        return false;
      }
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' &&
             line[i] != '\n')
        word.text.push_back(line[i++]);
    }
    out.push_back(std::move(word));
  }
  return true;
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
    int64_t id = 0;
    if (words.size() != 2 || !Ui_ParseNumber(words[1].text, false, id) || id > 0xFFFF) {
      error = "'command' needs one command number (0 to 65535)";
      return false;
    }
    out = UiAction{UiAction::Kind::Command, static_cast<uint32_t>(id), 0, 0};
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
    out = UiAction{verb == "send" ? UiAction::Kind::Send : UiAction::Kind::Post,
                   static_cast<uint32_t>(msg), static_cast<uintptr_t>(wParam),
                   static_cast<intptr_t>(lParam)};
    return true;
  }
  error = "unknown action '" + verb + "'";
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
      std::snprintf(buf, sizeof buf, "command %u", static_cast<unsigned>(action.message));
      return buf;
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
  }
  return "close";
}
