// Statements through the driver manager and the driver, each with its right answer: the cases
// that a SQL engine must answer right (NULL tests, dates against literals, NULL against '' and
// 0, unknown columns, aggregates, LIKE on memos, a NUL in the text), the Access and ODBC forms
// clients send, and letter case in every script.
#include "answers.h"
#include "driver_fixture.h"

namespace drivertest {
namespace {

// The table `t`: 13 rows of every type the writer makes, NULLs in every column that can hold
// one, and names in several scripts and letter cases.
mkmdb::TableSpec TypeTable() {
  using mkmdb::ColumnType;
  mkmdb::TableSpec t;
  t.name = "t";
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

struct Case {
  const char* statement;
  const char* rows;   // the expected rows, or the expected SQLSTATE after "error "
};

const Case kCases[] = {
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
  for (const Case& c : kCases) {
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
