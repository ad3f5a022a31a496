// AcqNumWords: amounts in words for cheques. It keeps no state, so its body
// only links a termination procedure and registers no Initialize/Terminate.
//
// Wording (the cheque forms' amount line):
// - Groups of three digits, highest first, each followed by its scale
//   (" THOUSAND" ... " QUINTILLION"); groups that are zero are left out, so
//   1,000,000 is "ONE MILLION" and 1,000,001 "ONE MILLION ONE".
// - Hundreds as "<digit> HUNDRED", with no "AND" after it: on a cheque the
//   only "AND" is the one before the cents, so "ONE HUNDRED ONE".
// - 21..99 that are not whole tens are hyphenated ("TWENTY-ONE"), the usual
//   way of writing amounts on cheques.
// - No dollars is "ZERO", so the line always names both parts.
// - The cents are words too ("FIVE CENTS", "ZERO CENTS"): the whole line is
//   an amount in words, the figures stand beside it.
// - " DOLLARS AND " and " CENTS" are fixed texts, also for one dollar or
//   one cent ("ONE DOLLARS AND ONE CENTS"): the line has one fixed shape.
// - A negative amount starts with "NEGATIVE" and a blank; an amount that
//   rounds to zero cents is not negative.
#include "acq/statement/AcqNumWords.h"

#include <array>
#include <string_view>

#include "acq/AcqUnit.h"

namespace acq::AcqNumWords {
namespace {

UnitProc savedTermHead = nullptr;
void TermProc() { unit::RunTermProc("AcqNumWords", savedTermHead); }

constexpr std::array<std::string_view, 20> kOnes = {
    "ZERO",    "ONE",     "TWO",       "THREE",    "FOUR",     "FIVE",    "SIX",
    "SEVEN",   "EIGHT",   "NINE",      "TEN",      "ELEVEN",   "TWELVE",  "THIRTEEN",
    "FOURTEEN", "FIFTEEN", "SIXTEEN",  "SEVENTEEN", "EIGHTEEN", "NINETEEN"};
constexpr std::array<std::string_view, 10> kTens = {
    "", "", "TWENTY", "THIRTY", "FORTY", "FIFTY", "SIXTY", "SEVENTY", "EIGHTY", "NINETY"};
// Scale of group i counted from the lowest (group 0 has none). 2^64 - 1 has
// seven groups, so QUINTILLION is the highest ever needed.
constexpr std::array<std::string_view, 7> kScales = {
    "", " THOUSAND", " MILLION", " BILLION", " TRILLION", " QUADRILLION", " QUINTILLION"};

constexpr int64_t kMicrosPerCent = Dec64::kOne / 100;

// Appends 1..999 in words, separated from what is already in `out` by a blank.
void AppendGroup(unsigned n, std::string& out) {
  auto word = [&out](std::string_view w) {
    if (!out.empty()) out += ' ';
    out += w;
  };
  if (n >= 100) {
    word(kOnes[n / 100]);
    out += " HUNDRED";
    n %= 100;
  }
  if (n >= 20) {
    word(kTens[n / 10]);
    if (n % 10 != 0) {
      out += '-';
      out += kOnes[n % 10];
    }
  } else if (n > 0) {
    word(kOnes[n]);
  }
}

}  // namespace

void Body() { unit::RunBody("AcqNumWords", &savedTermHead, &TermProc, nullptr, nullptr); }

std::string NumberInWords(uint64_t n) {
  if (n == 0) return std::string(kOnes[0]);
  std::array<unsigned, kScales.size()> groups{};
  size_t count = 0;
  for (; n != 0; n /= 1000) groups[count++] = static_cast<unsigned>(n % 1000);
  std::string out;
  for (size_t i = count; i-- > 0;) {
    if (groups[i] == 0) continue;
    AppendGroup(groups[i], out);
    out += kScales[i];
  }
  return out;
}

std::string AmountInWords(Dec64 amount) {
  // The magnitude in unsigned arithmetic: -INT64_MIN does not fit an int64_t.
  const bool negative = amount.raw < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(amount.raw)
                                      : static_cast<uint64_t>(amount.raw);
  const uint64_t micros = static_cast<uint64_t>(Dec64::kOne);
  uint64_t dollars = magnitude / micros;
  // Half a cent and more rounds up; at most 9.2e12 dollars, so +1 cannot wrap.
  uint64_t cents = (magnitude % micros + kMicrosPerCent / 2) / kMicrosPerCent;
  if (cents == 100) {
    ++dollars;
    cents = 0;
  }
  std::string out;
  if (negative && (dollars != 0 || cents != 0)) out = "NEGATIVE ";
  out += NumberInWords(dollars);
  out += " DOLLARS AND ";
  out += NumberInWords(cents);
  out += " CENTS";
  return out;
}

}  // namespace acq::AcqNumWords
