// The scenarios of listing_scenarios.h over the scripted driver manager: the program's code in
// this process, and the program itself as a process. Each run shows and writes the expected
// values in order, ends with the expected box or line and status, closes what it opened and
// leaves no handle. The scenarios marked for memcheck run the program under valgrind's memcheck
// too (label valgrind): no memory error, no definite or indirect leak, the run's status as
// expected and every handle released, also where a database error or another error ends it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>

#include "tests/fakeodbc/fake_odbc.h"
#include "tests/program/listing_scenarios.h"
#include "tests/program/scripted_listing.h"
#include "tests/support/memcheck.h"
#include "tests/support/temp_folder.h"

namespace listing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAreArray;
using ::testing::Not;

// Each value in its box, then on its line; then the error box, or the line of a failed run.
std::vector<Shown> ExpectedShown(const Scenario& scenario, const std::string& caption) {
  std::vector<Shown> shown = Presented(ExpectedValues(scenario), caption);
  if (const auto error = ExpectedErrorBox(scenario, Source::Scripted)) {
    shown.push_back(BoxShowing(*error, caption));
  }
  if (ExpectedStatus(scenario) != 0) shown.push_back(OtherLine(ExpectedFailureLine(scenario)));
  return shown;
}

std::vector<std::string> Names(const std::vector<std::string>& calls) {
  std::vector<std::string> names;
  for (const std::string& call : calls) names.push_back(call.substr(0, call.find('(')));
  return names;
}

// What the calls of a run must show: a run that opened its statement closes it, the
// connection and the environment last; a failed statement reads nothing; a refused
// connection opens no statement.
void ExpectCalls(const Scenario& scenario, const std::vector<std::string>& calls) {
  const std::vector<std::string> names = Names(calls);
  if (scenario.disturbance == Disturbance::RefusedConnection) {
    EXPECT_THAT(names, Not(Contains("SQLAllocStmt")));
    return;
  }
  ASSERT_GE(calls.size(), kClosingCalls.size());
  EXPECT_THAT(std::vector<std::string>(calls.end() - kClosingCalls.size(), calls.end()),
              ElementsAreArray(kClosingCalls));
  EXPECT_EQ(std::count(calls.begin(), calls.end(),
                       "SQLSetConnectOptionW(dbc#1, SQL_ODBC_CURSORS, 0) -> SQL_SUCCESS"),
            1);
  if (scenario.disturbance == Disturbance::MissingTable ||
      scenario.disturbance == Disturbance::MissingColumn) {
    EXPECT_THAT(names, Not(Contains("SQLGetData")));
    EXPECT_THAT(names, Not(Contains("SQLExtendedFetch")));
  }
  if (scenario.disturbance == Disturbance::None && !scenario.memo && scenario.size == 50) {
    // A short column: one read a row that has one.
    EXPECT_EQ(std::count(calls.begin(), calls.end(),
                         "SQLGetData(stmt#1, 1, SQL_C_WCHAR, 102) -> SQL_SUCCESS"),
              static_cast<long>(std::min<size_t>(3, scenario.rows.size())));
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
