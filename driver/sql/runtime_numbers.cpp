// Access's number functions as engine functions, with those of ODBC's {fn ...}: Abs, Sgn, Int,
// Fix and Round on every numeric type (Currency and Decimal exactly, a date as a date), the
// math of libm with Access's refusals (Sqr of a negative, Log of 0), Rnd as VBA generates it,
// and the conversions between numbers and their texts (Val, Str, Hex, Oct).
#include "access_dates.h"
#include "engine.h"
#include "math_library.h"
#include "runtime.h"
#include "runtime_arguments.h"

#include <sqlite3.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace mdbodbc::sql {
namespace {

// Floor of a double by libm's trunc, which the driver loads on demand.
double FloorOf(double v) {
  double t = std::trunc(v);
  return t > v ? t - 1 : t;
}

// The type a number function works in for a value of type `t`: numbers keep theirs (Yes/No is
// an Integer), dates and texts are Doubles (a date its stored day number).
Type WorkingType(const Type& t) {
  if (t.kind == JetType::Bool) return MakeType(JetType::Integer);
  if (IsNumeric(t.kind)) return t;
  return MakeType(JetType::Double);
}

// A number function of any numeric type, typed: `Op` on the argument in its working type, the
// result converted to the call's type (which fails when it does not fit: Abs of -32768 as an
// Integer).
template <bool (*Op)(const Variant&, Variant&, SqlError&)>
void NumberFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
  Variant in = TypedArgument(argv, 0);
  if (in.IsNull()) return;
  Variant number;
  SqlError error;
  if (!ConvertVariant(in, WorkingType(in.type), number, error)) return Raise(context, error);
  Variant out;
  if (!Op(number, out, error)) return Raise(context, error);
  ResultAs(context, out, ArgumentType(argv[argc - 1]));
}

unsigned __int128 PowerOfTen(int n) {
  unsigned __int128 p = 1;
  for (int i = 0; i < n; ++i) p *= 10;
  return p;
}

// A Decimal cut to whole numbers, toward negative infinity or toward zero.
Decimal WholePart(const Decimal& d, bool floor) {
  unsigned __int128 ten = PowerOfTen(d.scale);
  Decimal out;
  out.negative = d.negative;
  out.mantissa = d.mantissa / ten;
  if (floor && d.negative && d.mantissa % ten != 0) out.mantissa += 1;
  if (out.mantissa == 0) out.negative = false;
  return out;
}

template <bool Floor>
bool Whole(const Variant& in, Variant& out, SqlError&) {
  out = in;
  switch (in.type.kind) {
    case JetType::Single:
    case JetType::Double: out.real = Floor ? FloorOf(in.real) : std::trunc(in.real); return true;
    case JetType::Currency: {
      std::int64_t q = in.integer / 10000, r = in.integer % 10000;
      if (Floor && r < 0) --q;
      out.integer = q * 10000;
      return true;
    }
    case JetType::Decimal: out.decimal = WholePart(in.decimal, Floor); return true;
    default: return true;
  }
}

bool Absolute(const Variant& in, Variant& out, SqlError& error) {
  out = in;
  switch (in.type.kind) {
    case JetType::Single:
    case JetType::Double: out.real = std::fabs(in.real); return true;
    case JetType::Decimal: out.decimal.negative = false; return true;
    default:
      if (in.integer == std::numeric_limits<std::int64_t>::min()) {
        error = {"22003", "Abs: the value does not fit a " + TypeName(in.type) + " (numeric value out of range)"};
        return false;
      }
      out.integer = in.integer < 0 ? -in.integer : in.integer;
      return true;
  }
}

bool Sign(const Variant& in, Variant& out, SqlError&) {
  out = Variant{};
  out.type = MakeType(JetType::Integer);
  switch (in.type.kind) {
    case JetType::Single:
    case JetType::Double: out.integer = in.real > 0 ? 1 : in.real < 0 ? -1 : 0; break;
    case JetType::Decimal: out.integer = in.decimal.mantissa == 0 ? 0 : in.decimal.negative ? -1 : 1; break;
    default: out.integer = in.integer > 0 ? 1 : in.integer < 0 ? -1 : 0;
  }
  return true;
}

Variant Negated(const Variant& in) {
  Variant out = in;
  switch (in.type.kind) {
    case JetType::Single:
    case JetType::Double: out.real = -in.real; break;
    case JetType::Decimal: out.decimal.negative = !in.decimal.negative && in.decimal.mantissa != 0; break;
    default: out.integer = -in.integer;
  }
  return out;
}

