// Normal forms of standard numbers: ISBNs as written on orders and in the
// catalogue, their 10-digit form, and Library of Congress control numbers.
#include "host/sys/Isbn.h"

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether `digits` (digits and at most a final X) is the shape of an ISBN:
// ten characters, or thirteen digits in the book-land prefixes 978 and 979.
// Check digits are not verified: a mistyped number still reaches the
// vendor as the person entered it, who is better placed to query it.
bool IsIsbnShape(const std::string& digits) {
  if (digits.size() == 10) return true;   // an X can only be last
  return digits.size() == 13 && digits.back() != 'X' &&
         (digits.compare(0, 3, "978") == 0 || digits.compare(0, 3, "979") == 0);
}

}  // namespace

std::string _ProcessISBN(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size()) {
    // A run: digits with hyphens and blanks between them, ended by an X
    // or any other character.
    while (pos < text.size() && !IsDigit(text[pos])) ++pos;
    std::string digits;
    for (; pos < text.size(); ++pos) {
      const char c = text[pos];
      if (IsDigit(c)) {
        digits += c;
      } else if (c == 'X' || c == 'x') {
        digits += 'X';
        ++pos;
        break;
      } else if (c != '-' && c != ' ') {
        break;
      }
    }
    if (IsIsbnShape(digits)) return digits;
  }
  return {};
}

std::string _Convert13DigitEanInto10DigitIsbn(std::string_view ean) {
  if (ean.size() != 13 || ean.substr(0, 3) != "978") return std::string(ean);
  for (char c : ean)
    if (!IsDigit(c)) return std::string(ean);
  std::string isbn(ean.substr(3, 9));
  // ISBN-10 check: the weights 10 down to 2, the digit that makes the sum
  // a multiple of 11 (10 written X).
  int sum = 0;
  for (size_t i = 0; i < 9; ++i) sum += (10 - static_cast<int>(i)) * (isbn[i] - '0');
  const int check = (11 - sum % 11) % 11;
  isbn += check == 10 ? 'X' : static_cast<char>('0' + check);
  return isbn;
}

std::string _ProcessLCCN(std::string_view text) {
  // Blanks go; a revision or other suffix after "/" and anything after the
  // number ("(rev.)") is not part of it.
  std::string compact;
  for (char c : text) {
    if (c == ' ' || c == '\t') continue;
    if (!IsDigit(c) && !IsLetter(c) && c != '-') break;
    compact += c;
  }
  // Prefix letters (at most three), then the year part and, after a
  // hyphen, the serial padded to six digits.
  size_t letters = 0;
  while (letters < compact.size() && IsLetter(compact[letters])) ++letters;
  if (letters > 3) return {};
  std::string out;
  for (size_t i = 0; i < letters; ++i) out += Lower(compact[i]);
  const std::string number = compact.substr(letters);
  const size_t hyphen = number.find('-');
  std::string digits = number;
  if (hyphen != std::string::npos) {
    const std::string serial = number.substr(hyphen + 1);
    if (hyphen == 0 || serial.empty() || serial.size() > 6) return {};
    digits = number.substr(0, hyphen) + std::string(6 - serial.size(), '0') + serial;
  }
  for (char c : digits)
    if (!IsDigit(c)) return {};
  if (digits.size() != 8 && digits.size() != 10) return {};
  return out + digits;
}
