#include "tests/program/listing_expectations.h"

#include "tests/program/driver_message.h"
#include "tests/support/message_box_blocks.h"

namespace e2e {

namespace {

std::string Quoted(const std::vector<std::string>& lines) {
  std::string text = "[";
  for (size_t i = 0; i < lines.size(); ++i) {
    text += (i == 0 ? "\"" : ", \"") + lines[i] + "\"";
  }
  return text + "]";
}

// A box that shows `text` the way every box of the program is shown.
testing::AssertionResult ShowsText(const testsupport::MessageBoxBlock& box,
                                   const std::string& text, size_t index) {
  const std::string which = "box " + std::to_string(index + 1);
  if (box.caption != BrandListingPath()) {
    return testing::AssertionFailure() << which << " has the caption \"" << box.caption << "\"";
  }
  if (box.icon != "warning") {
    return testing::AssertionFailure() << which << " has the icon \"" << box.icon << "\"";
  }
  const std::vector<std::string> lines = testsupport::BoxTextLines(text);
  if (box.text != lines) {
    return testing::AssertionFailure() << which << " shows " << Quoted(box.text)
                                       << ", expected " << Quoted(lines);
  }
  return testing::AssertionSuccess();
}

}  // namespace

std::string Describe(const ProgramRun& run) {
  return "ended: " + run.How() + "\n--- standard output ---\n" + run.out +
         "\n--- standard error ---\n" + run.err + "\n--- end ---";
}

testing::AssertionResult CompletedListing(const ProgramRun& run, const ExpectedListing& expected) {
  auto failure = [&run]() { return testing::AssertionFailure() << Describe(run) << "\n"; };
  if (!run.exited || run.exitCode != 0) return failure() << "the run did not end with status 0";

  std::string lines;
  for (const std::string& value : expected.values) lines += "-- " + value + "\n";
  if (run.out != lines) return failure() << "standard output differs; expected:\n" << lines;

  const testsupport::BlockOutput err = testsupport::ReadBlockOutput(run.err);
  if (!err.malformed.empty()) return failure() << "standard error: " << err.malformed;
  if (!err.LinesOutsideBoxes().empty()) {
    return failure() << "standard error holds lines outside the boxes";
  }
  std::vector<std::string> texts = expected.values;
  if (expected.errorText) texts.push_back(*expected.errorText);
  const std::vector<testsupport::MessageBoxBlock> boxes = err.Boxes();
  if (boxes.size() != texts.size()) {
    return failure() << boxes.size() << " boxes, expected " << texts.size();
  }
  for (size_t i = 0; i < boxes.size(); ++i) {
    testing::AssertionResult shown = ShowsText(boxes[i], texts[i], i);
    if (!shown) return failure() << shown.message();
  }
  return testing::AssertionSuccess();
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