bool Ceiling(const Variant& in, Variant& out, SqlError& error) {
  Variant floor;
  if (!Whole<true>(Negated(in), floor, error)) return false;
  out = Negated(floor);
  return true;
}

// ---- Rounding at a number of decimals ----

// A value in its working type as a Decimal (a double by its 15 significant digits).
bool AsDecimal(const Variant& v, Decimal& out) {
  switch (v.type.kind) {
    case JetType::Decimal: out = v.decimal; return true;
    case JetType::Currency: return DecimalFromCurrency(v.integer, out) == NumberStatus::Ok;
    case JetType::Single:
    case JetType::Double: return DecimalFromDouble(v.real, out) == NumberStatus::Ok;
    default: out = DecimalFromInt64(v.integer); return true;
  }
}

// Half to even (Round) or toward zero (TRUNCATE) at `digits` decimals; a negative count rounds
// to tens, hundreds, ...
NumberStatus ScaleDecimal(const Decimal& d, int digits, bool truncate, Decimal& out) {
  if (digits >= d.scale) {
    out = d;
    return NumberStatus::Ok;
  }
  int drop = d.scale - digits;  // digits to remove from the mantissa
  if (drop > 38) {
    out = Decimal{};
    return NumberStatus::Ok;
  }
  unsigned __int128 ten = PowerOfTen(drop);
  unsigned __int128 q = d.mantissa / ten, r = d.mantissa % ten;
  if (!truncate && (r * 2 > ten || (r * 2 == ten && q % 2 != 0))) ++q;
  out.negative = d.negative && q != 0;
  if (digits >= 0) {
    out.mantissa = q;
    out.scale = static_cast<std::uint8_t>(digits);
    return NumberStatus::Ok;
  }
  unsigned __int128 back = PowerOfTen(-digits);
  if (q != 0 && q > kDecimalMaxMantissa / back) return NumberStatus::Overflow;
  out.mantissa = q * back;
  out.scale = 0;
  return NumberStatus::Ok;
}

// Round(number [, digits]) and {fn ROUND}, {fn TRUNCATE}: typed number, digits (a Long), then
// the result's type. Access takes 0..28 decimals; ODBC's also negative ones.
enum class Rounding { Access, Odbc, Truncate };

template <Rounding Mode>
void RoundAt(sqlite3_context* context, int argc, sqlite3_value** argv) {
  const char* name = Mode == Rounding::Access ? "Round" : Mode == Rounding::Odbc ? "ROUND" : "TRUNCATE";
  std::int64_t digits = 0;
  if (argc == 4 && !LongArgument(context, argv[2], {name, "decimals"}, digits)) return;
  if (digits > 28 || (Mode == Rounding::Access && digits < 0) || digits < -28) {
    return InvalidArgument(context, std::string(name) + " takes " + (Mode == Rounding::Access ? "0" : "-28") +
                                        " to 28 decimals, not " + std::to_string(digits));
  }
  Variant in = TypedArgument(argv, 0);
  if (in.IsNull()) return;
  Type result = ArgumentType(argv[argc - 1]);
  Variant number;
  SqlError error;
  if (!ConvertVariant(in, WorkingType(in.type), number, error)) return Raise(context, error);
  int places = static_cast<int>(digits);
  bool real = number.type.kind == JetType::Single || number.type.kind == JetType::Double;
  if (real && Mode != Rounding::Truncate && places >= 0) {
    number.real = RoundHalfEven(number.real, places);
    return ResultAs(context, number, result);
  }
  if (real && !std::isfinite(number.real)) return ResultAs(context, number, result);
  Decimal exact, scaled;
  if (!AsDecimal(number, exact)) {
    // A double beyond every Decimal: whole at any place a Decimal has, rounded as a double.
    if (!real) return OutOfRange(context, std::string(name) + ": the value does not fit a Decimal");
    double unit = 1;
    for (int i = 0; i < -places; ++i) unit *= 10;
    double units = number.real / unit;
    number.real = (Mode == Rounding::Truncate ? std::trunc(units) : std::nearbyint(units)) * unit;
    return ResultAs(context, number, result);
  }
  if (ScaleDecimal(exact, places, Mode == Rounding::Truncate, scaled) != NumberStatus::Ok) {
    return OutOfRange(context, std::string(name) + ": the result does not fit");
  }
  Variant out;
  out.type = MakeType(JetType::Decimal);
  out.decimal = scaled;
  ResultAs(context, out, result);
}

