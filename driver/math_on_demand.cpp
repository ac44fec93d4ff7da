// The C math functions, loaded on first use. SQLite's SQL math functions (sin(), pow(), ...) and
// a few conversions are the driver's only users of libm, and mapping libm at every load of the
// driver cost a short run of a client about 0.14 ms, more than any other library the driver
// needs. These definitions stand in for libm's in the driver's own link, stay inside the driver
// (its version script exports nothing else), and hand each call to libm's function, found the
// first time it is called.
//
// Built only when SQLite is linked into the driver; a shared libsqlite3 brings libm itself.
#include "jet/loaded_library.h"

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// libm is part of the C library's installation: a process without it cannot compute what it
// was asked, and a wrong number would be worse than stopping.
void* FindMath(const char* name) {
  static const jet::LoadedLibrary library("libm.so.6");
  std::string problem;
  void* function = library.Find<void*>(name, problem);
  if (function == nullptr) {
    std::fprintf(stderr, "mdbodbc: cannot load %s: %s\n", name, problem.c_str());
    std::abort();
  }
  return function;
}

}  // namespace

#define DRAVON_MATH_1(name)                                                             \
  extern "C" double name(double x) {                                                    \
    static const auto real = reinterpret_cast<double (*)(double)>(FindMath(#name));     \
    return real(x);                                                                     \
  }
#define DRAVON_MATH_2(name)                                                                  \
  extern "C" double name(double x, double y) {                                               \
    static const auto real = reinterpret_cast<double (*)(double, double)>(FindMath(#name));  \
    return real(x, y);                                                                       \
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
DRAVON_MATH_1(sin)
DRAVON_MATH_1(sinh)
DRAVON_MATH_1(sqrt)
DRAVON_MATH_1(tan)
DRAVON_MATH_1(tanh)
DRAVON_MATH_1(trunc)
DRAVON_MATH_2(atan2)
DRAVON_MATH_2(fmod)
DRAVON_MATH_2(pow)

extern "C" long long llround(double x) {
  static const auto real = reinterpret_cast<long long (*)(double)>(FindMath("llround"));
  return real(x);
}

extern "C" int fegetround() {
  static const auto real = reinterpret_cast<int (*)()>(FindMath("fegetround"));
  return real();
}

extern "C" int fesetround(int mode) {
  static const auto real = reinterpret_cast<int (*)(int)>(FindMath("fesetround"));
  return real(mode);
}
