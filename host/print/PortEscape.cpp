// Parsers of the port printer's settings.
#include "host/print/PortEscape.h"

#include "host/sys/LbStr.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

std::optional<EscapeSequence> ParseEscapeSequence(std::string_view text) {
  if (Lb_CharCount(text) > kEscapeTextMaxChars) return std::nullopt;
  EscapeSequence codes;
  bool inCode = false;      // a slash was seen and its code is being read
  bool codeHasDigit = false;
  uint32_t code = 0;        // never above 65536: checked on each digit
  for (char c : text) {
    if (IsBlank(c)) continue;
    if (c == '/') {
      if (inCode && !codeHasDigit) return std::nullopt;
      if (inCode) codes.push_back(static_cast<uint16_t>(code));
      inCode = true;
      codeHasDigit = false;
      code = 0;
    } else if (IsDigit(c) && inCode) {
      code = code * 10 + static_cast<uint32_t>(c - '0');
      if (code > 65535) return std::nullopt;
      codeHasDigit = true;
    } else {
      return std::nullopt;  // a digit before any slash, or not a digit at all
    }
  }
  if (inCode && !codeHasDigit) return std::nullopt;
  if (inCode) codes.push_back(static_cast<uint16_t>(code));
  return codes;
}

std::optional<uint8_t> ParseReplacementCharacter(std::string_view text) {
  if (text.size() != 2) return std::nullopt;
  int high = HexValue(text[0]);
  int low = HexValue(text[1]);
  if (high < 0 || low < 0) return std::nullopt;
  return static_cast<uint8_t>(high * 16 + low);
}

std::optional<int> ParseCharactersPerLine(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  int value = 0;
  for (char c : text) {
    if (!IsDigit(c)) return std::nullopt;
    value = value * 10 + (c - '0');
    if (value > kCharsPerLineMax) return std::nullopt;
  }
  if (value == 0) return std::nullopt;
  return value;
}
