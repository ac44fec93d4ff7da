// The program through unixODBC and the project's driver, on a database that each run writes
// with the project's writer, read from two levels below it: the scenarios of
// listing_scenarios.h, the order of boxes and lines, tables shaped otherwise than the simplest,
// and the places where the connection cannot be made. The scenarios marked for memcheck run
// under valgrind's memcheck too (label valgrind): no memory error and no lost block of the
// program's or the driver's own (the suppressions match only blocks that the driver manager's
// libraries allocate themselves).
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "tests/program/driver_listing.h"
#include "tests/support/fixtures.h"
#include "tests/support/memcheck.h"

namespace e2e {
namespace {

using listing::Scenario;
using mkmdb::ColumnType;

// A run of the scenario from the folder's bay: refused with the driver's message, or listed.
void ExpectScenarioRun(const Scenario& scenario, const ProgramRun& run, const ListingFolder& in) {
  if (scenario.disturbance == listing::Disturbance::RefusedConnection) {
    ExpectRefusedWithDriverMessage(run, in.bay());
  } else {
    EXPECT_TRUE(CompletedListing(run, {ExpectedValues(scenario),
                                       ExpectedErrorBox(scenario, listing::Source::Driver)}));
  }
}

class ScenarioOverDriver : public testing::TestWithParam<Scenario> {};

TEST_P(ScenarioOverDriver, ShowsAndWritesAsExpected) {
  const Scenario& scenario = GetParam();
  ListingFolder folder;
  WriteScenarioDatabase(folder, scenario);
  ExpectScenarioRun(scenario, RunBrandListing(folder.bay(), scenario.locale), folder);
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ScenarioOverDriver,
                         testing::ValuesIn(listing::ScenariosFor(listing::kDriver)),
                         listing::ScenarioName);

std::vector<Scenario> DriverMemcheckScenarios() {
  std::vector<Scenario> chosen = listing::ScenariosFor(listing::kMemcheck);
  std::erase_if(chosen, [](const Scenario& s) { return !(s.runners & listing::kDriver); });
  return chosen;
}

class DriverUnderMemcheck : public testing::TestWithParam<Scenario> {};

TEST_P(DriverUnderMemcheck, ReportsNoErrorAndNoLeak) {
  if (const std::string why = testsupport::MemcheckUnavailable(); !why.empty()) GTEST_SKIP() << why;
  const Scenario& scenario = GetParam();
  ListingFolder folder;
  WriteScenarioDatabase(folder, scenario);
  const testsupport::MemcheckRun memcheck = testsupport::RunUnderMemcheck(
      ListingLaunch(folder.bay(), scenario.locale), folder.root(), "definite,indirect,possible",
      std::chrono::seconds(120));
  ExpectScenarioRun(scenario, memcheck.run, folder);
  EXPECT_TRUE(memcheck.report.Clean()) << memcheck.report.text;
}

INSTANTIATE_TEST_SUITE_P(Scenarios, DriverUnderMemcheck,
                         testing::ValuesIn(DriverMemcheckScenarios()), listing::ScenarioName);

// With standard output and standard error in one file, the order of events shows: each value's
// box comes before its line, and the error box comes last.
TEST(ListingOrder, EachBoxComesBeforeItsLineAndTheErrorLast) {
  ListingFolder folder;
  folder.WriteDatabase({BrandTable({"Airbus", "Boeing"})});
  testsupport::ChildOptions launch = ListingLaunch(folder.bay());
  launch.mergeErrors = true;
  const ProgramRun run = testsupport::RunChild(launch, std::chrono::seconds(30));
  ASSERT_TRUE(run.exited && run.exitCode == 0) << Describe(run);
  EXPECT_EQ(run.out, Block("Airbus") + "-- Airbus\n" + Block("Boeing") + "-- Boeing\n" +
                         Block("Invalid cursor state\n"));
}

// A file that Access itself made, without the table the program reads.
TEST(TableShape, AccessMadeFileWithoutTheTable) {
  SKIP_WITHOUT_FIXTURE("access-made-jet4.mdb");
  ListingFolder folder;
  std::filesystem::create_symlink(testsupport::FixturePath("access-made-jet4.mdb"),
                                  folder.database());
  EXPECT_TRUE(CompletedListing(
      RunBrandListing(folder.bay()),
      {{}, "avion is not a table or query in this database (at offset 19)\n"}));
}

// Tables that the statement matches otherwise than the simplest: all of them list the first
// three brands.
struct Shape {
  const char* name;
  std::vector<mkmdb::TableSpec> tables;
};
void PrintTo(const Shape& shape, std::ostream* os) { *os << shape.name; }

const Shape kShapes[] = {
    // The statement names its column: its values come whatever the column's place in the
    // table, and other tables of the file do not matter.
    {"ColumnAmongOthersInAFileOfSeveralTables",
     {{"marque", {{"avion", ColumnType::Text, 20}}, {{"not this one"}}},
      {"avion",
       {{"id", ColumnType::Long}, {"modele", ColumnType::Text, 30},
        {"marque", ColumnType::Text, 40}, {"prix", ColumnType::Double}},
       {{"1", "A320", "Airbus", "98.5"}, {"2", "737", "Boeing", std::nullopt},
        {"3", "172", "Cessna", "0.4"}, {"4", "Falcon", "Dassault", "50"}}}}},
    // Access matches names in any letter case.
    {"NamesInAnotherLetterCase",
     {{"AVION", {{"Marque", ColumnType::Text, 50}}, {{"Airbus"}, {"Boeing"}, {"Cessna"}}}}},
};

class TableShapes : public testing::TestWithParam<Shape> {};

TEST_P(TableShapes, ListTheFirstThreeBrands) {
  ListingFolder folder;
  folder.WriteDatabase(GetParam().tables);
  EXPECT_TRUE(
      CompletedListing(RunBrandListing(folder.bay()), {{"Airbus", "Boeing", "Cessna"}, {}}));
}

INSTANTIATE_TEST_SUITE_P(TableShape, TableShapes, testing::ValuesIn(kShapes),
                         [](const auto& info) { return std::string(info.param.name); });

// Runs where the connection cannot be made: a file that is not a database, and the program
// started from a directory that is not two levels below the file (no file at all is the
// refused_connection scenario).
struct BrokenPlace {
  const char* name;
  std::optional<std::string> bytes;  // bd2.mdb's bytes; none: the writer's file of three brands
  std::uintmax_t cutAt;              // the size bd2.mdb is cut to; 0: left whole
  const char* directory;             // where the program starts, below the folder's root
};
void PrintTo(const BrokenPlace& place, std::ostream* os) { *os << place.name; }

// Lines of text that name the column and its brands, a little over 8 KB of them.
std::string BrandText() {
  std::string text;
  while (text.size() < 8192) text += "marque\nAirbus\nBoeing\nCessna\n";
  return text;
}

const BrokenPlace kPlaces[] = {
    {"text_file", BrandText(), 0, "hangar/bay"},
    {"empty_file", "", 0, "hangar/bay"},
    // The first page of a real database is not a database.
    {"cut_database", std::nullopt, 4096, "hangar/bay"},
    {"one_level_below", std::nullopt, 0, "hangar"},
    {"three_levels_below", std::nullopt, 0, "hangar/bay/deck"},
};

class DatabaseFile : public testing::TestWithParam<BrokenPlace> {};

TEST_P(DatabaseFile, RefusedWithTheDriversMessage) {
  const BrokenPlace& place = GetParam();
  ListingFolder folder;
  if (place.bytes) {
    testsupport::WriteFile(folder.database(), *place.bytes);
  } else {
    folder.WriteDatabase({BrandTable({"Airbus", "Boeing", "Cessna"})});
  }
  if (place.cutAt != 0) std::filesystem::resize_file(folder.database(), place.cutAt);
  const std::string directory = folder.root() + "/" + place.directory;
  std::filesystem::create_directories(directory);
  ExpectRefusedWithDriverMessage(RunBrandListing(directory), directory);
}

INSTANTIATE_TEST_SUITE_P(Places, DatabaseFile, testing::ValuesIn(kPlaces),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
