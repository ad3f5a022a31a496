// The print filter and the text it filters.
#include "host/print/PrintFilter.h"

#include <algorithm>

namespace {

// Decodes one character at `s[i]`; advances `i` past it. A malformed,
// overlong or surrogate sequence yields kInvalid and consumes one byte, so
// the rest of the text still decodes.
uint32_t DecodeOne(std::string_view s, size_t& i) {
  auto byte = [&](size_t k) { return static_cast<uint8_t>(s[k]); };
  uint8_t b0 = byte(i);
  if (b0 < 0x80) {
    ++i;
    return b0;
  }
  size_t len = 0;
  uint32_t cp = 0;
  uint32_t min = 0;
  if ((b0 & 0xE0) == 0xC0) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    ++i;
    return PortText::kInvalid;
  }
  if (i + len > s.size()) {
    ++i;
    return PortText::kInvalid;
  }
  for (size_t k = 1; k < len; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) {
      ++i;
      return PortText::kInvalid;
    }
    cp = (cp << 6) | (byte(i + k) & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++i;
    return PortText::kInvalid;
  }
  i += len;
  return cp;
}

bool Printable(uint32_t cp) { return (cp >= 0x20 && cp <= 0x7E) || (cp >= 0xA0 && cp <= 0xFF); }

}  // namespace

void PortText::AppendText(std::string_view utf8) {
  for (size_t i = 0; i < utf8.size();) chars_.push_back({DecodeOne(utf8, i), false});
}

void PortText::AppendEscape(const EscapeSequence& codes) {
  for (uint16_t code : codes) chars_.push_back({code, true});
}

void PortText::Append(const PortText& other) {
  chars_.insert(chars_.end(), other.chars_.begin(), other.chars_.end());
}

std::string DbFilter_StrPrintFilter(const PortText& text, uint8_t replacement) {
  std::string out;
  out.reserve(std::min(text.CharCount(), kPrintFilterMaxBytes));
  for (const PortText::Char& c : text.chars()) {
    if (c.raw && c.value > 0xFF) {
      if (out.size() + 2 > kPrintFilterMaxBytes) break;
      out.push_back(static_cast<char>(c.value & 0xFF));
      out.push_back(static_cast<char>(c.value >> 8));
      continue;
    }
    if (out.size() + 1 > kPrintFilterMaxBytes) break;
    bool asItself = c.raw || Printable(c.value);
    out.push_back(static_cast<char>(asItself ? c.value : replacement));
  }
  return out;
}

std::string DbFilter_StrPrintFilter(std::string_view utf8, uint8_t replacement) {
  PortText text;
  text.AppendText(utf8);
  return DbFilter_StrPrintFilter(text, replacement);
}
