// AcqEdifact's text routines: service characters, element extraction,
// decimals in the file's notation, party-code kinds and SAN forms. They need
// no database (the reader's fuzz target builds them on their own).
#include <algorithm>
#include <cctype>

#include "acq/edi/AcqEdifact.h"
#include "host/sys/Dec64.h"

namespace acq::AcqEdifact {

ServiceChars ServiceChars::FromUna(std::string_view six) {
  ServiceChars sc;
  if (six.size() < 6) return sc;
  sc.component = six[0];
  sc.element = six[1];
  sc.decimal = six[2];
  sc.release = six[3];
  sc.reserved = six[4];
  sc.terminator = six[5];
  return sc;
}

std::string ServiceChars::Una() const {
  return std::string{component, element, decimal, release, reserved, terminator};
}

// Separators are counted from the start of the segment, released ones
// included: the element number is the count of element separators to skip
// and the component number less one the count of component separators
// after that. A component skip stops at the next element separator, so a
// component its element does not have is missing rather than one of the
// next element. The value itself ends at the first separator or terminator
// that is not released (a release character releases exactly the next
// character, so "??+" ends the value after an escaped release character).
bool GetElement(std::string_view segment, const ServiceChars& sc, int element, int component,
                size_t capacity, std::string& value) {
  value.clear();
  if (element < 0 || component < 1) return false;
  size_t at = 0;
  for (int skipped = 0; skipped < element; ++skipped) {
    const size_t next = segment.find(sc.element, at);
    if (next == std::string_view::npos) return false;
    at = next + 1;
  }
  for (int skipped = 1; skipped < component; ++skipped) {
    size_t next = at;
    while (next < segment.size() && segment[next] != sc.component && segment[next] != sc.element)
      ++next;
    if (next >= segment.size() || segment[next] == sc.element) return false;
    at = next + 1;
  }
  size_t end = at;
  while (end < segment.size()) {
    const char c = segment[end];
    if (c == sc.release) {
      end += 2;
      continue;
    }
    if (c == sc.component || c == sc.element || c == sc.terminator) break;
    ++end;
  }
  end = std::min(end, segment.size());
  value.assign(segment.substr(at, std::min(end - at, capacity)));
  return true;
}

std::string Element(std::string_view segment, const ServiceChars& sc, int element, int component,
                    size_t capacity) {
  std::string value;
  GetElement(segment, sc, element, component, capacity, value);
  return value;
}

std::string_view Tag(std::string_view segment) { return segment.substr(0, 3); }

bool ParseDecimal(std::string_view text, const ServiceChars& sc, Dec64& value) {
  std::string plain(text);
  if (sc.decimal != '.') {
    // A '.' in a file whose mark is another character is not a number of it.
    if (plain.find('.') != std::string::npos) return false;
    std::replace(plain.begin(), plain.end(), sc.decimal, '.');
  }
  // EDIFACT numbers carry no digit-group separators: "1,250" is not 1250.
  if (plain.find(',') != std::string::npos) return false;
  const auto parsed = LbDec64_StrTo64(plain);
  if (!parsed) return false;
  value = *parsed;
  return true;
}

std::string Unescape(std::string_view value, const ServiceChars& sc) {
  std::string out;
  out.reserve(value.size());
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] == sc.release && i + 1 < value.size()) ++i;
    out += value[i];
  }
  return out;
}

int VendorKind(std::string_view agency) {
  if (agency == "92") return 0;
  if (agency == "91") return 1;
  if (agency == "9" || agency == "14") return 2;
  if (agency == "31B" || agency == "32B") return 3;
  return -1;
}

int LocationKind(std::string_view agency) {
  if (agency == "92") return 0;
  if (agency == "91") return 3;
  if (agency == "9" || agency == "14") return 1;
  if (agency == "31B" || agency == "32B") return 2;
  return -1;
}

namespace {

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

bool IsLetterAZ(char c) { return c >= 'A' && c <= 'Z'; }

// Where a SAN's hyphen goes: after the 3rd character, after the 5th when
// the first two are letters.
size_t HyphenAt(const std::string& upper) {
  return upper.size() >= 2 && IsLetterAZ(upper[0]) && IsLetterAZ(upper[1]) ? 5 : 3;
}

std::string WithHyphen(std::string upper) {
  const size_t at = HyphenAt(upper);
  if (upper.size() >= 2 && upper.size() > at) upper.insert(at, 1, '-');
  return upper;
}

}  // namespace

std::string SanSecondForm(std::string_view san) {
  std::string upper = Upper(san);
  if (upper.find('-') != std::string::npos) {
    upper.erase(std::remove(upper.begin(), upper.end(), '-'), upper.end());
    return upper;
  }
  return WithHyphen(std::move(upper));
}

std::string SanNormalForm(std::string_view san) {
  std::string upper = Upper(san);
  if (upper.find('-') != std::string::npos) return upper;
  return WithHyphen(std::move(upper));
}

}  // namespace acq::AcqEdifact
