// Access's function library as engine functions: text (by characters, case-blind where Access
// compares text), numbers and dates. Each takes its arguments in the engine's form of the
// types the translator converted them to (function_library.cpp says which).
#include "access_dates.h"
#include "engine.h"
#include "math_library.h"
#include "runtime.h"

#include "jet/case_fold.h"

#include <sqlite3.h>

#include <clocale>
#include <cmath>
#include <ctime>
#include <cwctype>
#include <locale.h>
#include <string>

namespace mdbodbc::sql {
namespace {

bool AnyNull(int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return true;
  }
  return false;
}

void InvalidArgument(sqlite3_context* context, const std::string& what) {
  Raise(context, {"22023", what + " (invalid argument value)"});
}

// ---- Characters ----

// The characters of a UTF-8 text; a byte that starts no valid sequence is U+FFFD.
std::u32string Characters(sqlite3_value* value) {
  const auto* p = sqlite3_value_text(value);
  const auto* end = p + sqlite3_value_bytes(value);
  std::u32string out;
  out.reserve(static_cast<std::size_t>(end - p));
  while (p < end) {
    unsigned char lead = *p;
    int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || end - p < length) {
      out += U'\uFFFD';
      ++p;
      continue;
    }
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    bool valid = true;
    for (int i = 1; i < length; ++i) {
      if ((p[i] & 0xC0) != 0x80) valid = false;
      c = (c << 6) | (p[i] & 0x3F);
    }
    if (!valid) {
      out += U'\uFFFD';
      ++p;
      continue;
    }
    out += c;
    p += length;
  }
  return out;
}

