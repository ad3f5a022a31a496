// Dec64 arithmetic and text. Values are counts of millionths; products and
// quotients are formed in 128 bits, so the only failures are a result outside
// int64 and a zero divisor. Rounding is half away from zero throughout.
#include "host/sys/Dec64.h"

#include <cstdlib>
#include <limits>

#include "host/sys/RunTime.h"

namespace {

using i128 = __int128;
using u128 = unsigned __int128;

constexpr int64_t kPow10[] = {1, 10, 100, 1'000, 10'000, 100'000, 1'000'000};

bool FitsInt64(i128 v) {
  return v >= std::numeric_limits<int64_t>::min() &&
         v <= std::numeric_limits<int64_t>::max();
}

// n / d rounded half away from zero; d != 0.
i128 DivRound(i128 n, i128 d) {
  i128 q = n / d;
  i128 r = n % d;
  if (r != 0) {
    i128 ar = r < 0 ? -r : r;
    i128 ad = d < 0 ? -d : d;
    if (2 * ar >= ad) q += ((n < 0) != (d < 0)) ? -1 : 1;
  }
  return q;
}

DecStatus Store(i128 v, Dec64& out) {
  if (!FitsInt64(v)) return DecStatus::Overflow;
  out.raw = static_cast<int64_t>(v);
  return DecStatus::Ok;
}

// Digits of `magnitude` with a separator every three digits from the right.
std::string GroupedDigits(u128 magnitude, char sep) {
  std::string rev;
  int count = 0;
  do {
    if (sep != 0 && count > 0 && count % 3 == 0) rev.push_back(sep);
    rev.push_back(static_cast<char>('0' + static_cast<int>(magnitude % 10)));
    magnitude /= 10;
    ++count;
  } while (magnitude != 0);
  return std::string(rev.rbegin(), rev.rend());
}

// Text of `raw` (millionths) with exactly `digits` decimals (any number of
// them; beyond six they are zeros) or, for digits < 0, as many as needed.
std::string Format(int64_t raw, int digits, const std::string& symbol,
                   char mark, char sep) {
  i128 v = raw;
  if (digits >= 0 && digits < Dec64::kScale) {
    i128 unit = kPow10[Dec64::kScale - digits];
    v = DivRound(v, unit) * unit;  // in 128 bits: rounding INT64_MIN-ish never overflows
  }
  bool negative = v < 0;
  u128 mag = static_cast<u128>(negative ? -v : v);
  u128 whole = mag / Dec64::kOne;
  u128 frac = mag % Dec64::kOne;

  // Six digits with leading zeros, then trimmed or padded.
  std::string fracText = std::to_string(static_cast<int64_t>(frac) + Dec64::kOne).substr(1);
  if (digits < 0) {
    while (!fracText.empty() && fracText.back() == '0') fracText.pop_back();
  } else if (digits < Dec64::kScale) {
    fracText.resize(static_cast<size_t>(digits));
  } else {
    fracText.append(static_cast<size_t>(digits - Dec64::kScale), '0');
  }
  // A value that rounds to zero shows no minus sign.
  if (whole == 0 && fracText.find_first_not_of('0') == std::string::npos) negative = false;

  std::string out;
  if (negative) out.push_back('-');
  out += symbol;
  out += GroupedDigits(whole, sep);
  if (!fracText.empty()) {
    out.push_back(mark);
    out += fracText;
  }
  return out;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

DecStatus LbDec64_Add64(Dec64 a, Dec64 b, Dec64& result) {
  int64_t r;
  if (__builtin_add_overflow(a.raw, b.raw, &r)) return DecStatus::Overflow;
  result.raw = r;
  return DecStatus::Ok;
}

DecStatus LbDec64_Sub64(Dec64 a, Dec64 b, Dec64& result) {
  int64_t r;
  if (__builtin_sub_overflow(a.raw, b.raw, &r)) return DecStatus::Overflow;
  result.raw = r;
  return DecStatus::Ok;
}

DecStatus LbDec64_Mul64(Dec64 a, Dec64 b, Dec64& result) {
  // |a.raw * b.raw| < 2^126: exact in 128 bits.
  return Store(DivRound(static_cast<i128>(a.raw) * b.raw, Dec64::kOne), result);
}

DecStatus LbDec64_Div64(Dec64 a, Dec64 b, Dec64& result) {
  if (b.raw == 0) return DecStatus::DivideByZero;
  return Store(DivRound(static_cast<i128>(a.raw) * Dec64::kOne, b.raw), result);
}

DecStatus LbDec64_Mul64C(Dec64& value, Dec64 c) { return LbDec64_Mul64(value, c, value); }
DecStatus LbDec64_Div64C(Dec64& value, Dec64 c) { return LbDec64_Div64(value, c, value); }

DecStatus LbDec64_Mul64I(Dec64& value, int64_t n) {
  return Store(static_cast<i128>(value.raw) * n, value);
}

DecStatus LbDec64_Round64(Dec64& value, int digits) {
  if (digits < 0 || digits > Dec64::kScale) {
    KtSystem_Panic1("LbDec64_Round64: digits %d out of range 0..6", std::to_string(digits));
  }
  i128 unit = kPow10[Dec64::kScale - digits];
  return Store(DivRound(value.raw, unit) * unit, value);
}

std::string LbDec64_StrFrom64(Dec64 value, int digits) {
  return Format(value.raw, digits, "", '.', 0);
}

std::string LbDec64_StrFrom64(Dec64 value, const MoneyFmt& fmt) {
  return Format(value.raw, fmt.decimals < 0 ? 0 : fmt.decimals, fmt.symbol,
                fmt.decimal_mark, fmt.thousands_sep);
}

std::optional<Dec64> LbDec64_StrTo64(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  std::string_view s = text.substr(b, e - b);

  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';

  // Whole part: digit groups; once a ',' appears, the first group has one to
  // three digits and every later group exactly three.
  u128 whole = 0;
  int digitsSeen = 0;
  int groupLen = 0;
  bool grouped = false;
  const u128 kLimit = static_cast<u128>(1) << 64;  // far above any valid value
  for (; i < s.size() && (IsDigit(s[i]) || s[i] == ','); ++i) {
    if (s[i] == ',') {
      if (groupLen == 0 || (grouped ? groupLen != 3 : groupLen > 3)) return std::nullopt;
      grouped = true;
      groupLen = 0;
      continue;
    }
    whole = whole * 10 + static_cast<unsigned>(s[i] - '0');
    if (whole > kLimit) return std::nullopt;
    ++digitsSeen;
    ++groupLen;
  }
  if (grouped && groupLen != 3) return std::nullopt;

  u128 frac = 0;
  int fracDigits = 0;
  if (i < s.size() && s[i] == '.') {
    for (++i; i < s.size() && IsDigit(s[i]); ++i) {
      if (++fracDigits > Dec64::kScale) return std::nullopt;
      frac = frac * 10 + static_cast<unsigned>(s[i] - '0');
    }
  }
  if (i != s.size() || digitsSeen + fracDigits == 0) return std::nullopt;

  u128 mag = whole * Dec64::kOne + frac * kPow10[Dec64::kScale - fracDigits];
  const u128 kMaxPos = static_cast<u128>(std::numeric_limits<int64_t>::max());
  if (mag > kMaxPos + (negative ? 1 : 0)) return std::nullopt;
  i128 v = negative ? -static_cast<i128>(mag) : static_cast<i128>(mag);
  return Dec64::FromRaw(static_cast<int64_t>(v));
}
