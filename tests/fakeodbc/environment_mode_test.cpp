// Reaching the fake from a program linked against the system libodbc.so.2. Started with
// LD_LIBRARY_PATH pointing at the fake and FAKEODBC_SCRIPT / FAKEODBC_LOG set, it is answered
// from the script and logged (environment mode). Linked together with the fake, as this test
// executable is, it gets the fake: both files carry the soname libodbc.so.2 and the
// executable's run path names the fake's folder first, so only the fake is loaded.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake_odbc.h"
#include "tests/fakeodbc/fake_odbc_run.h"

namespace {

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
  EXPECT_NE(outcome.out.find("error 42S02 [FakeODBC][Driver]avion is not a table in this "
                             "database\n"),
            std::string::npos)
      << outcome.out;
  EXPECT_EQ(outcome.out.find("-- "), std::string::npos);
  const std::string log = joined(outcome.log);
  EXPECT_NE(log.find("SQLExecDirectW(stmt#1, \"SELECT marque FROM avion\", SQL_NTS) -> "
                     "SQL_ERROR\nSQLErrorW(env#1, dbc#1, stmt#1, 511) -> SQL_SUCCESS\n"
                     "SQLErrorW(env#1, dbc#1, stmt#1, 511) -> SQL_NO_DATA\n"),
            std::string::npos)
      << log;
}

TEST(EnvironmentModeTest, AStatementLeftToDisconnectUnbalancesTheLog) {
  const ProgramRun outcome = runProbe("", {"--keep-statement"});
  ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
  const auto& log = outcome.log;
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[log.size() - 3], "invalid-handle-uses=0");
  EXPECT_NE(joined(log).find("released-by-disconnect=1"), std::string::npos);
  EXPECT_EQ(log.back(), "balanced: no");
}

TEST(EnvironmentModeTest, AMalformedScriptStopsTheProgramWithItsLine) {
  const ProgramRun outcome = runProbe("column marque SQL_WVARCHAR 50\nrow \"a\" \"b\"\n");
  EXPECT_EQ(outcome.exitCode, 2);
  EXPECT_NE(outcome.err.find("fakeodbc: "), std::string::npos) << outcome.err;
  EXPECT_NE(outcome.err.find("line 2: row has 2 values for 1 columns"), std::string::npos)
      << outcome.err;
  EXPECT_EQ(outcome.out, "");
}

}  // namespace