std::string Utf8(std::u32string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char32_t c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

void ResultText(sqlite3_context* context, std::u32string_view text) {
  std::string utf8 = Utf8(text);
  sqlite3_result_text64(context, utf8.data(), utf8.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

char32_t Fold(char32_t c) { return c < 0x80 ? ((c >= 'A' && c <= 'Z') ? c + 32 : c) : jet::FoldCase(c); }

std::u32string Folded(std::u32string text) {
  for (char32_t& c : text) c = Fold(c);
  return text;
}

locale_t CaseLocale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return locale;
}

template <bool Upper>
void ChangeCase(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  std::u32string text = Characters(argv[0]);
  locale_t locale = CaseLocale();
  for (char32_t& c : text) {
    if (locale != static_cast<locale_t>(0)) {
      c = static_cast<char32_t>(Upper ? towupper_l(static_cast<wint_t>(c), locale) : towlower_l(static_cast<wint_t>(c), locale));
    }
  }
  ResultText(context, text);
}

// Left, Right: n characters; a negative n is an invalid argument.
template <bool FromRight>
void Ends(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  sqlite3_int64 n = sqlite3_value_int64(argv[1]);
  if (n < 0) return InvalidArgument(context, "a length cannot be negative");
  std::u32string text = Characters(argv[0]);
  auto keep = static_cast<std::size_t>(std::min<sqlite3_int64>(n, static_cast<sqlite3_int64>(text.size())));
  ResultText(context, FromRight ? std::u32string_view(text).substr(text.size() - keep) : std::u32string_view(text).substr(0, keep));
}

// Mid(text, start [, length]): from character `start` (1 the first).
void Mid(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  if (AnyNull(argc, argv)) return InvalidArgument(context, "Mid's start and length cannot be Null");
  sqlite3_int64 start = sqlite3_value_int64(argv[1]);
  if (start < 1) return InvalidArgument(context, "Mid's start must be 1 or more");
  sqlite3_int64 length = argc > 2 ? sqlite3_value_int64(argv[2]) : -1;
  if (argc > 2 && length < 0) return InvalidArgument(context, "Mid's length cannot be negative");
  std::u32string text = Characters(argv[0]);
  if (static_cast<std::size_t>(start) > text.size()) return ResultText(context, {});
  std::u32string_view rest = std::u32string_view(text).substr(static_cast<std::size_t>(start - 1));
  if (length >= 0 && static_cast<std::size_t>(length) < rest.size()) rest = rest.substr(0, static_cast<std::size_t>(length));
  ResultText(context, rest);
}

// Len of any value: the characters of its text.
void Len(sqlite3_context* context, int, sqlite3_value** argv) {
  Variant v = TypedArgument(argv, 0);
  if (v.IsNull()) return;
  std::string text = VariantText(v);
  sqlite3_int64 count = 0;
  for (unsigned char c : text) count += (c & 0xC0) != 0x80;
  sqlite3_result_int64(context, count);
}

template <bool Left, bool Right>
void TrimSpaces(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  std::u32string text = Characters(argv[0]);
  std::size_t begin = 0, end = text.size();
  if (Left) {
    while (begin < end && text[begin] == U' ') ++begin;
  }
  if (Right) {
    while (end > begin && text[end - 1] == U' ') --end;
  }
  ResultText(context, std::u32string_view(text).substr(begin, end - begin));
}

// The position of `needle` in `haystack` from `from` (0-based), or npos.
std::size_t Find(const std::u32string& haystack, const std::u32string& needle, std::size_t from, bool binary) {
  if (binary) return haystack.find(needle, from);
  return Folded(haystack).find(Folded(needle), from);
}

// InStr([start,] text, search [, compare]): typed arguments, then the result's type code.
void InStr(sqlite3_context* context, int argc, sqlite3_value** argv) {
  int n = (argc - 1) / 2;  // the arguments given
  int at = 0;
  sqlite3_int64 start = 1;
  if (n >= 3) {
    Variant s = TypedArgument(argv, 0);
    if (s.IsNull()) return InvalidArgument(context, "InStr's start cannot be Null");
    Variant whole;
    SqlError error;
    if (!ConvertVariant(s, MakeType(JetType::Long), whole, error)) return Raise(context, error);
    start = whole.integer;
    if (start < 1) return InvalidArgument(context, "InStr's start must be 1 or more");
    at = 2;
  }
  Variant text = TypedArgument(argv, at);
  Variant search = TypedArgument(argv, at + 2);
  bool binary = false;
  if (n == 4) {
    Variant compare = TypedArgument(argv, 6);
    Variant mode;
    SqlError error;
    if (!compare.IsNull() && !ConvertVariant(compare, MakeType(JetType::Long), mode, error)) return Raise(context, error);
    binary = !compare.IsNull() && mode.integer == 0;
  }
  if (text.IsNull() || search.IsNull()) return;
  std::u32string haystack = Characters(argv[at]);
  std::string searchText = VariantText(search);
  std::string haystackText = VariantText(text);
  sqlite3_value* dummy = nullptr;
  (void)dummy;
  // Both as characters of their text forms.
  auto chars = [](const std::string& s) {
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) {
      unsigned char lead = static_cast<unsigned char>(s[i]);
      int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 1;
      if (i + static_cast<std::size_t>(length) > s.size()) length = 1;
      char32_t c = length == 1 ? lead : lead & (0x7F >> length);
      for (int k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]) & 0x3F);
      out += c;
      i += static_cast<std::size_t>(length);
    }
    return out;
  };
  haystack = chars(haystackText);
  std::u32string needle = chars(searchText);
  if (static_cast<std::size_t>(start) > haystack.size() + (needle.empty() ? 1 : 0)) return sqlite3_result_int64(context, 0);
  if (needle.empty()) return sqlite3_result_int64(context, start);
  std::size_t found = Find(haystack, needle, static_cast<std::size_t>(start - 1), binary);
  sqlite3_result_int64(context, found == std::u32string::npos ? 0 : static_cast<sqlite3_int64>(found) + 1);
}

