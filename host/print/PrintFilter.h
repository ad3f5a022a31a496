// The print filter: what goes to a port printer as bytes. The printer takes
// single bytes: printable ASCII (0x20-0x7E) and Latin-1 (0xA0-0xFF) print as
// themselves; every other character of the text (controls, C1 codes, any
// character beyond Latin-1, bytes that are not UTF-8) becomes the
// replacement byte. Escape-sequence codes are the printer's commands: they go
// out as raw bytes and are never filtered.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "host/print/PortEscape.h"

// The most bytes one filtering produces: characters beyond it are dropped,
// never half of an escape code.
inline constexpr size_t kPrintFilterMaxBytes = 16000;

// Text for a port in the order it is sent: characters of text (decoded from
// UTF-8) and escape codes. Each counts as one character.
class PortText {
 public:
  // Appends UTF-8 text; each byte that is not part of a well-formed
  // character counts as one (unprintable) character.
  void AppendText(std::string_view utf8);
  // Appends escape codes, to be sent raw.
  void AppendEscape(const EscapeSequence& codes);
  // Characters held: text characters plus escape codes.
  size_t CharCount() const { return chars_.size(); }
  bool empty() const { return chars_.empty(); }
  void clear() { chars_.clear(); }
  void Append(const PortText& other);

  struct Char {
    uint32_t value;  // code point, escape code, or kInvalid
    bool raw;        // an escape code
  };
  static constexpr uint32_t kInvalid = 0xFFFFFFFFu;
  const std::vector<Char>& chars() const { return chars_; }

 private:
  std::vector<Char> chars_;
};

// The printer's bytes for `text`, at most kPrintFilterMaxBytes. An escape
// code up to 255 is one byte; a larger code is two bytes, low byte first
// (the order printers take 16-bit command arguments in).
[[nodiscard]] std::string DbFilter_StrPrintFilter(const PortText& text, uint8_t replacement);
// The same for plain UTF-8 text from the module.
[[nodiscard]] std::string DbFilter_StrPrintFilter(std::string_view utf8, uint8_t replacement);