// ---- Math ----

template <double (*F)(double)>
void Math(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  double x = sqlite3_value_double(argv[0]);
  double r = F(x);
  if (std::isnan(r)) {
    // Without the C math library the driver's own stand-ins answer "not a number" for every
    // argument: say that, rather than blame the argument.
    std::string problem;
    if (MathLibrary().Find<void*>("sin", problem) == nullptr) {
      return Raise(context, {"HY000", "the math library cannot be used: " + problem});
    }
    Variant shown;
    shown.type = MakeType(JetType::Double);
    shown.real = x;
    return InvalidArgument(context, "the function is not defined for " + VariantText(shown));
  }
  if (!std::isfinite(r)) return OutOfRange(context, "the result does not fit a Double");
  sqlite3_result_double(context, r);
}

constexpr double kPi = 3.14159265358979323846;
const double kNaN = std::numeric_limits<double>::quiet_NaN();

double Log(double x) { return x > 0 ? std::log(x) : kNaN; }
double Log10(double x) { return x > 0 ? std::log10(x) : kNaN; }
double Sqr(double x) { return x >= 0 ? std::sqrt(x) : kNaN; }
double Atn(double x) { return std::atan(x); }
double Sin(double x) { return std::sin(x); }
double Cos(double x) { return std::cos(x); }
double Tan(double x) { return std::tan(x); }
double Exp(double x) { return std::exp(x); }
double Acos(double x) { return x >= -1 && x <= 1 ? std::acos(x) : kNaN; }
double Asin(double x) { return x >= -1 && x <= 1 ? std::asin(x) : kNaN; }
double Degrees(double x) { return x * 180 / kPi; }
double Radians(double x) { return x * kPi / 180; }

// {fn COT(x)}: 1 / Tan(x); 0 has none.
void Cot(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  double t = std::tan(sqlite3_value_double(argv[0]));
  if (t == 0) return Raise(context, {"22012", "COT of 0 is a division by zero"});
  sqlite3_result_double(context, 1 / t);
}

// {fn ATAN2(x, y)}: the angle of the point (x, y), the arguments in the order the ODBC
// reference gives them (x first).
void Atan2(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  sqlite3_result_double(context, std::atan2(sqlite3_value_double(argv[1]), sqlite3_value_double(argv[0])));
}

void Pi(sqlite3_context* context, int, sqlite3_value**) { sqlite3_result_double(context, kPi); }

// ---- Rnd ----

// VBA's generator: a 24-bit state, x = (x * 0x43FD43FD + 0xC39EC3) mod 2^24, each number the
// state over 2^24. Every statement starts from VBA's first state, 0x50000. Rnd(n < 0) restarts
// the sequence from n's Single bits, Rnd(0) repeats the last number, Rnd() and Rnd(n > 0) give
// the next; {fn RAND(seed)} restarts it from the seed's low 24 bits.
//
// One generator per connection, shared by the Rnd and RAND calls of the statement that runs.
// Each call marks itself with data the engine keeps while the statement runs and drops when it
// ends: a call that finds no other call marked starts a new statement's sequence.
struct RandomSource {
  Engine* engine;
  std::uint32_t seed;
  int liveCalls;
};

struct CallMark {
  RandomSource* source;
};

constexpr std::uint32_t kVbaFirstSeed = 0x50000;

std::uint32_t NextState(std::uint32_t seed) { return (seed * 0x43FD43FDu + 0xC39EC3u) & 0xFFFFFFu; }

std::uint32_t SeedFromSingle(float n) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &n, sizeof bits);
  return (bits + (bits >> 24)) & 0xFFFFFFu;
}

void ForgetCall(void* mark) {
  auto* m = static_cast<CallMark*>(mark);
  --m->source->liveCalls;
  sqlite3_free(m);
}

// The connection's generator, restarted when this call begins a statement's sequence. The
// constant last argument (argument 1) carries the call's mark.
RandomSource* SourceOf(sqlite3_context* context) {
  auto* source = static_cast<RandomSource*>(sqlite3_user_data(context));
  if (sqlite3_get_auxdata(context, 1) == nullptr) {
    if (source->liveCalls == 0) source->seed = kVbaFirstSeed;
    auto* mark = static_cast<CallMark*>(sqlite3_malloc(sizeof(CallMark)));
    if (mark != nullptr) {
      mark->source = source;
      ++source->liveCalls;
      sqlite3_set_auxdata(context, 1, mark, ForgetCall);
    }
  }
  return source;
}

