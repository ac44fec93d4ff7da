// The brand listing over the scripted driver manager: the program run as a process on a script
// of its own (status, output, the calls of connecting and closing, the handles left), then the
// scenarios of listing_scenarios.h in this process, as a process and, for those marked so, under
// valgrind's memcheck (label valgrind), also where a database error or another error ends them.
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>

#include "tests/db/support/call_lines.h"
#include "tests/db/support/test_names.h"
#include "tests/program/listing_scenarios.h"
#include "tests/program/scripted_listing.h"
#include "tests/support/memcheck.h"
#include "tests/support/temp_folder.h"

namespace listing {
namespace {

using ::testing::Contains;
using ::testing::Not;
using ::testing::StartsWith;

// Three brands and a fourth that is never read, under the names the driver manager answers.
const std::string kBrandScript =
    "column marque SQL_WVARCHAR 50\n"
    "row \"Airbus\"\nrow \"Boeing\"\nrow \"Cessna\"\nrow \"Dassault\"\n"
    "info SQL_DBMS_NAME text \"FakeDB\"\n"
    "info SQL_DBMS_VER text \"01.00.0000\"\n"
    "info SQL_ODBC_VER text \"03.80.0000\"\n";

ProgramRun RunBrandListing(const std::string& script,
                           const std::vector<std::string>& arguments = {}) {
  return RunProgramWithFake(BRAND_LISTING_PROGRAM, FAKEODBC_LIBRARY_DIR, script, arguments);
}

// The calls of a refused connect: the handle, the options, the connect, its diagnostics, and
// the release of everything.
std::vector<std::string> RefusedConnectCalls(const std::string& connectAnswer,
                                             const std::vector<std::string>& diagnostics) {
  std::vector<std::string> calls = HealthyOpenCalls(kConnectGiven);
  calls.resize(4);
  calls.push_back("SQLDriverConnectW(dbc#1, hwnd, \"" + kConnectGiven +
                  "\", SQL_NTS, 1024, SQL_DRIVER_COMPLETE) -> " + connectAnswer);
  calls.insert(calls.end(), diagnostics.begin(), diagnostics.end());
  return Concat(calls, {"SQLDisconnect(dbc#1) -> SQL_ERROR", kClosingCalls[2], kClosingCalls[3]});
}

TEST(ProgramRun, ACompletedRunConnectsListsClosesAndReturnsZero) {
  const ProgramRun run = RunBrandListing(kBrandScript);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.out, "-- Airbus\n-- Boeing\n-- Cessna\n");

  const std::vector<std::string> calls = LoggedCalls(run);
  const std::vector<std::string> open = HealthyOpenCalls(kConnectGiven);
  ASSERT_GE(calls.size(), open.size() + kClosingCalls.size());
  EXPECT_THAT(std::vector<std::string>(calls.begin(), calls.begin() + open.size()),
              ElementsAreArray(open));
  EXPECT_THAT(LastCalls(calls), ElementsAreArray(kClosingCalls));
  EXPECT_TRUE(LoggedBalanced(run)) << "no balanced handle report in the log";
}

TEST(ProgramRun, ArgumentsChangeNothing) {
  const ProgramRun plain = RunBrandListing(kBrandScript);
  const ProgramRun withArguments = RunBrandListing(kBrandScript, {"--help", "x.mdb", ""});
  ASSERT_TRUE(withArguments.exited);
  EXPECT_EQ(withArguments.exitCode, plain.exitCode);
  EXPECT_EQ(withArguments.out, plain.out);
  EXPECT_EQ(withArguments.log, plain.log);
}

// Runs that end before the listing: status 1, nothing on standard output, one line on
// standard error, the calls made (when given) and every handle released.
struct EarlyEnd {
  const char* name;
  std::string script;
  std::string line;
  std::vector<std::string> calls;
};
void PrintTo(const EarlyEnd& c, std::ostream* os) { *os << c.name; }

class ProgramEndsEarly : public ::testing::TestWithParam<EarlyEnd> {};

TEST_P(ProgramEndsEarly, WithOneLineOnStandardError) {
  const EarlyEnd& c = GetParam();
  const ProgramRun run = RunBrandListing(c.script);
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.out, IsEmpty());
  EXPECT_EQ(run.err, "brand-listing: cannot open the database: " + c.line + "\n");
  if (!c.calls.empty()) {
    EXPECT_THAT(LoggedCalls(run), ElementsAreArray(c.calls));
  }
  EXPECT_TRUE(LoggedBalanced(run));
}

