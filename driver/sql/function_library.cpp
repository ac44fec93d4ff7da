#include "function_library.h"

#include "allowed_functions.h"

#include <algorithm>
#include <array>
#include <string>

namespace mdbodbc::sql {
namespace {

// ---- Result types ----

template <JetType Kind>
bool Fixed(std::span<const Type>, Type& result, std::string&) {
  result = MakeType(Kind);
  return true;
}

// The first argument's type (Null stays Null).
bool SameAsFirst(std::span<const Type> args, Type& result, std::string&) {
  result = args.empty() ? MakeType(JetType::Null) : args[0];
  if (result.kind == JetType::Unknown) result = MakeType(JetType::Text);
  return true;
}

// A number of the first argument's type; text is read as a Double, a date as its day number.
bool NumberOfFirst(std::span<const Type> args, Type& result, std::string& error) {
  const Type& t = args[0];
  if (IsBinary(t.kind) || t.kind == JetType::Guid) {
    error = "it takes a number, not " + TypeName(t);
    return false;
  }
  if (t.kind == JetType::Bool) {
    result = MakeType(JetType::Integer);
  } else if (IsNumeric(t.kind) || t.kind == JetType::Null) {
    result = t;
  } else {
    result = MakeType(JetType::Double);
  }
  return true;
}

// Text, or Memo when the first argument is a Memo.
bool TextOfFirst(std::span<const Type> args, Type& result, std::string&) {
  result = MakeType(!args.empty() && args[0].kind == JetType::Memo ? JetType::Memo : JetType::Text);
  return true;
}

// The type that holds every argument from `first` on, stepping by `step`.
template <std::size_t First, std::size_t Step>
bool CommonOf(std::span<const Type> args, Type& result, std::string&) {
  result = MakeType(JetType::Null);
  for (std::size_t i = First; i < args.size(); i += Step) result = CommonType(result, args[i]);
  return true;
}

// Switch(condition, value, ...): the values are the odd arguments.
bool SwitchType(std::span<const Type> args, Type& result, std::string& error) {
  if (args.size() % 2 != 0) {
    error = "it takes pairs of a condition and a value";
    return false;
  }
  return CommonOf<1, 2>(args, result, error);
}

// Sum: whole numbers add up in a Long (a BigInt stays one), Currency and Decimal stay exact,
// other numbers in a Double.
bool SumType(std::span<const Type> args, Type& result, std::string& error) {
  const Type& t = args[0];
  switch (t.kind) {
    case JetType::Bool:
    case JetType::Byte:
    case JetType::Integer:
    case JetType::Long: result = MakeType(JetType::Long); return true;
    case JetType::BigInt:
    case JetType::Currency:
    case JetType::Decimal:
    case JetType::DateTime:
    case JetType::Null: result = t; return true;
    default:
      if (IsBinary(t.kind) || t.kind == JetType::Guid) {
        error = "it adds numbers, not " + TypeName(t);
        return false;
      }
      result = MakeType(JetType::Double);
      return true;
  }
}

bool AvgType(std::span<const Type> args, Type& result, std::string& error) {
  const Type& t = args[0];
  if (t.kind == JetType::Currency || t.kind == JetType::Decimal || t.kind == JetType::DateTime) {
    result = t;
    return true;
  }
  if (IsBinary(t.kind) || t.kind == JetType::Guid) {
    error = "it averages numbers, not " + TypeName(t);
    return false;
  }
  result = MakeType(JetType::Double);
  return true;
}

// Int, Fix, Abs, Round keep a number's type; a text or date is read as a Double.
bool RoundingType(std::span<const Type> args, Type& result, std::string& error) {
  return NumberOfFirst(args, result, error);
}

// ---- Engine SQL ----

std::string Join(const std::vector<std::string>& parts) {
  std::string s;
  for (const std::string& p : parts) s += (s.empty() ? "" : ", ") + p;
  return s;
}

// The engine function `name` over the arguments converted to `types` (the last type repeats).
std::string EngineCall(const CallSite& call, std::string_view name, std::initializer_list<JetType> types) {
  std::vector<std::string> args;
  std::vector<JetType> wanted(types);
  for (std::size_t i = 0; i < call.args.size(); ++i) {
    JetType t = wanted.empty() ? JetType::Unknown : wanted[std::min(i, wanted.size() - 1)];
    args.push_back(t == JetType::Unknown ? call.args[i] : call.Arg(i, MakeType(t)));
  }
  return std::string(name) + "(" + Join(args) + ")";
}

// Arguments of any type go with their type's code, so that the engine reads them right.
std::string TypedArg(const CallSite& call, std::size_t i) {
  return call.args[i] + ", " + std::to_string(TypeCode(call.argTypes[i]));
}

std::string Typed(const CallSite& call, std::string_view name, std::size_t typedArgs = 1) {
  std::string sql = std::string(name) + "(";
  for (std::size_t i = 0; i < call.args.size(); ++i) {
    if (i > 0) sql += ", ";
    sql += i < typedArgs ? TypedArg(call, i) : call.args[i];
  }
  return sql + ", " + std::to_string(TypeCode(call.result)) + ")";
}

#define ENGINE(name, ...) [](const CallSite& c) { return EngineCall(c, name, {__VA_ARGS__}); }
#define TYPED(name, n) [](const CallSite& c) { return Typed(c, name, n); }

// Converts argument `i` to the result's type.
std::string ArgAsResult(const CallSite& c, std::size_t i) { return c.Arg(i, c.result); }

std::string EmitIIf(const CallSite& c) {
  return "(CASE WHEN " + c.Arg(0, MakeType(JetType::Bool)) + " THEN " + ArgAsResult(c, 1) + " ELSE " +
         ArgAsResult(c, 2) + " END)";
}

std::string EmitNz(const CallSite& c) {
  if (c.args.size() == 1) {
    // Nz without a replacement: an empty text for text, 0 for numbers.
    bool numeric = IsNumeric(c.result.kind) || c.result.kind == JetType::DateTime;
    return "(CASE WHEN " + c.args[0] + " IS NULL THEN " + (numeric ? "0" : "''") + " ELSE " + c.args[0] + " END)";
  }
  return "(CASE WHEN " + c.args[0] + " IS NULL THEN " + ArgAsResult(c, 1) + " ELSE " + ArgAsResult(c, 0) + " END)";
}

std::string EmitSwitch(const CallSite& c) {
  std::string sql = "(CASE";
  for (std::size_t i = 0; i + 1 < c.args.size(); i += 2) {
    sql += " WHEN " + c.Arg(i, MakeType(JetType::Bool)) + " THEN " + ArgAsResult(c, i + 1);
  }
  return sql + " END)";
}

std::string EmitChoose(const CallSite& c) {
  std::string sql = "(CASE jet_cast(" + c.args[0] + ", " + std::to_string(TypeCode(c.argTypes[0])) + ", " +
                    std::to_string(TypeCode(MakeType(JetType::Long))) + ")";
  for (std::size_t i = 1; i < c.args.size(); ++i) sql += " WHEN " + std::to_string(i) + " THEN " + ArgAsResult(c, i);
  return sql + " END)";
}

std::string EmitIsNull(const CallSite& c) { return "(-(" + c.args[0] + " IS NULL))"; }

std::string EmitIfNull(const CallSite& c) {
  return "(CASE WHEN " + c.args[0] + " IS NULL THEN " + ArgAsResult(c, 1) + " ELSE " + ArgAsResult(c, 0) + " END)";
}

// Conversions keep the engine's rules of jet_cast, which fail on what does not convert.
template <JetType Kind>
std::string EmitConvert(const CallSite& c) {
  return "jet_convert(" + TypedArg(c, 0) + ", " + std::to_string(TypeCode(MakeType(Kind))) + ")";
}

// ---- Aggregates ----

std::string Distinct(const CallSite& c) { return c.distinct ? "DISTINCT " : ""; }

const char* CollateFor(const Type& t) {
  switch (t.kind) {
    case JetType::Text:
    case JetType::Memo:
    case JetType::Guid: return " COLLATE JETTEXT";
    case JetType::Decimal: return " COLLATE JETDEC";
    default: return "";
  }
}

std::string EmitCount(const CallSite& c) {
  if (c.args[0] == "*") return "count(*)";
  // DISTINCT counts values that differ as Access compares them.
  if (c.distinct) return "count(DISTINCT (" + c.args[0] + ")" + CollateFor(c.argTypes[0]) + ")";
  return "count(" + c.args[0] + ")";
}

std::string EmitSum(const CallSite& c) {
  switch (c.result.kind) {
    case JetType::Decimal: return "jet_dec_sum(" + Distinct(c) + c.Arg(0, c.result) + ")";
    case JetType::Long:
    case JetType::BigInt:
    case JetType::Currency: return "sum(" + Distinct(c) + c.args[0] + ")";
    default: return "sum(" + Distinct(c) + c.Arg(0, MakeType(JetType::Double)) + ")";
  }
}

std::string EmitAvg(const CallSite& c) {
  switch (c.result.kind) {
    case JetType::Currency: return "jet_cur_avg(" + Distinct(c) + c.args[0] + ")";
    case JetType::Decimal: return "jet_dec_avg(" + Distinct(c) + c.args[0] + ")";
    default: return "avg(" + Distinct(c) + c.Arg(0, MakeType(JetType::Double)) + ")";
  }
}

template <bool Max>
std::string EmitMinMax(const CallSite& c) {
  return std::string(Max ? "max(" : "min(") + Distinct(c) + "(" + c.args[0] + ")" + CollateFor(c.argTypes[0]) + ")";
}

template <bool Last>
std::string EmitFirstLast(const CallSite& c) {
  return std::string(Last ? "jet_last(" : "jet_first(") + c.args[0] + ")";
}

template <int Kind>
std::string EmitSpread(const CallSite& c) {
  return "jet_spread(" + Distinct(c) + c.Arg(0, MakeType(JetType::Double)) + ", " + std::to_string(Kind) + ")";
}

constexpr JetType T = JetType::Text;
constexpr JetType L = JetType::Long;
constexpr JetType D = JetType::Double;
constexpr JetType DT = JetType::DateTime;
constexpr JetType M = JetType::Memo;

// Access's functions, sorted by name. Text arguments are taken as Memo (no length bound).
const FunctionDef kAccess[] = {
    {"abs", 1, 1, false, NumberOfFirst, TYPED("jet_abs", 1)},
    {"asc", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_asc", M)},
    {"ascw", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_asc", M)},
    {"atn", 1, 1, false, Fixed<D>, ENGINE("jet_math_atn", D)},
    {"avg", 1, 1, true, AvgType, EmitAvg},
    {"cbool", 1, 1, false, Fixed<JetType::Bool>, EmitConvert<JetType::Bool>},
    {"cbyte", 1, 1, false, Fixed<JetType::Byte>, EmitConvert<JetType::Byte>},
    {"ccur", 1, 1, false, Fixed<JetType::Currency>, EmitConvert<JetType::Currency>},
    {"cdate", 1, 1, false, Fixed<DT>, EmitConvert<DT>},
    {"cdbl", 1, 1, false, Fixed<D>, EmitConvert<D>},
    {"cdec", 1, 1, false, Fixed<JetType::Decimal>, EmitConvert<JetType::Decimal>},
    {"choose", 2, -1, false, CommonOf<1, 1>, EmitChoose},
    {"chr", 1, 1, false, Fixed<T>, ENGINE("jet_chr", L)},
    {"chrw", 1, 1, false, Fixed<T>, ENGINE("jet_chr", L)},
    {"cint", 1, 1, false, Fixed<JetType::Integer>, EmitConvert<JetType::Integer>},
    {"clng", 1, 1, false, Fixed<L>, EmitConvert<L>},
    {"cos", 1, 1, false, Fixed<D>, ENGINE("jet_math_cos", D)},
    {"count", 1, 1, true, Fixed<L>, EmitCount},
    {"csng", 1, 1, false, Fixed<JetType::Single>, EmitConvert<JetType::Single>},
    {"cstr", 1, 1, false, Fixed<T>, EmitConvert<T>},
    {"cvar", 1, 1, false, SameAsFirst, [](const CallSite& c) { return c.args[0]; }},
    {"date", 0, 0, false, Fixed<DT>, [](const CallSite&) { return std::string("jet_now(1)"); }},
    {"day", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_day", DT)},
    {"exp", 1, 1, false, Fixed<D>, ENGINE("jet_math_exp", D)},
    {"first", 1, 1, true, SameAsFirst, EmitFirstLast<false>},
    {"fix", 1, 1, false, RoundingType, TYPED("jet_fix", 1)},
    {"hour", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_hour", DT)},
    {"iif", 3, 3, false, CommonOf<1, 1>, EmitIIf},
    {"instr", 2, 4, false, Fixed<L>, TYPED("jet_instr", 4)},
    {"int", 1, 1, false, RoundingType, TYPED("jet_int", 1)},
    {"isnull", 1, 1, false, Fixed<JetType::Bool>, EmitIsNull},
    {"last", 1, 1, true, SameAsFirst, EmitFirstLast<true>},
    {"lcase", 1, 1, false, TextOfFirst, ENGINE("jet_lcase", M)},
    {"left", 2, 2, false, TextOfFirst, ENGINE("jet_left", M, L)},
    {"len", 1, 1, false, Fixed<L>, TYPED("jet_len", 1)},
    {"log", 1, 1, false, Fixed<D>, ENGINE("jet_math_log", D)},
    {"ltrim", 1, 1, false, TextOfFirst, ENGINE("jet_ltrim", M)},
    {"max", 1, 1, true, SameAsFirst, EmitMinMax<true>},
    {"mid", 2, 3, false, TextOfFirst, ENGINE("jet_mid", M, L)},
    {"min", 1, 1, true, SameAsFirst, EmitMinMax<false>},
    {"minute", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_minute", DT)},
    {"month", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_month", DT)},
    {"now", 0, 0, false, Fixed<DT>, [](const CallSite&) { return std::string("jet_now(0)"); }},
    {"nz", 1, 2, false, CommonOf<0, 1>, EmitNz},
    {"replace", 3, 6, false, TextOfFirst, ENGINE("jet_replace", M, M, M, L, L, L)},
    {"right", 2, 2, false, TextOfFirst, ENGINE("jet_right", M, L)},
    {"round", 1, 2, false, RoundingType, TYPED("jet_round", 1)},
    {"rtrim", 1, 1, false, TextOfFirst, ENGINE("jet_rtrim", M)},
    {"second", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_second", DT)},
    {"sgn", 1, 1, false, Fixed<JetType::Integer>, TYPED("jet_sgn", 1)},
    {"sin", 1, 1, false, Fixed<D>, ENGINE("jet_math_sin", D)},
    {"space", 1, 1, false, Fixed<T>, ENGINE("jet_space", L)},
    {"sqr", 1, 1, false, Fixed<D>, ENGINE("jet_math_sqr", D)},
    {"stdev", 1, 1, true, Fixed<D>, EmitSpread<0>},
    {"stdevp", 1, 1, true, Fixed<D>, EmitSpread<1>},
    {"strcomp", 2, 3, false, Fixed<JetType::Integer>, ENGINE("jet_strcomp", M, M, L)},
    {"sum", 1, 1, true, SumType, EmitSum},
    {"switch", 2, -1, false, SwitchType, EmitSwitch},
    {"tan", 1, 1, false, Fixed<D>, ENGINE("jet_math_tan", D)},
    {"time", 0, 0, false, Fixed<DT>, [](const CallSite&) { return std::string("jet_now(2)"); }},
    {"trim", 1, 1, false, TextOfFirst, ENGINE("jet_trim", M)},
    {"ucase", 1, 1, false, TextOfFirst, ENGINE("jet_ucase", M)},
    {"val", 1, 1, false, Fixed<D>, ENGINE("jet_val", M)},
    {"var", 1, 1, true, Fixed<D>, EmitSpread<2>},
    {"varp", 1, 1, true, Fixed<D>, EmitSpread<3>},
    {"year", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_year", DT)},
};

// ODBC's scalar functions, {fn name(...)}, sorted by name, as the ODBC reference defines them.
const FunctionDef kOdbc[] = {
    {"abs", 1, 1, false, NumberOfFirst, TYPED("jet_abs", 1)},
    {"ceiling", 1, 1, false, NumberOfFirst, TYPED("jet_ceiling", 1)},
    {"concat", 2, 2, false, TextOfFirst,
     [](const CallSite& c) { return "(" + c.Arg(0, MakeType(M)) + " || " + c.Arg(1, MakeType(M)) + ")"; }},
    {"curdate", 0, 0, false, Fixed<DT>, [](const CallSite&) { return std::string("jet_now(1)"); }},
    {"curtime", 0, 0, false, Fixed<DT>, [](const CallSite&) { return std::string("jet_now(2)"); }},
    {"dayofmonth", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_day", DT)},
    {"exp", 1, 1, false, Fixed<D>, ENGINE("jet_math_exp", D)},
    {"floor", 1, 1, false, NumberOfFirst, TYPED("jet_int", 1)},
    {"hour", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_hour", DT)},
    {"ifnull", 2, 2, false, CommonOf<0, 1>, EmitIfNull},
    {"lcase", 1, 1, false, TextOfFirst, ENGINE("jet_lcase", M)},
    {"left", 2, 2, false, TextOfFirst, ENGINE("jet_left", M, L)},
    {"length", 1, 1, false, Fixed<L>, ENGINE("jet_odbc_length", M)},
    {"locate", 2, 3, false, Fixed<L>, ENGINE("jet_locate", M, M, L)},
    {"log", 1, 1, false, Fixed<D>, ENGINE("jet_math_log", D)},
    {"log10", 1, 1, false, Fixed<D>, ENGINE("jet_math_log10", D)},
    {"ltrim", 1, 1, false, TextOfFirst, ENGINE("jet_ltrim", M)},
    {"minute", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_minute", DT)},
    {"mod", 2, 2, false, Fixed<L>, ENGINE("jet_mod", L, L)},
    {"month", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_month", DT)},
    {"now", 0, 0, false, Fixed<DT>, [](const CallSite&) { return std::string("jet_now(0)"); }},
    {"power", 2, 2, false, Fixed<D>, ENGINE("jet_pow", D, D)},
    {"replace", 3, 3, false, TextOfFirst, ENGINE("jet_replace", M, M, M)},
    {"right", 2, 2, false, TextOfFirst, ENGINE("jet_right", M, L)},
    {"round", 2, 2, false, RoundingType, TYPED("jet_round", 1)},
    {"rtrim", 1, 1, false, TextOfFirst, ENGINE("jet_rtrim", M)},
    {"second", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_second", DT)},
    {"sign", 1, 1, false, Fixed<JetType::Integer>, TYPED("jet_sgn", 1)},
    {"sqrt", 1, 1, false, Fixed<D>, ENGINE("jet_math_sqr", D)},
    {"substring", 3, 3, false, TextOfFirst, ENGINE("jet_mid", M, L)},
    {"ucase", 1, 1, false, TextOfFirst, ENGINE("jet_ucase", M)},
    {"year", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_year", DT)},
};

// Access functions that queries call and that are not built yet.
constexpr std::array<std::string_view, 27> kUnsupported = {
    "cvdate",     "dateadd",      "datediff",      "datepart",       "dateserial", "datevalue",
    "format",     "formatcurrency", "formatdatetime", "formatnumber", "formatpercent", "hex",
    "instrrev",   "isdate",       "isempty",       "isnumeric",      "monthname",  "oct",
    "rnd",        "str",          "strconv",       "string",         "strreverse", "timeserial",
    "timevalue",  "typename",     "weekday",
};

std::string Lower(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  // Left$ and Left are one function: the $ form returns text, as both do here.
  if (!lower.empty() && lower.back() == '$') lower.pop_back();
  return lower;
}

template <std::size_t N>
const FunctionDef* Find(const FunctionDef (&table)[N], const std::string& name) {
  auto found = std::lower_bound(std::begin(table), std::end(table), name,
                                [](const FunctionDef& d, const std::string& n) { return d.name < n; });
  return found != std::end(table) && found->name == name ? found : nullptr;
}

}  // namespace

const FunctionDef* FindFunction(std::string_view name, bool odbc) {
  std::string lower = Lower(name);
  if (odbc) {
    if (const FunctionDef* f = Find(kOdbc, lower)) return f;
  }
  return Find(kAccess, lower);
}

bool IsEngineFunctionAllowed(std::string_view name) { return IsAllowedFunction(name); }

bool IsKnownUnsupported(std::string_view name) {
  std::string lower = Lower(name);
  return std::find(kUnsupported.begin(), kUnsupported.end(), lower) != kUnsupported.end();
}

int TypeCode(const Type& t) { return static_cast<int>(t.kind) | (t.scale << 8); }

Type TypeFromCode(int code) {
  Type t;
  t.kind = static_cast<JetType>(code & 0xFF);
  t.scale = static_cast<std::uint8_t>((code >> 8) & 0xFF);
  if (t.kind == JetType::Decimal) t.precision = 28;
  return t;
}

}  // namespace mdbodbc::sql
