// The catalogue's normal forms of standard numbers, as order files and
// vendors' systems want them.
#pragma once

#include <string>
#include <string_view>

// An ISBN as entered ("0-19-853453-1 (pbk.)", "978 0 19 853453 4") reduced
// to its digits and a final X: the first run of 10 or 13 such characters
// that forms an ISBN, hyphens and blanks inside it dropped; "" when there
// is none.
std::string _ProcessISBN(std::string_view text);
// A 13-digit EAN that begins with 978 as its 10-digit ISBN with the check
// digit computed again ("9780198534532" -> "0198534531"); any other text
// comes back unchanged.
std::string _Convert13DigitEanInto10DigitIsbn(std::string_view ean);
// An LCCN in its normal form: blanks and a hyphen dropped, the serial part
// after a hyphen zero-filled to 6 digits ("85-2" -> "85000002",
// "n 79-21164" -> "n79021164"); "" when the text holds none.
std::string _ProcessLCCN(std::string_view text);
