// Access SQL through the driver manager, in tables of cases. Each statement with the ODBC
// types of its result columns (known before the first row, the same for every row) and its rows
// as Access answers them: its operators and literals, its typing rules, exact Currency and
// Decimal, dates with milliseconds, text that compares and sorts as Access's General order, TOP
// with ties, DISTINCTROW, saved queries, and the errors that say what is wrong. And statements
// with the answer a SQL engine must give: NULL tests, dates against literals, NULL against ''
// and 0, unknown columns, aggregates, LIKE on memos, a NUL in the text, the Access and ODBC
// forms clients send, and letter case in every script.
#include "answers.h"
#include "driver_fixture.h"

#include <cstdlib>
#include <ctime>

namespace drivertest {
namespace {

using mkmdb::ColumnType;

// `t`: every kind of value, row 1 all NULL (so that no first row can set a column's type).
mkmdb::TableSpec TypedTable() {
  mkmdb::TableSpec t{"t", {}, {}};
  t.columns = {{"id", ColumnType::Long},    {"s", ColumnType::Text, 50},   {"m", ColumnType::Memo},
               {"n", ColumnType::Long},     {"x", ColumnType::Double},     {"cur", ColumnType::Currency},
               {"dec", ColumnType::Decimal, 0, 18, 6}, {"dt", ColumnType::DateTime}, {"b", ColumnType::YesNo},
               {"i", ColumnType::Integer},  {"sg", ColumnType::Single}};
  auto n = std::nullopt;
  t.rows = {
      {"1", n, n, n, n, n, n, n, "0", n, n},
      {"2", "Airbus", "memo a", "1", "2.5", "1000000", "102030405060.654321", "2000-01-01 17:51:48.701", "1", "1", "1.1"},
      {"3", "boeing", "bravo", "20", "-2", "12.34", "0.5", "1850-06-15", "0", "20000", "-0.5"},
      {"4", "Élodie", "x", "2147483647", "0", "0.0001", "-1.5", "1899-12-29 06:00:00", "1", "-32768", "0"},
      {"5", "Zoë", "ÆRØ", "-5", "7", "64930.35", "0", "2001-01-01", "1", "7", "3"},
      {"6", "Elodie", "%percent", "4", "0.1", "-0.0001", "2.25", "2000-01-02", "0", "4", "2.5"},
      {"7", "AIRBUS", "under_score", "4", "100", "0", "1", "2000-01-01", "0", "4", "1"},
  };
  return t;
}

mkmdb::TableSpec KeyTable() {
  return {"u",
          {{"k", ColumnType::Long}, {"name", ColumnType::Text, 20}},
          {{"1", "one"}, {"20", "twenty"}, {"4", "four"}, {"4", "four again"}, {"99", "none"}}};
}

// A statement and its answer, "TYPES: ROWS": the result columns' types, then the rows and
// "error STATE" when a fetch fails; only "error STATE" when it fails before its first row.
struct Case { const char* statement; const char* answer; };

const Case kCases[] = {
    // An expression's type is fixed at prepare: a NULL first row, a later value that does not
    // fit, a Nz or IIf of mixed types.
    {"SELECT id, x * 2 FROM t ORDER BY id", "INTEGER|DOUBLE: 1|NULL;2|5;3|-4;4|0;5|14;6|0.2;7|200"},
    {"SELECT id, n * 2 FROM t WHERE id <= 4 ORDER BY id",
     "INTEGER|INTEGER: 1|NULL;2|2;3|40;error 22003"},
    {"SELECT Nz(x, 0) FROM t ORDER BY id", "DOUBLE: 0;2.5;-2;0;7;0.1;100"},
    {"SELECT IIf(id = 2, 0, 'none') FROM t WHERE id <= 3 ORDER BY id", "WVARCHAR: none;0;none"},
    {"SELECT IIf(id = 2, dt, 'none'), Nz(dt, 0), IIf(id = 3, 'none', dt) FROM t WHERE id <= 3 ORDER BY id",
     "WVARCHAR|WVARCHAR|WVARCHAR: none|0|NULL;1/1/2000 5:51:48 PM|1/1/2000 5:51:48 PM|1/1/2000 "
     "5:51:48 PM;none|6/15/1850|none"},
    {"SELECT MAX(dt), MAX(b), SUM(cur), SUM(b), COUNT(*), AVG(cur) FROM t",
     "TIMESTAMP|BIT|DECIMAL|INTEGER|INTEGER|DECIMAL: 2001-01-01 00:00:00|0|1064942.6900|-3|7|"
     "177490.4483"},
    {"SELECT {d '2000-01-01'}, #1/2/2000#, Now() > #1/1/2020#",
     "TIMESTAMP|TIMESTAMP|BIT: 2000-01-01 00:00:00|2000-01-02 00:00:00|1"},
    // Operators: & and + on text, / \ Mod ^, dates, Yes/No as -1.
    {"SELECT s & ' ' & m, s + m, s + NULL, NULL & NULL FROM t WHERE id <= 2 ORDER BY id",
     "WLONGVARCHAR|WLONGVARCHAR|WVARCHAR|WVARCHAR:  |NULL|NULL|NULL;Airbus memo a|Airbusmemo a|"
     "NULL|NULL"},
    {"SELECT 7 / 2, 7 \\ 2, 7 Mod 3, -7 Mod 3, 2 ^ 10, -2 ^ 2, 2 ^ -1, 5 \\ 2.5",
     "DOUBLE|INTEGER|INTEGER|INTEGER|DOUBLE|DOUBLE|DOUBLE|INTEGER: 3.5|3|1|-1|1024|-4|0.5|2"},
    {"SELECT CByte(7) \\ CByte(2), CByte(7) Mod CByte(3), CByte(7) \\ 2, i Mod CByte(3) FROM t WHERE id = 5",
     "TINYINT|TINYINT|INTEGER|SMALLINT: 3|1|3|1"},
    {"SELECT -(-10), - -2.5, -(-n) FROM t WHERE id = 2", "INTEGER|DOUBLE|INTEGER: 10|2.5|1"},
    {"SELECT x / 0 FROM t WHERE id = 2", "error 22012"},
    {"SELECT n \\ 0, n Mod 0 FROM t WHERE id = 2", "error 22012"},
    {"SELECT '5' + 2, '5' & 2, 'a' + 'b'", "DOUBLE|WVARCHAR|WVARCHAR: 7|52|ab"},
    {"SELECT dt + 1, Round((dt - #1/1/2000#) * 86400000), #1/3/2000# - #1/1/2000# FROM t WHERE id = 2",
     "TIMESTAMP|DOUBLE|DOUBLE: 2000-01-02 17:51:48.701|64308701|2"},
    {"SELECT dt, dt + 1 FROM t WHERE id = 4",
     "TIMESTAMP|TIMESTAMP: 1899-12-29 06:00:00|1899-12-30 06:00:00"},
    {"SELECT b, b + 0, -b FROM t WHERE id = 2", "BIT|INTEGER|SMALLINT: 1|-1|1"},
    {"SELECT COUNT(*) FROM t WHERE b = -1", "INTEGER: 3"},
    // A whole table's count, from its pages: typed and converted as the pass over the rows is.
    {"SELECT COUNT(*), Count(*) AS n FROM t", "INTEGER|INTEGER: 7|7"},
    {"SELECT COUNT(*) FROM t UNION ALL SELECT COUNT(x) FROM t", "INTEGER: 7;6"},
    {"SELECT COUNT(*) FROM t WHERE b = True AND b <> 1", "INTEGER: 3"},
    {"SELECT NOT True, True Xor False, True Eqv False, False Imp True, 5 And 3, NOT 5",
     "BIT|BIT|BIT|BIT|INTEGER|INTEGER: 0|1|0|1|1|-6"},
    // Literals: "text", Yes/No/On/Off, dates in Access's forms and the 1930 pivot.
    {"SELECT \"double\" & 'single', Yes, No, On, Off, True, False",
     "WVARCHAR|BIT|BIT|BIT|BIT|BIT|BIT: doublesingle|1|0|1|0|1|0"},
    {"SELECT #1/1/00#, #1-Jan-2000#, #January 1, 2000#, #1/1/30#, #12/31/29 1:05 PM#, #13:30#",
     "TIMESTAMP|TIMESTAMP|TIMESTAMP|TIMESTAMP|TIMESTAMP|TIMESTAMP: 2000-01-01 00:00:00|"
     "2000-01-01 00:00:00|2000-01-01 00:00:00|1930-01-01 00:00:00|2029-12-31 13:05:00|1899-12-30 "
     "13:30:00"},
    // Exact numbers: Currency and Decimal from the file, through arithmetic, to the client.
    {"SELECT sg * sg + 0, (sg + i) * 3 FROM t WHERE id = 2",
     "DOUBLE|DOUBLE: 1.2100000381469727|6.299999713897705"},
    {"SELECT cur, dec FROM t WHERE id = 2", "DECIMAL|NUMERIC: 1000000.0000|102030405060.654321"},
    {"SELECT cur * 2, cur + 1, cur / 4, cur * 1.5 FROM t WHERE id = 3",
     "DECIMAL|DECIMAL|DOUBLE|DECIMAL: 24.6800|13.3400|3.085|18.5100"},
    {"SELECT CCur('-922337203685476.5808') / 1, CDbl(CCur('-922337203685476.5808'))",
     "DOUBLE|DOUBLE: -922337203685476.6|-922337203685476.6"},
    {"SELECT dec * 2, dec + cur, -dec FROM t WHERE id = 2",
     "NUMERIC|NUMERIC|NUMERIC: 204060810121.308642|102031405060.654321|-102030405060.654321"},
    {"SELECT cur * 10000000000 FROM t WHERE id = 2", "error 22003"},
    {"SELECT COUNT(*) FROM t WHERE cur + 922337203685477 > 0", "error 22003"},
    {"SELECT COUNT(*) FROM t WHERE cur * 2000000000 > 0", "error 22003"},
    {"SELECT SUM(cur * 900000000) FROM t", "error 22003"},
    {"SELECT -(cur - 922337203685477), cur * 3 FROM t WHERE id = 3",
     "DECIMAL|DECIMAL: 922337203685464.6600|37.0200"},
    {"SELECT SUM(dec), AVG(dec), MIN(dec), MAX(cur) FROM t",
     "NUMERIC|NUMERIC|NUMERIC|DECIMAL: 102030405062.904321|17005067510.4840535|-1.500000|"
     "1000000.0000"},
    {"SELECT COUNT(*) FROM t WHERE cur = 12.34 OR dec = 0.5", "INTEGER: 1"},
    {"SELECT COUNT(*) FROM t WHERE cur > 1000", "INTEGER: 2"},
    {"SELECT COUNT(*) FROM t WHERE dec BETWEEN -2 AND 1", "INTEGER: 4"},
    {"SELECT COUNT(*) FROM t WHERE IIf(s < 'c', n, dec) > 5", "INTEGER: 1"},
    {"SELECT dt, sg FROM t WHERE id = 2", "TIMESTAMP|REAL: 2000-01-01 17:51:48.701|1.1"},
    // Comparisons convert a text literal to the other side's type.
    {"SELECT COUNT(*) FROM t WHERE dt = '2000-01-01'", "INTEGER: 1"},
    {"SELECT COUNT(*) FROM t WHERE dt > #1/1/2000#", "INTEGER: 3"},
    {"SELECT COUNT(*) FROM t WHERE n = '20'", "INTEGER: 1"},
    {"SELECT COUNT(*) FROM t WHERE n = 'abc'", "error 22018"},
    // Text compares, groups and sorts without regard to case, accents beside their letters.
    {"SELECT InStr(s, 'I'), InStr(1, s, 'I', 0) FROM t WHERE id = 2", "INTEGER|INTEGER: 2|0"},
    {"SELECT COUNT(*) FROM t WHERE UCase(s) = 'airbus'", "INTEGER: 2"},
    {"SELECT 'abc' = 'ABC', 'abc' < 'ABD'", "BIT|BIT: 1|1"},
    {"SELECT UCase(Left(s, 3)), COUNT(*) FROM t WHERE s IS NOT NULL GROUP BY Left(s, 3) ORDER BY Left(s, 3)",
     "WVARCHAR|INTEGER: AIR|2;BOE|1;ELO|1;ÉLO|1;ZOË|1"},
    {"SELECT s FROM t WHERE s IS NOT NULL ORDER BY s, id",
     "WVARCHAR: Airbus;AIRBUS;boeing;Elodie;Élodie;Zoë"},
    {"SELECT COUNT(*) FROM t WHERE s IN ('airbus', 'ZOË')", "INTEGER: 3"},
    {"SELECT COUNT(DISTINCT s) FROM t", "INTEGER: 5"},
    {"SELECT COUNT(*) FROM (SELECT s FROM t WHERE id = 2 UNION SELECT s FROM t WHERE id = 7)",
     "INTEGER: 1"},
    // LIKE from a client: % and _, with [lists] and ranges.
    {"SELECT COUNT(*) FROM t WHERE m LIKE 'under[_]%'", "INTEGER: 1"},
    {"SELECT s FROM t WHERE s LIKE '[a-b]%' ORDER BY id", "WVARCHAR: Airbus;boeing;AIRBUS"},
    {"SELECT COUNT(*) FROM t WHERE m LIKE '%[%]%'", "INTEGER: 1"},
    {"SELECT id, (s LIKE 'a%') + 0, (s NOT LIKE 'a%') + 0 FROM t WHERE id <= 3 ORDER BY s LIKE 'b%', id",
     "INTEGER|INTEGER|INTEGER: 1|NULL|NULL;3|0|-1;2|-1|0"},
    // TOP keeps the rows tied with the last; TOP n PERCENT; comments; a member's own TOP.
    {"SELECT TOP 3 n FROM t WHERE n IS NOT NULL ORDER BY n", "INTEGER: -5;1;4;4"},
    {"SELECT TOP 50 PERCENT n FROM t WHERE n IS NOT NULL ORDER BY n", "INTEGER: -5;1;4;4"},
    {"SELECT TOP 1 n FROM t WHERE n IS NOT NULL ORDER BY n -- the smallest", "INTEGER: -5"},
    {"SELECT TOP 1 n FROM t WHERE n > 0 UNION ALL SELECT k FROM u", "INTEGER: 1;1;20;4;4;99"},
    {"(SELECT TOP 1 n FROM t WHERE n > 0 ORDER BY n) UNION ALL (SELECT k FROM u WHERE k > 50)",
     "INTEGER: 1;99"},
    // DISTINCTROW: distinct rows of the tables that give columns; one table keeps every row.
    {"SELECT DISTINCTROW n FROM t WHERE n = 4", "INTEGER: 4;4"},
    {"SELECT DISTINCTROW t.id FROM t INNER JOIN u ON t.n = u.k ORDER BY t.id", "INTEGER: 2;3;6;7"},
    {"SELECT t.id FROM t INNER JOIN u ON t.n = u.k ORDER BY t.id", "INTEGER: 2;3;6;6;7;7"},
    // Joins, subqueries, ordering by alias and position.
    {"SELECT t.id, u.name FROM t LEFT JOIN u ON t.n = u.k WHERE t.id <= 3 ORDER BY t.id",
     "INTEGER|WVARCHAR: 1|NULL;2|one;3|twenty"},
    {"SELECT COUNT(*) FROM (t INNER JOIN u ON t.n = u.k) INNER JOIN u AS v ON v.k = u.k",
     "INTEGER: 10"},
    // Joins that look rows up by value find what a scan finds: text as Access compares it,
    // exact numbers and dates by value, and Null nowhere.
    {"SELECT COUNT(*) FROM t INNER JOIN t AS v ON t.s = v.s", "INTEGER: 8"},
    {"SELECT COUNT(*) FROM t INNER JOIN t AS v ON t.dec = v.dec + 0", "INTEGER: 6"},
    {"SELECT COUNT(*) FROM t INNER JOIN t AS v ON t.cur = v.cur AND t.dt = v.dt", "INTEGER: 6"},
    {"SELECT COUNT(*) FROM t, u WHERE t.i = u.k", "INTEGER: 5"},
    {"SELECT s FROM t WHERE n = (SELECT MAX(k) FROM u WHERE k < 50)", "WVARCHAR: boeing"},
    {"SELECT COUNT(*) FROM t WHERE EXISTS (SELECT * FROM u WHERE u.k = t.n)", "INTEGER: 4"},
    {"SELECT COUNT(*) FROM (SELECT DISTINCT s FROM t WHERE s LIKE 'a%')", "INTEGER: 1"},
    {"SELECT n AS q FROM t WHERE n < 5 ORDER BY q DESC", "INTEGER: 4;4;1;-5"},
    {"SELECT s, n FROM t WHERE n < 5 ORDER BY 2, 1",
     "WVARCHAR|INTEGER: Zoë|-5;Airbus|1;AIRBUS|4;Elodie|4"},
    // A crosstab's columns are the pivot's values, found at prepare.
    {"TRANSFORM Sum(n) SELECT b FROM t WHERE n IS NOT NULL GROUP BY b PIVOT IIf(n > 3, 'big', 'small')",
     "BIT|INTEGER|INTEGER: 1|2147483647|-4;0|28|NULL"},
    // Count(*) counts the rows of its pivot value only.
    {"TRANSFORM Count(*) SELECT b FROM t GROUP BY b PIVOT s IN ('airbus')", "BIT|INTEGER: 1|1;0|1"},
    // ODBC's escapes: LOG is natural.
    {"SELECT {fn LOG(1)}, {fn LOG10(100)}, {fn UCASE('é')}", "DOUBLE|DOUBLE|WVARCHAR: 0|2|É"},
    // Errors that say what is wrong.
    {"PARAMETERS lim Long; SELECT COUNT(*) FROM t WHERE n > lim", "error 07002"},
    {"PARAMETERS lim NoSuchType; SELECT COUNT(*) FROM t WHERE n > lim", "error 42000"},
    {"SELECT COUNT(*) FROM t WHERE n > [Limit]", "error 07002"},
    {"SELECT n FROM t WHERE", "error 42000"}, {"SELECT nope FROM t", "error 42S22"},
    {"SELECT n FROM nope", "error 42S02"}, {"SELECT NoSuchFunction(n) FROM t", "error 42000"},
    {"SELECT s, COUNT(*) FROM t GROUP BY n", "error 42000"},
    {"SELECT n FROM t, u AS t", "error 42000"},
};

class AccessSqlTest : public BothRoadsTest {
 protected:
  void SetUp() override {
    Write({TypedTable(), KeyTable()});
    Connect(wide(), true);
  }
};

TEST_P(AccessSqlTest, EveryStatementHasAccesssTypesAndAnswer) {
  for (const Case& c : kCases) {
    EXPECT_EQ(Ask(*session, c.statement).Typed(), c.answer) << c.statement;
  }
}

// The labels Access gives result columns: names, aliases, ExprNNNN, SumOfx, a crosstab's values.
TEST_P(AccessSqlTest, ColumnsAreLabelledAsAccessLabelsThem) {
  const std::pair<const char*, std::vector<std::string>> cases[] = {
      {"SELECT n, n + 1, n AS q, SUM(x), COUNT(*) FROM t GROUP BY n", {"n", "Expr1000", "q", "SumOfx", "Expr1001"}},
      {"SELECT * FROM u, (SELECT k FROM u) AS w", {"u.k", "name", "w.k"}},
      {"TRANSFORM COUNT(*) SELECT b FROM t GROUP BY b PIVOT n > 3", {"b", "<>", "True", "False"}},
  };
  for (const auto& [text, labels] : cases) {
    ASSERT_EQ(session->Prepare(stmt, text), SQL_SUCCESS) << text;
    std::vector<std::string> got;
    for (SQLUSMALLINT c = 1; c <= labels.size() + 1; ++c) {
      std::optional<OdbcSession::Column> column = session->Describe(stmt, c);
      if (column) got.push_back(column->name);
    }
    EXPECT_EQ(got, labels) << text;
  }
}

// Date() and Time() are the local date and time, as Now() is, whatever the offset from UTC.
TEST_P(AccessSqlTest, DateAndTimeAreLocal) {
  const char* saved = std::getenv("TZ");
  std::string previous = saved != nullptr ? saved : "";
  for (const char* zone : {"Etc/GMT-14", "Etc/GMT+12"}) {
    setenv("TZ", zone, 1);
    tzset();
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char today[16];
    std::strftime(today, sizeof today, "%Y-%m-%d", &local);
    Answer answer = Ask(*session, "SELECT Date(), Year(Now()) * 10000 + Month(Now()) * 100 + Day(Now()), Hour(Time())");
    ASSERT_EQ(answer.state, "") << zone;
    EXPECT_EQ(answer.rows.substr(0, 10), today) << zone;
    std::string digits(today, 4);
    digits += std::string(today + 5, 2) + std::string(today + 8, 2);
    EXPECT_NE(answer.rows.find("|" + digits + "|"), std::string::npos) << answer.rows;
  }
  saved != nullptr ? setenv("TZ", previous.c_str(), 1) : unsetenv("TZ");
  tzset();
}

// A parameter takes the type of what it is compared with: a date given as text, Currency given
// as a double, a named parameter given once and used twice.
TEST_P(AccessSqlTest, ParametersTakeTheirTypesFromWhereTheyAreUsed) {
  ASSERT_EQ(session->Prepare(stmt, "SELECT COUNT(*) FROM t WHERE dt >= ? AND cur > [amount] AND [amount] < 1000000"),
            SQL_SUCCESS);
  SQLSMALLINT count = 0;
  ASSERT_EQ(SQLNumParams(stmt, &count), SQL_SUCCESS);
  ASSERT_EQ(count, 2);
  SQLSMALLINT type = 0;
  SQLULEN size = 0;
  SQLSMALLINT digits = 0, nullable = 0;
  ASSERT_EQ(SQLDescribeParam(stmt, 1, &type, &size, &digits, &nullable), SQL_SUCCESS);
  EXPECT_EQ(type, SQL_TYPE_TIMESTAMP);
  ASSERT_EQ(SQLDescribeParam(stmt, 2, &type, &size, &digits, &nullable), SQL_SUCCESS);
  EXPECT_EQ(type, SQL_DECIMAL);
  char date[] = "2000-01-01";
  double amount = 0.5;
  SQLLEN dateLength = SQL_NTS, amountLength = 0;
  ASSERT_EQ(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 10, 0, date, 0, &dateLength), SQL_SUCCESS);
  ASSERT_EQ(SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_DOUBLE, SQL_DOUBLE, 0, 0, &amount, 0, &amountLength),
            SQL_SUCCESS);
  ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS);
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  // From 2000-01-01 on, rows 2, 5, 6 and 7; of those, 2 and 5 hold more than 0.50.
  EXPECT_EQ(ReadNarrow(stmt, 1), "2");
}

