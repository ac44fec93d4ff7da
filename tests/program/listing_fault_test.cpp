// Faults injected into every ODBC call of a whole run, one call at a time: a failure, a
// repeated SQL_STILL_EXECUTING and a success with information. Whatever the call, the run
// ends cleanly: a box or the line on standard error, exit status 0 or 1, no handle left.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <clocale>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "db/database.h"
#include "tests/program/listing_capture.h"
#include "tests/fakeodbc/fake_odbc.h"

using fakeodbc::Answer;

namespace {

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
    PresentBoxesOnStandardError();
    std::setlocale(LC_ALL, "C");
    Fresh();
    const ListingRun healthy = RunListingInProcess();
    ASSERT_EQ(healthy.status, 0);
    baseline = fakeodbc::calls();
    ASSERT_FALSE(baseline.empty());
    for (const fakeodbc::Call& call : baseline) {
      if (call.fn == fakeodbc::Fn::SQLAllocStmt) {
        firstStatementCall = call.index;
        break;
      }
    }
    ASSERT_GT(firstStatementCall, 0u);
  }

  static void Fresh() {
    fakeodbc::reset();
    GetDatabaseProcessState() = DatabaseProcessState{};
  }

  // Runs once with `inject` applied to call number k, for every call of the healthy run.
  template <class Inject>
  std::vector<Outcome> EveryCall(Inject inject) {
    std::vector<Outcome> outcomes;
    for (const fakeodbc::Call& call : baseline) {
      Fresh();
      inject(call.index);
      Outcome o;
      o.call = call.index;
      o.callLine = call.line();
      o.failedFunction = call.name();
      o.run = RunListingInProcess();
      o.balance = fakeodbc::handleBalance();
      o.calls = fakeodbc::callCount();
      outcomes.push_back(std::move(o));
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
    if (values < kValues.size()) {
      ASSERT_EQ(rest, 1u) << "a listing that stops short shows why in one box";
    } else {
      ASSERT_LE(rest, 1u);
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