// jet_rnd(n, 0).
void Rnd(sqlite3_context* context, int, sqlite3_value** argv) {
  RandomSource* source = SourceOf(context);
  if (IsNullArgument(argv[0])) {
    if (source->engine != nullptr) source->engine->failureState = "22004";
    return sqlite3_result_error(context, "invalid use of Null: Rnd takes a number, not Null", -1);
  }
  auto n = static_cast<float>(sqlite3_value_double(argv[0]));
  if (n < 0) source->seed = SeedFromSingle(n);
  if (n != 0) source->seed = NextState(source->seed);
  sqlite3_result_double(context, static_cast<double>(static_cast<float>(source->seed) / 16777216.0f));
}

// jet_rand(seed, 0): {fn RAND([seed])}.
void Rand(sqlite3_context* context, int, sqlite3_value** argv) {
  RandomSource* source = SourceOf(context);
  if (!IsNullArgument(argv[0])) source->seed = static_cast<std::uint32_t>(sqlite3_value_int64(argv[0])) & 0xFFFFFFu;
  source->seed = NextState(source->seed);
  sqlite3_result_double(context, static_cast<double>(source->seed) / 16777216.0);
}

void DropSource(void* source) { delete static_cast<RandomSource*>(source); }

// ---- Numbers and their texts ----

// Hexadecimal (&H) and octal (&O, or & alone) digits as VBA reads them in Val: a value of 16
// bits is an Integer and one of 32 bits a Long, both with their sign (&HFFFF is -1).
bool RadixValue(std::string_view digits, int radix, double& out) {
  std::uint64_t value = 0;
  bool any = false;
  for (char c : digits) {
    int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : 99;
    if (d >= radix) break;
    value = value * static_cast<std::uint64_t>(radix) + static_cast<std::uint64_t>(d);
    if (value > 0xFFFFFFFFu) return false;
    any = true;
  }
  if (!any) {
    out = 0;
  } else if (value <= 0xFFFF) {
    out = static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
  } else {
    out = static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
  }
  return true;
}

// Val(text): the number the text starts with, blanks, tabs and line feeds anywhere ignored; 0
// when there is none.
void Val(sqlite3_context* context, int, sqlite3_value** argv) {
  if (IsNullArgument(argv[0])) return NullNotAllowed(context, "Val takes a text, not Null");
  std::string compact;
  for (char c : TextArgument(argv[0])) {
    if (c != ' ' && c != '\t' && c != '\n' && c != '\r') compact += c;
  }
  if (compact.size() >= 2 && compact[0] == '&') {
    char kind = compact[1];
    bool hex = kind == 'h' || kind == 'H';
    bool octal = kind == 'o' || kind == 'O';
    double value = 0;
    std::string_view digits = std::string_view(compact).substr(hex || octal ? 2 : 1);
    if (!RadixValue(digits, hex ? 16 : 8, value)) return OutOfRange(context, "Val: the number does not fit a Long");
    return sqlite3_result_double(context, value);
  }
  std::string number;
  bool point = false, exponent = false, any = false;
  for (std::size_t i = 0; i < compact.size(); ++i) {
    char c = compact[i];
    if (c >= '0' && c <= '9') {
      number += c;
      any = true;
    } else if ((c == '+' || c == '-') && (number.empty() || number.back() == 'e')) {
      number += c;
    } else if (c == '.' && !point && !exponent) {
      number += c;
      point = true;
    } else if ((c == 'e' || c == 'E' || c == 'd' || c == 'D') && any && !exponent) {
      number += 'e';
      exponent = true;
    } else {
      break;
    }
  }
  while (!number.empty() && (number.back() == 'e' || number.back() == '+' || number.back() == '-')) number.pop_back();
  double value = any ? std::strtod(number.c_str(), nullptr) : 0;
  if (!std::isfinite(value)) return OutOfRange(context, "Val: the number does not fit a Double");
  sqlite3_result_double(context, value);
}

// The value as a number, for Str, Hex and Oct: a text that holds one is read; another text is a
// type mismatch.
bool NumberArgument(sqlite3_context* context, const Variant& in, const char* function, Variant& out) {
  if (!IsTextual(in.type.kind)) {
    out = in;
    return true;
  }
  double value = 0;
  if (!ParseNumberText(in.text, value)) {
    Raise(context, {"22018", std::string(function) + ": '" + in.text + "' is not a number (type mismatch)"});
    return false;
  }
  out = Variant{};
  out.type = MakeType(JetType::Double);
  out.real = value;
  return true;
}