// Replace(text, find, with [, start [, count [, compare]]]): what is left from `start` on,
// with `count` replacements (-1 all), case-blind unless compare is 0.
void Replace(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return;
  for (int i = 1; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return InvalidArgument(context, "Replace's arguments cannot be Null");
  }
  std::u32string text = Characters(argv[0]);
  std::u32string find = Characters(argv[1]);
  std::u32string with = Characters(argv[2]);
  sqlite3_int64 start = argc > 3 ? sqlite3_value_int64(argv[3]) : 1;
  sqlite3_int64 count = argc > 4 ? sqlite3_value_int64(argv[4]) : -1;
  bool binary = argc > 5 && sqlite3_value_int64(argv[5]) == 0;
  if (start < 1) return InvalidArgument(context, "Replace's start must be 1 or more");
  if (count < -1) return InvalidArgument(context, "Replace's count must be -1 or more");
  if (static_cast<std::size_t>(start) > text.size()) return ResultText(context, {});
  text.erase(0, static_cast<std::size_t>(start - 1));
  if (find.empty() || count == 0) return ResultText(context, text);
  std::u32string folded = binary ? text : Folded(text);
  std::u32string target = binary ? find : Folded(find);
  std::u32string out;
  std::size_t at = 0;
  for (sqlite3_int64 done = 0; count < 0 || done < count; ++done) {
    std::size_t found = folded.find(target, at);
    if (found == std::u32string::npos) break;
    out.append(text, at, found - at);
    out += with;
    at = found + find.size();
  }
  out.append(text, at, std::u32string::npos);
  ResultText(context, out);
}

void Space(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  sqlite3_int64 n = sqlite3_value_int64(argv[0]);
  if (n < 0) return InvalidArgument(context, "Space takes a count of 0 or more");
  sqlite3* db = sqlite3_context_db_handle(context);
  if (n > sqlite3_limit(db, SQLITE_LIMIT_LENGTH, -1)) return sqlite3_result_error_toobig(context);
  std::string spaces(static_cast<std::size_t>(n), ' ');
  sqlite3_result_text64(context, spaces.data(), spaces.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

// StrComp(a, b [, compare]): -1, 0 or 1; case-blind unless compare is 0.
void StrComp(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) return;
  bool binary = argc > 2 && sqlite3_value_type(argv[2]) != SQLITE_NULL && sqlite3_value_int64(argv[2]) == 0;
  std::u32string a = Characters(argv[0]);
  std::u32string b = Characters(argv[1]);
  int order = binary ? a.compare(b) : Folded(a).compare(Folded(b));
  sqlite3_result_int(context, order < 0 ? -1 : order > 0 ? 1 : 0);
}

// Windows-1252 for Chr's 128..159; other codes are Unicode.
char32_t FromAnsi(sqlite3_int64 code) {
  static constexpr char16_t k1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                         0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                         0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                         0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
  if (code >= 128 && code < 160) return k1252[code - 128];
  return static_cast<char32_t>(code);
}

void Chr(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return InvalidArgument(context, "Chr takes a character code, not Null");
  sqlite3_int64 code = sqlite3_value_int64(argv[0]);
  if (code >= -32768 && code < 0) code += 65536;
  if (code < 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF && code > 0xFFFF)) {
    return InvalidArgument(context, "Chr takes a character code from -32768 to 1114111");
  }
  char32_t c = FromAnsi(code);
  ResultText(context, std::u32string_view(&c, 1));
}

void Asc(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return InvalidArgument(context, "Asc takes a text, not Null");
  std::u32string text = Characters(argv[0]);
  if (text.empty()) return InvalidArgument(context, "Asc takes a text of one character or more");
  sqlite3_result_int64(context, static_cast<sqlite3_int64>(text[0]));
}

// Val: the number a text starts with, blanks anywhere ignored; 0 when none.
void Val(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
  std::string digits;
  bool point = false, exponent = false, any = false;
  for (; *p != '\0'; ++p) {
    char c = *p;
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
    if (c >= '0' && c <= '9') {
      digits += c;
      any = true;
    } else if ((c == '+' || c == '-') && (digits.empty() || digits.back() == 'e')) {
      digits += c;
    } else if (c == '.' && !point && !exponent) {
      digits += c;
      point = true;
    } else if ((c == 'e' || c == 'E' || c == 'd' || c == 'D') && any && !exponent) {
      digits += 'e';
      exponent = true;
    } else {
      break;
    }
  }
  while (!digits.empty() && (digits.back() == 'e' || digits.back() == '+' || digits.back() == '-')) digits.pop_back();
  double value = digits.empty() || !any ? 0 : std::strtod(digits.c_str(), nullptr);
  if (!std::isfinite(value)) return Raise(context, {"22003", "Val: the number does not fit a Double"});
  sqlite3_result_double(context, value);
}