// A value the file stores damaged (a date that is not a number) fails its row alone when rows
// come straight from the table: the rows after it are read. Where the value would take part in
// the answer (a condition, a sort), the statement fails instead of answering without it.
TEST_P(AccessSqlTest, AnUnreadableValueFailsItsRowAndTheNextRowsFollow) {
  mkmdb::TableSpec d{"d", {{"id", ColumnType::Long}, {"dt", ColumnType::DateTime}},
                     {{"1", "1999-01-01"}, {"2", "2000-01-01"}, {"3", "2001-01-01"}}};
  session.reset();
  mkmdb::WriteDatabase(folder.database(), {d});
  std::string bytes = testsupport::ReadFile(folder.database());
  const double stored = 36526;  // 2000-01-01
  std::string pattern(reinterpret_cast<const char*>(&stored), sizeof stored);
  std::size_t at = bytes.find(pattern);
  ASSERT_NE(at, std::string::npos);
  ASSERT_EQ(bytes.find(pattern, at + 1), std::string::npos);
  const unsigned char nan[8] = {0, 0, 0, 0, 0, 0, 0xF8, 0x7F};
  bytes.replace(at, sizeof nan, reinterpret_cast<const char*>(nan), sizeof nan);
  testsupport::WriteFile(folder.database(), bytes);
  Connect(wide(), true);
  ASSERT_EQ(session->ExecDirect(stmt, "SELECT id, dt FROM d"), SQL_SUCCESS);
  std::vector<std::string> fetched;
  for (int i = 0; i < 4; ++i) {
    SQLRETURN rc = SQLFetch(stmt);
    if (rc == SQL_NO_DATA) break;
    if (rc == SQL_ERROR) {
      std::vector<Diag> errors = session->Errors(stmt);
      fetched.push_back("error " + (errors.empty() ? std::string("?") : errors[0].state));
      EXPECT_NE(errors.at(0).message.find("column \"dt\""), std::string::npos) << errors[0].message;
      continue;
    }
    fetched.push_back(ReadNarrow(stmt, 1).value_or("NULL") + "|" + ReadNarrow(stmt, 2).value_or("NULL"));
  }
  EXPECT_EQ(fetched, (std::vector<std::string>{"1|1999-01-01 00:00:00", "error 22007", "3|2001-01-01 00:00:00"}));
  EXPECT_EQ(Ask(*session, "SELECT id FROM d WHERE dt > #1/1/1998#").Shown(), "1;error 22007");
  EXPECT_EQ(Ask(*session, "SELECT id FROM d ORDER BY dt").Shown(), "error 22007");
  EXPECT_EQ(Ask(*session, "SELECT COUNT(*) FROM d WHERE id <> 2").Shown(), "2");
}

