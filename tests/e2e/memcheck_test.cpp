// Whole runs of the program under valgrind's memcheck, through the real driver manager and the
// project's driver: no memory error and no lost block of the program's or the driver's own.
// Only blocks that the driver manager's libraries allocate themselves are suppressed.
#include <gtest/gtest.h>

#include <chrono>

#include "listing_expectations.h"
#include "listing_folder.h"
#include "listing_run.h"
#include "tests/support/temp_folder.h"

namespace e2e {
namespace {

constexpr int kValgrindErrorStatus = 99;

class UnderMemcheck : public testing::Test {
 protected:
  void SetUp() override {
    if (E2E_SANITIZED) GTEST_SKIP() << "valgrind cannot run a sanitizer build";
    if (std::string(VALGRIND_PROGRAM).empty()) GTEST_SKIP() << "valgrind is not installed";
  }

  // Runs the program under memcheck from the bay of `folder`; the log goes to `log`.
  ProgramRun Run(const ListingFolder& folder, std::string& log) {
    const std::string logPath = folder.root() + "/memcheck.log";
    const ProgramRun run = testsupport::RunChild(
        ListingLaunch({VALGRIND_PROGRAM, "--tool=memcheck", "--leak-check=full",
                       "--show-leak-kinds=definite,indirect,possible",
                       "--errors-for-leak-kinds=definite,indirect,possible",
                       "--error-exitcode=" + std::to_string(kValgrindErrorStatus),
                       "--suppressions=" VALGRIND_SUPPRESSIONS, "--log-file=" + logPath,
                       BrandListingPath()},
                      folder.bay()),
        std::chrono::seconds(120));
    log = testsupport::ReadFile(logPath);
    return run;
  }
};

// The checks of a clean memcheck log, beyond the exit status that its errors would change.
void ExpectCleanLog(const std::string& log) {
  EXPECT_NE(log.find("ERROR SUMMARY: 0 errors"), std::string::npos) << log;
  // The leak check ran to its end: a summary, or the note that nothing was left.
  EXPECT_TRUE(log.find("LEAK SUMMARY") != std::string::npos ||
              log.find("All heap blocks were freed") != std::string::npos)
      << log;
}

TEST_F(UnderMemcheck, ThreeRowTable) {
  ListingFolder folder;
  folder.WriteDatabase({BrandTable({"Airbus", "Boeing", "Cessna"})});
  std::string log;
  const ProgramRun run = Run(folder, log);
  EXPECT_TRUE(CompletedListing(run, {{"Airbus", "Boeing", "Cessna"}, {}})) << log;
  ExpectCleanLog(log);
}

// The error road: the read with no current row raises, the recordset is closed on the way out.
TEST_F(UnderMemcheck, TwoRowTableEndingWithTheCursorError) {
  ListingFolder folder;
  folder.WriteDatabase({BrandTable({"Airbus", "Boeing"})});
  std::string log;
  const ProgramRun run = Run(folder, log);
  EXPECT_TRUE(CompletedListing(run, {{"Airbus", "Boeing"}, kNoCurrentRowText})) << log;
  ExpectCleanLog(log);
}

}  // namespace
}  // namespace e2e
