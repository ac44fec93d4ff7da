// Scripts in the format of FAKEODBC_SCRIPT: applied in-process with fakeodbc::loadScript, and
// to a program linked against the system libodbc.so.2 that is started with LD_LIBRARY_PATH
// pointing at the fake and FAKEODBC_SCRIPT / FAKEODBC_LOG set (environment mode: it is answered
// from the script and logged). Linked together with the fake, as this test executable is, a
// program gets the fake: both files carry the soname libodbc.so.2 and the executable's run path
// names the fake's folder first, so only the fake is loaded.
#include <dlfcn.h>
#include <gmock/gmock.h>

#include "test_support.h"
#include "tests/fakeodbc/fake_odbc_run.h"

using namespace fakeodbc_test;
using ::testing::HasSubstr;

namespace {

class ScriptTest : public FakeOdbcTest {
 protected:
  std::vector<std::u16string> column1Values() {
    std::vector<std::u16string> values;
    while (SQLFetch(stmt) == SQL_SUCCESS) values.push_back(readColumn1());
    return values;
  }
};

TEST_F(ScriptTest, ColumnsAndRowsReplaceTheDefaultResult) {
  fakeodbc::loadScript(R"(
# brands with a NULL
column marque SQL_WVARCHAR 50
column "pays d'origine" -9 30 0 SQL_NO_NULLS
row "Airbus" "Europe"
row NULL "\u00C9tats-Unis"
row "Say \"hi\"\\" "x"   # trailing comment
)");
  openStatement();
  const Description country = describe(2, 32);
  ASSERT_EQ(country.rc, SQL_SUCCESS);
  EXPECT_EQ(country.column, (Column{u"pays d'origine", SQL_WVARCHAR, 30, 0, SQL_NO_NULLS}));
  EXPECT_EQ(column1Values(), (std::vector<std::u16string>{u"Airbus", u"<null>", u"Say \"hi\"\\"}));
}

TEST_F(ScriptTest, ResultLinesSelectTheStatementText) {
  fakeodbc::loadScript(
      "result \"SELECT marque FROM avion \"\n"
      "column marque SQL_WVARCHAR 50\n"
      "row \"Concorde\"\n"
      "result \"DELETE FROM avion\"\n");
  allocateStatement();
  ASSERT_EQ(SQLExecDirectW(stmt, w(u"SELECT marque FROM avion "), SQL_NTS), SQL_SUCCESS);
  EXPECT_EQ(column1Values(), std::vector<std::u16string>{u"Concorde"});
  ASSERT_EQ(SQLFreeStmt(stmt, SQL_CLOSE), SQL_SUCCESS);

  ASSERT_EQ(SQLExecDirectW(stmt, w(u"DELETE FROM avion"), SQL_NTS), SQL_SUCCESS);
  SQLSMALLINT columns = -1;
  ASSERT_EQ(SQLNumResultCols(stmt, &columns), SQL_SUCCESS);
  EXPECT_EQ(columns, 0);
  ASSERT_EQ(SQLFreeStmt(stmt, SQL_CLOSE), SQL_SUCCESS);

  ASSERT_EQ(SQLExecDirectW(stmt, w(u"SELECT other"), SQL_NTS), SQL_SUCCESS);
  EXPECT_EQ(column1Values().size(), 4u);  // the default result is untouched
}

TEST_F(ScriptTest, ConnectionInformationAndFunctions) {
  fakeodbc::loadScript(
      "connect-out \"DSN=done\"\n"
      "info SQL_DBMS_NAME text \"ACCESS\"\n"
      "info SQL_TXN_CAPABLE int16 SQL_TC_NONE\n"
      "info SQL_SCROLL_OPTIONS int32 1\n"
      "info SQL_IDENTIFIER_QUOTE_CHAR none\n"
      "function SQL_API_SQLEXTENDEDFETCH no\n");
  allocate();
  SQLWCHAR out[32];
  ASSERT_EQ(driverConnect(u"DSN=x", out, 32), SQL_SUCCESS);
  EXPECT_EQ(text(out), u"DSN=done");
  SQLWCHAR name[32];
  ASSERT_EQ(SQLGetInfoW(dbc, SQL_DBMS_NAME, name, sizeof name, nullptr), SQL_SUCCESS);
  EXPECT_EQ(text(name), u"ACCESS");
  SQLUSMALLINT capable = 9;
  ASSERT_EQ(SQLGetInfoW(dbc, SQL_TXN_CAPABLE, &capable, 2, nullptr), SQL_SUCCESS);
  EXPECT_EQ(capable, SQL_TC_NONE);
  SQLUINTEGER scroll = 0;
  ASSERT_EQ(SQLGetInfoW(dbc, SQL_SCROLL_OPTIONS, &scroll, 4, nullptr), SQL_SUCCESS);
  EXPECT_EQ(scroll, 1u);
  EXPECT_EQ(SQLGetInfoW(dbc, SQL_IDENTIFIER_QUOTE_CHAR, name, 4, nullptr), SQL_ERROR);
  SQLUSMALLINT supported = 9;
  ASSERT_EQ(SQLGetFunctions(dbc, SQL_API_SQLEXTENDEDFETCH, &supported), SQL_SUCCESS);
  EXPECT_EQ(supported, SQL_FALSE);
}

TEST_F(ScriptTest, AnswersByFunctionAndByCallIndex) {
  fakeodbc::loadScript(
      "answer SQLExecDirectW 1 still 2\n"
      "answer SQLFetch 2 rc SQL_SUCCESS_WITH_INFO default diag 01004 0 \"[FakeODBC]cut\"\n"
      "answer-call 13 rc SQL_ERROR diag 08S01 7 \"[FakeODBC]Communication link failure\"\n");
  allocateStatement();                                                          // calls 1 to 4
  EXPECT_EQ(SQLExecDirectW(stmt, w(u"SELECT"), SQL_NTS), SQL_STILL_EXECUTING);  // 5
  EXPECT_EQ(SQLExecDirectW(stmt, w(u"SELECT"), SQL_NTS), SQL_STILL_EXECUTING);  // 6
  EXPECT_EQ(SQLExecDirectW(stmt, w(u"SELECT"), SQL_NTS), SQL_SUCCESS);          // 7
  EXPECT_EQ(SQLFetch(stmt), SQL_SUCCESS);                                       // 8
  EXPECT_EQ(SQLFetch(stmt), SQL_SUCCESS_WITH_INFO);                             // 9
  EXPECT_EQ(errors().at(0).message, u"[FakeODBC]cut");                          // 10, 11
  SQLWCHAR value[16];
  SQLLEN length = 0;
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, value, sizeof value, &length), SQL_SUCCESS);  // 12
  EXPECT_EQ(text(value), u"Boeing");     // the warning fetch moved to row 2
  EXPECT_EQ(SQLFetch(stmt), SQL_ERROR);  // 13
  EXPECT_EQ(errors(), (std::vector<Diag>{{"08S01", 7, u"[FakeODBC]Communication link failure"}}));
  EXPECT_EQ(SQLFetch(stmt), SQL_SUCCESS);  // the failed fetch did not move: row 3
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, value, sizeof value, &length), SQL_SUCCESS);
  EXPECT_EQ(text(value), u"Cessna");
}

