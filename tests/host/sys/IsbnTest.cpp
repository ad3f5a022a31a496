// Normal forms of ISBNs and LCCNs as order files carry them.
#include "host/sys/Isbn.h"

#include <gtest/gtest.h>

TEST(Isbn, ProcessIsbnFindsTheFirstIsbnShapedRun) {
  struct Case { const char* text; const char* isbn; };
  const Case cases[] = {
      {"0-19-853453-1 (pbk.)", "0198534531"},
      {"978 0 19 853453 4", "9780198534534"},        // check digits are not verified
      {"ISBN 978-0-19-853453-2", "9780198534532"},
      {"080442957x", "080442957X"},                  // a final x is the check digit X
      {"pbk. 12 v. 0198534531", "0198534531"},       // a short run before it is skipped
      {"9790560091004", "9790560091004"},            // 979 is an ISBN prefix too
      {"1234567890123", ""},                         // 13 digits outside 978/979
      {"12X4567890", ""},                            // X ends a run, wherever it is
      {"12345", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(_ProcessISBN(c.text), c.isbn) << c.text;
}

TEST(Isbn, ConvertEanComputesTheTenDigitCheckDigit) {
  struct Case { const char* ean; const char* isbn; };
  const Case cases[] = {
      {"9780198534532", "0198534531"},
      {"9780804429573", "080442957X"},   // weighted sum 199: check 10 is written X
      {"9780000000002", "0000000000"},   // sum 0: check 0, not 11
      {"9790560091004", "9790560091004"},   // 979 has no 10-digit form
      {"0198534531", "0198534531"},
      {"978019853453A", "978019853453A"},
      {"97801985345321", "97801985345321"},
  };
  for (const Case& c : cases) EXPECT_EQ(_Convert13DigitEanInto10DigitIsbn(c.ean), c.isbn) << c.ean;
}

TEST(Isbn, ProcessLccnPadsTheSerialAndDropsBlanks) {
  struct Case { const char* text; const char* lccn; };
  const Case cases[] = {
      {"85-2", "85000002"},
      {"n 79-21164", "n79021164"},
      {"N 79-21164", "n79021164"},           // prefix letters in lower case
      {"  85002345 ", "85002345"},
      {"2001-627509", "2001627509"},         // four-digit years give ten digits
      {"sn 85-2 /AC/r86", "sn85000002"},     // the revision after "/" is no part of it
      {"85-1234567", ""},                    // a serial of seven digits
      {"-12", ""},
      {"abcd 85-2", ""},                     // at most three prefix letters
      {"85-2x", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(_ProcessLCCN(c.text), c.lccn) << c.text;
}
