// The whole program run in this process against the scripted driver manager: the ODBC calls
// from connecting to closing, the three values shown in boxes and written as lines in that
// order, and how a run with fewer rows, a memory error or cancelled dialogs ends. The values
// themselves and the database errors are the scenarios of scripted_scenario_test.cpp.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <clocale>
#include <string>
#include <vector>

#include "db/database.h"
#include "tests/program/listing_capture.h"
#include "tests/db/support/call_lines.h"
#include "tests/db/support/test_names.h"
#include "tests/db/support/field_reading.h"
#include "tests/db/support/scripted_answers.h"
#include "tests/fakeodbc/fake_odbc.h"

namespace {

const std::string kConnectGiven =
    "DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DSN='';DBQ=../../bd2.mdb";

ResultSet Brands(const std::vector<fakeodbc::Cell>& cells, SQLULEN size = 50) {
  return SingleColumnResult(Column{u"marque", SQL_WVARCHAR, size}, cells);
}

const std::string kRead = "SQLGetData(stmt#1, 1, SQL_C_WCHAR, 102) -> SQL_SUCCESS";
const std::string kNext = "SQLExtendedFetch(stmt#1, SQL_FETCH_NEXT, 1) -> SQL_SUCCESS";
const std::string kNextOffTheEnd = "SQLExtendedFetch(stmt#1, SQL_FETCH_NEXT, 1) -> " + kNoData;
const std::vector<std::string> kReadWithoutRow = {
    "SQLGetData(stmt#1, 1, SQL_C_WCHAR, 102) -> SQL_ERROR",
    "SQLErrorW(env#1, dbc#1, stmt#1, 511) -> SQL_SUCCESS",
    "SQLErrorW(env#1, dbc#1, stmt#1, 511) -> SQL_NO_DATA"};
const std::vector<std::string> kClosing = {"SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS",
                                           "SQLDisconnect(dbc#1) -> SQL_SUCCESS",
                                           "SQLFreeConnect(dbc#1) -> SQL_SUCCESS",
                                           "SQLFreeEnv(env#1) -> SQL_SUCCESS"};

class ListingRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    PresentBoxesOnStandardError();
    std::setlocale(LC_ALL, "C");
    fakeodbc::reset();
    GetDatabaseProcessState() = DatabaseProcessState{};
  }
  void TearDown() override {
    std::setlocale(LC_ALL, "C");
    const fakeodbc::HandleBalance balance = fakeodbc::handleBalance();
    EXPECT_TRUE(balance.balanced()) << balance.text();
  }

  static std::vector<Shown> Presented(const std::vector<std::string>& values) {
    return ::Presented(values, OwnExecutablePath());
  }
  static Shown ErrorBox(const std::string& text) { return BoxShowing(text, OwnExecutablePath()); }
};

TEST_F(ListingRunTest, ThreeRowsOfFourAreReadShownAndWrittenInTheOverviewsCallOrder) {
  fakeodbc::setResult(Brands({u"Airbus", u"Boeing", u"Cessna", u"Dassault"}));
  const ListingRun run = RunListingInProcess();

  EXPECT_EQ(run.status, 0);
  EXPECT_THAT(run.shown, ElementsAreArray(Presented({"Airbus", "Boeing", "Cessna"})));
  // Connection with the cursor library used only if needed, recordset, open, three reads
  // with two moves between them, closing.
  const std::vector<std::string> expected = Concat(
      Concat(Concat(HealthyOpenCalls(kConnectGiven), RecordsetOpenCalls("SQL_SUCCESS")),
             {kRead, kNext, kRead, kNext, kRead}),
      kClosing);
  EXPECT_THAT(fakeodbc::callLines(), ElementsAreArray(expected));
}

TEST_F(ListingRunTest, ExactlyThreeRowsEndTheSameWay) {
  fakeodbc::setResult(Brands({u"Airbus", u"Boeing", u"Cessna"}));
  const ListingRun run = RunListingInProcess();
  EXPECT_EQ(run.status, 0);
  EXPECT_THAT(run.shown, ElementsAreArray(Presented({"Airbus", "Boeing", "Cessna"})));
  // No third move: the run never learns that the table ends there.
  EXPECT_THAT(fakeodbc::callNames(), ::testing::Contains("SQLExtendedFetch").Times(3));
}