INSTANTIATE_TEST_SUITE_P(
    Runs, ProgramEndsEarly,
    ::testing::Values(
        EarlyEnd{"refused",
                 "answer SQLDriverConnectW 1 rc SQL_ERROR diag 08001 0 "
                 "\"[FakeODBC][Driver]Unable to connect\"\n",
                 "Unable to connect",
                 RefusedConnectCalls("SQL_ERROR",
                                     {"SQLErrorW(env#1, dbc#1, NULL, 511) -> SQL_SUCCESS",
                                      "SQLErrorW(env#1, dbc#1, NULL, 511) -> SQL_NO_DATA"})},
        EarlyEnd{"refused_without_text", "answer SQLDriverConnectW 1 rc SQL_INVALID_HANDLE\n",
                 "return code -2", RefusedConnectCalls("SQL_INVALID_HANDLE", {})},
        EarlyEnd{"below_conformance", "info SQL_ODBC_API_CONFORMANCE int16 0\n",
                 "Dravon internal error: unable to load error string from resource.", {}},
        EarlyEnd{"no_environment", "answer SQLAllocEnv 1 rc SQL_ERROR\n",
                 "out of memory (CMemoryException)", {"SQLAllocEnv(&NULL) -> SQL_ERROR"}}),
    [](const ::testing::TestParamInfo<EarlyEnd>& info) { return std::string(info.param.name); });

TEST(ProgramRun, OutputThatCannotBeWrittenEndsTheRunWithOneLine) {
  // The shell hands the program a standard output on which every write fails.
  const ProgramRun run =
      RunProgramWithFake("/bin/sh", FAKEODBC_LIBRARY_DIR, kBrandScript,
                         {"-c", "exec \"$0\" >/dev/full", BRAND_LISTING_PROGRAM});
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, 1);
  // The first value's box, then the one line; no further value is read or shown.
  EXPECT_EQ(run.err, "[message box]\ncaption: " + ListingBinaryPath() +
                         "\nicon: warning\ntext: Airbus\n[end of message box]\nbrand-listing: "
                         "cannot write to standard output: No space left on device\n");
  EXPECT_TRUE(LoggedBalanced(run));
}

// Each value in its box, then on its line; then the error box, or the line of a failed run.
std::vector<Shown> ExpectedShown(const Scenario& scenario, const std::string& caption) {
  std::vector<Shown> shown = Presented(ExpectedValues(scenario), caption);
  if (const auto error = ExpectedErrorBox(scenario, Source::Scripted)) {
    shown.push_back(BoxShowing(*error, caption));
  }
  if (ExpectedStatus(scenario) != 0) shown.push_back(OtherLine(ExpectedFailureLine(scenario)));
  return shown;
}