// Str(number): CStr's digits with a blank for the sign of a positive number and without the 0
// before a decimal point (" .5", "-.5"); typed.
void Str(sqlite3_context* context, int, sqlite3_value** argv) {
  Variant in = TypedArgument(argv, 0);
  if (in.IsNull()) return;
  Variant number;
  if (!NumberArgument(context, in, "Str", number)) return;
  std::string text = VariantText(number);
  bool numeric = IsNumeric(number.type.kind) && number.type.kind != JetType::Bool;
  if (numeric) {
    if (text.compare(0, 2, "0.") == 0) text.erase(0, 1);
    if (text.compare(0, 3, "-0.") == 0) text.erase(1, 1);
    if (text[0] != '-') text.insert(0, " ");
  }
  ResultText(context, text);
}

// Hex(number) and Oct(number), typed: the two's complement digits of a whole number in the
// width of its type (16 bits for Byte, Yes/No and Integer, 32 for Long, 64 for BigInt); any
// other value is rounded half to even to a Long first.
template <int Bits>
void Radix(sqlite3_context* context, int, sqlite3_value** argv) {
  const char* name = Bits == 4 ? "Hex" : "Oct";
  Variant in = TypedArgument(argv, 0);
  if (in.IsNull()) return;
  Variant number;
  if (!NumberArgument(context, in, name, number)) return;
  int width = 32;
  std::int64_t value = 0;
  switch (number.type.kind) {
    case JetType::Bool:
    case JetType::Byte:
    case JetType::Integer: width = 16; value = number.integer; break;
    case JetType::Long: value = number.integer; break;
    case JetType::BigInt: width = 64; value = number.integer; break;
    default:
      if (!WholeArgument(context, number, std::numeric_limits<std::int32_t>::min(),
                         std::numeric_limits<std::int32_t>::max(), {name, "number"}, value)) {
        return;
      }
  }
  std::uint64_t bits = static_cast<std::uint64_t>(value);
  if (width < 64) bits &= (std::uint64_t{1} << width) - 1;
  std::string digits;
  do {
    digits.insert(digits.begin(), "0123456789ABCDEF"[bits & ((1u << Bits) - 1)]);
    bits >>= Bits;
  } while (bits != 0);
  ResultText(context, digits);
}

// ---- Ranges and colors ----

// Partition(number, start, stop, interval): the range of `interval` numbers from `start` that
// holds `number`, as "lower:upper", both sides padded with blanks to the width of `stop` plus
// one; below `start` the lower side is blank, above `stop` the upper one.
void Partition(sqlite3_context* context, int, sqlite3_value** argv) {
  std::int64_t start = 0, stop = 0, interval = 0;
  if (!LongArgument(context, argv[1], {"Partition", "start"}, start) ||
      !LongArgument(context, argv[2], {"Partition", "stop"}, stop) ||
      !LongArgument(context, argv[3], {"Partition", "interval"}, interval)) {
    return;
  }
  if (start < 0 || stop <= start || interval < 1) {
    return InvalidArgument(context, "Partition takes 0 <= start < stop and an interval of 1 or more");
  }
  if (IsNullArgument(argv[0])) return;
  std::int64_t number = sqlite3_value_int64(argv[0]);
  const std::size_t width = std::to_string(stop).size() + 1;
  auto padded = [width](std::string text) { return std::string(width > text.size() ? width - text.size() : 0, ' ') + text; };
  std::string lower, upper;
  if (number < start) {
    upper = std::to_string(start - 1);
  } else if (number > stop) {
    lower = std::to_string(stop + 1);
  } else {
    std::int64_t from = start + (number - start) / interval * interval;
    std::int64_t to = from + interval - 1 < stop ? from + interval - 1 : stop;
    lower = std::to_string(from);
    upper = std::to_string(to);
  }
  ResultText(context, padded(lower) + ":" + padded(upper));
}

// RGB(red, green, blue): a color as a Long, red in the low byte; a part above 255 is 255.
void Rgb(sqlite3_context* context, int, sqlite3_value** argv) {
  static const char* const kParts[] = {"red", "green", "blue"};
  std::int64_t color = 0;
  for (int i = 2; i >= 0; --i) {
    std::int64_t part = 0;
    if (!LongArgument(context, argv[i], {"RGB", kParts[i]}, part)) return;
    if (part < 0) return InvalidArgument(context, std::string("RGB's ") + kParts[i] + " cannot be negative");
    color = color * 256 + (part > 255 ? 255 : part);
  }
  sqlite3_result_int64(context, color);
}

