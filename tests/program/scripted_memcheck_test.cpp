// The scenarios of listing_scenarios.h marked for memcheck, the program over the scripted
// driver manager under valgrind's memcheck: no memory error, no definite or indirect leak, the
// run as expected and every handle released, also on the roads where a database error or
// another error ends the run.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/program/listing_scenarios.h"
#include "tests/program/scripted_listing.h"
#include "tests/support/memcheck.h"
#include "tests/support/temp_folder.h"

namespace listing {
namespace {

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