// {fn LENGTH(text)}: the characters without trailing blanks.
void OdbcLength(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  std::u32string text = Characters(argv[0]);
  std::size_t end = text.size();
  while (end > 0 && text[end - 1] == U' ') --end;
  sqlite3_result_int64(context, static_cast<sqlite3_int64>(end));
}

// {fn LOCATE(search, text [, start])}: 1-based, 0 when absent.
void Locate(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  std::u32string needle = Characters(argv[0]);
  std::u32string haystack = Characters(argv[1]);
  sqlite3_int64 start = argc == 3 ? sqlite3_value_int64(argv[2]) : 1;
  if (start < 1) start = 1;
  if (static_cast<std::size_t>(start) > haystack.size() + 1) return sqlite3_result_int64(context, 0);
  std::size_t found = Find(haystack, needle, static_cast<std::size_t>(start - 1), false);
  sqlite3_result_int64(context, found == std::u32string::npos ? 0 : static_cast<sqlite3_int64>(found) + 1);
}

// ---- Numbers ----

// A number function of any numeric type: `op` on a Variant of the argument's type, the result
// converted to the call's type.
template <bool (*Op)(const Variant&, Variant&, SqlError&)>
void NumberFunction(sqlite3_context* context, int argc, sqlite3_value** argv) {
  Variant in = TypedArgument(argv, 0);
  if (in.IsNull()) return;
  Variant number;
  SqlError error;
  Type target = in.type;
  if (!IsNumeric(target.kind)) target = MakeType(JetType::Double);
  if (target.kind == JetType::Bool) target = MakeType(JetType::Integer);
  if (!ConvertVariant(in, target, number, error)) return Raise(context, error);
  Variant out;
  if (!Op(number, out, error)) return Raise(context, error);
  ResultAs(context, out, ArgumentType(argv[argc - 1]));
}

// Floor division of a Decimal by 10^scale, toward negative or zero.
Decimal WholePart(const Decimal& d, bool floor) {
  unsigned __int128 ten = 1;
  for (int i = 0; i < d.scale; ++i) ten *= 10;
  Decimal out;
  out.negative = d.negative;
  out.mantissa = d.mantissa / ten;
  if (floor && d.negative && d.mantissa % ten != 0) out.mantissa += 1;
  if (out.mantissa == 0) out.negative = false;
  return out;
}

