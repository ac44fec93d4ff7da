// Access's functions and ODBC's scalar functions through the driver manager: each case with
// the value Access gives and the ODBC type of its result column, grouped by family, with the
// Null, empty-text, negative, rounding-tie, leap-day, month-end, pre-1900 and overflow edges.
// A value "error S" expects the statement to fail with SQLSTATE S.
#include "answers.h"
#include "driver_fixture.h"

#include <map>
#include <span>

namespace drivertest {
namespace {

// `v`: one row of every kind the functions read, and Nulls; `seq`: 1, 2, 4; `g`: 3,000 rows
// in three groups that interleave, in the order written.
std::vector<mkmdb::TableSpec> Tables(std::vector<std::pair<std::string, int>>& groupRows) {
  using mkmdb::ColumnType;
  auto n = std::nullopt;
  mkmdb::TableSpec v{"v",
                     {{"s", ColumnType::Text, 50}, {"u", ColumnType::Text, 50}, {"e", ColumnType::Text, 50},
                      {"m", ColumnType::Memo}, {"l", ColumnType::Long}, {"d", ColumnType::Double},
                      {"dt", ColumnType::DateTime}, {"old", ColumnType::DateTime}, {"b", ColumnType::YesNo},
                      {"nt", ColumnType::Text, 50}, {"nl", ColumnType::Long}, {"nd", ColumnType::Double},
                      {"ndt", ColumnType::DateTime}},
                     {{"Hello World", "\u00C9t\u00E9 \U0001F600 \u00DF", "", "memo text", "-7", "2.5",
                       "2000-02-29 13:45:30", "1899-12-29 06:00:00", "1", n, n, n, n}}};
  mkmdb::TableSpec seq{"seq", {{"n", ColumnType::Long}}, {{"1"}, {"2"}, {"4"}}};
  mkmdb::TableSpec g{"g", {{"g", ColumnType::Text, 5}, {"v", ColumnType::Long}}, {}};
  for (int i = 0; i < 3000; ++i) {
    std::string group(1, "abc"[(i * i + i / 7) % 3]);
    groupRows.emplace_back(group, i);
    g.rows.push_back({group, std::to_string(i)});
  }
  return {v, seq, g};
}

struct Case {
  const char* expression;  // an expression on `v`, or a whole statement
  const char* value;       // rows joined by ';', columns by '|'; NULL; or "error SQLSTATE"
  SQLSMALLINT type = 0;    // of the first column; none for an error
};

// The result types most cases have, by shorter names.
constexpr SQLSMALLINT kWv = SQL_WVARCHAR, kInt = SQL_INTEGER, kShort = SQL_SMALLINT,
                      kDbl = SQL_DOUBLE, kTs = SQL_TYPE_TIMESTAMP;

const Case kText[] = {
    {"Len(u)", "7", kInt}, {"Len(e)", "0", kInt}, {"Len(nt)", "NULL", kInt}, {"Len(l)", "2", kInt},
    {"Len(dt)", "20", kInt}, {"Left(u, 5)", "\u00C9t\u00E9 \U0001F600", kWv},
    {"Left(s, 0)", "", kWv}, {"Left$(l, 99)", "-7", kWv}, {"Left(m, 4)", "memo", SQL_WLONGVARCHAR},
    {"Left(nt, 2)", "NULL", kWv}, {"Left(s, -1)", "error 22023"}, {"Left(s, Null)", "error 22004"},
    {"Right(u, 3)", "\U0001F600 \u00DF", kWv}, {"Right(s, 99)", "Hello World", kWv},
    {"Mid(u, 5, 1)", "\U0001F600", kWv}, {"Mid(s, 7)", "World", kWv}, {"Mid(s, 20, 2)", "", kWv},
    {"Mid(nt, 1, 2)", "NULL", kWv}, {"Mid(s, 0, 2)", "error 22023"},
    {"Mid(s, 1, -1)", "error 22023"}, {"Mid(s, Null)", "error 22004"},
    {"UCase(u)", "\u00C9T\u00C9 \U0001F600 \u00DF", kWv},
    {"LCase('\u00C0\u00C9\u00CE Stra\u00DFe')", "\u00E0\u00E9\u00EE stra\u00DFe", kWv},
    {"UCase(nt)", "NULL", kWv},
    {"Trim('  a b  ') & '|' & LTrim('  a ') & '|' & RTrim(' a  ')", "a b|a | a", kWv},
    {"Trim(e)", "", kWv}, {"InStr(s, 'WORLD')", "7", kInt}, {"InStr(1, s, 'WORLD', 0)", "0", kInt},
    {"InStr(7, s, 'o')", "8", kInt}, {"InStr(u, '\u00DF')", "7", kInt}, {"InStr(s, '')", "1", kInt},
    {"InStr(5, s, '')", "5", kInt}, {"InStr(e, 'a')", "0", kInt}, {"InStr(nt, 'a')", "NULL", kInt},
    {"InStr(0, s, 'o')", "error 22023"}, {"InStr(Null, s, 'o')", "error 22004"},
    {"InStr(1, s, 'o', 3)", "error 22023"}, {"InStrRev(s, 'O')", "8", kInt},
    {"InStrRev(s, 'o', 7)", "5", kInt}, {"InStrRev(s, 'o', 99)", "0", kInt},
    {"InStrRev(s, '')", "11", kInt}, {"InStrRev(nt, 'o')", "NULL", kInt},
    {"InStrRev(s, 'o', 0)", "error 22023"}, {"Replace(s, 'L', 'x')", "Hexxo Worxd", kWv},
    {"Replace(s, 'l', 'x', 4, 1)", "xo World", kWv},
    {"Replace(s, 'L', 'x', 1, -1, 0)", "Hello World", kWv},
    {"Replace(u, '\u00C9', 'e')", "ete \U0001F600 \u00DF", kWv},
    {"Replace(s, '', 'x') & Replace(e, 'a', 'b')", "Hello World", kWv},
    {"Replace(s, 'o', 'x', 99)", "", kWv}, {"Replace(nt, 'a', 'b')", "error 22004"},
    {"Replace(s, 'o', 'x', 0)", "error 22023"}, {"Space(3) & '|' & Space(0) & '|'", "   ||", kWv},
    {"Space(-1)", "error 22023"},
    {"String(3, 'xy') & String(2, 65) & String(2, 321) & String(1, 128)", "xxxAAAA\u20AC", kWv},
    {"String(nl, 'a')", "NULL", kWv}, {"String(2, '')", "error 22023"},
    {"String(-1, 'a')", "error 22023"}, {"StrComp('a', 'B')", "-1", kShort},
    {"StrComp('a', 'B', 0)", "1", kShort}, {"StrComp('\u00E9', 'f')", "-1", kShort},
    {"StrComp('ABC', 'abc')", "0", kShort}, {"StrComp(nt, 'a')", "NULL", kShort},
    {"StrComp('a', 'b', 7)", "error 22023"},
    {"StrReverse(u)", "\u00DF \U0001F600 \u00E9t\u00C9", kWv}, {"StrReverse(nt)", "error 22004"},
    {"StrConv('hello wORLD o''neil', 3)", "Hello World O'neil", kWv},
    {"StrConv(u, 1) & StrConv('AB', 2)", "\u00C9T\u00C9 \U0001F600 \u00DFab", kWv},
    {"StrConv(s, 64)", "error 22023"},
    {"Chr(65) & Chr(128) & Chr$(233) & ChrW(8364) & ChrW(-32768)", "A\u20AC\u00E9\u20AC\u8000", kWv},
    {"Chr(256)", "error 22023"}, {"Chr(Null)", "error 22004"}, {"ChrW(65536)", "error 22023"},
    {"Asc('\u20AC')", "128", kShort}, {"Asc('\U0001F600')", "63", kShort},
    {"AscW('\u20AC')", "8364", kShort}, {"AscW('\U0001F600')", "-10179", kShort},
    {"Asc(e)", "error 22023"}, {"Asc(nt)", "error 22004"}, {"AscW(ChrW(0))", "0", kShort},
    {"Nz(nt)", "", kWv}, {"Nz(nl)", "", kWv}, {"Nz(nl, 5)", "5", kInt}, {"Nz(l, 5)", "-7", kInt},
    {"Nz(nt, 'none')", "none", kWv}, {"IIf(nl > 1, 'y', 'n')", "n", kWv},
    {"IIf(l < 0, 1, 2.5)", "1", kDbl}, {"IIf(b, 0, 1 / 0)", "0", kDbl},
    {"Choose(2, 'a', 'b', 'c')", "b", kWv}, {"Choose(2.5, 'a', 'b', 'c')", "b", kWv},
    {"Choose(4, 'a')", "NULL", kWv}, {"Choose(0, 'a')", "NULL", kWv},
    {"Switch(l < 0, 'neg', l > 0, 'pos')", "neg", kWv}, {"Switch(l > 0, 'pos')", "NULL", kWv},
};

const Case kConversions[] = {
    {"CBool('yes')", "1", SQL_BIT}, {"CBool(0.4)", "1", SQL_BIT}, {"CBool(e)", "error 22018"},
    {"CBool(nl)", "error 22004"}, {"CBool(1, 2)", "error 42000"},
    {"CByte(254.5)", "254", SQL_TINYINT}, {"CByte(-0.5)", "0", SQL_TINYINT},
    {"CByte(255.5)", "error 22003"}, {"CByte(-1)", "error 22003"}, {"CInt(2.5)", "2", kShort},
    {"CInt(3.5)", "4", kShort}, {"CInt(-2.5)", "-2", kShort}, {"CInt(32767.5)", "error 22003"},
    {"CInt('12abc')", "error 22018"}, {"CLng('1,234.5')", "1234", kInt},
    {"CLng(-2147483648.5)", "-2147483648", kInt}, {"CLng(2147483647.5)", "error 22003"},
    {"CLng(nt)", "error 22004"}, {"CSng(1.1)", "1.1", SQL_REAL}, {"CSng(1E39)", "error 22003"},
    {"CDbl('1e3')", "1000", kDbl}, {"CCur(1.23456)", "1.2346", SQL_DECIMAL},
    {"CCur('1.00005') & '|' & CCur('1.00015')", "1|1.0002", kWv}, {"CCur(1E15)", "error 22003"},
    {"CDec('1.50')", "1.50", SQL_NUMERIC}, {"CDec('79228162514264337593543950336')", "error 22003"},
    {"CDate('2/29/2000')", "2000-02-29 00:00:00", kTs},
    {"CDate(-1.25)", "1899-12-29 06:00:00", kTs}, {"CDate('2/30/2000')", "error 22018"},
    {"CDate(ndt)", "error 22004"}, {"CVDate(ndt)", "NULL", kTs},
    {"CStr(d) & '|' & CStr(b) & '|' & CStr(dt)", "2.5|True|2/29/2000 1:45:30 PM", kWv},
    {"CStr(old)", "12/29/1899 6:00:00 AM", kWv}, {"CStr(nt)", "error 22004"},
    {"CVar(l)", "-7", kInt}, {"CVar(nl)", "NULL", kInt}, {"Val('  1 2 3abc')", "123", kDbl},
    {"Val('&HFFFF')", "-1", kDbl}, {"Val('&H10000')", "65536", kDbl}, {"Val('&O17')", "15", kDbl},
    {"Val('1e3x')", "1000", kDbl}, {"Val('-.5e1')", "-5", kDbl}, {"Val('1,5')", "1", kDbl},
    {"Val(e)", "0", kDbl}, {"Val(nt)", "error 22004"},
    {"Str(0.5) & '|' & Str(-0.5) & '|' & Str$(42)", " .5|-.5| 42", kWv}, {"Str(nl)", "NULL", kWv},
    {"Str('abc')", "error 22018"},
    {"Hex(255) & '|' & Hex(-1) & '|' & Hex(CInt(-1)) & '|' & Hex(2.5) & '|' & Hex(3.5)", "FF|FFFFFFFF|FFFF|2|4",
     kWv},
    {"Oct(8) & '|' & Oct$(-1)", "10|37777777777", kWv}, {"Hex(nl)", "NULL", kWv},
    {"Hex(3000000000)", "error 22003"},
};

const Case kNumbers[] = {
    {"Abs(l)", "7", kInt}, {"Abs(-2.5)", "2.5", kDbl}, {"Abs(CCur(-1.5))", "1.5000", SQL_DECIMAL},
    {"Abs(b)", "1", kShort}, {"Abs(nl)", "NULL", kInt}, {"Abs(CInt(-32768))", "error 22003"},
    {"Sgn(d) & Sgn(l) & Sgn(0)", "1-10", kWv}, {"Sgn(nl)", "NULL", kShort},
    {"Int(-2.5)", "-3", kDbl}, {"Fix(-2.5)", "-2", kDbl}, {"Int(l)", "-7", kInt},
    {"Int(CCur(-1.5))", "-2.0000", SQL_DECIMAL}, {"Int('2.5')", "2", kDbl},
    {"Int(dt)", "2000-02-29 00:00:00", kTs}, {"Int(old)", "1899-12-28 00:00:00", kTs},
    {"Fix(old)", "1899-12-29 00:00:00", kTs}, {"Fix(nl)", "NULL", kInt}, {"Round(2.5)", "2", kDbl},
    {"Round(3.5)", "4", kDbl}, {"Round(-2.5)", "-2", kDbl}, {"Round(0.125, 2)", "0.12", kDbl},
    {"Round(2.675, 2)", "2.67", kDbl}, {"Round(CCur(2.345), 2)", "2.3400", SQL_DECIMAL},
    {"Round(CDec('-2.345'), 2)", "-2.34", SQL_NUMERIC},
    {"SELECT CDec('0.00') / CDec(3), CDec(1) / CDec(8) FROM v", "0.00|0.125", SQL_NUMERIC},
    {"Round(l, 1)", "-7", kInt}, {"Round(nl)", "NULL", kInt}, {"Round(d, -1)", "error 22023"},
    {"Round(d, Null)", "error 22004"}, {"Sqr(16)", "4", kDbl}, {"Sqr(nd)", "NULL", kDbl},
    {"Sqr(-1)", "error 22023"}, {"Exp(0) + Log(1) + Sin(0) + Cos(0) + Tan(0)", "2", kDbl},
    {"Atn(1) * 4", "3.141592653589793", kDbl}, {"Exp(710)", "error 22003"},
    {"Log(0)", "error 22023"},
    // VBA's generator: its first numbers, a reseed with -1, Rnd(0) repeating the last number.
    {"SELECT Rnd() FROM seq", "0.7055475;0.533424;0.5795186", SQL_REAL},
    {"SELECT Rnd(-1), Rnd(0), Rnd(), Rnd(-1) FROM v", "0.22400701|0.22400701|0.035845816|0.22400701", SQL_REAL},
    {"SELECT Rnd(n) FROM seq", "0.7055475;0.533424;0.5795186", SQL_REAL},
    {"Rnd(nl)", "error 22004"},
};

const Case kDates[] = {
    {"Year(dt) & '-' & Month(dt) & '-' & Day(dt) & ' ' & Hour(dt) & ':' & Minute(dt) & ':' & Second(dt)",
     "2000-2-29 13:45:30", kWv},
    {"Year(old) & '-' & Month(old) & '-' & Day(old) & ' ' & Hour(old)", "1899-12-29 6", kWv},
    {"Year(dt)", "2000", kShort}, {"Year(ndt)", "NULL", kShort},
    {"Year('2/29/2000')", "2000", kShort}, {"Year('abc')", "error 22018"},
    {"Weekday(dt) & Weekday(dt, 2) & Weekday(old)", "326", kWv}, {"Weekday(dt, 8)", "error 22023"},
    {"DatePart('yyyy', dt) & DatePart('q', dt) & DatePart('m', dt) & DatePart('y', dt)", "20001260", kWv},
    {"DatePart('d', dt) & DatePart('w', dt) & DatePart('ww', dt) & DatePart('h', dt)", "2931013", kWv},
    {"DatePart('n', dt) & DatePart('s', dt) & DatePart('H', old) & DatePart('YYYY', old)", "453061899", kWv},
    {"DatePart('ww', dt, 1, 'x')", "error 22018"},
    {"DatePart('ww', #1/1/2005#, 2, 2)", "53", kShort},
    {"DatePart('ww', #12/30/2003#, 2, 2)", "1", kShort},
    {"DatePart('ww', #1/1/2000#, 1, 3)", "52", kShort},
    {"DatePart('ww', #12/31/2000#)", "54", kShort}, {"DatePart('d', ndt)", "NULL", kShort},
    {"DatePart('x', dt)", "error 22023"}, {"DatePart(Null, dt)", "error 22004"},
    {"DateAdd('m', 1, #1/31/2000#)", "2000-02-29 00:00:00", kTs},
    {"DateAdd('m', 1, #1/31/2001#)", "2001-02-28 00:00:00", kTs},
    {"DateAdd('yyyy', 1, dt)", "2001-02-28 13:45:30", kTs},
    {"DateAdd('q', -1, #5/31/2000#)", "2000-02-29 00:00:00", kTs},
    {"DateAdd('d', 1, #2/28/2000#)", "2000-02-29 00:00:00", kTs},
    {"SELECT DateAdd('d', -1.9, dt), DateAdd('d', 2.5, dt), DateAdd('d', 3.5, dt) FROM v",
     "2000-02-27 13:45:30|2000-03-02 13:45:30|2000-03-04 13:45:30", kTs},
    {"DateAdd('ww', 2, dt)", "2000-03-14 13:45:30", kTs},
    {"DateAdd('h', 18, old)", "1899-12-30 00:00:00", kTs},
    {"DateAdd('n', -400, old)", "1899-12-28 23:20:00", kTs},
    {"DateAdd('s', 30, dt)", "2000-02-29 13:46:00", kTs},
    {"DateAdd('yyyy', -1900, dt)", "0100-02-28 13:45:30", kTs},
    {"DateAdd('d', 1, ndt)", "NULL", kTs}, {"DateAdd('yyyy', 8000, dt)", "error 22008"},
    {"DateAdd('d', nl, dt)", "error 22004"},
    {"DateDiff('d', #1/1/2000 23:00#, #1/2/2000 01:00#)", "1", kInt},
    {"DateDiff('yyyy', #12/31/1999#, #1/1/2000#)", "1", kInt},
    {"DateDiff('m', #1/31/2000#, #2/1/2000#)", "1", kInt},
    {"DateDiff('q', #3/31/2000#, #4/1/2000#)", "1", kInt},
    {"DateDiff('ww', #1/1/2000#, #1/9/2000#)", "2", kInt},
    {"DateDiff('ww', #1/1/2000#, #1/9/2000#, 2)", "1", kInt},
    {"DateDiff('w', #1/1/2000#, #1/14/2000#)", "1", kInt},
    {"DateDiff('h', #1/1/2000 10:59#, #1/1/2000 11:01#)", "1", kInt},
    {"DateDiff('n', #12/29/1899 23:59#, #12/30/1899 00:01#)", "2", kInt},
    {"DateDiff('d', dt, old)", "-36586", kInt}, {"DateDiff('d', ndt, dt)", "NULL", kInt},
    {"DateDiff('s', #1/1/100#, #12/31/9999#)", "error 22003"},
    {"DateSerial(2000, 14, 35)", "2001-03-07 00:00:00", kTs},
    {"DateSerial(2000, 2, 29)", "2000-02-29 00:00:00", kTs},
    {"DateSerial(1900, 2, 29)", "1900-03-01 00:00:00", kTs},
    {"DateSerial(2000, 3, 0)", "2000-02-29 00:00:00", kTs},
    {"DateSerial(2000, 1, -1)", "1999-12-30 00:00:00", kTs},
    {"DateSerial(2000, 0, 1)", "1999-12-01 00:00:00", kTs},
    {"DateSerial(99, 1, 1) & '|' & DateSerial(29, 1, 1)", "1/1/1999|1/1/2029", kWv},
    {"DateSerial(1899, 12, 29)", "1899-12-29 00:00:00", kTs},
    {"DateSerial(10000, 1, 1)", "error 22008"}, {"DateSerial(2000, 1, 40000)", "error 22003"},
    {"DateSerial(nl, 1, 1)", "error 22004"}, {"TimeSerial(25, 0, 0)", "1899-12-31 01:00:00", kTs},
    {"TimeSerial(12, -5, 45)", "1899-12-30 11:55:45", kTs},
    {"DateValue('2/29/2000 13:00')", "2000-02-29 00:00:00", kTs},
    {"DateValue(old)", "1899-12-29 00:00:00", kTs}, {"TimeValue(old)", "1899-12-30 06:00:00", kTs},
    {"TimeValue('1:30 PM')", "1899-12-30 13:30:00", kTs}, {"DateValue('abc')", "error 22018"},
    {"DateValue(ndt)", "error 22004"}, {"MonthName(2) & MonthName(12, True)", "FebruaryDec", kWv},
    {"WeekdayName(1) & WeekdayName(1, True, 2) & WeekdayName(7, False, 2)", "SundayMonSunday", kWv},
    {"MonthName(13)", "error 22023"},
    {"Date() = Int(Now()) AND Time() < 1 AND Year(Now()) >= 2024", "1", SQL_BIT},
};

const Case kFormats[] = {
    {"Format(dt, 'General Date')", "2/29/2000 1:45:30 PM", kWv},
    {"Format(dt, 'Long Date')", "Tuesday, February 29, 2000", kWv},
    {"Format(dt, 'Medium Date') & '|' & Format(dt, 'Short Date')", "29-Feb-00|2/29/2000", kWv},
    {"Format(dt, 'Long Time') & '|' & Format(dt, 'Medium Time') & '|' & Format(dt, 'Short Time')",
     "1:45:30 PM|01:45 PM|13:45", kWv},
    {"Format(old, 'General Date') & '|' & Format(#1:30 PM#, 'General Date')", "12/29/1899 6:00:00 AM|1:30:00 PM",
     kWv},
    {"Format(1234.567, 'General Number') & '|' & Format(-1234.567, 'Currency') & '|' & Format(1234.565, 'Currency')",
     "1234.567|($1,234.57)|$1,234.57", kWv},
    {"Format(1234.567, 'Fixed') & '|' & Format(0.5, 'Fixed') & '|' & Format(1234.567, 'Standard')",
     "1234.57|0.50|1,234.57", kWv},
    {"Format(0.12345, 'Percent') & '|' & Format(1234.567, 'Scientific')", "12.35%|1.23E+03", kWv},
    {"Format(0, 'Yes/No') & Format(l, 'True/False') & Format(b, 'On/Off')", "NoTrueOn", kWv},
    {"Format(5, '0.00') & '|' & Format(0.5, '#.##') & '|' & Format(5, '#.##') & '|' & Format(0, '#') & '|'",
     "5.00|.5|5.||", kWv},
    {"Format(1234567.891, '#,##0.00') & '|' & Format(1234567, '#,##0,') & '|' & Format(5, '0000')",
     "1,234,567.89|1,235|0005", kWv},
    {"Format(5551234567, '(000) 000-0000')", "(555) 123-4567", kWv},
    {"Format(-5, '0;(0)') & '|' & Format(0, '0;(0);\\z\\e\\r\\o') & '|' & Format(nd, '0;(0);z;\"none\"')",
     "(5)|zero|none", kWv},
    {"Format(2.5, '0') & '|' & Format(-2.5, '0') & '|' & Format(-0.4, '0') & '|' & Format(0.125, '0.00')",
     "3|-3|-0|0.13", kWv},
    {"Format(12345, '0.00E+00') & '|' & Format(0.00012, '0.0E-0') & '|' & Format(99999, '0.0E+0')",
     "1.23E+04|1.2E-4|1.0E+5", kWv},
    {"Format(0.5, '0%') & '|' & Format(-5, '$0.00')", "50%|-$5.00", kWv},
    {"Format(dt, 'yyyy-mm-dd hh:nn:ss') & '|' & Format(dt, 'dddd d mmmm yy') & '|' & Format(dt, 'ddd mmm')",
     "2000-02-29 13:45:30|Tuesday 29 February 00|Tue Feb", kWv},
    {"Format(dt, 'h:m AM/PM') & '|' & Format(dt, 'hh:mm a/p') & '|' & Format(dt, 'q w ww y')",
     "1:45 PM|01:45 p|1 3 10 60", kWv},
    {"Format(old, 'yyyy-mm-dd hh:nn') & '|' & Format(dt, 'ddddd ttttt') & '|' & Format(dt, '\"at\" hh\\h')",
     "1899-12-29 06:00|2/29/2000 1:45:30 PM|at 13h", kWv},
    {"Format(#1/1/2005#, 'ww', 2, 2) & '|' & Format(36526, 'yyyy-mm-dd') & '|' & Format('1/2/2000', 'yyyy')",
     "53|2000-01-01|2000", kWv},
    {"Format(ndt, 'yyyy')", "NULL", kWv},
    {"Format('abc', '@@@@@') & '|' & Format('abc', '!@@@@@') & '|' & Format('abcdef', '@@@')", "  abc|abc  |abcdef",
     kWv},
    {"Format('5551234', '@@@-@@@@') & '|' & Format('abc', '>') & '|' & Format('\u00C9t\u00C9', '<')",
     "555-1234|ABC|\u00E9t\u00E9", kWv},
    {"Format(e, '@;\"empty\"') & '|' & Format('abc', '&&&&&') & '|' & Format(nt, '@;\"none\"')", "empty|abc|none",
     kWv},
    {"Format(s) & '|' & Format('abc', '0.00') & '|' & Format('12.5', '0.00') & '|' & Format(dt, '0.00')",
     "Hello World|abc|12.50|36585.57", kWv},
    {"Format(nt)", "NULL", kWv}, {"Format(m, '>')", "MEMO TEXT", SQL_WLONGVARCHAR},
    {"FormatNumber(1234.5) & '|' & FormatNumber(-0.5, 1, 0) & '|' & FormatNumber(-1234.5, 0, -1, -1, 0)",
     "1,234.50|-.5|(1235)", kWv},
    {"FormatNumber(0.125, 2) & '|' & FormatNumber(1234567, 0, -2, -2, 0)", "0.13|1234567", kWv},
    {"FormatCurrency(-1234.567) & '|' & FormatCurrency(1234.5, 0) & '|' & FormatCurrency(-1, 2, -1, 0)",
     "($1,234.57)|$1,235|-$1.00", kWv},
    {"FormatPercent(0.1234) & '|' & FormatPercent(-0.5, 0)", "12.34%|-50%", kWv},
    {"FormatNumber('abc')", "error 22018"}, {"FormatNumber(nd)", "error 22004"},
    {"FormatNumber(1, 2, 5)", "error 22023"},
    {"FormatDateTime(dt) & '|' & FormatDateTime(dt, 1) & '|' & FormatDateTime(dt, 2)",
     "2/29/2000 1:45:30 PM|Tuesday, February 29, 2000|2/29/2000", kWv},
    {"FormatDateTime(dt, 3) & '|' & FormatDateTime(dt, 4) & '|' & FormatDateTime(old)",
     "1:45:30 PM|13:45|12/29/1899 6:00:00 AM", kWv},
    {"FormatDateTime(dt, 5)", "error 22023"},
};

const Case kInspections[] = {
    {"SELECT IsNull(nt), IsNull(s), IsEmpty(nt), IsEmpty(e) FROM v", "1|0|0|0", SQL_BIT},
    {"SELECT IsNumeric('1,234.5'), IsNumeric(' 12 '), IsNumeric('&HFF'), IsNumeric(l) FROM v", "1|1|1|1", SQL_BIT},
    {"SELECT IsNumeric('abc'), IsNumeric(e), IsNumeric(nt), IsNumeric(dt), IsNumeric('&Z17'), IsNumeric('&O18') FROM v",
     "0|0|0|0|0|0", SQL_BIT},
    {"SELECT IsNumeric('&O17'), IsDate('12:30:45.5'), IsDate('12:30:45.'), IsDate('12:30:45.x') FROM v", "1|1|0|0",
     SQL_BIT},
    {"SELECT IsDate('2/29/2000'), IsDate(dt), IsDate('2/30/2000'), IsDate(1), IsDate(ndt) FROM v", "1|1|0|0|0",
     SQL_BIT},
    {"SELECT VarType(CInt(1)), VarType(l), VarType(CSng(1)), VarType(d), VarType(CCur(1)), VarType(dt) FROM v",
     "2|3|4|5|6|7", kShort},
    {"SELECT VarType(s), VarType(b), VarType(CDec(1)), VarType(CByte(1)), VarType(nl) FROM v", "8|11|14|17|1",
     kShort},
    {"SELECT TypeName(d), TypeName(nt), TypeName(CByte(1)), TypeName(m), TypeName(b), TypeName(dt) FROM v",
     "Double|Null|Byte|String|Boolean|Date", kWv},
    {"SELECT TypeName(CCur(1)), TypeName(CDec(1)), TypeName(CInt(1)), TypeName(l) FROM v",
     "Currency|Decimal|Integer|Long", kWv},
};

// Money (the examples of the functions' documentation), ranges, colors, links and GUIDs.
const Case kOthers[] = {
    {"SELECT Round(Pmt(0.08 / 12, 10, 10000), 2), Round(FV(0.06 / 12, 10, -200, -500, 1), 2), "
     "Round(PV(0.08 / 12, 240, 500), 2) FROM v", "-1037.03|2581.4|-59777.15", kDbl},
    {"SELECT Round(IPmt(0.1 / 12, 1, 36, 8000), 2), Round(PPmt(0.1 / 12, 1, 24, 2000), 2), IPmt(0.1, 1, 3, 100, 0, 1) "
     "FROM v", "-66.67|-75.62|0", kDbl},
    {"SELECT Round(Rate(48, -200, 8000), 6), Round(NPer(0.12 / 12, -100, -1000, 10000), 2), NPer(0, -100, 1000) FROM v",
     "0.007701|60.08|10", kDbl},
    {"SELECT SLN(30000, 7500, 10), Round(SYD(30000, 7500, 10, 10), 2), DDB(2400, 300, 10, 1), Round(DDB(2400, 300, 10, 10), 2) "
     "FROM v", "2250|409.09|480|22.12", kDbl},
    {"IPmt(0.1, 4, 3, 100)", "error 22023"}, {"SLN(1, 0, 0)", "error 22023"},
    {"SYD(1, 0, 5, 1, 1)", "error 42000"}, {"Rate(10, 100, 100)", "error 22023"},
    {"Pmt(nd, 10, 100)", "error 22004"},
    {"SELECT Partition(7, 0, 99, 5), Partition(-1, 0, 100, 10), Partition(100, 0, 100, 10), Partition(150, 0, 100, 10) "
     "FROM v", "  5:  9|    :  -1| 100: 100| 101:    ", kWv},
    {"Partition(nl, 0, 9, 1)", "NULL", kWv}, {"Partition(1, 5, 5, 1)", "error 22023"},
    {"SELECT RGB(255, 0, 300), RGB(1, 2, 3), QBColor(1), QBColor(15) FROM v", "16711935|197121|8388608|16777215",
     kInt},
    {"RGB(-1, 0, 0)", "error 22023"}, {"QBColor(16)", "error 22023"},
    {"SELECT HyperlinkPart('Site#http://x.org#top#tip'), HyperlinkPart('#http://x.org#top', 0), "
     "HyperlinkPart('Site#http://x.org#top#tip', 4), HyperlinkPart('#http://x.org#top', 5) FROM v",
     "Site|http://x.org|tip|http://x.org#top", kWv},
    {"GUIDFromString('{guid {6ba7b810-9dad-11d1-80b4-00c04fd430c8}}')", "{6BA7B810-9DAD-11D1-80B4-00C04FD430C8}", SQL_GUID},
    {"StringFromGUID(GUIDFromString('{6ba7b810-9dad-11d1-80b4-00c04fd430c8}'))",
     "{guid {6BA7B810-9DAD-11D1-80B4-00C04FD430C8}}", kWv},
    {"GUIDFromString('{6ba7b810}')", "error 22018"}, {"StringFromGUID(nt)", "NULL", kWv},
    // Timer is the seconds since midnight of Time (a second apart at most, or across midnight).
    {"SELECT IsArray(s), IsError(s), IsObject(nt), CurrentUser(), "
     "Abs(Timer() - (Hour(Time()) * 3600 + Minute(Time()) * 60 + Second(Time()))) Mod 86399 < 2 FROM v",
     "0|0|0|Admin|1", SQL_BIT},
    // Functions the driver does not build are refused by name; unknown names as unknown.
    {"DLookup('s', 'v')", "error 42000"}, {"NoSuchFunction(s)", "error 42000"},
};

// Arguments at the ends of their ranges and texts with a NUL: an answer or an error, never a
// wrapped value, a crash or a value past the connection's memory bound.
const Case kHostile[] = {
    {"Space(2147483647)", "error HY001"}, {"String(2000000000, 'ab')", "error HY001"},
    {"{fn REPEAT('ab', 2000000000)}", "error HY001"},
    {"SELECT Mid(s, 2147483647), Left(s, 2147483647), Right(s, 2147483647), InStr(2147483647, s, 'a') FROM v",
     "|Hello World|Hello World|0", kWv},
    {"SELECT Len('a' & Chr(0) & 'b'), InStr('a' & Chr(0) & 'b', 'b'), Len(Replace('a' & Chr(0) & 'b', Chr(0), '')) "
     "FROM v", "3|3|2", kInt},
    {"SELECT Len(Format(1E308, '0')), Len(Format(d, String(300, '0') & '.' & String(300, '0'))) FROM v", "309|601",
     kInt},
    {"SELECT Format(5, '0 \"abc'), Format(5, '\\') FROM v", "5 abc|", kWv},
    {"SELECT {fn ROUND(1E308, -28)}, {fn TRUNCATE(-1E300, -3)} FROM v", "1e+308|-1e+300", kDbl},
    {"ChrW(55296)", "error 22023"}, {"Hex(CDec('1E20'))", "error 22003"},
    {"Val(String(400, '9'))", "error 22003"}, {"DateAdd('d', 1E300, dt)", "error 22008"},
    {"DateAdd('yyyy', 2147483647, dt)", "error 22008"},
    {"DateAdd('yyyy', 4294967296, dt)", "error 22008"}, {"DateSerial(-32768, 1, 1)", "error 22008"},
    {"TimeSerial(32767, 32767, 32767)", "1903-10-19 10:13:07", kTs},
};

const Case kAggregates[] = {
    {"SELECT Sum(CCur(v / 100)), Avg(CCur(v / 100)) FROM g", "44985.0000|14.9950", SQL_DECIMAL},
    {"SELECT Sum(CDec('0.1')) FROM g", "300.0", SQL_NUMERIC},
    {"SELECT Sum(v), Avg(v), Count(v), Min(v), Max(v) FROM g WHERE v < 4", "6|1.5|4|0|3", kInt},
    {"SELECT Round(Var(n), 6), Round(VarP(n), 6), Round(StDev(n), 6), Round(StDevP(n), 6) FROM seq",
     "2.333333|1.555556|1.527525|1.247219", kDbl},
    {"SELECT StDev(n), Var(n), StDevP(n) FROM seq WHERE n = 1", "NULL|NULL|0", kDbl},
    {"SELECT First(n), Last(n), Count(*) FROM seq WHERE n > 9", "NULL|NULL|0", kInt},
    {"SELECT First(nt), Last(l) FROM v", "NULL|-7", kWv},
};

// The ODBC scalar functions with the SQLGetInfo bit that advertises each.
#define STR_FN(name) SQL_STRING_FUNCTIONS, SQL_FN_STR_##name
#define NUM_FN(name) SQL_NUMERIC_FUNCTIONS, SQL_FN_NUM_##name
#define TD_FN(name) SQL_TIMEDATE_FUNCTIONS, SQL_FN_TD_##name
#define SYS_FN(name) SQL_SYSTEM_FUNCTIONS, SQL_FN_SYS_##name
#define ADD_TSI(name) SQL_TIMEDATE_ADD_INTERVALS, SQL_FN_TSI_##name
#define DIFF_TSI(name) SQL_TIMEDATE_DIFF_INTERVALS, SQL_FN_TSI_##name
struct OdbcCase {
  SQLUSMALLINT info;  // 0: no bit of its own
  SQLUINTEGER bit;
  Case c;
};

const OdbcCase kOdbc[] = {
    {STR_FN(ASCII), {"{fn ASCII('A')}", "65", kInt}},
    {STR_FN(BIT_LENGTH), {"{fn BIT_LENGTH('ab')}", "32", kInt}},
    {STR_FN(CHAR), {"{fn CHAR(233)}", "\u00E9", kWv}},
    {STR_FN(CHAR_LENGTH), {"{fn CHAR_LENGTH('ab  ')}", "4", kInt}},
    {STR_FN(CHARACTER_LENGTH), {"{fn CHARACTER_LENGTH(u)}", "7", kInt}},
    {STR_FN(CONCAT), {"{fn CONCAT(s, '!')}", "Hello World!", kWv}},
    {STR_FN(DIFFERENCE), {"{fn DIFFERENCE('Robert', 'Rupert')}", "4", kShort}},
    {STR_FN(INSERT), {"{fn INSERT(s, 1, 5, 'Bye')}", "Bye World", kWv}},
    {STR_FN(LCASE), {"{fn LCASE(u)}", "\u00E9t\u00E9 \U0001F600 \u00DF", kWv}},
    {STR_FN(LEFT), {"{fn LEFT(s, 2)}", "He", kWv}},
    {STR_FN(LENGTH), {"{fn LENGTH('ab  ')}", "2", kInt}},
    {STR_FN(LOCATE), {"{fn LOCATE('O', s)}", "5", kInt}},
    {STR_FN(LOCATE_2), {"{fn LOCATE('o', s, 6)}", "8", kInt}},
    {STR_FN(LTRIM), {"{fn LTRIM('  a')}", "a", kWv}},
    {STR_FN(OCTET_LENGTH), {"{fn OCTET_LENGTH(u)}", "16", kInt}},
    {STR_FN(REPEAT), {"{fn REPEAT('ab', 3)}", "ababab", kWv}},
    {STR_FN(REPLACE), {"{fn REPLACE(s, 'o', '0')}", "Hell0 W0rld", kWv}},
    {STR_FN(RIGHT), {"{fn RIGHT(s, 3)}", "rld", kWv}},
    {STR_FN(RTRIM), {"{fn RTRIM('a  ')} & '|'", "a|", kWv}},
    {STR_FN(SOUNDEX), {"{fn SOUNDEX('Tymczak')}", "T522", kWv}},
    {STR_FN(SPACE), {"{fn SPACE(2)} & '|'", "  |", kWv}},
    {STR_FN(SUBSTRING), {"{fn SUBSTRING(s, 7, 5)}", "World", kWv}},
    {STR_FN(UCASE), {"{fn UCASE(s)}", "HELLO WORLD", kWv}},
    {NUM_FN(ABS), {"{fn ABS(-2)}", "2", kInt}}, {NUM_FN(ACOS), {"{fn ACOS(1)}", "0", kDbl}},
    {NUM_FN(ASIN), {"{fn ASIN(0)}", "0", kDbl}}, {NUM_FN(ATAN), {"{fn ATAN(0)}", "0", kDbl}},
    {NUM_FN(ATAN2), {"{fn ATAN2(1, 0)}", "0", kDbl}},
    {NUM_FN(CEILING), {"{fn CEILING(-2.1)}", "-2", kDbl}},
    {NUM_FN(COS), {"{fn COS(0)}", "1", kDbl}},
    {NUM_FN(COT), {"Round({fn COT({fn PI()} / 4)}, 9)", "1", kDbl}},
    {NUM_FN(DEGREES), {"{fn DEGREES({fn PI()})}", "180", kDbl}},
    {NUM_FN(EXP), {"{fn EXP(0)}", "1", kDbl}}, {NUM_FN(FLOOR), {"{fn FLOOR(-2.1)}", "-3", kDbl}},
    {NUM_FN(LOG), {"{fn LOG(1)}", "0", kDbl}}, {NUM_FN(LOG10), {"{fn LOG10(1000)}", "3", kDbl}},
    {NUM_FN(MOD), {"{fn MOD(-7, 3)}", "-1", kInt}},
    {NUM_FN(PI), {"{fn PI()}", "3.141592653589793", kDbl}},
    {NUM_FN(POWER), {"{fn POWER(2, 10)}", "1024", kDbl}},
    {NUM_FN(RADIANS), {"{fn RADIANS(180)}", "3.141592653589793", kDbl}},
    {NUM_FN(RAND), {"{fn RAND(5)}", "0.7107346057891846", kDbl}},
    {NUM_FN(ROUND), {"{fn ROUND(1250, -2)}", "1200", kInt}},
    {NUM_FN(SIGN), {"{fn SIGN(-3)}", "-1", kShort}}, {NUM_FN(SIN), {"{fn SIN(0)}", "0", kDbl}},
    {NUM_FN(SQRT), {"{fn SQRT(16)}", "4", kDbl}}, {NUM_FN(TAN), {"{fn TAN(0)}", "0", kDbl}},
    {NUM_FN(TRUNCATE), {"{fn TRUNCATE(-1234.5, -2)}", "-1200", kDbl}},
    {TD_FN(CURRENT_DATE), {"{fn CURRENT_DATE()} = Date()", "1", SQL_BIT}},
    {TD_FN(CURRENT_TIME), {"{fn CURRENT_TIME} < 1", "1", SQL_BIT}},
    {TD_FN(CURRENT_TIMESTAMP), {"{fn CURRENT_TIMESTAMP(3)} >= Date()", "1", SQL_BIT}},
    {TD_FN(CURDATE), {"{fn CURDATE()} = Date()", "1", SQL_BIT}},
    {TD_FN(CURTIME), {"{fn CURTIME()} < 1", "1", SQL_BIT}},
    {TD_FN(DAYNAME), {"{fn DAYNAME(dt)}", "Tuesday", kWv}},
    {TD_FN(DAYOFMONTH), {"{fn DAYOFMONTH(dt)}", "29", kShort}},
    {TD_FN(DAYOFWEEK), {"{fn DAYOFWEEK(dt)}", "3", kShort}},
    {TD_FN(DAYOFYEAR), {"{fn DAYOFYEAR(dt)}", "60", kShort}},
    {TD_FN(HOUR), {"{fn HOUR(old)}", "6", kShort}},
    {TD_FN(MINUTE), {"{fn MINUTE(dt)}", "45", kShort}},
    {TD_FN(MONTH), {"{fn MONTH(dt)}", "2", kShort}},
    {TD_FN(MONTHNAME), {"{fn MONTHNAME(dt)}", "February", kWv}},
    {TD_FN(NOW), {"{fn NOW()} >= Date()", "1", SQL_BIT}},
    {TD_FN(QUARTER), {"{fn QUARTER(#12/31/2000#)}", "4", kShort}},
    {TD_FN(SECOND), {"{fn SECOND(dt)}", "30", kShort}},
    {TD_FN(TIMESTAMPADD),
     {"{fn TIMESTAMPADD(SQL_TSI_MONTH, 1, #1/31/2000#)}", "2000-02-29 00:00:00", kTs}},
    {TD_FN(TIMESTAMPDIFF), {"{fn TIMESTAMPDIFF(SQL_TSI_DAY, old, dt)}", "36586", kInt}},
    {TD_FN(WEEK), {"{fn WEEK(dt)}", "10", kShort}},
    {TD_FN(YEAR), {"{fn YEAR(old)}", "1899", kShort}},
    {ADD_TSI(FRAC_SECOND),
     {"{fn TIMESTAMPADD(SQL_TSI_FRAC_SECOND, 5000000, dt)}", "2000-02-29 13:45:30.005", kTs}},
    {ADD_TSI(SECOND), {"{fn TIMESTAMPADD(SQL_TSI_SECOND, -31, dt)}", "2000-02-29 13:44:59", kTs}},
    {ADD_TSI(MINUTE), {"{fn TIMESTAMPADD(sql_tsi_minute, 15, dt)}", "2000-02-29 14:00:30", kTs}},
    {ADD_TSI(HOUR), {"{fn TIMESTAMPADD(SQL_TSI_HOUR, 18, old)}", "1899-12-30 00:00:00", kTs}},
    {ADD_TSI(DAY), {"{fn TIMESTAMPADD(SQL_TSI_DAY, 1, #2/28/2000#)}", "2000-02-29 00:00:00", kTs}},
    {ADD_TSI(WEEK), {"{fn TIMESTAMPADD(SQL_TSI_WEEK, -1, dt)}", "2000-02-22 13:45:30", kTs}},
    {ADD_TSI(MONTH), {"{fn TIMESTAMPADD(SQL_TSI_MONTH, 12, dt)}", "2001-02-28 13:45:30", kTs}},
    {ADD_TSI(QUARTER),
     {"{fn TIMESTAMPADD(SQL_TSI_QUARTER, 1, #11/30/1899#)}", "1900-02-28 00:00:00", kTs}},
    {ADD_TSI(YEAR), {"{fn TIMESTAMPADD(SQL_TSI_YEAR, 4, dt)}", "2004-02-29 13:45:30", kTs}},
    {DIFF_TSI(FRAC_SECOND),
     {"{fn TIMESTAMPDIFF(SQL_TSI_FRAC_SECOND, #1/1/2000#, #1/1/2000 0:00:01#)}", "1000000000", SQL_BIGINT}},
    {DIFF_TSI(SECOND), {"{fn TIMESTAMPDIFF(SQL_TSI_SECOND, old, #12/29/1899 6:01#)}", "60", kInt}},
    {DIFF_TSI(MINUTE),
     {"{fn TIMESTAMPDIFF(SQL_TSI_MINUTE, #12/29/1899 23:59#, #12/30/1899#)}", "1", kInt}},
    {DIFF_TSI(HOUR), {"{fn TIMESTAMPDIFF(SQL_TSI_HOUR, dt, old)}", "-878071", kInt}},
    {DIFF_TSI(DAY), {"{fn TIMESTAMPDIFF(SQL_TSI_DAY, #2/28/2000#, #3/1/2000#)}", "2", kInt}},
    {DIFF_TSI(WEEK), {"{fn TIMESTAMPDIFF(SQL_TSI_WEEK, #1/1/2000#, #1/9/2000#)}", "2", kInt}},
    {DIFF_TSI(MONTH), {"{fn TIMESTAMPDIFF(SQL_TSI_MONTH, #1/31/2000#, #2/1/2000#)}", "1", kInt}},
    {DIFF_TSI(QUARTER), {"{fn TIMESTAMPDIFF(SQL_TSI_QUARTER, old, dt)}", "401", kInt}},
    {DIFF_TSI(YEAR), {"{fn TIMESTAMPDIFF(SQL_TSI_YEAR, #12/31/1999#, #1/1/2000#)}", "1", kInt}},
    {SYS_FN(DBNAME), {"{fn DATABASE()} & '|'", "|", kWv}},
    {SYS_FN(IFNULL), {"{fn IFNULL(nl, 3)}", "3", kInt}},
    {SYS_FN(USERNAME), {"{fn USER()}", "Admin", kWv}},
    {SQL_CONVERT_FUNCTIONS, SQL_FN_CVT_CONVERT, {"{fn CONVERT('12', SQL_INTEGER)}", "12", kInt}},
    {SQL_CONVERT_DATE, SQL_CVT_TIMESTAMP, {"{fn CONVERT(dt, SQL_DATE)}", "2000-02-29 00:00:00", kTs}},
    {SQL_CONVERT_TIMESTAMP, SQL_CVT_TIME, {"{fn CONVERT(old, SQL_TYPE_TIME)}", "1899-12-30 06:00:00", kTs}},
    {SQL_CONVERT_DOUBLE, SQL_CVT_VARCHAR, {"{fn CONVERT(d, SQL_VARCHAR)}", "2.5", kWv}},
    {SQL_CONVERT_VARCHAR, SQL_CVT_DECIMAL, {"{fn CONVERT('1.25', SQL_DECIMAL)}", "1.25", SQL_NUMERIC}},
    {SQL_CONVERT_INTEGER, SQL_CVT_BIT, {"{fn CONVERT(l, SQL_BIT)}", "1", SQL_BIT}},
    {SQL_CONVERT_INTEGER, SQL_CVT_DOUBLE, {"{fn CONVERT(nl, SQL_DOUBLE)}", "NULL", kDbl}},
    {SQL_CONVERT_INTEGER, SQL_CVT_SMALLINT, {"{fn CONVERT(300, SQL_SMALLINT)}", "300", kShort}},
    {SQL_CONVERT_INTEGER, SQL_CVT_TINYINT, {"{fn CONVERT(300, SQL_TINYINT)}", "error 22003"}},
    {SQL_CONVERT_INTEGER, SQL_CVT_TIMESTAMP, {"{fn CONVERT(1, SQL_TIMESTAMP)}", "1899-12-31 00:00:00", kTs}},
    {SQL_CONVERT_WVARCHAR, SQL_CVT_WLONGVARCHAR, {"{fn CONVERT(s, SQL_WLONGVARCHAR)}", "Hello World", SQL_WLONGVARCHAR}},
    {0, 0, {"{fn CONVERT(1, SQL_FOO)}", "error 22018"}},
    {0, 0, {"{fn TIMESTAMPADD(SQL_TSI_EON, 1, dt)}", "error 22018"}},
    {0, 0, {"{fn TIMESTAMPADD(SQL_TSI_YEAR, 8000, dt)}", "error 22008"}},
    {0, 0, {"{fn COT(0)}", "error 22012"}}, {0, 0, {"{fn ACOS(2)}", "error 22023"}},
    {0, 0, {"SELECT {fn LEFT(nt, 2)}, {fn ASCII(e)}, {fn SOUNDEX(nt)}, {fn ABS(nl)} FROM v", "NULL|NULL|NULL|NULL",
            kWv}},
};
#undef STR_FN
#undef NUM_FN
#undef TD_FN
#undef SYS_FN
#undef ADD_TSI
#undef DIFF_TSI

class FunctionAnswersTest : public DriverTest {
 protected:
  void SetUp() override {
    Write(Tables(groupRows));
    Connect(true, true);
  }