// A malformed script: the error names what is wrong, and nothing of the script is applied.
struct MalformedCase {
  const char* name;
  const char* script;
  const char* error;  // a part of the message
};

const MalformedCase malformedCases[] = {
    {"RowLongerThanTheColumns", "column a SQL_WVARCHAR 10\nrow \"a\" \"b\"\n",
     "line 2: row has 2 values for 1 columns"},
    {"UnknownDirective", "frobnicate\n", "line 1: unknown directive frobnicate"},
    {"UnquotedText", "\n\ninfo SQL_DBMS_NAME text unquoted\n", "line 3"},
    {"UnknownFunction", "answer SQLNope 1 rc SQL_ERROR\n", "unknown function SQLNope"},
    {"CallNumberZero", "answer SQLFetch 0 rc SQL_ERROR\n", "count from 1"},
    {"UnknownName", "answer SQLFetch 1 rc SQL_WHATEVER\n", "SQL_WHATEVER"},
    {"UnterminatedText", "row \"unterminated\n", "unterminated"},
    {"UnknownEscape", "row \"bad \\q escape\"\n", "unknown escape"},
    {"BareValue", "column a SQL_WVARCHAR 10\nrow x\n", "quoted text\" or NULL"},
    {"FunctionFlag", "function SQL_API_SQLFETCH maybe\n", "yes or no"},
};

