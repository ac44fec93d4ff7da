// The program on tables of different sizes: the first three rows are shown and written in the
// order the driver returns them; a table with fewer rows ends with one box showing the error of
// the read that found no row.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "listing_expectations.h"
#include "listing_folder.h"
#include "listing_run.h"
#include "output_reading.h"

namespace e2e {
namespace {

const std::vector<std::string> kBrands = {"Airbus", "Boeing", "Cessna", "Dassault Aviation",
                                          "Embraer"};

mkmdb::TableSpec FirstBrands(size_t count) {
  return BrandTable(std::vector<mkmdb::Value>(kBrands.begin(), kBrands.begin() + count));
}

class TableOfRows : public testing::TestWithParam<size_t> {};

TEST_P(TableOfRows, ShowsAndWritesTheFirstThreeRows) {
  const size_t rows = GetParam();
  ListingFolder folder;
  folder.WriteDatabase({FirstBrands(rows)});

  ExpectedListing expected;
  const size_t shown = std::min<size_t>(rows, 3);
  expected.values.assign(kBrands.begin(), kBrands.begin() + shown);
  if (shown < 3) expected.errorText = kNoCurrentRowText;
  EXPECT_TRUE(CompletedListing(RunBrandListing(folder.bay()), expected));
}

INSTANTIATE_TEST_SUITE_P(Rows, TableOfRows, testing::Values(0, 1, 2, 3, 5),
                         [](const testing::TestParamInfo<size_t>& info) {
                           return std::to_string(info.param) + "Rows";
                         });

// One event of a merged output: a box by its text lines, or a line outside the boxes.
std::string BoxEvent(const std::vector<std::string>& textLines) {
  std::string event = "box";
  for (const std::string& line : textLines) event += " |" + line;
  return event;
}

// With standard output and standard error in one file, the order of events shows: each value's
// box comes before its line, and the error box comes last.
TEST(ListingOrder, EachBoxComesBeforeItsLineAndTheErrorLast) {
  ListingFolder folder;
  folder.WriteDatabase({FirstBrands(2)});
  testsupport::ChildOptions launch = ListingLaunch({BrandListingPath()}, folder.bay());
  launch.mergeErrors = true;
  const ProgramRun run = testsupport::RunChild(launch, std::chrono::seconds(30));
  ASSERT_TRUE(run.exited && run.exitCode == 0) << Describe(run);

  const ReadOutput read = ReadProgramOutput(run.out);
  ASSERT_EQ(read.malformed, "") << run.out;
  std::vector<std::string> events;
  for (const OutputItem& item : read.items) {
    events.push_back(item.box ? BoxEvent(item.box->text) : "line " + item.line);
  }
  const std::vector<std::string> expected = {
      BoxEvent({"Airbus"}), "line -- Airbus", BoxEvent({"Boeing"}), "line -- Boeing",
      BoxEvent(BoxTextLines(kNoCurrentRowText))};
  EXPECT_EQ(events, expected) << run.out;
}

}  // namespace
}  // namespace e2e
