#include "tests/program/listing_expectations.h"

#include "tests/program/driver_message.h"
#include "tests/support/message_box_blocks.h"

namespace e2e {

std::string Block(const std::string& text) {
  std::string block = "[message box]\ncaption: " + BrandListingPath() + "\nicon: warning\n";
  for (const std::string& line : testsupport::BoxTextLines(text)) block += "text: " + line + "\n";
  return block + "[end of message box]\n";
}

std::string Describe(const ProgramRun& run) {
  return "ended: " + run.How() + "\n--- standard output ---\n" + run.out +
         "\n--- standard error ---\n" + run.err + "\n--- end ---";
}

testing::AssertionResult CompletedListing(const ProgramRun& run, const ExpectedListing& expected) {
  std::string lines;
  std::string blocks;
  for (const std::string& value : expected.values) {
    lines += "-- " + value + "\n";
    blocks += Block(value);
  }
  if (expected.errorText) blocks += Block(*expected.errorText);
  if (run.exited && run.exitCode == 0 && run.out == lines && run.err == blocks) {
    return testing::AssertionSuccess();
  }
  return testing::AssertionFailure() << Describe(run) << "\nexpected status 0, standard output:\n"
                                     << lines << "--- and standard error:\n" << blocks;
}

void ExpectRefusedWithDriverMessage(const ProgramRun& run, const std::string& directory) {
  const std::string driverMessage = DriverConnectMessage(directory);
  ASSERT_NE(driverMessage, "") << "the driver accepted the connection";
  EXPECT_NE(driverMessage.find("bd2.mdb"), std::string::npos) << driverMessage;

  ASSERT_TRUE(run.exited && run.exitCode == 1) << Describe(run);
  EXPECT_EQ(run.out, "") << Describe(run);
  ASSERT_TRUE(!run.err.empty() && run.err.find('\n') == run.err.size() - 1)
      << "standard error is not exactly one line\n" << Describe(run);
  EXPECT_EQ(run.err.rfind("brand-listing: cannot open the database: ", 0), 0u) << run.err;
  EXPECT_NE(run.err.find(driverMessage), std::string::npos)
      << run.err << "does not carry the driver's message:\n" << driverMessage;
}

}  // namespace e2e