class MalformedScriptTest : public ScriptTest,
                            public ::testing::WithParamInterface<MalformedCase> {};

TEST_P(MalformedScriptTest, LineIsNamedAndChangesNothing) {
  EXPECT_THAT([&] { fakeodbc::loadScript(GetParam().script); },
              ::testing::ThrowsMessage<std::invalid_argument>(HasSubstr(GetParam().error)));
  openStatement();
  SQLWCHAR name[16];
  ASSERT_EQ(SQLDescribeColW(stmt, 1, name, 16, nullptr, nullptr, nullptr, nullptr, nullptr),
            SQL_SUCCESS);
  EXPECT_EQ(text(name), u"marque");
}

INSTANTIATE_TEST_SUITE_P(Script, MalformedScriptTest, ::testing::ValuesIn(malformedCases), rowName);

TEST(CoexistenceTest, ODBCCallsReachTheFakeWhenTheSystemLibraryIsLinkedToo) {
  fakeodbc::reset();
  SQLHENV env = SQL_NULL_HENV;
  ASSERT_EQ(SQLAllocEnv(&env), SQL_SUCCESS);
  EXPECT_EQ(fakeodbc::callLines(), std::vector<std::string>{"SQLAllocEnv(&env#1) -> SQL_SUCCESS"});
  EXPECT_EQ(SQLFreeEnv(env), SQL_SUCCESS);
  EXPECT_TRUE(fakeodbc::handleBalance().balanced());

  Dl_info where{};
  ASSERT_NE(dladdr(reinterpret_cast<void*>(&SQLAllocEnv), &where), 0);
  EXPECT_EQ(std::string(where.dli_fname).rfind(FAKEODBC_LIBRARY_DIR, 0), 0u) << where.dli_fname;
}

// Runs the probe against the script with the statement of the brand listing and `extra`
// arguments.
ProgramRun runProbe(const std::string& script, const std::vector<std::string>& extra = {}) {
  std::vector<std::string> args{"SELECT marque FROM avion"};
  args.insert(args.end(), extra.begin(), extra.end());
  return RunProgramWithFake(FAKEODBC_PROBE, FAKEODBC_LIBRARY_DIR, script, args);
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  return text;
}