  // An expression on `v` is selected from `v`; the ODBC type is the first column's.
  void Check(const Case& c) {
    std::string statement = c.expression;
    if (statement.compare(0, 7, "SELECT ") != 0) statement = "SELECT " + statement + " FROM v";
    const Answer answer = Ask(*session, statement);
    EXPECT_EQ(answer.Shown(), c.value) << statement;
    const bool typed = answer.state.empty() && !answer.sqlTypes.empty();
    EXPECT_EQ(typed ? answer.sqlTypes[0] : 0, c.type) << statement;
    // The message says what is wrong, in words (not a value left in its place).
    const std::string said = answer.message.substr(answer.message.rfind(']') + 1);
    if (!answer.state.empty()) {
      EXPECT_NE(said.find_first_of("abcdefghijklmnopqrstuvwxyz"), std::string::npos) << said;
    }
  }

  std::vector<std::pair<std::string, int>> groupRows;
};

// A family of cases, all checked on one connection.
struct Family { const char* name; std::span<const Case> cases; };

class FunctionFamilyTest : public FunctionAnswersTest,
                           public ::testing::WithParamInterface<Family> {};

TEST_P(FunctionFamilyTest, AnswersAsAccess) {
  for (const Case& c : GetParam().cases) Check(c);
}

const Family kFamilies[] = {
    {"Text", kText}, {"Conversions", kConversions}, {"Numbers", kNumbers}, {"Dates", kDates},
    {"Formats", kFormats}, {"TestsOnValues", kInspections}, {"MoneyRangesColorsLinksAndGuids", kOthers},
    {"HostileArguments", kHostile}, {"Aggregates", kAggregates}};

INSTANTIATE_TEST_SUITE_P(Families, FunctionFamilyTest, ::testing::ValuesIn(kFamilies),
                         [](const auto& info) { return std::string(info.param.name); });

// Each run of a statement starts VBA's sequence again; the calls of one run share it.
TEST_F(FunctionAnswersTest, RndRestartsWithEachRun) {
  ASSERT_EQ(session->Prepare(stmt, "SELECT Rnd(), Rnd() FROM seq"), SQL_SUCCESS);
  for (int run = 0; run < 2; ++run) {
    ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS);
    std::string rows;
    while (SQLFetch(stmt) == SQL_SUCCESS) {
      rows += Narrow(ReadWide(stmt, 1).value_or(u"")) + "," + Narrow(ReadWide(stmt, 2).value_or(u"")) + ";";
    }
    EXPECT_EQ(rows, "0.7055475,0.533424;0.5795186,0.28956246;0.301948,0.7747401;") << "run " << run;
    SQLFreeStmt(stmt, SQL_CLOSE);
  }
}

// First and Last take the first and the last row of each group in the order the table holds
// them, however the groups interleave.
TEST_F(FunctionAnswersTest, FirstAndLastFollowTheRowsOrder) {
  std::map<std::string, std::pair<int, int>> ends;
  for (const auto& [group, value] : groupRows) {
    auto found = ends.try_emplace(group, value, value);
    found.first->second.second = value;
  }
  std::string expected;
  for (const auto& [group, firstLast] : ends) {
    expected += (expected.empty() ? "" : ";") + group + "|" + std::to_string(firstLast.first) + "|" +
                std::to_string(firstLast.second);
  }
  EXPECT_EQ(Ask(*session, "SELECT g, First(v), Last(v) FROM g GROUP BY g ORDER BY g").Shown(), expected);
}

// Every ODBC function answers as the reference defines it, and SQLGetInfo advertises exactly
// the functions and intervals there are.
TEST_F(FunctionAnswersTest, OdbcFunctionsAreTheAdvertisedOnes) {
  std::map<SQLUSMALLINT, SQLUINTEGER> advertised;
  for (const OdbcCase& o : kOdbc) {
    Check(o.c);
    if (o.info != 0) advertised[o.info] |= o.bit;
  }
  const SQLUSMALLINT kFunctionLists[] = {SQL_STRING_FUNCTIONS,  SQL_NUMERIC_FUNCTIONS, SQL_TIMEDATE_FUNCTIONS,
                                          SQL_SYSTEM_FUNCTIONS,  SQL_CONVERT_FUNCTIONS, SQL_TIMEDATE_ADD_INTERVALS,
                                          SQL_TIMEDATE_DIFF_INTERVALS};
  for (SQLUSMALLINT info : kFunctionLists) {
    EXPECT_EQ(session->InfoInteger(info), advertised[info]) << "information type " << info;
    advertised.erase(info);
  }
  // What remains are CONVERT's: the source type's answer holds the target.
  for (const auto& [info, bits] : advertised) {
    EXPECT_EQ(session->InfoInteger(info).value_or(0) & bits, bits) << "information type " << info;
  }
}

}  // namespace
}  // namespace drivertest
