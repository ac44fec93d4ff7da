// The scenarios of listing_scenarios.h through unixODBC and the project's driver, on a database
// that each run writes with the project's writer, read by the program from two levels below it.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/program/listing_expectations.h"
#include "tests/program/listing_folder.h"
#include "tests/program/listing_run.h"
#include "tests/program/listing_scenarios.h"

namespace listing {
namespace {

using namespace e2e;

class ScenarioOverDriver : public testing::TestWithParam<Scenario> {};

TEST_P(ScenarioOverDriver, ShowsAndWritesAsExpected) {
  const Scenario& scenario = GetParam();
  ListingFolder folder;
  WriteScenarioDatabase(folder, scenario);
  const ProgramRun run = RunBrandListing(folder.bay(), scenario.locale);
  if (scenario.disturbance == Disturbance::RefusedConnection) {
    ExpectRefusedWithDriverMessage(run, folder.bay());
  } else {
    EXPECT_TRUE(CompletedListing(
        run, {ExpectedValues(scenario), ExpectedErrorBox(scenario, Source::Driver)}));
  }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ScenarioOverDriver, testing::ValuesIn(ScenariosFor(kDriver)),
                         ScenarioName);

// With standard output and standard error in one file, the order of events shows: each value's
// box comes before its line, and the error box comes last.
TEST(ListingOrder, EachBoxComesBeforeItsLineAndTheErrorLast) {
  ListingFolder folder;
  folder.WriteDatabase({BrandTable({"Airbus", "Boeing"})});
  testsupport::ChildOptions launch = ListingLaunch({BrandListingPath()}, folder.bay());
  launch.mergeErrors = true;
  const ProgramRun run = testsupport::RunChild(launch, std::chrono::seconds(30));
  ASSERT_TRUE(run.exited && run.exitCode == 0) << Describe(run);
  EXPECT_EQ(run.out, Block("Airbus") + "-- Airbus\n" + Block("Boeing") + "-- Boeing\n" +
                         Block("Invalid cursor state\n"));
}

}  // namespace
}  // namespace listing
