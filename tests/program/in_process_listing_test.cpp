// The whole program run in this process against the scripted driver manager: the ODBC calls
// from connecting to closing, the three values shown in boxes and written as lines in that
// order, and how a run with fewer rows, a memory error or cancelled dialogs ends. The values
// themselves and the database errors are the scenarios of scripted_listing_test.cpp. Then
// faults injected into every ODBC call of a whole run, one call at a time: a failure, a
// repeated SQL_STILL_EXECUTING and a success with information. Whatever the call, the run
// ends cleanly: a box or the line on standard error, exit status 0 or 1, no handle left.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/db/support/call_lines.h"
#include "tests/db/support/field_reading.h"
#include "tests/db/support/scripted_answers.h"
#include "tests/db/support/test_names.h"
#include "tests/fakeodbc/fake_odbc.h"
#include "tests/program/scripted_listing.h"
#include "tests/support/message_box_blocks.h"

namespace {

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

class ListingRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StartInProcessListing();
    std::setlocale(LC_ALL, "C");
  }
  void TearDown() override {
    std::setlocale(LC_ALL, "C");
    const fakeodbc::HandleBalance balance = fakeodbc::handleBalance();
    EXPECT_TRUE(balance.balanced()) << balance.text();
  }

  static Shown ErrorBox(const std::string& text) { return BoxShowing(text, OwnExecutablePath()); }
  // The block a box of this process writes on standard error for `text`.
  static std::string Block(const std::string& text) {
    return testsupport::BlockOf(OwnExecutablePath(), text);
  }
};

// The first three rows are read, shown and written in that order, with two moves between the
// three reads: the whole output is the box blocks and the lines. With three rows or more there
// is no third move: the run never learns where the table ends. With fewer rows than reads the
// read after the last row still goes to the driver, whose error is the one box that ends the
// listing; the run itself completes.
class ListingRows : public ListingRunTest, public ::testing::WithParamInterface<int> {};

TEST_P(ListingRows, AreReadShownAndWrittenInTheOverviewsCallOrder) {
  const int rows = GetParam();
  const std::vector<std::string> all = {"Airbus", "Boeing", "Cessna", "Dassault", "Embraer"};
  const std::vector<fakeodbc::Cell> cells = {u"Airbus", u"Boeing", u"Cessna", u"Dassault",
                                             u"Embraer"};
  fakeodbc::setResult(Brands({cells.begin(), cells.begin() + rows}));
  const ListingRun run = RunListingInProcess();

  const int read = std::min(rows, 3);
  const std::vector<std::string> values(all.begin(), all.begin() + read);
  std::vector<Shown> shown = Presented(values, OwnExecutablePath());
  std::string output;
  for (const std::string& value : values) output += Block(value) + "-- " + value + "\n";
  if (rows < 3) {
    shown.push_back(ErrorBox("Invalid cursor state\n"));
    output += Block("Invalid cursor state\n");
  }
  EXPECT_EQ(run.status, 0);
  EXPECT_THAT(run.shown, ElementsAreArray(shown));
  EXPECT_EQ(run.output, output);
  // Connection with the cursor library used only if needed, recordset, open, reads with the
  // moves between them, the read without a row if any, closing.
  std::vector<std::string> expected = Concat(
      HealthyOpenCalls(kConnectGiven), RecordsetOpenCalls(rows == 0 ? kNoData : "SQL_SUCCESS"));
  for (int row = 0; row < read; ++row) {
    expected.push_back(kRead);
    if (row < 2) expected.push_back(row + 1 < rows ? kNext : kNextOffTheEnd);
  }
  if (rows < 3) expected = Concat(expected, kReadWithoutRow);
  EXPECT_THAT(fakeodbc::callLines(), ElementsAreArray(Concat(expected, kClosingCalls)));
}

