#include "host/sys/Dec64.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
Dec64 R(int64_t raw) { return Dec64::FromRaw(raw); }
const Dec64 kSentinel = R(424242);

TEST(Dec64, ProductsAndQuotientsRoundHalfAwayAtTheSixthDecimal) {
  enum Op { Mul, Div };
  struct Case { Op op; int64_t a, b, want; };
  const Case cases[] = {
      {Mul, 1'500'000, 1'500'000, 2'250'000},
      {Mul, 1, 500'000, 1},          // 0.0000005 -> 0.000001
      {Mul, -1, 500'000, -1},        // away from zero, not up
      {Mul, 1, 499'999, 0},
      {Mul, -3, 500'000, -2},        // -0.0000015 -> -0.000002
      {Mul, kMin, 1'000'000, kMin},  // times one keeps the lowest value
      {Div, 1'000'000, 3'000'000, 333'333},
      {Div, 2'000'000, 3'000'000, 666'667},
      {Div, -2'000'000, 3'000'000, -666'667},
      {Div, 1, 2'000'000, 1},
      {Div, 1, -2'000'000, -1},
      {Div, -1, -2'000'000, 1},
      {Div, 1'000'000, -8'000'000, -125'000},
  };
  for (const Case& c : cases) {
    Dec64 out = kSentinel;
    DecStatus st = c.op == Mul ? LbDec64_Mul64(R(c.a), R(c.b), out) : LbDec64_Div64(R(c.a), R(c.b), out);
    EXPECT_EQ(st, DecStatus::Ok) << c.a << (c.op == Mul ? " * " : " / ") << c.b;
    EXPECT_EQ(out.raw, c.want) << c.a << (c.op == Mul ? " * " : " / ") << c.b;
  }
}

TEST(Dec64, ProrationExampleKeepsSixDecimals) {
  Dec64 v = R(70'000);  // 0.07
  ASSERT_EQ(LbDec64_Mul64I(v, 33), DecStatus::Ok);
  ASSERT_EQ(LbDec64_Div64C(v, Dec64::FromInt(67)), DecStatus::Ok);
  EXPECT_EQ(v.raw, 34'478);  // 2.31 / 67 = 0.0344776...
}

TEST(Dec64, FailuresReportAndLeaveTheOutputAlone) {
  struct Case { const char* what; DecStatus want; DecStatus (*run)(Dec64&); };
  const Case cases[] = {
      {"max + 1e-6", DecStatus::Overflow, [](Dec64& o) { return LbDec64_Add64(R(kMax), R(1), o); }},
      {"min - 1e-6", DecStatus::Overflow, [](Dec64& o) { return LbDec64_Sub64(R(kMin), R(1), o); }},
      {"max * 2", DecStatus::Overflow, [](Dec64& o) { return LbDec64_Mul64(R(kMax), Dec64::FromInt(2), o); }},
      {"min * -1", DecStatus::Overflow, [](Dec64& o) { return LbDec64_Mul64(R(kMin), Dec64::FromInt(-1), o); }},
      {"min / -1", DecStatus::Overflow, [](Dec64& o) { return LbDec64_Div64(R(kMin), Dec64::FromInt(-1), o); }},
      {"9e12 / 0.5", DecStatus::Overflow, [](Dec64& o) { return LbDec64_Div64(Dec64::FromInt(9'000'000'000'000), R(500'000), o); }},
      {"1 / 0", DecStatus::DivideByZero, [](Dec64& o) { return LbDec64_Div64(Dec64::FromInt(1), R(0), o); }},
      {"0 / 0", DecStatus::DivideByZero, [](Dec64& o) { return LbDec64_Div64(R(0), R(0), o); }},
  };
  for (const Case& c : cases) {
    Dec64 out = kSentinel;
    EXPECT_EQ(c.run(out), c.want) << c.what;
    EXPECT_EQ(out, kSentinel) << c.what;
  }
  // In-place forms fail the same way without touching the value.
  Dec64 v = R(kMin);
  EXPECT_EQ(LbDec64_Mul64I(v, -1), DecStatus::Overflow);
  EXPECT_EQ(LbDec64_Div64C(v, R(0)), DecStatus::DivideByZero);
  EXPECT_EQ(v.raw, kMin);
  Dec64 top = R(kMax);  // 9223372036854.775807 rounds up past the range
  EXPECT_EQ(LbDec64_Round64(top, 0), DecStatus::Overflow);
  EXPECT_EQ(top.raw, kMax);
  Dec64 bottom = R(kMin);  // -...854.775808 to -...854.8 is below the range
  EXPECT_EQ(LbDec64_Round64(bottom, 1), DecStatus::Overflow);
  EXPECT_EQ(bottom.raw, kMin);
}

TEST(Dec64, RoundHalfAwayFromZero) {
  struct Case { int64_t raw; int digits; int64_t want; };
  const Case cases[] = {
      {2'345'000, 2, 2'350'000},   {-2'345'000, 2, -2'350'000},
      {2'344'999, 2, 2'340'000},   {-5'000, 2, -10'000},
      {500'000, 0, 1'000'000},     {-500'000, 0, -1'000'000},
      {-1'499'999, 0, -1'000'000}, {123'456, 6, 123'456},
  };
  for (const Case& c : cases) {
    Dec64 v = R(c.raw);
    EXPECT_EQ(LbDec64_Round64(v, c.digits), DecStatus::Ok) << c.raw;
    EXPECT_EQ(v.raw, c.want) << c.raw << " to " << c.digits;
  }
}

TEST(Dec64, TextFromValue) {
  struct Case { int64_t raw; int digits; const char* want; };
  const Case cases[] = {
      {1'234'500'000, -1, "1234.5"}, {0, -1, "0"}, {-1, -1, "-0.000001"},
      {1'234'500'000, 2, "1234.50"}, {-4'000, 2, "0.00"},  // no "-0.00"
      {-5'000, 2, "-0.01"},          {2'500'000, 0, "3"},  {-2'500'000, 0, "-3"},
      {kMin, -1, "-9223372036854.775808"}, {kMin, 2, "-9223372036854.78"},
      {kMax, 0, "9223372036855"},    {1, 8, "0.00000100"},
  };
  for (const Case& c : cases) EXPECT_EQ(LbDec64_StrFrom64(R(c.raw), c.digits), c.want) << c.raw;
}

TEST(Dec64, MoneyFormat) {
  const MoneyFmt dollars{"$", 2, '.', ','};
  const MoneyFmt euro{"", 2, ',', '.'};
  const MoneyFmt whole{"", 0, '.', ' '};
  EXPECT_EQ(LbDec64_StrFrom64(R(-1'234'500'000), dollars), "-$1,234.50");
  EXPECT_EQ(LbDec64_StrFrom64(R(1'234'567'891'000), dollars), "$1,234,567.89");
  EXPECT_EQ(LbDec64_StrFrom64(R(999'995'000), dollars), "$1,000.00");  // carry into a new group
  EXPECT_EQ(LbDec64_StrFrom64(R(123'000'000), dollars), "$123.00");
  EXPECT_EQ(LbDec64_StrFrom64(R(1'234'500'000), euro), "1.234,50");
  EXPECT_EQ(LbDec64_StrFrom64(R(1'234'500'000), whole), "1 235");
}

TEST(Dec64, ParseText) {
  struct Case { const char* text; std::optional<int64_t> want; };
  const Case cases[] = {
      // Errors first.
      {"", {}}, {"  ", {}}, {"-", {}}, {".", {}}, {"+.", {}},
      {"1.2345678", {}},        // seven decimals
      {"12a", {}}, {"1e3", {}}, {"- 5", {}}, {"1 234", {}}, {"$5", {}},
      {"1,23", {}}, {"1234,567", {}}, {",123", {}}, {"1,,234", {}}, {"1,234,56", {}},
      {"9223372036854.775808", {}}, {"-9223372036854.775809", {}},
      {"99999999999999999999999", {}},
      // Accepted.
      {"-1234.5", -1'234'500'000}, {"+0.25", 250'000}, {"1,234.50", 1'234'500'000},
      {"12,345,678", 12'345'678'000'000}, {" \t12 ", 12'000'000}, {".5", 500'000},
      {"5.", 5'000'000}, {"-0.000001", -1}, {"-9223372036854.775808", kMin},
      {"9223372036854.775807", kMax},
  };
  for (const Case& c : cases) {
    std::optional<Dec64> got = LbDec64_StrTo64(c.text);
    ASSERT_EQ(got.has_value(), c.want.has_value()) << '"' << c.text << '"';
    if (got) {
      EXPECT_EQ(got->raw, *c.want) << c.text;
    }
  }
}

}  // namespace