TEST(EnvironmentModeTest, ProgramIsAnsweredFromTheScriptAndEveryCallIsLogged) {
  const ProgramRun outcome = runProbe(
      "connect-out \"DRIVER={Fake};DBQ=/data/bd2.mdb\"\n"
      "info SQL_DBMS_NAME text \"ACCESS\"\n"
      "result \"SELECT marque FROM avion\"\n"
      "column marque SQL_WVARCHAR 50\n"
      "row \"Concorde\"\n"
      "row NULL\n"
      "row \"\\u00C9cureuil\"\n");
  ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_EQ(outcome.out,
            "connected DRIVER={Fake};DBQ=/data/bd2.mdb\n"
            "dbms ACCESS\n"
            "-- Concorde\n"
            "-- NULL\n"
            "-- \xC3\x89"
            "cureuil\n");

  EXPECT_EQ(joined(outcome.log), R"(SQLAllocEnv(&env#1) -> SQL_SUCCESS
SQLAllocConnect(env#1, &dbc#1) -> SQL_SUCCESS
SQLDriverConnectW(dbc#1, NULL, "DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DBQ=../../bd2.mdb", )"
                                 R"(SQL_NTS, 256, SQL_DRIVER_NOPROMPT) -> SQL_SUCCESS
SQLGetInfoW(dbc#1, SQL_DBMS_NAME, 128) -> SQL_SUCCESS
SQLAllocStmt(dbc#1, &stmt#1) -> SQL_SUCCESS
SQLExecDirectW(stmt#1, "SELECT marque FROM avion", SQL_NTS) -> SQL_SUCCESS
SQLExtendedFetch(stmt#1, SQL_FETCH_NEXT, 1) -> SQL_SUCCESS
SQLGetData(stmt#1, 1, SQL_C_WCHAR, 256) -> SQL_SUCCESS
SQLExtendedFetch(stmt#1, SQL_FETCH_NEXT, 1) -> SQL_SUCCESS
SQLGetData(stmt#1, 1, SQL_C_WCHAR, 256) -> SQL_SUCCESS
SQLExtendedFetch(stmt#1, SQL_FETCH_NEXT, 1) -> SQL_SUCCESS
SQLGetData(stmt#1, 1, SQL_C_WCHAR, 256) -> SQL_SUCCESS
SQLExtendedFetch(stmt#1, SQL_FETCH_NEXT, 1) -> SQL_NO_DATA
SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS
SQLDisconnect(dbc#1) -> SQL_SUCCESS
SQLFreeConnect(dbc#1) -> SQL_SUCCESS
SQLFreeEnv(env#1) -> SQL_SUCCESS
== handles
env allocated=1 freed=1 live=0
dbc allocated=1 freed=1 live=0
stmt allocated=1 freed=1 live=0 released-by-disconnect=0
invalid-handle-uses=0
live: -
balanced: yes
)");
}

TEST(EnvironmentModeTest, BalanceLineClosesTheLog) {
  const ProgramRun outcome = runProbe("");
  ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_EQ(outcome.out,
            "connected DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DBQ=../../bd2.mdb\n"
            "dbms FakeDB\n-- Airbus\n-- Boeing\n-- Cessna\n-- Dassault\n");
  ASSERT_FALSE(outcome.log.empty());
  EXPECT_EQ(outcome.log.back(), "balanced: yes");
}

TEST(EnvironmentModeTest, ScriptedFailureReachesTheProgramThroughSQLErrorW) {
  const ProgramRun outcome = runProbe(
      "answer SQLExecDirectW 1 rc SQL_ERROR diag 42S02 0 "
      "\"[FakeODBC][Driver]avion is not a table in this database\"\n");
  ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_THAT(outcome.out,
              HasSubstr("error 42S02 [FakeODBC][Driver]avion is not a table in this database\n"));
  EXPECT_THAT(outcome.out, ::testing::Not(HasSubstr("-- ")));
  EXPECT_THAT(joined(outcome.log),
              HasSubstr("SQLExecDirectW(stmt#1, \"SELECT marque FROM avion\", SQL_NTS) -> "
                        "SQL_ERROR\nSQLErrorW(env#1, dbc#1, stmt#1, 511) -> SQL_SUCCESS\n"
                        "SQLErrorW(env#1, dbc#1, stmt#1, 511) -> SQL_NO_DATA\n"));
}

TEST(EnvironmentModeTest, AStatementLeftToDisconnectUnbalancesTheLog) {
  const ProgramRun outcome = runProbe("", {"--keep-statement"});
  ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
  const auto& log = outcome.log;
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[log.size() - 3], "invalid-handle-uses=0");
  EXPECT_THAT(joined(log), HasSubstr("released-by-disconnect=1"));
  EXPECT_EQ(log.back(), "balanced: no");
}

TEST(EnvironmentModeTest, AMalformedScriptStopsTheProgramWithItsLine) {
  const ProgramRun outcome = runProbe("column marque SQL_WVARCHAR 50\nrow \"a\" \"b\"\n");
  EXPECT_EQ(outcome.exitCode, 2);
  EXPECT_THAT(outcome.err, HasSubstr("fakeodbc: "));
  EXPECT_THAT(outcome.err, HasSubstr("line 2: row has 2 values for 1 columns"));
  EXPECT_EQ(outcome.out, "");
}

}  // namespace