INSTANTIATE_TEST_SUITE_P(Rows, ListingRows, ::testing::Values(5, 4, 3, 2, 1, 0),
                         [](const auto& info) { return std::to_string(info.param) + "_rows"; });

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
  std::vector<Shown> expected = Presented({"Airbus"}, OwnExecutablePath());
  expected.push_back(
      OtherLine("brand-listing: the listing failed: out of memory (CMemoryException)"));
  EXPECT_THAT(run.shown, ElementsAreArray(expected));
  EXPECT_THAT(LastCalls(fakeodbc::callLines()), ElementsAreArray(kClosingCalls));
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

const std::vector<std::string> kValues = {"Airbus", "Boeing", "Cessna"};

struct Outcome {
  std::size_t call = 0;
  std::string callLine;  // the call as the healthy run made it
  ListingRun run;
  std::string failedFunction;  // the function of the call the fault went into
  fakeodbc::HandleBalance balance;
  std::size_t calls = 0;
};

std::string Describe(const Outcome& o) {
  std::ostringstream text;
  text << "call " << o.call << " " << o.callLine << ": status " << o.run.status << ", "
       << o.calls << " calls, shown:";
  for (const Shown& s : o.run.shown) text << " " << ::testing::PrintToString(s);
  return text.str();
}

class ListingFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    StartInProcessListing();
    std::setlocale(LC_ALL, "C");
    const ListingRun healthy = RunListingInProcess();
    ASSERT_EQ(healthy.status, 0);
    baseline = fakeodbc::calls();
    ASSERT_FALSE(baseline.empty());
    const auto alloc = std::find_if(baseline.begin(), baseline.end(), [](const auto& call) {
      return call.fn == fakeodbc::Fn::SQLAllocStmt;
    });
    ASSERT_NE(alloc, baseline.end());
    firstStatementCall = alloc->index;
    ASSERT_GT(firstStatementCall, 0u);
  }

  // Runs once with `inject` applied to call number k, for every call of the healthy run.
  template <class Inject>
  std::vector<Outcome> EveryCall(Inject inject) {
    std::vector<Outcome> outcomes;
    for (const fakeodbc::Call& call : baseline) {
      StartInProcessListing();
      inject(call.index);
      // A braced list is evaluated in order: the run first, then what it left.
      outcomes.push_back(Outcome{call.index, call.line(), RunListingInProcess(), call.name(),
                                 fakeodbc::handleBalance(), fakeodbc::callCount()});
    }
    return outcomes;
  }

  // The value boxes and lines of a run that read `count` values.
  static std::vector<Shown> Presented(std::size_t count) {
    return ::Presented({kValues.begin(), kValues.begin() + count}, OwnExecutablePath());
  }

  // A clean end: status 0 with the values read so far and, when the listing stopped short
  // or failed at its close, one error box after them; or status 1 with the one line of a
  // failed open and nothing else. No handle is left either way.
  // `releaseRefused`: the fault does none of the call's work, so a release it hits does not
  // happen.
  void ExpectCleanEnd(const Outcome& o, bool releaseRefused = true) {
    SCOPED_TRACE(Describe(o));
    ExpectHandlesReleased(o, releaseRefused);
    const std::vector<Shown>& shown = o.run.shown;
    if (o.run.status == 1) {
      ASSERT_EQ(shown.size(), 1u);
      EXPECT_EQ(shown[0].kind, Shown::Other);
      EXPECT_EQ(shown[0].text.rfind("brand-listing: cannot open the database: ", 0), 0u);
      EXPECT_LT(o.call, firstStatementCall) << "only the connection's open ends with status 1";
      return;
    }
    ASSERT_EQ(o.run.status, 0);
    std::size_t values = 0;
    while (values < kValues.size() && shown.size() >= 2 * (values + 1) &&
           std::vector<Shown>(shown.begin(), shown.begin() + 2 * (values + 1)) ==
               Presented(values + 1)) {
      ++values;
    }
    const std::size_t rest = shown.size() - 2 * values;
    ASSERT_LE(rest, 1u);
    if (values < kValues.size()) {
      ASSERT_EQ(rest, 1u) << "a listing that stops short shows why in one box";
    }
    if (rest == 1) {
      EXPECT_EQ(shown.back().kind, Shown::Box);
      EXPECT_EQ(shown.back().caption, OwnExecutablePath());
    }
  }

  // Every handle is freed, except what a refused release keeps: each release is asked once,
  // so a connection that stays connected, or is not freed, keeps the environment with it; a
  // statement that is not dropped goes with the disconnect.
  static void ExpectHandlesReleased(const Outcome& o, bool releaseRefused) {
    EXPECT_EQ(o.balance.invalidHandleUses, 0) << o.balance.text();
    const std::string fn = releaseRefused ? o.failedFunction : std::string();
    if (fn == "SQLDisconnect" || fn == "SQLFreeConnect") {
      EXPECT_THAT(o.balance.liveHandles, ::testing::ElementsAre("env#1", "dbc#1"))
          << o.balance.text();
    } else if (fn == "SQLFreeEnv") {
      EXPECT_THAT(o.balance.liveHandles, ::testing::ElementsAre("env#1")) << o.balance.text();
    } else if (fn == "SQLFreeStmt") {
      EXPECT_THAT(o.balance.liveHandles, ::testing::IsEmpty()) << o.balance.text();
      EXPECT_EQ(o.balance.stmtsReleasedByDisconnect, 1) << o.balance.text();
    } else {
      EXPECT_TRUE(o.balance.balanced()) << o.balance.text();
    }
  }

  // The whole healthy presentation.
  static void ExpectComplete(const Outcome& o) {
    EXPECT_EQ(o.run.status, 0) << Describe(o);
    EXPECT_EQ(o.run.shown, Presented(kValues.size())) << Describe(o);
  }

  std::vector<fakeodbc::Call> baseline;
  std::size_t firstStatementCall = 0;
};

