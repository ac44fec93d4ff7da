// The scenarios of listing_scenarios.h marked for memcheck that the driver can hold, the program
// through the real driver manager and the project's driver under valgrind's memcheck: no memory
// error and no lost block of the program's or the driver's own (the suppressions match only
// blocks that the driver manager's libraries allocate themselves).
#include <gtest/gtest.h>

#include "tests/program/driver_listing.h"
#include "tests/support/memcheck.h"

namespace listing {
namespace {

using namespace e2e;

std::vector<Scenario> DriverMemcheckScenarios() {
  std::vector<Scenario> chosen;
  for (const Scenario& scenario : ScenariosFor(kMemcheck)) {
    if (scenario.runners & kDriver) chosen.push_back(scenario);
  }
  return chosen;
}

class DriverUnderMemcheck : public testing::TestWithParam<Scenario> {};

TEST_P(DriverUnderMemcheck, ReportsNoErrorAndNoLeak) {
  if (const std::string why = testsupport::MemcheckUnavailable(); !why.empty()) GTEST_SKIP() << why;
  const Scenario& scenario = GetParam();
  ListingFolder folder;
  WriteScenarioDatabase(folder, scenario);
  const testsupport::MemcheckRun memcheck = testsupport::RunUnderMemcheck(
      ListingLaunch(folder.bay(), scenario.locale), folder.root(),
      "definite,indirect,possible", std::chrono::seconds(120));

  if (scenario.disturbance == Disturbance::RefusedConnection) {
    ExpectRefusedWithDriverMessage(memcheck.run, folder.bay());
  } else {
    EXPECT_TRUE(CompletedListing(memcheck.run, {ExpectedValues(scenario),
                                                ExpectedErrorBox(scenario, Source::Driver)}))
        << memcheck.report.text;
  }
  EXPECT_TRUE(memcheck.report.Clean()) << memcheck.report.text;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, DriverUnderMemcheck,
                         testing::ValuesIn(DriverMemcheckScenarios()), ScenarioName);

}  // namespace
}  // namespace listing