// What the calls of a run must show: a run that opened its statement closes it, the
// connection and the environment last; a failed statement reads nothing; a refused
// connection opens no statement.
void ExpectCalls(const Scenario& scenario, const std::vector<std::string>& calls) {
  if (scenario.disturbance == Disturbance::RefusedConnection) {
    EXPECT_THAT(calls, Not(Contains(StartsWith("SQLAllocStmt("))));
    return;
  }
  EXPECT_THAT(LastCalls(calls), ElementsAreArray(kClosingCalls));
  EXPECT_THAT(calls, Contains("SQLSetConnectOptionW(dbc#1, SQL_ODBC_CURSORS, 0) -> SQL_SUCCESS")
                         .Times(1));
  if (scenario.disturbance == Disturbance::MissingTable ||
      scenario.disturbance == Disturbance::MissingColumn) {
    EXPECT_THAT(calls, Not(Contains(StartsWith("SQLGetData("))));
    EXPECT_THAT(calls, Not(Contains(StartsWith("SQLExtendedFetch("))));
  }
  if (scenario.disturbance == Disturbance::None && !scenario.memo && scenario.size == 50) {
    // A short column: one read a row that has one.
    EXPECT_THAT(calls, Contains("SQLGetData(stmt#1, 1, SQL_C_WCHAR, 102) -> SQL_SUCCESS")
                           .Times(static_cast<int>(std::min<size_t>(3, scenario.rows.size()))));
  }
}

class ScenarioInProcess : public ::testing::TestWithParam<Scenario> {
 protected:
  void SetUp() override { StartInProcessListing(); }
  void TearDown() override { std::setlocale(LC_ALL, "C"); }
};

TEST_P(ScenarioInProcess, ShowsWritesAndReleasesAsExpected) {
  const Scenario& scenario = GetParam();
  fakeodbc::loadScript(FakeScript(scenario));
  ASSERT_NE(std::setlocale(LC_ALL, scenario.locale), nullptr);
  const ListingRun run = RunListingInProcess();

  EXPECT_EQ(run.status, ExpectedStatus(scenario));
  EXPECT_THAT(run.shown, ElementsAreArray(ExpectedShown(scenario, OwnExecutablePath())));
  const fakeodbc::HandleBalance balance = fakeodbc::handleBalance();
  EXPECT_TRUE(balance.balanced()) << balance.text();
  ExpectCalls(scenario, fakeodbc::callLines());
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ScenarioInProcess,
                         ::testing::ValuesIn(ScenariosFor(kInProcess)), ScenarioName);

class ScenarioProgram : public ::testing::TestWithParam<Scenario> {};

TEST_P(ScenarioProgram, ShowsWritesAndReleasesAsExpected) {
  const Scenario& scenario = GetParam();
  const BinaryRun run = RunListingBinary(FakeScript(scenario), {}, {{"LC_ALL", scenario.locale}});

  ASSERT_TRUE(run.process.exited) << run.process.How();
  EXPECT_EQ(run.process.exitCode, ExpectedStatus(scenario));
  EXPECT_THAT(run.shown, ElementsAreArray(ExpectedShown(scenario, ListingBinaryPath())));
  EXPECT_TRUE(LoggedBalanced(run.process));
  ExpectCalls(scenario, LoggedCalls(run.process));
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ScenarioProgram, ::testing::ValuesIn(ScenariosFor(kScripted)),
                         ScenarioName);

class ScriptedUnderMemcheck : public ::testing::TestWithParam<Scenario> {};

TEST_P(ScriptedUnderMemcheck, ReportsNoErrorAndNoLeak) {
  if (const std::string why = testsupport::MemcheckUnavailable(); !why.empty()) GTEST_SKIP() << why;
  const Scenario& scenario = GetParam();
  testsupport::TempFolder folder("listing-memcheck");
  const std::string logPath = folder.Path("memcheck.log");
  const BinaryRun run =
      RunListingBinary(FakeScript(scenario), testsupport::UnderMemcheck({}, logPath), {}, 180);
  const testsupport::MemcheckReport report =
      testsupport::ReadMemcheckReport(testsupport::ReadFile(logPath));

  ASSERT_TRUE(run.process.exited) << report.text;
  EXPECT_EQ(run.process.exitCode, ExpectedStatus(scenario))
      << testsupport::kMemcheckErrorStatus << " means memcheck found errors\n" << report.text;
  EXPECT_TRUE(report.Clean()) << report.text;
  EXPECT_TRUE(LoggedBalanced(run.process));
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ScriptedUnderMemcheck,
                         ::testing::ValuesIn(ScenariosFor(kMemcheck)), ScenarioName);

}  // namespace
}  // namespace listing