INSTANTIATE_TEST_SUITE_P(Roads, AccessSqlTest, ::testing::Bool(), RoadName);

// The table `t`: 13 rows of every type the writer makes, NULLs in every column that can hold
// one, and names in several scripts and letter cases.
mkmdb::TableSpec TypeTable() {
  mkmdb::TableSpec t{"t", {}, {}};
  t.columns = {{"s", ColumnType::Text, 50}, {"m", ColumnType::Memo},     {"l", ColumnType::Long},
               {"d", ColumnType::Double},   {"dt", ColumnType::DateTime}, {"b", ColumnType::YesNo}};
  auto n = std::nullopt;
  t.rows = {
      {"Airbus", "memo a", "1", "1.5", "1900-02-28", "1"},
      {"boeing", "bravo", "20", "-2", "2000-01-01", "0"},
      {"Éclair", "éclair long", "30", "0", "2000-01-01 10:30:00", "1"},
      {n, n, n, n, n, "0"},
      {"", "", "0", "0", "1999-12-31 23:59:59", "1"},
      {"Cessna", "ananas", "11", "3.25", "2024-07-14", "0"},
      {"d'Artagnan", "x", "5", "100", "1850-06-15", "1"},
      {"ÉCLAIR", "ÆRØ", "12", "7", "2001-01-01", "0"},
      {"zeta", "%percent", "9", "9", "2000-01-02", "1"},
      {"Antonov", "Антонов", "100", "-1", "1899-12-30", "0"},
      {"under_score", "under_score", "8", "8", "2010-10-10", "1"},
      {"Piper", n, n, "2.5", "2000-01-01", "0"},
      {"AIRBUS", "memo b", "13", "13", "0100-01-01", "1"},
  };
  return t;
}

