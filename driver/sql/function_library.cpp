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

// Int, Fix and Round keep a number's type and a date's; a text is read as a Double.
bool RoundingType(std::span<const Type> args, Type& result, std::string& error) {
  if (args[0].kind == JetType::DateTime) {
    result = args[0];
    return true;
  }
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
#define FIXED(sql) [](const CallSite&) { return std::string(sql); }

// Argument `i` converted to `type`, or `absent` (engine SQL) when the call leaves it out.
std::string ArgOr(const CallSite& c, std::size_t i, JetType type, std::string_view absent) {
  return i < c.args.size() ? c.Arg(i, MakeType(type)) : std::string(absent);
}

// Converts argument `i` to the result's type.
std::string ArgAsResult(const CallSite& c, std::size_t i) { return c.Arg(i, c.result); }

std::string EmitIIf(const CallSite& c) {
  return "(CASE WHEN " + c.Arg(0, MakeType(JetType::Bool)) + " THEN " + ArgAsResult(c, 1) + " ELSE " +
         ArgAsResult(c, 2) + " END)";
}

// Nz(value [, valueifnull]): without a replacement a query's Nz gives an empty text for Null,
// whatever the value's type (so the result is a text; see NzType).
std::string EmitNz(const CallSite& c) {
  std::string replacement = c.args.size() == 1 ? "''" : ArgAsResult(c, 1);
  return "(CASE WHEN " + c.args[0] + " IS NULL THEN " + replacement + " ELSE " + ArgAsResult(c, 0) + " END)";
}

std::string EmitSwitch(const CallSite& c) {
  std::string sql = "(CASE";
  for (std::size_t i = 0; i + 1 < c.args.size(); i += 2) {
    sql += " WHEN " + c.Arg(i, MakeType(JetType::Bool)) + " THEN " + ArgAsResult(c, i + 1);
  }
  return sql + " END)";
}

// Choose(index, choice1, ...): the index rounded to a whole number; Null outside 1..n.
std::string EmitChoose(const CallSite& c) {
  std::string sql = "(CASE " + c.Arg(0, MakeType(JetType::Long));
  for (std::size_t i = 1; i < c.args.size(); ++i) sql += " WHEN " + std::to_string(i) + " THEN " + ArgAsResult(c, i);
  return sql + " END)";
}

std::string EmitIsNull(const CallSite& c) { return "(-(" + c.args[0] + " IS NULL))"; }

std::string EmitIfNull(const CallSite& c) {
  return "(CASE WHEN " + c.args[0] + " IS NULL THEN " + ArgAsResult(c, 1) + " ELSE " + ArgAsResult(c, 0) + " END)";
}

// Conversions keep the engine's rules of jet_cast, which fail on what does not convert; the C
// functions also refuse a Null.
template <JetType Kind>
std::string EmitConvert(const CallSite& c) {
  return "jet_convert(" + TypedArg(c, 0) + ", " + std::to_string(TypeCode(MakeType(Kind))) + ")";
}

// CVDate and CVar keep a Null.
std::string EmitCVDate(const CallSite& c) { return c.Arg(0, MakeType(JetType::DateTime)); }

// VarType and TypeName follow from the argument's type, Null apart.
int VarTypeCode(const Type& t) {
  switch (t.kind) {
    case JetType::Null: return 1;
    case JetType::Bool: return 11;
    case JetType::Byte: return 17;
    case JetType::Integer: return 2;
    case JetType::Long: return 3;
    case JetType::BigInt: return 20;
    case JetType::Single: return 4;
    case JetType::Double: return 5;
    case JetType::Currency: return 6;
    case JetType::Decimal: return 14;
    case JetType::DateTime: return 7;
    case JetType::Binary:
    case JetType::LongBinary: return 8209;  // an array of bytes
    default: return 8;
  }
}

const char* VbTypeName(const Type& t) {
  switch (t.kind) {
    case JetType::Null: return "Null";
    case JetType::Bool: return "Boolean";
    case JetType::Byte: return "Byte";
    case JetType::Integer: return "Integer";
    case JetType::Long: return "Long";
    case JetType::BigInt: return "LongLong";
    case JetType::Single: return "Single";
    case JetType::Double: return "Double";
    case JetType::Currency: return "Currency";
    case JetType::Decimal: return "Decimal";
    case JetType::DateTime: return "Date";
    case JetType::Binary:
    case JetType::LongBinary: return "Byte()";
    default: return "String";
  }
}

std::string EmitVarType(const CallSite& c) {
  return "(CASE WHEN " + c.args[0] + " IS NULL THEN 1 ELSE " + std::to_string(VarTypeCode(c.argTypes[0])) + " END)";
}

std::string EmitTypeName(const CallSite& c) {
  return "(CASE WHEN " + c.args[0] + " IS NULL THEN 'Null' ELSE '" + VbTypeName(c.argTypes[0]) + "' END)";
}

// Every argument with its type's code, and nothing else.
std::string AllTyped(const CallSite& c, std::string_view name) {
  std::string sql = std::string(name) + "(";
  for (std::size_t i = 0; i < c.args.size(); ++i) sql += (i > 0 ? ", " : "") + TypedArg(c, i);
  return sql + ")";
}

constexpr JetType T = JetType::Text;
constexpr JetType L = JetType::Long;
constexpr JetType D = JetType::Double;
constexpr JetType DT = JetType::DateTime;
constexpr JetType M = JetType::Memo;
constexpr JetType B = JetType::Bool;

// Text functions with their optional arguments written out, so that the engine function has one
// shape: InStr([start,] text, search [, compare]) and the others.
std::string EmitInStr(const CallSite& c) {
  bool start = c.args.size() >= 3;
  std::size_t at = start ? 1 : 0;
  return "jet_instr(" + (start ? c.Arg(0, MakeType(L)) : std::string("1")) + ", " + c.Arg(at, MakeType(M)) + ", " +
         c.Arg(at + 1, MakeType(M)) + ", " + ArgOr(c, at + 2, L, "-1") + ")";
}

std::string EmitInStrRev(const CallSite& c) {
  return "jet_instrrev(" + c.Arg(0, MakeType(M)) + ", " + c.Arg(1, MakeType(M)) + ", " + ArgOr(c, 2, L, "-1") + ", " +
         ArgOr(c, 3, L, "-1") + ")";
}

std::string EmitReplace(const CallSite& c) {
  return "jet_replace(" + c.Arg(0, MakeType(M)) + ", " + c.Arg(1, MakeType(M)) + ", " + c.Arg(2, MakeType(M)) + ", " +
         ArgOr(c, 3, L, "1") + ", " + ArgOr(c, 4, L, "-1") + ", " + ArgOr(c, 5, L, "-1") + ")";
}

std::string EmitStrComp(const CallSite& c) {
  return "jet_strcomp(" + c.Arg(0, MakeType(M)) + ", " + c.Arg(1, MakeType(M)) + ", " + ArgOr(c, 2, L, "-1") + ")";
}

// StrConv(text, conversion [, locale]): the locale is US English's whatever it says.
std::string EmitStrConv(const CallSite& c) {
  return "jet_strconv(" + c.Arg(0, MakeType(M)) + ", " + c.Arg(1, MakeType(L)) + ")";
}

std::string EmitString(const CallSite& c) { return "jet_string(" + c.Arg(0, MakeType(L)) + ", " + TypedArg(c, 1) + ")"; }

// Rnd([n]) and {fn RAND([seed])}: the constant last argument holds the generator's state for the
// running statement.
std::string EmitRnd(const CallSite& c) { return "jet_rnd(" + ArgOr(c, 0, JetType::Single, "1") + ", 0)"; }
std::string EmitRand(const CallSite& c) { return "jet_rand(" + ArgOr(c, 0, L, "NULL") + ", 0)"; }

// Dates: the optional firstdayofweek and firstweekofyear are 1 (Sunday, the week of January 1).
std::string EmitDatePart(const CallSite& c) {
  return "jet_datepart(" + c.Arg(0, MakeType(M)) + ", " + c.Arg(1, MakeType(DT)) + ", " + ArgOr(c, 2, L, "1") + ", " +
         ArgOr(c, 3, L, "1") + ")";
}

std::string EmitDateDiff(const CallSite& c) {
  return "jet_datediff(" + c.Arg(0, MakeType(M)) + ", " + c.Arg(1, MakeType(DT)) + ", " + c.Arg(2, MakeType(DT)) + ", " +
         ArgOr(c, 3, L, "1") + ", " + ArgOr(c, 4, L, "1") + ")";
}

std::string EmitWeekday(const CallSite& c) {
  return "jet_weekday(" + c.Arg(0, MakeType(DT)) + ", " + ArgOr(c, 1, L, "1") + ")";
}

std::string EmitMonthName(const CallSite& c) {
  return "jet_monthname(" + c.Arg(0, MakeType(L)) + ", " + ArgOr(c, 1, B, "0") + ")";
}

std::string EmitWeekdayName(const CallSite& c) {
  return "jet_weekdayname(" + c.Arg(0, MakeType(L)) + ", " + ArgOr(c, 1, B, "0") + ", " + ArgOr(c, 2, L, "1") + ")";
}

// Format(value [, format [, firstdayofweek [, firstweekofyear]]]).
std::string EmitFormat(const CallSite& c) {
  return "jet_format(" + TypedArg(c, 0) + ", " + ArgOr(c, 1, M, "''") + ", " + ArgOr(c, 2, L, "1") + ", " +
         ArgOr(c, 3, L, "1") + ")";
}

// FormatNumber, FormatCurrency, FormatPercent(value [, digits [, leading [, parentheses
// [, grouping]]]]): -1 digits and -2 (the regional setting) for what the call leaves out.
template <int Style>
std::string EmitFormatNumber(const CallSite& c) {
  return "jet_formatnumber(" + TypedArg(c, 0) + ", " + ArgOr(c, 1, L, "-1") + ", " + ArgOr(c, 2, L, "-2") + ", " +
         ArgOr(c, 3, L, "-2") + ", " + ArgOr(c, 4, L, "-2") + ", " + std::to_string(Style) + ")";
}

std::string EmitFormatDateTime(const CallSite& c) {
  return "jet_formatdatetime(" + TypedArg(c, 0) + ", " + ArgOr(c, 1, L, "0") + ")";
}

std::string EmitDateValue(const CallSite& c) { return AllTyped(c, "jet_datevalue"); }
std::string EmitTimeValue(const CallSite& c) { return AllTyped(c, "jet_timevalue"); }
std::string EmitIsNumeric(const CallSite& c) { return AllTyped(c, "jet_isnumeric"); }
std::string EmitIsDate(const CallSite& c) { return AllTyped(c, "jet_isdate"); }

// The financial functions: every argument a Double, and for each optional one from `first`
// on the value (engine SQL) that a call leaving it out means.
std::string Finance(const CallSite& c, std::string_view name, std::size_t first,
                    std::initializer_list<const char*> optional) {
  std::string sql = std::string(name) + "(";
  for (std::size_t i = 0; i < first + optional.size(); ++i) {
    if (i > 0) sql += ", ";
    sql += i < c.args.size() ? c.Arg(i, MakeType(D)) : std::string(optional.begin()[i - first]);
  }
  return sql + ")";
}

#define FINANCE(name, first, ...) [](const CallSite& c) { return Finance(c, name, first, {__VA_ARGS__}); }

// IsArray: only a binary value (an array of bytes) is one.
std::string EmitIsArray(const CallSite& c) {
  if (!IsBinary(c.argTypes[0].kind)) return "0";
  return "(CASE WHEN " + c.args[0] + " IS NULL THEN 0 ELSE -1 END)";
}

std::string EmitHyperlinkPart(const CallSite& c) {
  return "jet_hyperlinkpart(" + c.Arg(0, MakeType(M)) + ", " + ArgOr(c, 1, L, "0") + ")";
}

// ---- ODBC's keywords ----

// The text of a keyword argument, which the translator wrote as a quoted literal.
std::string_view KeywordText(const CallSite& c, std::size_t i) {
  std::string_view text = c.args[i];
  if (text.size() >= 2 && text.front() == '\'' && text.back() == '\'') text = text.substr(1, text.size() - 2);
  return text;
}

struct IntervalKeyword {
  std::string_view name;
  int code;  // DateInterval's value (calendar.h)
};

// SQL_TSI_*: the codes of DateInterval, FRAC_SECOND that of its milliseconds.
constexpr IntervalKeyword kIntervals[] = {
    {"SQL_TSI_FRAC_SECOND", 11}, {"SQL_TSI_SECOND", 10}, {"SQL_TSI_MINUTE", 9}, {"SQL_TSI_HOUR", 8},
    {"SQL_TSI_DAY", 5},          {"SQL_TSI_WEEK", 7},    {"SQL_TSI_MONTH", 3},  {"SQL_TSI_QUARTER", 2},
    {"SQL_TSI_YEAR", 1},
};

// A keyword as written (any letter case) against its upper-case name.
bool SameKeyword(std::string_view written, std::string_view name) {
  return written.size() == name.size() && std::equal(written.begin(), written.end(), name.begin(), [](char a, char b) {
           return (a >= 'a' && a <= 'z' ? a - 32 : a) == b;
         });
}

const IntervalKeyword* FindInterval(std::string_view keyword) {
  for (const IntervalKeyword& k : kIntervals) {
    if (SameKeyword(keyword, k.name)) return &k;
  }
  return nullptr;
}

struct TypeKeyword {
  std::string_view name;
  JetType type;
  int part;  // SQL_DATE keeps the date, SQL_TIME the time: 1 and 2
};

// CONVERT's types: every SQL type an Access value can become.
constexpr TypeKeyword kTypes[] = {
    {"SQL_BIGINT", JetType::BigInt, 0},      {"SQL_BINARY", JetType::Binary, 0},
    {"SQL_BIT", JetType::Bool, 0},           {"SQL_CHAR", JetType::Text, 0},
    {"SQL_DATE", DT, 1},                     {"SQL_DECIMAL", JetType::Decimal, 0},
    {"SQL_DOUBLE", D, 0},                    {"SQL_FLOAT", D, 0},
    {"SQL_GUID", JetType::Guid, 0},          {"SQL_INTEGER", L, 0},
    {"SQL_LONGVARBINARY", JetType::LongBinary, 0}, {"SQL_LONGVARCHAR", M, 0},
    {"SQL_NUMERIC", JetType::Decimal, 0},    {"SQL_REAL", JetType::Single, 0},
    {"SQL_SMALLINT", JetType::Integer, 0},   {"SQL_TIME", DT, 2},
    {"SQL_TIMESTAMP", DT, 0},                {"SQL_TINYINT", JetType::Byte, 0},
    {"SQL_TYPE_DATE", DT, 1},                {"SQL_TYPE_TIME", DT, 2},
    {"SQL_TYPE_TIMESTAMP", DT, 0},           {"SQL_VARBINARY", JetType::Binary, 0},
    {"SQL_VARCHAR", T, 0},                   {"SQL_WCHAR", T, 0},
    {"SQL_WLONGVARCHAR", M, 0},              {"SQL_WVARCHAR", T, 0},
};

const TypeKeyword* FindTypeKeyword(std::string_view keyword) {
  for (const TypeKeyword& k : kTypes) {
    if (SameKeyword(keyword, k.name)) return &k;
  }
  return nullptr;
}

// {fn CONVERT(value, SQL_type)}: Access's conversion, a Null kept.
std::string EmitOdbcConvert(const CallSite& c) {
  const TypeKeyword* k = FindTypeKeyword(KeywordText(c, 1));
  std::string value = c.Arg(0, c.result);
  if (k != nullptr && k->part == 1) return "jet_dateonly(" + value + ")";
  if (k != nullptr && k->part == 2) return "jet_timeonly(" + value + ")";
  return value;
}

std::string EmitTimestampAdd(const CallSite& c) {
  const IntervalKeyword* k = FindInterval(KeywordText(c, 0));
  return "jet_timestampadd(" + std::to_string(k != nullptr ? k->code : 5) + ", " +
         c.Arg(1, MakeType(k != nullptr && k->code == 11 ? JetType::BigInt : D)) + ", " + c.Arg(2, MakeType(DT)) + ")";
}

std::string EmitTimestampDiff(const CallSite& c) {
  const IntervalKeyword* k = FindInterval(KeywordText(c, 0));
  return "jet_timestampdiff(" + std::to_string(k != nullptr ? k->code : 5) + ", " + c.Arg(1, MakeType(DT)) + ", " +
         c.Arg(2, MakeType(DT)) + ")";
}

std::string EmitConcat(const CallSite& c) { return "(" + c.Arg(0, MakeType(M)) + " || " + c.Arg(1, MakeType(M)) + ")"; }

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

// ---- More result types ----

// Nz: with a replacement the type that holds both; without one a text (Null becomes '').
bool NzType(std::span<const Type> args, Type& result, std::string& error) {
  if (args.size() == 2) return CommonOf<0, 1>(args, result, error);
  result = MakeType(args[0].kind == JetType::Memo ? JetType::Memo : JetType::Text);
  return true;
}

// {fn CONCAT}, {fn INSERT} and {fn REPEAT}: Memo when a piece is a Memo.
bool TextOfAny(std::span<const Type> args, Type& result, std::string&) {
  result = MakeType(JetType::Text);
  for (const Type& t : args) {
    if (t.kind == JetType::Memo) result = MakeType(JetType::Memo);
  }
  return true;
}

// Access's functions, sorted by name. Text arguments are taken as Memo (no length bound).
const FunctionDef kAccess[] = {
    {"abs", 1, 1, false, NumberOfFirst, TYPED("jet_abs", 1)},
    {"asc", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_asc", M)},
    {"ascw", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_ascw", M)},
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
    {"chrw", 1, 1, false, Fixed<T>, ENGINE("jet_chrw", L)},
    {"cint", 1, 1, false, Fixed<JetType::Integer>, EmitConvert<JetType::Integer>},
    {"clng", 1, 1, false, Fixed<L>, EmitConvert<L>},
    {"cos", 1, 1, false, Fixed<D>, ENGINE("jet_math_cos", D)},
    {"count", 1, 1, true, Fixed<L>, EmitCount},
    {"csng", 1, 1, false, Fixed<JetType::Single>, EmitConvert<JetType::Single>},
    {"cstr", 1, 1, false, Fixed<T>, EmitConvert<T>},
    {"currentuser", 0, 0, false, Fixed<T>, FIXED("'Admin'")},
    {"cvar", 1, 1, false, SameAsFirst, [](const CallSite& c) { return c.args[0]; }},
    {"cvdate", 1, 1, false, Fixed<DT>, EmitCVDate},
    {"date", 0, 0, false, Fixed<DT>, FIXED("jet_now(1)")},
    {"dateadd", 3, 3, false, Fixed<DT>, ENGINE("jet_dateadd", M, D, DT)},
    {"datediff", 3, 5, false, Fixed<L>, EmitDateDiff},
    {"datepart", 2, 4, false, Fixed<JetType::Integer>, EmitDatePart},
    {"dateserial", 3, 3, false, Fixed<DT>, ENGINE("jet_dateserial", L)},
    {"datevalue", 1, 1, false, Fixed<DT>, EmitDateValue},
    {"day", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_day", DT)},
    {"ddb", 4, 5, false, Fixed<D>, FINANCE("jet_ddb", 4, "2")},
    {"exp", 1, 1, false, Fixed<D>, ENGINE("jet_math_exp", D)},
    {"first", 1, 1, true, SameAsFirst, EmitFirstLast<false>},
    {"fix", 1, 1, false, RoundingType, TYPED("jet_fix", 1)},
    {"format", 1, 4, false, TextOfFirst, EmitFormat},
    {"formatcurrency", 1, 5, false, Fixed<T>, EmitFormatNumber<1>},
    {"formatdatetime", 1, 2, false, Fixed<T>, EmitFormatDateTime},
    {"formatnumber", 1, 5, false, Fixed<T>, EmitFormatNumber<0>},
    {"formatpercent", 1, 5, false, Fixed<T>, EmitFormatNumber<2>},
    {"fv", 3, 5, false, Fixed<D>, FINANCE("jet_fv", 3, "0", "0")},
    {"guidfromstring", 1, 1, false, Fixed<JetType::Guid>, ENGINE("jet_guidfromstring", M)},
    {"hex", 1, 1, false, Fixed<T>, TYPED("jet_hex", 1)},
    {"hour", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_hour", DT)},
    {"hyperlinkpart", 1, 2, false, Fixed<T>, EmitHyperlinkPart},
    {"iif", 3, 3, false, CommonOf<1, 1>, EmitIIf},
    {"instr", 2, 4, false, Fixed<L>, EmitInStr},
    {"instrrev", 2, 4, false, Fixed<L>, EmitInStrRev},
    {"int", 1, 1, false, RoundingType, TYPED("jet_int", 1)},
    {"ipmt", 4, 6, false, Fixed<D>, FINANCE("jet_ipmt", 4, "0", "0")},
    {"isarray", 1, 1, false, Fixed<B>, EmitIsArray},
    {"isdate", 1, 1, false, Fixed<B>, EmitIsDate},
    {"isempty", 1, 1, false, Fixed<B>, FIXED("0")},
    {"iserror", 1, 1, false, Fixed<B>, FIXED("0")},
    {"isnull", 1, 1, false, Fixed<B>, EmitIsNull},
    {"isnumeric", 1, 1, false, Fixed<B>, EmitIsNumeric},
    {"isobject", 1, 1, false, Fixed<B>, FIXED("0")},
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
    {"monthname", 1, 2, false, Fixed<T>, EmitMonthName},
    {"now", 0, 0, false, Fixed<DT>, FIXED("jet_now(0)")},
    {"nper", 3, 5, false, Fixed<D>, FINANCE("jet_nper", 3, "0", "0")},
    {"nz", 1, 2, false, NzType, EmitNz},
    {"oct", 1, 1, false, Fixed<T>, TYPED("jet_oct", 1)},
    {"partition", 4, 4, false, Fixed<T>, ENGINE("jet_partition", L)},
    {"pmt", 3, 5, false, Fixed<D>, FINANCE("jet_pmt", 3, "0", "0")},
    {"ppmt", 4, 6, false, Fixed<D>, FINANCE("jet_ppmt", 4, "0", "0")},
    {"pv", 3, 5, false, Fixed<D>, FINANCE("jet_pv", 3, "0", "0")},
    {"qbcolor", 1, 1, false, Fixed<L>, ENGINE("jet_qbcolor", L)},
    {"rate", 3, 6, false, Fixed<D>, FINANCE("jet_rate", 3, "0", "0", "0.1")},
    {"replace", 3, 6, false, TextOfFirst, EmitReplace},
    {"rgb", 3, 3, false, Fixed<L>, ENGINE("jet_rgb", L)},
    {"right", 2, 2, false, TextOfFirst, ENGINE("jet_right", M, L)},
    {"rnd", 0, 1, false, Fixed<JetType::Single>, EmitRnd},
    {"round", 1, 2, false, RoundingType, TYPED("jet_round", 1)},
    {"rtrim", 1, 1, false, TextOfFirst, ENGINE("jet_rtrim", M)},
    {"second", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_second", DT)},
    {"sgn", 1, 1, false, Fixed<JetType::Integer>, TYPED("jet_sgn", 1)},
    {"sin", 1, 1, false, Fixed<D>, ENGINE("jet_math_sin", D)},
    {"sln", 3, 3, false, Fixed<D>, FINANCE("jet_sln", 3)},
    {"space", 1, 1, false, Fixed<T>, ENGINE("jet_space", L)},
    {"sqr", 1, 1, false, Fixed<D>, ENGINE("jet_math_sqr", D)},
    {"stdev", 1, 1, true, Fixed<D>, EmitSpread<0>},
    {"stdevp", 1, 1, true, Fixed<D>, EmitSpread<1>},
    {"str", 1, 1, false, Fixed<T>, TYPED("jet_str", 1)},
    {"strcomp", 2, 3, false, Fixed<JetType::Integer>, EmitStrComp},
    {"strconv", 2, 3, false, TextOfFirst, EmitStrConv},
    {"string", 2, 2, false, Fixed<T>, EmitString},
    {"stringfromguid", 1, 1, false, Fixed<T>, ENGINE("jet_stringfromguid", M)},
    {"strreverse", 1, 1, false, TextOfFirst, ENGINE("jet_strreverse", M)},
    {"sum", 1, 1, true, SumType, EmitSum},
    {"switch", 2, -1, false, SwitchType, EmitSwitch},
    {"syd", 4, 4, false, Fixed<D>, FINANCE("jet_syd", 4)},
    {"tan", 1, 1, false, Fixed<D>, ENGINE("jet_math_tan", D)},
    {"time", 0, 0, false, Fixed<DT>, FIXED("jet_now(2)")},
    {"timer", 0, 0, false, Fixed<JetType::Single>, FIXED("jet_now(3)")},
    {"timeserial", 3, 3, false, Fixed<DT>, ENGINE("jet_timeserial", L)},
    {"timevalue", 1, 1, false, Fixed<DT>, EmitTimeValue},
    {"trim", 1, 1, false, TextOfFirst, ENGINE("jet_trim", M)},
    {"typename", 1, 1, false, Fixed<T>, EmitTypeName},
    {"ucase", 1, 1, false, TextOfFirst, ENGINE("jet_ucase", M)},
    {"val", 1, 1, false, Fixed<D>, ENGINE("jet_val", M)},
    {"var", 1, 1, true, Fixed<D>, EmitSpread<2>},
    {"varp", 1, 1, true, Fixed<D>, EmitSpread<3>},
    {"vartype", 1, 1, false, Fixed<JetType::Integer>, EmitVarType},
    {"weekday", 1, 2, false, Fixed<JetType::Integer>, EmitWeekday},
    {"weekdayname", 1, 3, false, Fixed<T>, EmitWeekdayName},
    {"year", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_year", DT)},
};

// ODBC's scalar functions, {fn name(...)}, sorted by name, as the ODBC reference defines them.
const FunctionDef kOdbc[] = {
    {"abs", 1, 1, false, NumberOfFirst, TYPED("jet_abs", 1)},
    {"acos", 1, 1, false, Fixed<D>, ENGINE("jet_math_acos", D)},
    {"ascii", 1, 1, false, Fixed<L>, ENGINE("jet_ascii", M)},
    {"asin", 1, 1, false, Fixed<D>, ENGINE("jet_math_asin", D)},
    {"atan", 1, 1, false, Fixed<D>, ENGINE("jet_math_atn", D)},
    {"atan2", 2, 2, false, Fixed<D>, ENGINE("jet_math_atan2", D)},
    {"bit_length", 1, 1, false, Fixed<L>, ENGINE("jet_bit_length", M)},
    {"ceiling", 1, 1, false, NumberOfFirst, TYPED("jet_ceiling", 1)},
    {"char", 1, 1, false, Fixed<T>, ENGINE("jet_char", L)},
    {"char_length", 1, 1, false, Fixed<L>, ENGINE("jet_characters", M)},
    {"character_length", 1, 1, false, Fixed<L>, ENGINE("jet_characters", M)},
    {"concat", 2, 2, false, TextOfAny, EmitConcat},
    {"convert", 2, 2, false, SameAsFirst, EmitOdbcConvert},
    {"cos", 1, 1, false, Fixed<D>, ENGINE("jet_math_cos", D)},
    {"cot", 1, 1, false, Fixed<D>, ENGINE("jet_math_cot", D)},
    {"curdate", 0, 0, false, Fixed<DT>, FIXED("jet_now(1)")},
    {"current_date", 0, 0, false, Fixed<DT>, FIXED("jet_now(1)")},
    {"current_time", 0, 1, false, Fixed<DT>, FIXED("jet_now(2)")},
    {"current_timestamp", 0, 1, false, Fixed<DT>, FIXED("jet_now(0)")},
    {"curtime", 0, 0, false, Fixed<DT>, FIXED("jet_now(2)")},
    {"database", 0, 0, false, Fixed<T>, FIXED("''")},
    {"dayname", 1, 1, false, Fixed<T>, ENGINE("jet_dayname", DT)},
    {"dayofmonth", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_day", DT)},
    {"dayofweek", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_dayofweek", DT)},
    {"dayofyear", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_dayofyear", DT)},
    {"degrees", 1, 1, false, Fixed<D>, ENGINE("jet_math_degrees", D)},
    {"difference", 2, 2, false, Fixed<JetType::Integer>, ENGINE("jet_difference", M)},
    {"exp", 1, 1, false, Fixed<D>, ENGINE("jet_math_exp", D)},
    {"floor", 1, 1, false, NumberOfFirst, TYPED("jet_int", 1)},
    {"hour", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_hour", DT)},
    {"ifnull", 2, 2, false, CommonOf<0, 1>, EmitIfNull},
    {"insert", 4, 4, false, TextOfAny, ENGINE("jet_insert", M, L, L, M)},
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
    {"monthname", 1, 1, false, Fixed<T>, ENGINE("jet_odbc_monthname", DT)},
    {"now", 0, 0, false, Fixed<DT>, FIXED("jet_now(0)")},
    {"octet_length", 1, 1, false, Fixed<L>, ENGINE("jet_octet_length", M)},
    {"pi", 0, 0, false, Fixed<D>, FIXED("jet_pi()")},
    {"power", 2, 2, false, Fixed<D>, ENGINE("jet_pow", D, D)},
    {"quarter", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_quarter", DT)},
    {"radians", 1, 1, false, Fixed<D>, ENGINE("jet_math_radians", D)},
    {"rand", 0, 1, false, Fixed<D>, EmitRand},
    {"repeat", 2, 2, false, TextOfFirst, ENGINE("jet_repeat", M, L)},
    {"replace", 3, 3, false, TextOfFirst, EmitReplace},
    {"right", 2, 2, false, TextOfFirst, ENGINE("jet_right", M, L)},
    {"round", 2, 2, false, RoundingType, TYPED("jet_odbc_round", 1)},
    {"rtrim", 1, 1, false, TextOfFirst, ENGINE("jet_rtrim", M)},
    {"second", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_second", DT)},
    {"sign", 1, 1, false, Fixed<JetType::Integer>, TYPED("jet_sgn", 1)},
    {"sin", 1, 1, false, Fixed<D>, ENGINE("jet_math_sin", D)},
    {"soundex", 1, 1, false, Fixed<T>, ENGINE("jet_soundex", M)},
    {"space", 1, 1, false, Fixed<T>, ENGINE("jet_space", L)},
    {"sqrt", 1, 1, false, Fixed<D>, ENGINE("jet_math_sqr", D)},
    {"substring", 2, 3, false, TextOfFirst, ENGINE("jet_mid", M, L)},
    {"tan", 1, 1, false, Fixed<D>, ENGINE("jet_math_tan", D)},
    {"timestampadd", 3, 3, false, Fixed<DT>, EmitTimestampAdd},
    {"timestampdiff", 3, 3, false, Fixed<L>, EmitTimestampDiff},
    {"truncate", 2, 2, false, NumberOfFirst, TYPED("jet_truncate", 1)},
    {"ucase", 1, 1, false, TextOfFirst, ENGINE("jet_ucase", M)},
    {"user", 0, 0, false, Fixed<T>, FIXED("'Admin'")},
    {"week", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_week", DT)},
    {"year", 1, 1, false, Fixed<JetType::Integer>, ENGINE("jet_year", DT)},
};

// Access functions that the driver does not build (the README says why): their calls are
// refused with their name rather than as unknown.
constexpr std::array<std::string_view, 60> kUnsupported = {
    // Domain aggregates and Eval run SQL or expressions written in a text.
    "davg", "dcount", "dfirst", "dlast", "dlookup", "dmax", "dmin", "dstdev", "dstdevp", "dsum", "dvar", "dvarp", "eval",
    // Arrays, and the functions that take one.
    "array", "filter", "join", "lbound", "split", "ubound", "irr", "mirr", "npv",
    // Error values and missing arguments of procedures.
    "cverr", "error", "ismissing",
    // Files, the environment, other programs, settings and dialogs.
    "command", "createobject", "curdir", "dir", "doevents", "environ", "eof", "fileattr", "filedatetime", "filelen",
    "freefile", "getallsettings", "getattr", "getobject", "getsetting", "callbyname", "imestatus", "input", "inputbox",
    "loc", "lof", "macid", "macscript", "msgbox", "seek", "shell", "spc", "tab",
    // Bytes of Access's UTF-16 text.
    "ascb", "chrb", "instrb", "leftb", "lenb", "midb", "rightb",
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

bool IsOdbc(const FunctionDef& def, std::string_view name) {
  const FunctionDef* found = Find(kOdbc, std::string(name));
  return found == &def;
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

int KeywordArgument(const FunctionDef& def) {
  if (IsOdbc(def, "convert")) return 1;
  if (IsOdbc(def, "timestampadd") || IsOdbc(def, "timestampdiff")) return 0;
  return -1;
}

bool KeywordCallType(const FunctionDef& def, std::string_view keyword, std::span<const Type> args, Type& result,
                     std::string& error) {
  if (IsOdbc(def, "convert")) {
    const TypeKeyword* k = FindTypeKeyword(keyword);
    if (k == nullptr) {
      error = "CONVERT takes an SQL type such as SQL_INTEGER or SQL_VARCHAR, not '" + std::string(keyword) + "'";
      return false;
    }
    if (IsBinary(args[0].kind) != IsBinary(k->type) && !IsTextual(args[0].kind) && args[0].kind != JetType::Null &&
        args[0].kind != JetType::Unknown) {
      error = "CONVERT cannot make a " + TypeName(MakeType(k->type)) + " of a " + TypeName(args[0]);
      return false;
    }
    result = MakeType(k->type);
    return true;
  }
  const IntervalKeyword* k = FindInterval(keyword);
  if (k == nullptr) {
    error = "the interval must be one of SQL_TSI_FRAC_SECOND, SQL_TSI_SECOND, SQL_TSI_MINUTE, SQL_TSI_HOUR, "
            "SQL_TSI_DAY, SQL_TSI_WEEK, SQL_TSI_MONTH, SQL_TSI_QUARTER, SQL_TSI_YEAR, not '" +
            std::string(keyword) + "'";
    return false;
  }
  if (IsOdbc(def, "timestampadd")) {
    result = MakeType(DT);
  } else {
    result = MakeType(k->code == 11 ? JetType::BigInt : L);
  }
  return true;
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