TEST_F(ListingRunTest, TheOutputIsExactlyTheBoxBlocksAndTheLines) {
  fakeodbc::setResult(Brands({u"Airbus", u"Boeing", u"Cessna"}));
  const ListingRun run = RunListingInProcess();
  std::string expected;
  for (const char* value : {"Airbus", "Boeing", "Cessna"}) {
    expected += std::string("[message box]\ncaption: ") + OwnExecutablePath() +
                "\nicon: warning\ntext: " + value + "\n[end of message box]\n-- " + value + "\n";
  }
  EXPECT_EQ(run.output, expected);
}

// Fewer rows than reads: the read after the last row still goes to the driver, whose error
// is the one box that ends the listing; the run itself completes.
class ListingShortTable : public ListingRunTest, public ::testing::WithParamInterface<int> {};

TEST_P(ListingShortTable, EndsWithTheDriversInvalidCursorStateInOneBox) {
  const int rows = GetParam();
  const std::vector<std::string> all = {"Airbus", "Boeing"};
  const std::vector<std::string> values(all.begin(), all.begin() + rows);
  std::vector<fakeodbc::Cell> cells;
  for (const std::string& v : values) cells.emplace_back(std::u16string(v.begin(), v.end()));
  fakeodbc::setResult(Brands(cells));

  const ListingRun run = RunListingInProcess();

  EXPECT_EQ(run.status, 0);
  std::vector<Shown> expectedShown = Presented(values);
  expectedShown.push_back(ErrorBox("Invalid cursor state\n"));
  EXPECT_THAT(run.shown, ElementsAreArray(expectedShown));

  std::vector<std::string> expected =
      Concat(HealthyOpenCalls(kConnectGiven),
             RecordsetOpenCalls(rows == 0 ? kNoData : "SQL_SUCCESS"));
  for (int row = 0; row < rows; ++row) {
    expected.push_back(kRead);
    expected.push_back(row + 1 < rows ? kNext : kNextOffTheEnd);
  }
  expected = Concat(Concat(expected, kReadWithoutRow), kClosing);
  EXPECT_THAT(fakeodbc::callLines(), ElementsAreArray(expected));
}

INSTANTIATE_TEST_SUITE_P(Rows, ListingShortTable, ::testing::Values(2, 1, 0));

// An error that is not a database error ends the run like a failed open: one line on
// standard error, status 1, everything released.
TEST_F(ListingRunTest, AMemoryErrorWhileReadingEndsTheRunWithStatusOne) {
  // A long column: "Airbus" takes two reads, and the first read of "Boeing" announces a
  // length no text can hold.
  ResultSet result = Brands({u"Airbus", u"Boeing", u"Cessna"});
  result.columns[0].sqlType = SQL_WLONGVARCHAR;
  fakeodbc::setResult(result);
  fakeodbc::answer(Fn::SQLGetData, 3, ReportingLength(SQLLEN{0x7FFFFFFF} * 2));
  const ListingRun run = RunListingInProcess();

  EXPECT_EQ(run.status, 1);
  std::vector<Shown> expected = Presented({"Airbus"});
  expected.push_back(OtherLine("brand-listing: the listing failed: out of memory (CMemoryException)"));
  EXPECT_THAT(run.shown, ElementsAreArray(expected));
  const std::vector<std::string> calls = fakeodbc::callLines();
  ASSERT_GE(calls.size(), kClosing.size());
  EXPECT_THAT(std::vector<std::string>(calls.end() - kClosing.size(), calls.end()),
              ElementsAreArray(kClosing));
}

// The user cancels the driver's dialog and then the driver manager's: neither open raises and
// there is nothing to read, so nothing is shown or written and the run says why it stopped.
TEST_F(ListingRunTest, CancelledConnectionDialogsEndTheRunWithoutAValue) {
  fakeodbc::answer(Fn::SQLDriverConnectW, 1, Answer::fail(SQL_NO_DATA_FOUND));
  fakeodbc::answer(Fn::SQLDriverConnectW, 2, Answer::fail(SQL_NO_DATA_FOUND));
  const ListingRun run = RunListingInProcess();

  EXPECT_EQ(run.status, 1);
  EXPECT_THAT(run.shown,
              ElementsAre(OtherLine(
                  "brand-listing: no connection: the connection dialogs were cancelled")));
  EXPECT_TRUE(fakeodbc::handleBalance().balanced()) << fakeodbc::handleBalance().text();
  const std::vector<std::string> names = fakeodbc::callNames();
  EXPECT_THAT(names, ::testing::Contains("SQLDriverConnectW").Times(2));
  EXPECT_THAT(names, ::testing::Not(::testing::Contains("SQLAllocStmt")));
}

}  // namespace