// 2,400 memos, some chained over several pages, with an 'a' or 'A' in every third one at a
// place that moves through the value.
mkmdb::TableSpec MemoTable(int& expectedMatches) {
  mkmdb::TableSpec t{"memos", {{"id", mkmdb::ColumnType::Long}, {"m", mkmdb::ColumnType::Memo}}, {}};
  expectedMatches = 0;
  for (int i = 0; i < 2400; ++i) {
    std::string memo(static_cast<std::size_t>(i % 7 == 0 ? 6000 + i : 20 + i % 300), 'x');
    if (i % 3 == 0) {
      memo[static_cast<std::size_t>(i) % memo.size()] = i % 2 == 0 ? 'a' : 'A';
      ++expectedMatches;
    }
    t.rows.push_back({std::to_string(i), memo});
  }
  return t;
}

// A statement and its rows, or the expected SQLSTATE after "error ".
struct RowsCase { const char* statement; const char* rows; };

const RowsCase kRowsCases[] = {
    // IS NULL and IS NOT NULL on every type.
    {"SELECT COUNT(*) FROM t WHERE s IS NULL", "1"},
    {"SELECT COUNT(*) FROM t WHERE m IS NULL", "2"},
    {"SELECT COUNT(*) FROM t WHERE l IS NULL", "2"},
    {"SELECT COUNT(*) FROM t WHERE d IS NULL", "1"},
    {"SELECT COUNT(*) FROM t WHERE dt IS NULL", "1"},
    {"SELECT COUNT(*) FROM t WHERE s IS NOT NULL AND m IS NOT NULL AND l IS NOT NULL", "11"},
    // Dates against text and date literals, as dates.
    {"SELECT l FROM t WHERE dt > '2000-01-01' ORDER BY dt", "30;9;12;8;11"},
    {"SELECT COUNT(*) FROM t WHERE dt = '2000-01-01'", "2"},
    {"SELECT COUNT(*) FROM t WHERE dt = {d '2000-01-01'}", "2"},
    {"SELECT COUNT(*) FROM t WHERE dt = #1/1/2000#", "2"},
    {"SELECT l FROM t WHERE dt >= {ts '2000-01-01 10:30:00'} AND dt < #2001-01-01#", "30;9"},
    {"SELECT l FROM t WHERE dt < '1900-01-01' ORDER BY dt", "13;5;100"},
    {"SELECT dt FROM t WHERE l = 30", "2000-01-01 10:30:00"},
    {"SELECT l FROM t ORDER BY dt LIMIT 3", "NULL;13;5"},
    {"SELECT YEAR(dt), MONTH(dt) FROM t WHERE l = 7 OR l = 5", "1850|6"},
    // NULL is neither '' nor 0.
    {"SELECT COUNT(*) FROM t WHERE l = 0", "1"}, {"SELECT COUNT(*) FROM t WHERE s = ''", "1"},
    {"SELECT COUNT(*) FROM t WHERE m = ''", "1"},
    // Unknown names are errors.
    {"SELECT s FROM t WHERE nope = 1", "error 42S22"}, {"SELECT nope FROM t", "error 42S22"},
    {"SELECT s FROM missing", "error 42S02"},
    // An aggregate has one column and one row.
    {"SELECT COUNT(*) FROM t WHERE l > 10", "6"},
    {"SELECT MIN(l), MAX(l), SUM(l) FROM t", "0|100|209"},
    {"SELECT b, COUNT(*) FROM t GROUP BY b ORDER BY b", "1|7;0|6"},
    // Letter case is ignored in comparisons, LIKE, DISTINCT and ORDER BY, in every script.
    {"SELECT l FROM t WHERE s = 'airbus' ORDER BY l", "1;13"},
    {"SELECT l FROM t WHERE s = 'éclair' ORDER BY l", "12;30"},
    {"SELECT COUNT(*) FROM t WHERE s LIKE 'ÉCL%'", "2"},
    {"SELECT COUNT(*) FROM t WHERE m LIKE '%a%'", "4"},
    {"SELECT COUNT(*) FROM t WHERE m LIKE '%антон%'", "1"},
    {"SELECT COUNT(*) FROM t WHERE m LIKE '_rø'", "1"}, {"SELECT COUNT(DISTINCT s) FROM t", "10"},
    {"SELECT s FROM t WHERE l IN (1, 20, 11) ORDER BY s", "Airbus;boeing;Cessna"},
    // Access and ODBC forms.
    {"SELECT l AS n FROM t WHERE (s = 'd''Artagnan' OR l = 9) AND l != 0 ORDER BY n", "5;9"},
    {"SELECT l FROM t WHERE l <> 0 AND l < 9 ORDER BY l", "1;5;8"},
    {"SELECT TOP 2 l FROM t WHERE l IS NOT NULL ORDER BY l DESC", "100;30"},
    {"SELECT TOP 1 s FROM t WHERE l = (SELECT TOP 1 l FROM t ORDER BY l DESC);", "Antonov"},
    {"SELECT [l] FROM [t] WHERE [s] = 'Piper'", "NULL"},
    {"SELECT {fn UCASE(s)}, {fn LCASE(s)}, {fn LENGTH(s)} FROM t WHERE l = 30", "ÉCLAIR|éclair|6"},
    {"SELECT {fn CONCAT(s, '!')}, {fn LEFT(s, 2)}, {fn RIGHT(s, 2)} FROM t WHERE l = 1", "Airbus!|Ai|us"},
    {"SELECT COUNT(*) FROM t WHERE m LIKE '%\\%%' {escape '\\'}", "1"},
    {"SELECT COUNT(*) FROM t WHERE s LIKE 'under\\_%' {escape '\\'}", "1"},
    {"SELECT COUNT(*) FROM {oj t LEFT OUTER JOIN t AS u ON t.l = u.l + 1}", "13"},
    {"SELECT DISTINCTROW b FROM t ORDER BY b", "1;1;1;1;1;1;1;0;0;0;0;0;0"},
    // Statements the driver refuses.
    {"DELETE FROM t", "error 42000"}, {"CREATE TABLE x (a INT)", "error 42000"},
    {"ATTACH DATABASE 'x.db' AS x", "error 42000"}, {"SELECT 1; SELECT 2", "error 42000"},
    {"SELECT s FROM t WHERE dt = #13/45/2000#", "error 42000"}, {"SELECT [s FROM t", "error 42000"},
    {"{call p}", "error 42S02"},
    // A statement reaches the file's data and nothing else of the engine or the process.
    {"SELECT hex(fts3_tokenizer('simple'))", "error 42000"},
    {"SELECT fts3_tokenizer('x', X'4141414141414141')", "error 42000"},
    {"SELECT load_extension('libm.so.6')", "error 42000"},
    {"SELECT sqlite_version()", "error 42000"}, {"SELECT * FROM sqlite_master", "error 42S02"},
    {"SELECT name FROM pragma_table_info('t')", "error 42000"},
    {"SELECT * FROM json_each('[1,2]')", "error 42000"}, {"SELECT * FROM dbstat", "error 42S02"},
    {"PRAGMA temp_store = 0", "error 42000"}, {"REINDEX", "error 42000"},
    {"ANALYZE", "error 42000"}, {"SELECT length(hex(zeroblob(300000000)))", "error 42000"},
    // Table names: the file's spelling, other letter case (ASCII and beyond), a schema prefix,
    // and both kinds in one statement.
    // SQLite's math functions, whose library the driver loads at their first call.
    {"SELECT l ^ 2, Sqr(l * 30), Int(d + 0.5), Atn(0) FROM t WHERE l = 30", "900|30|0|0"},
    {"SELECT COUNT(*) FROM T", "13"}, {"SELECT COUNT(*) FROM main.t", "error 42S02"},
    {"SELECT n FROM \u00C9quipe", "7"}, {"SELECT n FROM \u00E9QUIPE", "7"},
    {"SELECT e.n + f.n FROM \u00C9quipe e JOIN \u00E9quipe f ON e.n = f.n", "14"},
    {"SELECT COUNT(*) FROM t JOIN T AS u ON t.l = u.l WHERE t.l > 10", "6"},
};