// QBColor(n): the RGB value of color 0..15 of QuickBASIC's palette.
void QBColor(sqlite3_context* context, int, sqlite3_value** argv) {
  static constexpr std::int64_t kPalette[16] = {0x000000, 0x800000, 0x008000, 0x808000, 0x000080, 0x800080,
                                                0x008080, 0xC0C0C0, 0x808080, 0xFF0000, 0x00FF00, 0xFFFF00,
                                                0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF};
  std::int64_t n = 0;
  if (!LongArgument(context, argv[0], {"QBColor", "color"}, n)) return;
  if (n < 0 || n > 15) return InvalidArgument(context, "QBColor takes a color from 0 to 15");
  sqlite3_result_int64(context, kPalette[n]);
}

const RuntimeFunction kNumbers[] = {
    {"jet_partition", 4, Partition, nullptr, nullptr, true},
    {"jet_rgb", 3, Rgb, nullptr, nullptr, true},
    {"jet_qbcolor", 1, QBColor, nullptr, nullptr, true},
    {"jet_abs", 3, NumberFunction<Absolute>, nullptr, nullptr, true},
    {"jet_int", 3, NumberFunction<Whole<true>>, nullptr, nullptr, true},
    {"jet_fix", 3, NumberFunction<Whole<false>>, nullptr, nullptr, true},
    {"jet_sgn", 3, NumberFunction<Sign>, nullptr, nullptr, true},
    {"jet_ceiling", 3, NumberFunction<Ceiling>, nullptr, nullptr, true},
    {"jet_round", 3, RoundAt<Rounding::Access>, nullptr, nullptr, true},
    {"jet_round", 4, RoundAt<Rounding::Access>, nullptr, nullptr, true},
    {"jet_odbc_round", 4, RoundAt<Rounding::Odbc>, nullptr, nullptr, true},
    {"jet_truncate", 4, RoundAt<Rounding::Truncate>, nullptr, nullptr, true},
    {"jet_math_atn", 1, Math<Atn>, nullptr, nullptr, true},
    {"jet_math_cos", 1, Math<Cos>, nullptr, nullptr, true},
    {"jet_math_sin", 1, Math<Sin>, nullptr, nullptr, true},
    {"jet_math_tan", 1, Math<Tan>, nullptr, nullptr, true},
    {"jet_math_exp", 1, Math<Exp>, nullptr, nullptr, true},
    {"jet_math_log", 1, Math<Log>, nullptr, nullptr, true},
    {"jet_math_log10", 1, Math<Log10>, nullptr, nullptr, true},
    {"jet_math_sqr", 1, Math<Sqr>, nullptr, nullptr, true},
    {"jet_math_acos", 1, Math<Acos>, nullptr, nullptr, true},
    {"jet_math_asin", 1, Math<Asin>, nullptr, nullptr, true},
    {"jet_math_degrees", 1, Math<Degrees>, nullptr, nullptr, true},
    {"jet_math_radians", 1, Math<Radians>, nullptr, nullptr, true},
    {"jet_math_cot", 1, Cot, nullptr, nullptr, true},
    {"jet_math_atan2", 2, Atan2, nullptr, nullptr, true},
    {"jet_pi", 0, Pi, nullptr, nullptr, true},
    {"jet_val", 1, Val, nullptr, nullptr, true},
    {"jet_str", 3, Str, nullptr, nullptr, true},
    {"jet_hex", 3, Radix<4>, nullptr, nullptr, true},
    {"jet_oct", 3, Radix<3>, nullptr, nullptr, true},
};

}  // namespace

std::span<const RuntimeFunction> NumberFunctions() { return kNumbers; }

bool RegisterRandom(sqlite3* db, Engine* engine) {
  using Scalar = void (*)(sqlite3_context*, int, sqlite3_value**);
  const std::pair<const char*, Scalar> functions[] = {{"jet_rnd", Rnd}, {"jet_rand", Rand}};
  for (auto [name, function] : functions) {
    auto* source = new RandomSource{engine, kVbaFirstSeed, 0};
    // The engine calls DropSource when it fails here too.
    if (sqlite3_create_function_v2(db, name, 2, SQLITE_UTF8 | SQLITE_INNOCUOUS, source, function, nullptr, nullptr,
                                   DropSource) != SQLITE_OK) {
      return false;
    }
  }
  return true;
}

}  // namespace mdbodbc::sql
