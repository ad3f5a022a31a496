// Dec64: the host's exact decimal for every amount, price, limit, percentage
// and exchange rate. A signed 64-bit count of millionths (scale 6), so the
// range is about +/-9.2 trillion with six decimals: enough for any library's
// money in any currency and for exchange rates such as 0.006789.
//
// Every operation reports overflow (and division by zero) instead of
// wrapping; on failure the output is left unchanged. Results that need more
// than six decimals (products, quotients) are rounded half away from zero to
// six decimals. LbDec64_Round64 rounds half away from zero as well.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct Dec64 {
  static constexpr int kScale = 6;                  // decimals held
  static constexpr int64_t kOne = 1'000'000;        // 1.000000 in raw units
  int64_t raw = 0;                                  // value * 10^6

  static constexpr Dec64 FromRaw(int64_t r) { return Dec64{r}; }
  // Whole number; caller keeps |n| below 9.2e12.
  static constexpr Dec64 FromInt(int64_t n) { return Dec64{n * kOne}; }
  friend constexpr bool operator==(Dec64, Dec64) = default;
  friend constexpr auto operator<=>(Dec64 a, Dec64 b) { return a.raw <=> b.raw; }
  constexpr bool IsZero() const { return raw == 0; }
};

enum class DecStatus : uint8_t { Ok = 0, Overflow = 1, DivideByZero = 2 };

// result = a + b, a - b, a * b, a / b.
[[nodiscard]] DecStatus LbDec64_Add64(Dec64 a, Dec64 b, Dec64& result);
[[nodiscard]] DecStatus LbDec64_Sub64(Dec64 a, Dec64 b, Dec64& result);
[[nodiscard]] DecStatus LbDec64_Mul64(Dec64 a, Dec64 b, Dec64& result);
[[nodiscard]] DecStatus LbDec64_Div64(Dec64 a, Dec64 b, Dec64& result);

// In-place forms with a constant operand: value = value * c, value / c.
[[nodiscard]] DecStatus LbDec64_Mul64C(Dec64& value, Dec64 c);
[[nodiscard]] DecStatus LbDec64_Div64C(Dec64& value, Dec64 c);
// value = value * n for a whole number n (percent scaling, counts).
[[nodiscard]] DecStatus LbDec64_Mul64I(Dec64& value, int64_t n);
// Rounds value to `digits` decimals (0..6), half away from zero.
[[nodiscard]] DecStatus LbDec64_Round64(Dec64& value, int digits);

// Money format: how amounts are shown (see DbDabs_QueryMoneyFmt).
struct MoneyFmt {
  std::string symbol;           // "" or "$", shown before the amount
  int decimals = 2;             // digits after the decimal mark
  char decimal_mark = '.';
  char thousands_sep = 0;       // 0: none
};

// Text of `value`. With `digits` < 0 as many decimals as needed (at least
// none, trailing zeros dropped); otherwise exactly `digits` decimals,
// rounded half away from zero. With a format: its symbol, marks and decimals
// (`digits` ignored). Never fails; the text is plain ASCII.
std::string LbDec64_StrFrom64(Dec64 value, int digits = -1);
std::string LbDec64_StrFrom64(Dec64 value, const MoneyFmt& fmt);

// Parses "-1234.5", "+0.25", "1,234.50" (thousands separators ',' allowed
// only between digit groups), with optional surrounding blanks. More than six
// decimals, no digits, stray characters or overflow: nullopt.
std::optional<Dec64> LbDec64_StrTo64(std::string_view text);
