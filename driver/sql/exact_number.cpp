#include "exact_number.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <limits>

#include "wide_unsigned.h"

namespace mdbodbc::sql {
namespace {

using Wide = WideUnsigned;
using u128 = unsigned __int128;

// Significant digits a text keeps exactly; later digits only say whether they were all zero.
// 40 is more than the 29 digits a mantissa holds, so the one rounding is decided correctly.
constexpr int kKeptDigits = 40;
// Exponents beyond this decide nothing more (the value is 0 or overflows either way).
constexpr std::int64_t kExponentBound = 2'000'000;

// A number read from text: digits * 10^exponent, a little more when `sticky` (digits beyond
// the kept ones were not all zero).
struct ParsedNumber {
  bool negative = false;
  Wide digits;
  std::int64_t exponent = 0;
  bool sticky = false;
};

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool ParseNumberText(std::string_view text, ParsedNumber& out) {
  out = ParsedNumber();
  std::size_t i = 0;
  std::size_t end = text.size();
  while (i < end && IsBlank(text[i])) ++i;
  while (end > i && IsBlank(text[end - 1])) --end;
  if (i < end && (text[i] == '+' || text[i] == '-')) out.negative = text[i++] == '-';
  bool anyDigit = false;
  bool point = false;
  int significant = 0;
  std::int64_t exponent = 0;
  for (; i < end; ++i) {
    const char c = text[i];
    if (c == '.') {
      if (point) return false;
      point = true;
      continue;
    }
    if (!IsDigit(c)) break;
    anyDigit = true;
    const int digit = c - '0';
    if (point) --exponent;
    if (significant == 0 && digit == 0) continue;  // a leading zero
    if (significant < kKeptDigits) {
      out.digits.MultiplyAdd(10, static_cast<std::uint64_t>(digit));
      ++significant;
    } else {
      ++exponent;  // this digit's place is left out of `digits`
      if (digit != 0) out.sticky = true;
    }
  }
  if (!anyDigit) return false;
  if (i < end && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    bool negativeExponent = false;
    if (i < end && (text[i] == '+' || text[i] == '-')) negativeExponent = text[i++] == '-';
    std::int64_t written = 0;
    bool exponentDigit = false;
    for (; i < end && IsDigit(text[i]); ++i) {
      exponentDigit = true;
      if (written < kExponentBound) written = written * 10 + (text[i] - '0');
    }
    if (!exponentDigit) return false;
    exponent += negativeExponent ? -written : written;
  }
  if (i != end) return false;
  out.exponent = std::clamp(exponent, -kExponentBound, kExponentBound);
  return true;
}

// m / 10^k rounded half to even; `sticky` says the exact value lies a little above m (then
// k must be at least 1 for the rounding to see it).
Wide DivideRounded(const Wide& m, std::int64_t k, bool sticky) {
  if (k <= 0) return m;
  // m < 2^384 < 5 * 10^115, below half of any larger power: the quotient rounds to 0.
  if (k > Wide::kMaxPowerOfTen) return Wide();
  const Wide power = Wide::PowerOfTen(static_cast<int>(k));
  Wide quotient;
  Wide remainder;
  Wide::Divide(m, power, quotient, remainder);
  remainder.MultiplyAdd(2);  // below 2 * 10^115, still inside 384 bits
  const int half = Wide::Compare(remainder, power);
  if (half > 0 || (half == 0 && (sticky || quotient.IsOdd()))) quotient.Add(Wide(1));
  return quotient;
}

u128 DivideRounded128(u128 n, u128 d) {
  u128 q = n / d;
  const u128 r = n % d;
  const u128 twice = r * 2;  // r < d <= 2^127 wherever this is used
  if (twice > d || (twice == d && (q & 1) != 0)) ++q;
  return q;
}

bool FitsMantissa(const Wide& w) { return w.Fits128() && w.Low128() <= kDecimalMaxMantissa; }

// The Decimal nearest to ±m / 10^scale (m * 10^-scale when scale is negative): the scale is
// lowered, rounding half to even, until the scale is at most 28 and the mantissa fits.
NumberStatus Fit(bool negative, Wide m, std::int64_t scale, bool sticky, Decimal& out) {
  if (m.IsZero() && !sticky) {
    out = Decimal{false, 0, static_cast<std::uint8_t>(std::clamp<std::int64_t>(scale, 0, kDecimalMaxScale))};
    return NumberStatus::Ok;
  }
  if (scale < 0) {
    if (-scale > 29) return NumberStatus::Overflow;  // m is at least 1
    if (!Wide::Multiply(m, Wide::PowerOfTen(static_cast<int>(-scale)), m)) return NumberStatus::Overflow;
    scale = 0;
  }
  // Digits the mantissa cannot hold: a lower bound from the bit length, then one at a time.
  const int bits = m.BitLength();
  std::int64_t k = bits > 97 ? (bits - 97) * 30102 / 100000 : 0;
  k = std::max<std::int64_t>(k, scale - kDecimalMaxScale);
  for (;; ++k) {
    if (k > scale) return NumberStatus::Overflow;
    const Wide q = DivideRounded(m, k, sticky);
    if (FitsMantissa(q)) {
      const u128 mantissa = q.Low128();
      out = Decimal{negative && mantissa != 0, mantissa, static_cast<std::uint8_t>(scale - k)};
      return NumberStatus::Ok;
    }
  }
}

bool Valid(const Decimal& d) { return d.mantissa <= kDecimalMaxMantissa && d.scale <= kDecimalMaxScale; }
bool IsNegative(const Decimal& d) { return d.negative && d.mantissa != 0; }

// The mantissa raised to `scale` (at least d.scale); fits while the difference is at most 76.
Wide Aligned(const Decimal& d, int scale) {
  Wide w(d.mantissa);
  if (scale > d.scale) Wide::Multiply(w, Wide::PowerOfTen(scale - d.scale), w);
  return w;
}

NumberStatus AddSigned(const Decimal& a, bool bNegative, const Decimal& b, Decimal& out) {
  if (!Valid(a) || !Valid(b)) return NumberStatus::Invalid;
  const int scale = std::max(a.scale, b.scale);
  Wide x = Aligned(a, scale);
  Wide y = Aligned(b, scale);
  const bool xNegative = IsNegative(a);
  const bool yNegative = bNegative && b.mantissa != 0;
  if (xNegative == yNegative) {
    x.Add(y);
    return Fit(xNegative, x, scale, false, out);
  }
  const int order = Wide::Compare(x, y);
  if (order >= 0) {
    x.Subtract(y);
    return Fit(xNegative, x, scale, false, out);
  }
  y.Subtract(x);
  return Fit(yNegative, y, scale, false, out);
}

// Drops trailing zeros while the scale is above `floor`.
void DropTrailingZeros(Decimal& d, int floor) {
  while (d.scale > floor && d.mantissa % 10 == 0) {
    d.mantissa /= 10;
    --d.scale;
  }
}

// The digits of m, least significant first; returns their count (at least one).
int Digits(u128 m, char* out) {
  int n = 0;
  do {
    out[n++] = static_cast<char>('0' + static_cast<int>(m % 10));
    m /= 10;
  } while (m != 0);
  return n;
}

// The double nearest to ±m * 10^-scale, through a correctly rounded reading of its text.
double NearestDouble(bool negative, u128 m, int scale) {
  char text[80];
  char digits[40];
  int n = Digits(m, digits);
  int at = 0;
  if (negative) text[at++] = '-';
  while (n > 0) text[at++] = digits[--n];
  text[at++] = 'e';
  text[at++] = '-';
  const auto written = std::to_chars(text + at, text + sizeof text, scale);
  double value = 0;
  std::from_chars(text, written.ptr, value);
  return value;
}

NumberStatus SignedUnits(bool negative, const Wide& magnitude, std::int64_t& out) {
  constexpr u128 kLargest = static_cast<u128>(std::numeric_limits<std::int64_t>::max());
  if (!magnitude.Fits128()) return NumberStatus::Overflow;
  const u128 m = magnitude.Low128();
  if (m > kLargest + (negative ? 1 : 0)) return NumberStatus::Overflow;
  const auto bits = static_cast<std::uint64_t>(m);
  out = static_cast<std::int64_t>(negative ? 0 - bits : bits);  // two's complement, also for -2^63
  return NumberStatus::Ok;
}

std::uint64_t Magnitude(std::int64_t v) {
  return v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
}

// A finite nonzero double's magnitude as m * 2^exponent with m a whole number below 2^53, read
// from its bits (no libm call).
void SplitDouble(double v, std::uint64_t& m, int& exponent) {
  const auto bits = std::bit_cast<std::uint64_t>(v);
  const auto biased = static_cast<int>((bits >> 52) & 0x7FF);
  m = bits & ((std::uint64_t{1} << 52) - 1);
  if (biased == 0) {
    exponent = -1074;  // subnormal
  } else {
    m |= std::uint64_t{1} << 52;
    exponent = biased - 1075;
  }
}

// 2^k for k in 0..147.
Wide PowerOfTwo(int k) {
  Wide p(static_cast<u128>(1) << std::min(k, 127));
  if (k > 127) p.MultiplyAdd(std::uint64_t{1} << (k - 127));
  return p;
}

}  // namespace

NumberStatus ParseDecimal(std::string_view text, Decimal& out) {
  ParsedNumber parsed;
  if (!ParseNumberText(text, parsed)) return NumberStatus::Invalid;
  return Fit(parsed.negative, parsed.digits, -parsed.exponent, parsed.sticky, out);
}

std::string DecimalText(const Decimal& d, int minScale) {
  char digits[40];
  const int n = Digits(d.mantissa, digits);
  const int scale = d.scale;
  const int shown = std::max(scale, std::clamp(minScale, 0, 255));
  std::string text;
  text.reserve(static_cast<std::size_t>(n + shown + 3));
  if (d.negative && d.mantissa != 0) text += '-';
  if (n > scale) {
    for (int i = n - 1; i >= scale; --i) text += digits[i];
  } else {
    text += '0';
  }
  if (shown == 0) return text;
  text += '.';
  for (int i = scale - 1; i >= 0; --i) text += i < n ? digits[i] : '0';
  text.append(static_cast<std::size_t>(shown - scale), '0');
  return text;
}

int CompareDecimal(const Decimal& a, const Decimal& b) {
  const int signA = a.mantissa == 0 ? 0 : (a.negative ? -1 : 1);
  const int signB = b.mantissa == 0 ? 0 : (b.negative ? -1 : 1);
  if (signA != signB) return signA < signB ? -1 : 1;
  if (signA == 0) return 0;
  int magnitude = 0;
  if (std::abs(a.scale - b.scale) > 76) {
    // One side, raised by more than 10^76, exceeds any 128-bit mantissa of the other.
    magnitude = a.scale < b.scale ? 1 : -1;
  } else {
    const int scale = std::max(a.scale, b.scale);
    magnitude = Wide::Compare(Aligned(a, scale), Aligned(b, scale));
  }
  return signA > 0 ? magnitude : -magnitude;
}

NumberStatus AddDecimal(const Decimal& a, const Decimal& b, Decimal& out) {
  return AddSigned(a, b.negative, b, out);
}

NumberStatus SubtractDecimal(const Decimal& a, const Decimal& b, Decimal& out) {
  return AddSigned(a, !b.negative, b, out);
}

NumberStatus MultiplyDecimal(const Decimal& a, const Decimal& b, Decimal& out) {
  if (!Valid(a) || !Valid(b)) return NumberStatus::Invalid;
  Wide product;
  Wide::Multiply(Wide(a.mantissa), Wide(b.mantissa), product);  // below 2^192
  return Fit(IsNegative(a) != IsNegative(b), product, a.scale + b.scale, false, out);
}

NumberStatus DivideDecimal(const Decimal& a, const Decimal& b, Decimal& out) {
  if (!Valid(a) || !Valid(b)) return NumberStatus::Invalid;
  if (b.mantissa == 0) return NumberStatus::DivideByZero;
  const int natural = std::max(0, a.scale - b.scale);
  if (a.mantissa == 0) {
    out = Decimal{false, 0, static_cast<std::uint8_t>(natural)};
    return NumberStatus::Ok;
  }
  // The quotient at scale 29, one digit past the most a Decimal keeps, so that Fit always
  // rounds once with the remainder in view. The dividend stays below 2^96 * 10^57 < 2^286.
  const int raise = 29 - (a.scale - b.scale);
  Wide dividend;
  Wide::Multiply(Wide(a.mantissa), Wide::PowerOfTen(raise), dividend);
  Wide quotient;
  Wide remainder;
  Wide::Divide(dividend, Wide(b.mantissa), quotient, remainder);
  const NumberStatus status =
      Fit(IsNegative(a) != IsNegative(b), quotient, 29, !remainder.IsZero(), out);
  if (status == NumberStatus::Ok) DropTrailingZeros(out, natural);
  return status;
}

NumberStatus RoundDecimal(const Decimal& a, int digits, Decimal& out) {
  if (!Valid(a) || digits < 0 || digits > kDecimalMaxScale) return NumberStatus::Invalid;
  if (a.scale <= digits) {
    out = a;
    return NumberStatus::Ok;
  }
  const u128 mantissa = DivideRounded(Wide(a.mantissa), a.scale - digits, false).Low128();
  out = Decimal{a.negative && mantissa != 0, mantissa, static_cast<std::uint8_t>(digits)};
  return NumberStatus::Ok;
}

Decimal DecimalFromInt64(std::int64_t v) { return Decimal{v < 0, Magnitude(v), 0}; }

NumberStatus DecimalFromDouble(double v, Decimal& out) {
  if (std::isnan(v)) return NumberStatus::Invalid;
  if (std::isinf(v)) return NumberStatus::Overflow;
  if (v == 0) {
    out = Decimal();
    return NumberStatus::Ok;
  }
  char text[40];
  const auto written = std::to_chars(text, text + sizeof text, v, std::chars_format::scientific, 14);
  ParsedNumber parsed;
  ParseNumberText(std::string_view(text, static_cast<std::size_t>(written.ptr - text)), parsed);
  const NumberStatus status = Fit(parsed.negative, parsed.digits, -parsed.exponent, false, out);
  if (status == NumberStatus::Ok) DropTrailingZeros(out, 0);
  return status;
}

double DecimalToDouble(const Decimal& d) {
  static constexpr double kExactPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                            1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                            1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
  if (d.mantissa == 0) return 0.0;
  if (d.mantissa < (static_cast<u128>(1) << 53) && d.scale <= 22) {
    // Both operands are exact, so the one division rounds correctly.
    const double magnitude = static_cast<double>(d.mantissa) / kExactPowers[d.scale];
    return d.negative ? -magnitude : magnitude;
  }
  return NearestDouble(d.negative, d.mantissa, d.scale);
}

NumberStatus DecimalToInt64(const Decimal& d, std::int64_t& out) {
  if (!Valid(d)) return NumberStatus::Invalid;
  return SignedUnits(IsNegative(d), DivideRounded(Wide(d.mantissa), d.scale, false), out);
}

NumberStatus ParseCurrency(std::string_view text, std::int64_t& out) {
  ParsedNumber parsed;
  if (!ParseNumberText(text, parsed)) return NumberStatus::Invalid;
  if (parsed.digits.IsZero()) {
    out = 0;
    return NumberStatus::Ok;
  }
  const std::int64_t shift = parsed.exponent + 4;  // ten-thousandths
  if (shift >= 0) {
    // Nonzero digits raised by more than 10^19 are beyond 2^63.
    if (shift > 19) return NumberStatus::Overflow;
    Wide units;
    Wide::Multiply(parsed.digits, Wide::PowerOfTen(static_cast<int>(shift)), units);
    return SignedUnits(parsed.negative, units, out);
  }
  return SignedUnits(parsed.negative, DivideRounded(parsed.digits, -shift, parsed.sticky), out);
}

std::string CurrencyText(std::int64_t units, int minScale) {
  const std::uint64_t magnitude = Magnitude(units);
  std::string text = units < 0 ? "-" : "";
  text += std::to_string(magnitude / 10000);
  const auto fraction = static_cast<unsigned>(magnitude % 10000);
  const char decimals[4] = {static_cast<char>('0' + fraction / 1000), static_cast<char>('0' + fraction / 100 % 10),
                            static_cast<char>('0' + fraction / 10 % 10), static_cast<char>('0' + fraction % 10)};
  minScale = std::clamp(minScale, 0, 255);
  int shown = 4;
  while (shown > minScale && decimals[shown - 1] == '0') --shown;
  if (shown == 0 && minScale == 0) return text;
  text += '.';
  text.append(decimals, static_cast<std::size_t>(shown));
  if (minScale > 4) text.append(static_cast<std::size_t>(minScale - 4), '0');
  return text;
}

NumberStatus CurrencyFromDouble(double v, std::int64_t& out) {
  if (std::isnan(v)) return NumberStatus::Invalid;
  if (std::isinf(v)) return NumberStatus::Overflow;
  if (v == 0) {
    out = 0;
    return NumberStatus::Ok;
  }
  std::uint64_t m = 0;
  int exponent = 0;
  SplitDouble(v, m, exponent);
  // value * 10^4 = m * 10^4 * 2^exponent, with m * 10^4 below 2^67.
  u128 units = static_cast<u128>(m) * 10000;
  if (exponent >= 0) {
    if (exponent > 60) return NumberStatus::Overflow;
    units <<= exponent;
  } else if (-exponent > 68) {
    units = 0;  // below half a ten-thousandth
  } else {
    units = DivideRounded128(units, static_cast<u128>(1) << -exponent);
  }
  return SignedUnits(v < 0, Wide(units), out);
}

double CurrencyToDouble(std::int64_t units) {
  const std::uint64_t magnitude = Magnitude(units);
  if (magnitude < (std::uint64_t{1} << 53)) return static_cast<double>(units) / 10000.0;
  return NearestDouble(units < 0, magnitude, 4);
}

NumberStatus MultiplyCurrency(std::int64_t a, std::int64_t b, std::int64_t& out) {
  const u128 product = static_cast<u128>(Magnitude(a)) * Magnitude(b);  // below 2^126
  return SignedUnits((a < 0) != (b < 0), Wide(DivideRounded128(product, 10000)), out);
}

NumberStatus DivideCurrency(std::int64_t a, std::int64_t b, std::int64_t& out) {
  if (b == 0) return NumberStatus::DivideByZero;
  const u128 dividend = static_cast<u128>(Magnitude(a)) * 10000;
  return SignedUnits((a < 0) != (b < 0), Wide(DivideRounded128(dividend, Magnitude(b))), out);
}

NumberStatus CurrencyToInt64(std::int64_t units, std::int64_t& out) {
  return SignedUnits(units < 0, Wide(DivideRounded128(Magnitude(units), 10000)), out);
}

NumberStatus DecimalFromCurrency(std::int64_t units, Decimal& out) {
  out = Decimal{units < 0, Magnitude(units), 4};
  return NumberStatus::Ok;
}

NumberStatus CurrencyFromDecimal(const Decimal& d, std::int64_t& out) {
  if (!Valid(d)) return NumberStatus::Invalid;
  if (d.scale <= 4) return SignedUnits(IsNegative(d), Aligned(d, 4), out);
  return SignedUnits(IsNegative(d), DivideRounded(Wide(d.mantissa), d.scale - 4, false), out);
}

double RoundHalfEven(double v, int digits) {
  if (digits < 0 || digits > kDecimalMaxScale) return std::numeric_limits<double>::quiet_NaN();
  if (!std::isfinite(v) || v == 0) return v;
  std::uint64_t m = 0;
  int exponent = 0;
  SplitDouble(v, m, exponent);
  // v = m / 2^s has exactly s decimals, so nothing to round while s <= digits.
  const int s = -exponent;
  if (s <= digits) return v;
  // round(m * 10^digits / 2^s); m * 10^digits is below 2^146, half of 2^148.
  if (s >= 148) return 0.0;
  Wide scaled;
  Wide::Multiply(Wide(m), Wide::PowerOfTen(digits), scaled);
  const Wide divisor = PowerOfTwo(s);
  Wide quotient;
  Wide remainder;
  Wide::Divide(scaled, divisor, quotient, remainder);
  remainder.MultiplyAdd(2);
  const int half = Wide::Compare(remainder, divisor);
  if (half > 0 || (half == 0 && quotient.IsOdd())) quotient.Add(Wide(1));
  // The quotient is below 2^52 * 5^28 < 2^118.
  if (quotient.IsZero()) return 0.0;
  return NearestDouble(v < 0, quotient.Low128(), digits);
}

}  // namespace mdbodbc::sql
