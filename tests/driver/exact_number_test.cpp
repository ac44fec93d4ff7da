// Access's Decimal and Currency: reading, writing, comparing and the four operations, each a
// table of cases at the type's edges (the 29-digit mantissa, scale 28, Currency's limits,
// half-even ties, division by zero, overflow), and the half-even Round of a double.
#include "driver/sql/exact_number.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace mdbodbc::sql {
namespace {

using S = NumberStatus;
constexpr std::int64_t kMaxUnits = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kMinUnits = std::numeric_limits<std::int64_t>::min();
const char* const kMax = "79228162514264337593543950335";
const char* const kTiny = "0.0000000000000000000000000001";  // scale 28

Decimal Parsed(const char* text) {
  Decimal d;
  EXPECT_EQ(ParseDecimal(text, d), S::Ok) << text;
  return d;
}

TEST(ExactNumberTest, DecimalReadsTextAndWritesItBack) {
  struct Case { const char* text; S status; const char* shown; };
  const Case cases[] = {
      {"-123.4500", S::Ok, "-123.4500"}, {"1e3", S::Ok, "1000"}, {"  12 ", S::Ok, "12"},
      {".5", S::Ok, "0.5"}, {"5.", S::Ok, "5"}, {"+1.5E-3", S::Ok, "0.0015"}, {"1.50e1", S::Ok, "15.0"},
      {"0.000", S::Ok, "0.000"}, {"-0", S::Ok, "0"}, {"0e-50", S::Ok, "0.0000000000000000000000000000"},
      {kMax, S::Ok, kMax}, {"-79228162514264337593543950335", S::Ok, "-79228162514264337593543950335"},
      {"79228162514264337593543950336", S::Overflow, ""}, {"1e28", S::Ok, "10000000000000000000000000000"},
      {"1e29", S::Overflow, ""}, {"1e2000000000", S::Overflow, ""}, {"1e-2000000000", S::Ok, "0.0000000000000000000000000000"},
      {kTiny, S::Ok, kTiny},
      // Past 28 decimals or 29 digits the last digit that fits is rounded half to even.
      {"0.00000000000000000000000000005", S::Ok, "0.0000000000000000000000000000"},
      {"0.00000000000000000000000000015", S::Ok, "0.0000000000000000000000000002"},
      {"0.00000000000000000000000000025", S::Ok, "0.0000000000000000000000000002"},
      {"1234567890123456789012345678.95", S::Ok, "1234567890123456789012345679.0"},
      {"1.00000000000000000000000000005", S::Ok, "1.0000000000000000000000000000"},
      // A nonzero digit beyond the 40 kept still breaks the tie upwards.
      {"1.000000000000000000000000000050000000000000000000001", S::Ok, "1.0000000000000000000000000001"},
      {"", S::Invalid, ""}, {"   ", S::Invalid, ""}, {"--1", S::Invalid, ""}, {"1-", S::Invalid, ""},
      {"abc", S::Invalid, ""}, {"1e", S::Invalid, ""}, {"1.2.3", S::Invalid, ""}, {".", S::Invalid, ""},
      {"1 2", S::Invalid, ""}, {"e5", S::Invalid, ""}, {"0x10", S::Invalid, ""}, {"1e+", S::Invalid, ""},
  };
  for (const Case& c : cases) {
    Decimal d;
    EXPECT_EQ(ParseDecimal(c.text, d), c.status) << c.text;
    if (c.status == S::Ok) { EXPECT_EQ(DecimalText(d), c.shown) << c.text; }
  }
  EXPECT_EQ(DecimalText(Parsed("1.5"), 4), "1.5000");
  EXPECT_EQ(DecimalText(Parsed("-1.125"), 2), "-1.125");
  EXPECT_EQ(DecimalText(DecimalFromInt64(kMinUnits)), "-9223372036854775808");
}

TEST(ExactNumberTest, DecimalOperations) {
  enum Op { Add, Sub, Mul, Div };
  struct Case { Op op; const char* a; const char* b; S status; const char* result; };
  const Case cases[] = {
      {Add, "1.5", "2.25", S::Ok, "3.75"}, {Add, "1", "-1", S::Ok, "0"}, {Add, "-0.5", "0.25", S::Ok, "-0.25"},
      {Add, kMax, "1", S::Overflow, ""}, {Add, kMax, "-1", S::Ok, "79228162514264337593543950334"},
      {Add, kTiny, "1", S::Ok, "1.0000000000000000000000000001"},
      // 7922816251426433759354395033.55 holds at no scale above 0.
      {Add, "7922816251426433759354395033.5", "0.05", S::Ok, "7922816251426433759354395034"},
      {Sub, "1.50", "1.5", S::Ok, "0.00"}, {Sub, "-2", "3", S::Ok, "-5"}, {Sub, "-1", "-1", S::Ok, "0"},
      {Mul, "1.5", "2.0", S::Ok, "3.00"}, {Mul, "-2.5", "4", S::Ok, "-10.0"},
      {Mul, kTiny, kTiny, S::Ok, "0.0000000000000000000000000000"}, {Mul, kMax, "2", S::Overflow, ""},
      {Mul, kMax, "0.5", S::Ok, "39614081257132168796771975168"}, {Mul, "-3", "0", S::Ok, "0"},
      {Mul, "1.0000000000000000000000000001", "1.0000000000000000000000000001", S::Ok,
       "1.0000000000000000000000000002"},
      {Div, "1", "3", S::Ok, "0.3333333333333333333333333333"},
      {Div, "2", "3", S::Ok, "0.6666666666666666666666666667"},
      {Div, "10", "3", S::Ok, "3.3333333333333333333333333333"}, {Div, "1", "4", S::Ok, "0.25"},
      {Div, "1.00", "4", S::Ok, "0.25"}, {Div, "10", "2", S::Ok, "5"}, {Div, "-7", "2", S::Ok, "-3.5"},
      {Div, "2.5", "-1", S::Ok, "-2.5"}, {Div, "1.000", "2", S::Ok, "0.500"},
      {Div, kTiny, "2", S::Ok, "0.0000000000000000000000000000"},
      {Div, "0.0000000000000000000000000003", "2", S::Ok, "0.0000000000000000000000000002"},
      {Div, "1", kMax, S::Ok, "0"}, {Div, kMax, "0.1", S::Overflow, ""},
      {Div, "1", "0", S::DivideByZero, ""}, {Div, "0", "0.00", S::DivideByZero, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " op" + std::to_string(c.op) + " " + c.b);
    const Decimal a = Parsed(c.a);
    const Decimal b = Parsed(c.b);
    Decimal out;
    const S status = c.op == Add ? AddDecimal(a, b, out)
                   : c.op == Sub ? SubtractDecimal(a, b, out)
                   : c.op == Mul ? MultiplyDecimal(a, b, out)
                                 : DivideDecimal(a, b, out);
    EXPECT_EQ(status, c.status);
    if (c.status == S::Ok) { EXPECT_EQ(DecimalText(out), c.result); }
  }
  Decimal out;
  const Decimal malformed{false, 1, 29};
  EXPECT_EQ(AddDecimal(malformed, Parsed("1"), out), S::Invalid);
}

TEST(ExactNumberTest, DecimalComparesAndRoundsByValue) {
  struct Order { const char* a; const char* b; int sign; };
  const Order orders[] = {{"1.50", "1.5", 0}, {"-0", "0.000", 0}, {"-1", "0.5", -1}, {"-2", "-1", -1},
                          {kTiny, "0", 1}, {kMax, "79228162514264337593543950334", 1}, {"-0.01", "-0.1", 1}};
  for (const Order& o : orders) {
    const int got = CompareDecimal(Parsed(o.a), Parsed(o.b));
    EXPECT_EQ((got > 0) - (got < 0), o.sign) << o.a << " vs " << o.b;
    EXPECT_EQ(-((got > 0) - (got < 0)), (CompareDecimal(Parsed(o.b), Parsed(o.a)) > 0) -
                                            (CompareDecimal(Parsed(o.b), Parsed(o.a)) < 0));
  }
  struct Rounding { const char* value; int digits; S status; const char* result; };
  const Rounding roundings[] = {{"2.5", 0, S::Ok, "2"},      {"3.5", 0, S::Ok, "4"},   {"-2.5", 0, S::Ok, "-2"},
                                {"2.675", 2, S::Ok, "2.68"}, {"2.665", 2, S::Ok, "2.66"}, {"1.2345", 6, S::Ok, "1.2345"},
                                {"-0.4", 0, S::Ok, "0"},     {kTiny, 27, S::Ok, "0.000000000000000000000000000"},
                                {"1", 29, S::Invalid, ""},   {"1", -1, S::Invalid, ""}};
  for (const Rounding& r : roundings) {
    Decimal out;
    EXPECT_EQ(RoundDecimal(Parsed(r.value), r.digits, out), r.status) << r.value;
    if (r.status == S::Ok) { EXPECT_EQ(DecimalText(out), r.result) << r.value; }
  }
}

TEST(ExactNumberTest, DecimalToAndFromIntegersAndDoubles) {
  struct ToInteger { const char* value; S status; std::int64_t result; };
  const ToInteger integers[] = {{"9223372036854775807", S::Ok, kMaxUnits}, {"9223372036854775807.5", S::Overflow, 0},
                                {"-9223372036854775808", S::Ok, kMinUnits}, {"-9223372036854775808.5", S::Ok, kMinUnits},
                                {"-9223372036854775809", S::Overflow, 0},   {"2.5", S::Ok, 2},
                                {"-3.5", S::Ok, -4},                        {"0.5000000000000000000000000001", S::Ok, 1}};
  for (const ToInteger& c : integers) {
    std::int64_t out = 0;
    EXPECT_EQ(DecimalToInt64(Parsed(c.value), out), c.status) << c.value;
    if (c.status == S::Ok) { EXPECT_EQ(out, c.result) << c.value; }
  }
  struct FromDouble { double value; S status; const char* result; };
  const FromDouble fromDoubles[] = {
      {0.1, S::Ok, "0.1"}, {1.0 / 3, S::Ok, "0.333333333333333"}, {1e20, S::Ok, "100000000000000000000"},
      {-2.5, S::Ok, "-2.5"}, {123456789012345678.0, S::Ok, "123456789012346000"}, {0.1 + 0.2, S::Ok, "0.3"},
      {7.9e28, S::Ok, "79000000000000000000000000000"}, {8e28, S::Overflow, ""}, {1e-30, S::Ok, "0"},
      {-0.0, S::Ok, "0"}, {std::nan(""), S::Invalid, ""}, {-HUGE_VAL, S::Overflow, ""}};
  for (const FromDouble& c : fromDoubles) {
    Decimal out;
    EXPECT_EQ(DecimalFromDouble(c.value, out), c.status) << c.value;
    if (c.status == S::Ok) { EXPECT_EQ(DecimalText(out), c.result) << c.value; }
  }
  struct ToDouble { const char* value; double result; };
  const ToDouble toDoubles[] = {{"0.1", 0.1}, {kMax, 0x1p96}, {"-1.5", -1.5}, {kTiny, 1e-28},
                                {"12345678901234567890.123", 12345678901234567890.123}, {"-0.000", 0.0}};
  for (const ToDouble& c : toDoubles) {
    const double got = DecimalToDouble(Parsed(c.value));
    EXPECT_EQ(got, c.result) << c.value;
    EXPECT_EQ(std::signbit(got), std::signbit(c.result)) << c.value;
  }
}

TEST(ExactNumberTest, CurrencyReadsWritesAndConverts) {
  struct Read { const char* text; S status; std::int64_t units; };
  const Read reads[] = {{"922337203685477.5807", S::Ok, kMaxUnits}, {"922337203685477.5808", S::Overflow, 0},
                        {"-922337203685477.5808", S::Ok, kMinUnits}, {"-922337203685477.5809", S::Overflow, 0},
                        {"922337203685477.58074", S::Ok, kMaxUnits}, {"922337203685477.58075", S::Overflow, 0},
                        {"1.00005", S::Ok, 10000},                  {"1.00015", S::Ok, 10002},
                        {"1.000050000000000000000000000000000000000000001", S::Ok, 10001},
                        {"-0.00005", S::Ok, 0}, {"1e3", S::Ok, 10000000}, {" -12.5 ", S::Ok, -125000},
                        {"1e20", S::Overflow, 0}, {"abc", S::Invalid, 0}, {"", S::Invalid, 0}};
  for (const Read& c : reads) {
    std::int64_t out = 0;
    EXPECT_EQ(ParseCurrency(c.text, out), c.status) << c.text;
    if (c.status == S::Ok) { EXPECT_EQ(out, c.units) << c.text; }
  }
  struct Shown { std::int64_t units; int minScale; const char* text; };
  const Shown shown[] = {{10000000000, 4, "1000000.0000"}, {-1, 4, "-0.0001"}, {15000, 1, "1.5"}, {15000, 0, "1.5"},
                         {10000, 0, "1"}, {0, 4, "0.0000"}, {kMinUnits, 4, "-922337203685477.5808"},
                         {12345, 6, "1.234500"}};
  for (const Shown& c : shown) EXPECT_EQ(CurrencyText(c.units, c.minScale), c.text) << c.units;

  // Decided on the double's exact value: 0.00005 is stored a little above, 2.00005 a little
  // below; 1/32 and 3/32 are exact ties at the fifth decimal.
  struct FromDouble { double value; S status; std::int64_t units; };
  const FromDouble fromDoubles[] = {{1.5, S::Ok, 15000}, {0.00005, S::Ok, 1}, {2.00005, S::Ok, 20000},
                                    {0.03125, S::Ok, 312}, {0.09375, S::Ok, 938}, {-0.09375, S::Ok, -938},
                                    {922337203685477.5, S::Ok, 9223372036854775000}, {922337203685477.6, S::Overflow, 0},
                                    {1e300, S::Overflow, 0}, {1e-300, S::Ok, 0}, {std::nan(""), S::Invalid, 0}};
  for (const FromDouble& c : fromDoubles) {
    std::int64_t out = 0;
    EXPECT_EQ(CurrencyFromDouble(c.value, out), c.status) << c.value;
    if (c.status == S::Ok) { EXPECT_EQ(out, c.units) << c.value; }
  }
  EXPECT_EQ(CurrencyToDouble(15000), 1.5);
  EXPECT_EQ(CurrencyToDouble(kMaxUnits), 922337203685477.5807);
  EXPECT_EQ(CurrencyToDouble(kMinUnits), -922337203685477.5808);
}

TEST(ExactNumberTest, CurrencyOperations) {
  enum Op { Mul, Div, ToInteger, FromDecimal };
  struct Case { Op op; std::int64_t a; std::int64_t b; const char* decimal; S status; std::int64_t result; };
  const Case cases[] = {
      {Mul, 15000, 20000, "", S::Ok, 30000},         {Mul, 1, 5000, "", S::Ok, 0},
      {Mul, 3, 5000, "", S::Ok, 2},                  {Mul, -3, 5000, "", S::Ok, -2},
      {Mul, kMaxUnits, 20000, "", S::Overflow, 0},   {Mul, kMaxUnits, 10000, "", S::Ok, kMaxUnits},
      {Mul, kMinUnits, -10000, "", S::Overflow, 0},
      {Div, 10000, 30000, "", S::Ok, 3333},          {Div, 20000, 30000, "", S::Ok, 6667},
      {Div, 10000, 0, "", S::DivideByZero, 0},       {Div, kMaxUnits, 1, "", S::Overflow, 0},
      {Div, -10000, 80000, "", S::Ok, -1250},        {Div, 1, 20000, "", S::Ok, 0},
      {Div, 3, 20000, "", S::Ok, 2},                 {Div, kMinUnits, 10000, "", S::Ok, kMinUnits},
      {ToInteger, 25000, 0, "", S::Ok, 2},           {ToInteger, 35000, 0, "", S::Ok, 4},
      {ToInteger, -25000, 0, "", S::Ok, -2},         {ToInteger, kMaxUnits, 0, "", S::Ok, 922337203685478},
      {ToInteger, kMinUnits, 0, "", S::Ok, -922337203685478},
      {FromDecimal, 0, 0, "1.23456", S::Ok, 12346},  {FromDecimal, 0, 0, "1.23455", S::Ok, 12346},
      {FromDecimal, 0, 0, "1.23445", S::Ok, 12344},  {FromDecimal, 0, 0, "1", S::Ok, 10000},
      {FromDecimal, 0, 0, "922337203685477.58075", S::Overflow, 0},
      {FromDecimal, 0, 0, "-922337203685477.5808", S::Ok, kMinUnits},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("op" + std::to_string(c.op) + " " + std::to_string(c.a) + " " + std::to_string(c.b) + " " + c.decimal);
    std::int64_t out = 0;
    const S status = c.op == Mul ? MultiplyCurrency(c.a, c.b, out)
                   : c.op == Div ? DivideCurrency(c.a, c.b, out)
                   : c.op == ToInteger ? CurrencyToInt64(c.a, out)
                                       : CurrencyFromDecimal(Parsed(c.decimal), out);
    EXPECT_EQ(status, c.status);
    if (c.status == S::Ok) { EXPECT_EQ(out, c.result); }
  }
  Decimal d;
  ASSERT_EQ(DecimalFromCurrency(kMinUnits, d), S::Ok);
  EXPECT_EQ(DecimalText(d), "-922337203685477.5808");
}

TEST(ExactNumberTest, RoundOfADoubleIsHalfEvenOnItsExactValue) {
  struct Case { double value; int digits; double result; };
  const Case cases[] = {{2.5, 0, 2.0},     {3.5, 0, 4.0},       {-2.5, 0, -2.0},  {0.5, 0, 0.0},
                        {1.5, 0, 2.0},     {2.675, 2, 2.67},    {1.005, 2, 1.0},  {0.125, 2, 0.12},
                        {0.375, 2, 0.38},  {-0.4, 0, 0.0},      {1e300, 2, 1e300}, {5e-324, 28, 0.0},
                        {123.456, 1, 123.5}, {0.1 + 0.2, 15, 0.3}, {-HUGE_VAL, 2, -HUGE_VAL}};
  for (const Case& c : cases) {
    const double got = RoundHalfEven(c.value, c.digits);
    EXPECT_EQ(got, c.result) << c.value << " to " << c.digits;
    if (c.result == 0) { EXPECT_FALSE(std::signbit(got)) << c.value; }
  }
  EXPECT_TRUE(std::isnan(RoundHalfEven(1.5, -1)));
  EXPECT_TRUE(std::isnan(RoundHalfEven(1.5, 29)));
}

}  // namespace
}  // namespace mdbodbc::sql
