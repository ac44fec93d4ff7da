// The C math functions, loaded on first use. SQLite's SQL math functions (sin(), pow(), ...) and
// a few conversions are the driver's only users of libm, and mapping libm at every load of the
// driver cost a short run of a client more than any other library the driver needs
// (bench/driver_first_rows.sh times such runs). These definitions stand in for libm's in the
// driver's own link, stay inside the driver (its version script exports nothing else), and hand
// each call to libm's function, found the first time it is called.
//
// Built only when SQLite is linked into the driver; a shared libsqlite3 brings libm itself.
#include "sql/math_library.h"

#include <bit>
#include <cfenv>
#include <cstdint>
#include <limits>
#include <string>

namespace {

// The SQL math functions take libm themselves and fail as SQL errors when it is missing (see
// sql/math_functions.cpp); what reaches these stand-ins is the engine's and the C++ runtime's
// own use. Without libm they answer "not a number", which the engine turns into NULL, and never
// stop the host process.
void* FindMath(const char* name) {
  std::string problem;
  return mdbodbc::sql::MathLibrary().Find<void*>(name, problem);
}

}  // namespace

#define DRAVON_MATH_1(name)                                                                  \
  extern "C" double name(double x) {                                                         \
    static const auto real = reinterpret_cast<double (*)(double)>(FindMath(#name));          \
    return real != nullptr ? real(x) : std::numeric_limits<double>::quiet_NaN();             \
  }
#define DRAVON_MATH_2(name)                                                                  \
  extern "C" double name(double x, double y) {                                               \
    static const auto real = reinterpret_cast<double (*)(double, double)>(FindMath(#name));  \
    return real != nullptr ? real(x, y) : std::numeric_limits<double>::quiet_NaN();          \
  }

DRAVON_MATH_1(acos)
DRAVON_MATH_1(acosh)
DRAVON_MATH_1(asin)
DRAVON_MATH_1(asinh)
DRAVON_MATH_1(atan)
DRAVON_MATH_1(atanh)
DRAVON_MATH_1(cos)
DRAVON_MATH_1(cosh)
DRAVON_MATH_1(exp)
DRAVON_MATH_1(log)
DRAVON_MATH_1(log10)
DRAVON_MATH_1(nearbyint)
DRAVON_MATH_1(sin)
DRAVON_MATH_1(sinh)
DRAVON_MATH_1(sqrt)
DRAVON_MATH_1(tan)
DRAVON_MATH_1(tanh)
DRAVON_MATH_1(trunc)
DRAVON_MATH_2(atan2)
DRAVON_MATH_2(fmod)
DRAVON_MATH_2(pow)

// Without libm: half away from zero, as llround rounds; a value beyond the range, as libm's.
extern "C" long long llround(double x) {
  static const auto real = reinterpret_cast<long long (*)(double)>(FindMath("llround"));
  if (real != nullptr) return real(x);
  const double limit = 9223372036854775808.0;  // 2^63
  if (!(x > -limit && x < limit)) return std::numeric_limits<long long>::min();
  const double magnitude = x < 0 ? -x : x;
  auto whole = static_cast<long long>(magnitude);
  if (magnitude - static_cast<double>(whole) >= 0.5) ++whole;
  return x < 0 ? -whole : whole;
}

// Without libm the rounding mode is taken as the one a process starts with, and cannot change.
extern "C" int fegetround() noexcept {
  static const auto real = reinterpret_cast<int (*)()>(FindMath("fegetround"));
  return real != nullptr ? real() : FE_TONEAREST;
}

extern "C" int fesetround(int mode) noexcept {
  static const auto real = reinterpret_cast<int (*)(int)>(FindMath("fesetround"));
  if (real != nullptr) return real(mode);
  return mode == FE_TONEAREST ? 0 : 1;
}

// The neighbours of a floating-point number need no table or series: the next representable
// value is the next bit pattern, so these are exact without libm and never load it.
namespace {

template <typename Real, typename Bits>
Real Neighbour(Real x, Real y) {
  if (x != x || y != y) return x + y;  // a NaN
  if (x == y) return y;
  if (x == 0) return y > 0 ? std::numeric_limits<Real>::denorm_min() : -std::numeric_limits<Real>::denorm_min();
  Bits bits = std::bit_cast<Bits>(x);
  if ((x < y) == (x > 0)) {
    ++bits;
  } else {
    --bits;
  }
  return std::bit_cast<Real>(bits);
}

}  // namespace

extern "C" double nextafter(double x, double y) noexcept { return Neighbour<double, std::uint64_t>(x, y); }
extern "C" float nextafterf(float x, float y) noexcept { return Neighbour<float, std::uint32_t>(x, y); }