TEST_F(ListingFaults, EveryFailingCallEndsTheRunCleanly) {
  const std::vector<Outcome> outcomes = EveryCall([](std::size_t k) { fakeodbc::failCall(k); });
  ASSERT_EQ(outcomes.size(), baseline.size());
  for (const Outcome& o : outcomes) {
    ExpectCleanEnd(o);
    // A failed read ends the listing with the driver's text, after the values before it.
    if (o.failedFunction == "SQLGetData") {
      ASSERT_FALSE(o.run.shown.empty());
      EXPECT_EQ(o.run.shown.back().text, "Injected failure\n") << Describe(o);
    }
  }
}

// The calls that may answer SQL_STILL_EXECUTING are asked again and the run completes with one
// call more; any other call takes the answer as a failure.
TEST_F(ListingFaults, StillExecutingInEveryCallEndsTheRunCleanly) {
  const std::vector<Outcome> outcomes =
      EveryCall([](std::size_t k) { fakeodbc::answerCall(k, Answer::still(1)); });
  const std::set<std::string> repeated = {"SQLPrepareW",     "SQLExecute",       "SQLNumResultCols",
                                          "SQLDescribeColW", "SQLExtendedFetch", "SQLGetData"};
  for (const Outcome& o : outcomes) {
    ExpectCleanEnd(o);
    if (repeated.count(o.failedFunction) != 0) {
      ExpectComplete(o);
      EXPECT_EQ(o.calls, baseline.size() + 1) << Describe(o);
    }
  }
}

// A success with information is never an error: every run completes, unless the information
// replaces the record a diagnostic read was to find.
TEST_F(ListingFaults, SuccessWithInfoInEveryCallEndsTheRunCleanly) {
  const std::vector<Outcome> outcomes = EveryCall([](std::size_t k) {
    fakeodbc::answerCall(k,
                         Answer::withInfo({{"01000", 0, u"[FakeODBC][Driver]Injected warning"}}));
  });
  for (const Outcome& o : outcomes) {
    ExpectCleanEnd(o, /*releaseRefused=*/false);
    if (o.failedFunction != "SQLErrorW") ExpectComplete(o);
  }
}

}  // namespace
