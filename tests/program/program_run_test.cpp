// The brand-listing program run as a process against the scripted driver manager: exit
// status, standard output, standard error, the ODBC calls of connecting and closing, and the
// handles left over.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/db/support/call_lines.h"
#include "tests/db/support/test_names.h"
#include "tests/program/scripted_listing.h"

namespace {

const std::string kConnectGiven =
    "DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DSN='';DBQ=../../bd2.mdb";

// Three brands and a fourth that is never read, under the names the driver manager answers.
const std::string kBrandScript =
    "column marque SQL_WVARCHAR 50\n"
    "row \"Airbus\"\n"
    "row \"Boeing\"\n"
    "row \"Cessna\"\n"
    "row \"Dassault\"\n"
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
  return Concat(calls, {"SQLDisconnect(dbc#1) -> SQL_ERROR",
                        "SQLFreeConnect(dbc#1) -> SQL_SUCCESS", "SQLFreeEnv(env#1) -> SQL_SUCCESS"});
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
  EXPECT_THAT(std::vector<std::string>(calls.end() - kClosingCalls.size(), calls.end()),
              ElementsAreArray(kClosingCalls));
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

}  // namespace
