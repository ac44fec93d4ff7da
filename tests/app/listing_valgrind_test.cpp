// The brand-listing program under valgrind's memcheck against the scripted driver manager:
// completed runs, a run ended by a database error (whose error object the listing releases)
// and a run ended by another error report no memory error and no definite or indirect leak.
#include <gtest/gtest.h>

#include <string>

#include "tests/app/listing_binary.h"
#include "tests/support/temp_folder.h"

namespace {

struct MemcheckCase {
  const char* name;
  std::string script;
  int status;
};

void PrintTo(const MemcheckCase& c, std::ostream* os) { *os << c.name; }

class ListingMemcheck : public ::testing::TestWithParam<MemcheckCase> {};

TEST_P(ListingMemcheck, ReportsNoErrorAndNoLeak) {
#if LISTING_SANITIZED
  GTEST_SKIP() << "a sanitizer build cannot run under valgrind";
#else
  const MemcheckCase& c = GetParam();
  testsupport::TempFolder folder("listing-memcheck");
  const std::string logPath = folder.Path("memcheck.log");
  const BinaryRun run = RunListingBinary(
      c.script,
      {VALGRIND_PROGRAM, "--tool=memcheck", "--leak-check=full",
       "--errors-for-leak-kinds=definite,indirect", "--error-exitcode=99",
       "--log-file=" + logPath},
      {}, 180);
  const std::string report = testsupport::ReadFile(logPath);

  ASSERT_TRUE(run.process.exited) << report;
  EXPECT_EQ(run.process.exitCode, c.status) << "99 means memcheck found errors\n" << report;
  EXPECT_NE(report.find("ERROR SUMMARY: 0 errors"), std::string::npos) << report;
  EXPECT_TRUE(LoggedBalanced(run.process));
#endif
}

const std::string kColumn = "column marque SQL_WVARCHAR 400\n";

INSTANTIATE_TEST_SUITE_P(
    Runs, ListingMemcheck,
    ::testing::Values(
        MemcheckCase{"three_rows", kColumn + "row \"Airbus\"\nrow \"Boeing\"\nrow \"Cessna\"\n"
                                             "row \"Dassault\"\n", 0},
        MemcheckCase{"null_and_long", kColumn + "row NULL\nrow \"" + std::string(40, 'x') +
                                          "\"\nrow \"" + std::string(350, 'y') + "\"\n", 0},
        MemcheckCase{"two_rows_error_box", kColumn + "row \"Airbus\"\nrow \"Boeing\"\n", 0},
        MemcheckCase{"missing_table",
                     "answer SQLPrepareW 1 rc SQL_ERROR diag S0002 -1305 "
                     "\"[FakeODBC][Driver]The table 'avion' does not exist.\"\n", 0},
        MemcheckCase{"memory_error", "answer SQLGetData 1 default length 4294967294\n"
                                     "column marque SQL_WLONGVARCHAR 0\nrow \"Airbus\"\n", 1}),
    [](const ::testing::TestParamInfo<MemcheckCase>& info) { return info.param.name; });

}  // namespace