class SqlAnswersTest : public BothRoadsTest {
 protected:
  void SetUp() override {
    std::vector<mkmdb::TableSpec> tables = BrandTables();
    tables.push_back(TypeTable());
    tables.push_back(MemoTable(memoMatches));
    tables.push_back({"\u00C9quipe", {{"n", mkmdb::ColumnType::Long}}, {{"7"}}});
    Write(tables);
    Connect(wide(), true);
  }
  int memoMatches = 0;
};

TEST_P(SqlAnswersTest, EveryStatementGivesItsRightAnswer) {
  for (const RowsCase& c : kRowsCases) {
    Answer answer = Ask(*session, c.statement);
    std::string got = answer.state.empty() ? answer.rows : "error " + answer.state;
    EXPECT_EQ(got, c.rows) << c.statement;
  }
}

TEST_P(SqlAnswersTest, LikeOnLongMemosFindsEveryMatch) {
  EXPECT_EQ(Ask(*session, "SELECT COUNT(*) FROM memos WHERE m LIKE '%a%'").rows, std::to_string(memoMatches));
}

TEST_P(SqlAnswersTest, NulInTheTextIsAnErrorNotAnEnd) {
  std::string text("SELECT COUNT(*) FROM t\0 WHERE l > 10", 36);
  Answer answer = Ask(*session, text);
  EXPECT_EQ(answer.state, "42000");
  EXPECT_EQ(Ask(*session, std::string("SELECT COUNT(*) FROM t")).rows, "13");
}