template <bool Floor>
bool Whole(const Variant& in, Variant& out, SqlError& error) {
  out = in;
  switch (in.type.kind) {
    case JetType::Single:
    case JetType::Double: out.real = Floor ? std::floor(in.real) : std::trunc(in.real); return true;
    case JetType::Currency: {
      std::int64_t q = in.integer / 10000, r = in.integer % 10000;
      if (Floor && r < 0) --q;
      out.integer = q * 10000;
      return true;
    }
    case JetType::Decimal: out.decimal = WholePart(in.decimal, Floor); return true;
    default: (void)error; return true;
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
        error = {"22003", "Abs: the value does not fit"};
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

bool Ceiling(const Variant& in, Variant& out, SqlError& error) {
  Variant negated = in;
  switch (in.type.kind) {
    case JetType::Single:
    case JetType::Double: negated.real = -in.real; break;
    case JetType::Decimal: negated.decimal.negative = !in.decimal.negative && in.decimal.mantissa != 0; break;
    default: negated.integer = -in.integer;
  }
  if (!Whole<true>(negated, out, error)) return false;
  switch (out.type.kind) {
    case JetType::Single:
    case JetType::Double: out.real = -out.real; break;
    case JetType::Decimal: out.decimal.negative = !out.decimal.negative && out.decimal.mantissa != 0; break;
    default: out.integer = -out.integer;
  }
  return true;
}

// Round(number [, digits]): half to even; typed number, digits, then the result's code.
void Round(sqlite3_context* context, int argc, sqlite3_value** argv) {
  Variant in = TypedArgument(argv, 0);
  if (in.IsNull()) return;
  sqlite3_int64 digits = argc == 4 ? sqlite3_value_int64(argv[2]) : 0;
  if (digits < 0 || digits > 28) return InvalidArgument(context, "Round takes 0 to 28 decimals");
  Type result = ArgumentType(argv[argc - 1]);
  Variant number;
  SqlError error;
  Type target = IsNumeric(in.type.kind) && in.type.kind != JetType::Bool ? in.type : MakeType(JetType::Double);
  if (!ConvertVariant(in, target, number, error)) return Raise(context, error);
  switch (number.type.kind) {
    case JetType::Single:
    case JetType::Double: number.real = RoundHalfEven(number.real, static_cast<int>(digits)); break;
    case JetType::Currency: {
      if (digits < 4) {
        Decimal d;
        DecimalFromCurrency(number.integer, d);
        Decimal r;
        RoundDecimal(d, static_cast<int>(digits), r);
        CurrencyFromDecimal(r, number.integer);
      }
      break;
    }
    case JetType::Decimal: {
      Decimal r;
      if (RoundDecimal(number.decimal, static_cast<int>(digits), r) != NumberStatus::Ok) {
        return InvalidArgument(context, "Round takes 0 to 28 decimals");
      }
      number.decimal = r;
      break;
    }
    default: break;
  }
  ResultAs(context, number, result);
}

// The C math library's function `Name` of one argument, found at its first call: when libm
// cannot be had, the call fails saying so and the host goes on.
template <const char* Display, const char* Name, bool (*Defined)(double)>
void Math(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  using Function = double (*)(double);
  static const std::pair<Function, std::string> found = [] {
    std::string problem;
    Function f = MathLibrary().Find<Function>(Name, problem);
    return std::make_pair(f, problem);
  }();
  if (found.first == nullptr) {
    return Raise(context, {"HY000", std::string(Display) + " cannot be computed: " + found.second});
  }
  double x = sqlite3_value_double(argv[0]);
  if (!Defined(x)) return InvalidArgument(context, std::string(Display) + " is not defined for " + std::to_string(x));
  double r = found.first(x);
  if (!std::isfinite(r)) return Raise(context, {"22003", std::string(Display) + ": the result does not fit a Double"});
  sqlite3_result_double(context, r);
}

bool Always(double) { return true; }
bool Positive(double x) { return x > 0; }
bool NotNegative(double x) { return x >= 0; }

constexpr char kAtn[] = "Atn", kAtan[] = "atan", kSin[] = "Sin", kSinC[] = "sin", kCos[] = "Cos", kCosC[] = "cos",
               kTan[] = "Tan", kTanC[] = "tan", kExp[] = "Exp", kExpC[] = "exp", kLog[] = "Log", kLogC[] = "log",
               kLog10[] = "LOG10", kLog10C[] = "log10", kSqr[] = "Sqr", kSqrt[] = "sqrt";

// ---- Dates ----

// Now (0), Date (1) and Time (2), in local time, to the second.
void Now(sqlite3_context* context, int argc, sqlite3_value** argv) {
  int part = argc > 0 ? sqlite3_value_int(argv[0]) : 0;
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  DateParts p{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, 0};
  if (part == 1) p.hour = p.minute = p.second = 0;
  std::optional<double> value = LinearFromParts(p);
  if (!value) return;
  double v = *value;
  if (part == 2) v -= std::floor(v);
  sqlite3_result_double(context, v);
}

template <int DateParts::*Field>
void DatePart(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  std::optional<DateParts> p = SplitLinear(sqlite3_value_double(argv[0]));
  if (!p) return Raise(context, {"22008", "the date lies outside 0100-01-01..9999-12-31"});
  sqlite3_result_int(context, (*p).*Field);
}

const RuntimeFunction kLibrary[] = {
    {"jet_ucase", 1, ChangeCase<true>, nullptr, nullptr, true},
    {"jet_lcase", 1, ChangeCase<false>, nullptr, nullptr, true},
    {"jet_left", 2, Ends<false>, nullptr, nullptr, true},
    {"jet_right", 2, Ends<true>, nullptr, nullptr, true},
    {"jet_mid", 2, Mid, nullptr, nullptr, true},
    {"jet_mid", 3, Mid, nullptr, nullptr, true},
    {"jet_len", 3, Len, nullptr, nullptr, true},
    {"jet_trim", 1, TrimSpaces<true, true>, nullptr, nullptr, true},
    {"jet_ltrim", 1, TrimSpaces<true, false>, nullptr, nullptr, true},
    {"jet_rtrim", 1, TrimSpaces<false, true>, nullptr, nullptr, true},
    {"jet_instr", -1, InStr, nullptr, nullptr, true},
    {"jet_replace", -1, Replace, nullptr, nullptr, true},
    {"jet_space", 1, Space, nullptr, nullptr, true},
    {"jet_strcomp", -1, StrComp, nullptr, nullptr, true},
    {"jet_chr", 1, Chr, nullptr, nullptr, true},
    {"jet_asc", 1, Asc, nullptr, nullptr, true},
    {"jet_val", 1, Val, nullptr, nullptr, true},
    {"jet_odbc_length", 1, OdbcLength, nullptr, nullptr, true},
    {"jet_locate", -1, Locate, nullptr, nullptr, true},
    {"jet_abs", 3, NumberFunction<Absolute>, nullptr, nullptr, true},
    {"jet_int", 3, NumberFunction<Whole<true>>, nullptr, nullptr, true},
    {"jet_fix", 3, NumberFunction<Whole<false>>, nullptr, nullptr, true},
    {"jet_sgn", 3, NumberFunction<Sign>, nullptr, nullptr, true},
    {"jet_ceiling", 3, NumberFunction<Ceiling>, nullptr, nullptr, true},
    {"jet_round", -1, Round, nullptr, nullptr, true},
    {"jet_math_atn", 1, Math<kAtn, kAtan, Always>, nullptr, nullptr, true},
    {"jet_math_cos", 1, Math<kCos, kCosC, Always>, nullptr, nullptr, true},
    {"jet_math_sin", 1, Math<kSin, kSinC, Always>, nullptr, nullptr, true},
    {"jet_math_tan", 1, Math<kTan, kTanC, Always>, nullptr, nullptr, true},
    {"jet_math_exp", 1, Math<kExp, kExpC, Always>, nullptr, nullptr, true},
    {"jet_math_log", 1, Math<kLog, kLogC, Positive>, nullptr, nullptr, true},
    {"jet_math_log10", 1, Math<kLog10, kLog10C, Positive>, nullptr, nullptr, true},
    {"jet_math_sqr", 1, Math<kSqr, kSqrt, NotNegative>, nullptr, nullptr, true},
    {"jet_now", 1, Now, nullptr, nullptr, false},
    {"jet_year", 1, DatePart<&DateParts::year>, nullptr, nullptr, true},
    {"jet_month", 1, DatePart<&DateParts::month>, nullptr, nullptr, true},
    {"jet_day", 1, DatePart<&DateParts::day>, nullptr, nullptr, true},
    {"jet_hour", 1, DatePart<&DateParts::hour>, nullptr, nullptr, true},
    {"jet_minute", 1, DatePart<&DateParts::minute>, nullptr, nullptr, true},
    {"jet_second", 1, DatePart<&DateParts::second>, nullptr, nullptr, true},
};

}  // namespace

std::span<const RuntimeFunction> LibraryFunctions() { return kLibrary; }

}  // namespace mdbodbc::sql
