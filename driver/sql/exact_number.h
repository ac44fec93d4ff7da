// Access's exact numbers. Decimal: a 96-bit magnitude, a sign and a scale of 0..28 (the value
// is ±mantissa / 10^scale). Currency: a signed 64-bit count of ten-thousandths. Every operation
// here is exact or rounds once, half to even, as Access does; no double is used on the way
// except where a double is what comes in or goes out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace mdbodbc::sql {

struct Decimal {
  bool negative = false;
  unsigned __int128 mantissa = 0;
  std::uint8_t scale = 0;
};

// The largest mantissa, 2^96 - 1 = 79228162514264337593543950335, and the largest scale.
inline constexpr unsigned __int128 kDecimalMaxMantissa = (static_cast<unsigned __int128>(1) << 96) - 1;
inline constexpr int kDecimalMaxScale = 28;

enum class NumberStatus { Ok, Overflow, DivideByZero, Invalid };

// Reads "-123.4500", "1e3", "  12 ", ".5", "5.", "+1.5E-3": an optional sign, digits with an
// optional point, an optional exponent, blanks around. Invalid for anything else. The scale is
// the text's own (trailing zeros count) as far as 28 digits and the 96-bit mantissa allow;
// beyond that the value is rounded half to even at the last digit that fits. Overflow when the
// integer part alone does not fit.
NumberStatus ParseDecimal(std::string_view text, Decimal& out);
// Plain notation ("-0.05", "120.500"), never an exponent and never "-0": at least `minScale`
// digits after the point, zeros added only up to max(minScale, d.scale).
std::string DecimalText(const Decimal& d, int minScale = 0);
// <0, 0 or >0 by value (1.50 equals 1.5, -0 equals 0).
int CompareDecimal(const Decimal& a, const Decimal& b);
// Sum and difference at the larger of the two scales, rounded half to even only when the
// mantissa would not fit.
NumberStatus AddDecimal(const Decimal& a, const Decimal& b, Decimal& out);
NumberStatus SubtractDecimal(const Decimal& a, const Decimal& b, Decimal& out);
// Product at the sum of the scales, lowered with half-even rounding until it fits.
NumberStatus MultiplyDecimal(const Decimal& a, const Decimal& b, Decimal& out);
// Quotient with as many digits as the mantissa holds (28 or 29 significant digits, scale at
// most 28), half to even; trailing zeros beyond the scale max(0, a.scale - b.scale) are dropped.
NumberStatus DivideDecimal(const Decimal& a, const Decimal& b, Decimal& out);
// Half to even at `digits` decimals (0..28; Invalid otherwise). A value with no more decimals
// than that is returned unchanged.
NumberStatus RoundDecimal(const Decimal& a, int digits, Decimal& out);
Decimal DecimalFromInt64(std::int64_t v);
// The double's 15 significant digits, then exact; trailing zeros dropped. Invalid for NaN,
// Overflow for infinities and magnitudes beyond the mantissa.
NumberStatus DecimalFromDouble(double v, Decimal& out);
// The double nearest to the value.
double DecimalToDouble(const Decimal& d);
// Half to even to a whole number; Overflow outside the int64 range.
NumberStatus DecimalToInt64(const Decimal& d, std::int64_t& out);

// Currency, in ten-thousandths: -922337203685477.5808 .. 922337203685477.5807.
// Reads the same forms as ParseDecimal, exactly; more than four decimals round half to even.
NumberStatus ParseCurrency(std::string_view text, std::int64_t& out);
// Plain notation with at least `minScale` decimals: the four decimals of the value, trailing
// zeros dropped down to minScale ("1000000.0000", "-0.0001", "1.5" for minScale 1).
std::string CurrencyText(std::int64_t units, int minScale = 4);
// The double's exact value rounded half to even at four decimals.
NumberStatus CurrencyFromDouble(double v, std::int64_t& out);
// The double nearest to the value.
double CurrencyToDouble(std::int64_t units);
// (a * b) / 10000 and a / b as Currency, exact in 128 bits and rounded half to even.
NumberStatus MultiplyCurrency(std::int64_t a, std::int64_t b, std::int64_t& out);
NumberStatus DivideCurrency(std::int64_t a, std::int64_t b, std::int64_t& out);
// Half to even to a whole number (always in range).
NumberStatus CurrencyToInt64(std::int64_t units, std::int64_t& out);
// Scale 4, exact (always Ok).
NumberStatus DecimalFromCurrency(std::int64_t units, Decimal& out);
// Half to even at four decimals; Overflow outside Currency's range.
NumberStatus CurrencyFromDecimal(const Decimal& d, std::int64_t& out);

// Access's Round of a double: half to even at `digits` decimals, decided on the double's exact
// binary value (2.675, stored as 2.67499999..., rounds to 2.67), the result the double nearest
// to the rounded decimal. NaN for digits outside 0..28; NaN and infinities are returned as
// they are.
double RoundHalfEven(double v, int digits);

}  // namespace mdbodbc::sql