// Sorting and DISTINCT keep their temporary tables in memory, and a value is built in memory,
// within the connection's bound: past it the statement fails, and the connection goes on.
TEST_P(SqlAnswersTest, TemporaryStorageStopsAtTheConnectionsBound) {
  OdbcSession bounded(wide(), true);
  ASSERT_EQ(bounded.Connect(std::string(kProgramConnect) + ";MaxTempMB=1"), SQL_SUCCESS);
  // Within the bound, what a sort wrote to its temporary files reads back whole.
  const char* spilled = "SELECT COUNT(*), SUM(Len(m)) FROM (SELECT DISTINCT id, m FROM memos ORDER BY m)";
  EXPECT_EQ(Ask(*session, spilled).rows, "2400|2817340");
  EXPECT_EQ(Ask(bounded, spilled).state, "HY001");
  EXPECT_EQ(Ask(bounded, "SELECT DISTINCT m FROM memos ORDER BY m").state, "HY001");
  EXPECT_EQ(Ask(bounded, "SELECT Len(Space(2000000))").state, "HY001");
  EXPECT_EQ(Ask(bounded, "SELECT COUNT(DISTINCT s) FROM t").rows, "10");
  OdbcSession refused(wide(), true);
  EXPECT_EQ(refused.Connect(std::string(kProgramConnect) + ";MaxTempMB=0"), SQL_ERROR);
  EXPECT_EQ(refused.Errors().at(0).state, "08001");
}

INSTANTIATE_TEST_SUITE_P(Roads, SqlAnswersTest, ::testing::Bool(), RoadName);

}  // namespace
}  // namespace drivertest
