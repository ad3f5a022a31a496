// Cheque amounts in words.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "acq/statement/AcqNumWords.h"

using acq::AcqNumWords::AmountInWords;
using acq::AcqNumWords::NumberInWords;

TEST(AcqNumWords, AmountsAsPrintedOnCheques) {
  struct Case { int64_t raw; const char* words; };
  constexpr int64_t k = Dec64::kOne;
  const Case cases[] = {
      {k / 20, "ZERO DOLLARS AND FIVE CENTS"},
      {k, "ONE DOLLARS AND ZERO CENTS"},
      {1'234'567 * k + 890'000,
       "ONE MILLION TWO HUNDRED THIRTY-FOUR THOUSAND FIVE HUNDRED SIXTY-SEVEN "
       "DOLLARS AND EIGHTY-NINE CENTS"},
      {20 * k, "TWENTY DOLLARS AND ZERO CENTS"},
      {21 * k + 210'000, "TWENTY-ONE DOLLARS AND TWENTY-ONE CENTS"},
      {100 * k, "ONE HUNDRED DOLLARS AND ZERO CENTS"},
      {101 * k, "ONE HUNDRED ONE DOLLARS AND ZERO CENTS"},
      {1000 * k, "ONE THOUSAND DOLLARS AND ZERO CENTS"},
      {1'000'000 * k, "ONE MILLION DOLLARS AND ZERO CENTS"},
      {1'000'001 * k, "ONE MILLION ONE DOLLARS AND ZERO CENTS"},   // empty groups left out
      {0, "ZERO DOLLARS AND ZERO CENTS"},
      {-(250 * k + 750'000), "NEGATIVE TWO HUNDRED FIFTY DOLLARS AND SEVENTY-FIVE CENTS"},
      // Rounded to cents half away from zero, carrying into the dollars.
      {5'000, "ZERO DOLLARS AND ONE CENTS"},
      {99 * k + 995'000, "ONE HUNDRED DOLLARS AND ZERO CENTS"},
      {-4'999, "ZERO DOLLARS AND ZERO CENTS"},   // rounds to nothing: not negative
      {-5'000, "NEGATIVE ZERO DOLLARS AND ONE CENTS"},
      // The extremes of Dec64: 9,223,372,036,854.775807 and one millionth more negative.
      {std::numeric_limits<int64_t>::max(),
       "NINE TRILLION TWO HUNDRED TWENTY-THREE BILLION THREE HUNDRED SEVENTY-TWO MILLION "
       "THIRTY-SIX THOUSAND EIGHT HUNDRED FIFTY-FOUR DOLLARS AND SEVENTY-EIGHT CENTS"},
      {std::numeric_limits<int64_t>::min(),
       "NEGATIVE NINE TRILLION TWO HUNDRED TWENTY-THREE BILLION THREE HUNDRED SEVENTY-TWO "
       "MILLION THIRTY-SIX THOUSAND EIGHT HUNDRED FIFTY-FOUR DOLLARS AND SEVENTY-EIGHT CENTS"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AmountInWords(Dec64::FromRaw(c.raw)), c.words) << c.raw;
  }
}

TEST(AcqNumWords, WholeNumbersUpToTheLargestScale) {
  const char* const teens[] = {"ELEVEN",  "TWELVE",    "THIRTEEN", "FOURTEEN", "FIFTEEN",
                               "SIXTEEN", "SEVENTEEN", "EIGHTEEN", "NINETEEN"};
  for (unsigned n = 11; n <= 19; ++n) EXPECT_EQ(NumberInWords(n), teens[n - 11]) << n;

  struct Case { uint64_t n; const char* words; };
  const Case cases[] = {
      {99, "NINETY-NINE"},
      {110, "ONE HUNDRED TEN"},
      {999'999, "NINE HUNDRED NINETY-NINE THOUSAND NINE HUNDRED NINETY-NINE"},
      {7'000'000'000'013, "SEVEN TRILLION THIRTEEN"},
      {2'000'000'000'000'000, "TWO QUADRILLION"},
      {std::numeric_limits<uint64_t>::max(),   // 18,446,744,073,709,551,615
       "EIGHTEEN QUINTILLION FOUR HUNDRED FORTY-SIX QUADRILLION SEVEN HUNDRED FORTY-FOUR "
       "TRILLION SEVENTY-THREE BILLION SEVEN HUNDRED NINE MILLION FIVE HUNDRED FIFTY-ONE "
       "THOUSAND SIX HUNDRED FIFTEEN"},
  };
  for (const Case& c : cases) EXPECT_EQ(NumberInWords(c.n), c.words) << c.n;
}
