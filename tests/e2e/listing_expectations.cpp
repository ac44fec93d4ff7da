#include "listing_expectations.h"

#include "output_reading.h"

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
testing::AssertionResult ShowsText(const MessageBoxBlock& box, const std::string& text,
                                   size_t index) {
  if (box.caption != BrandListingPath()) {
    return testing::AssertionFailure() << "box " << index + 1 << " has the caption \""
                                       << box.caption << "\"";
  }
  if (box.icon != "warning") {
    return testing::AssertionFailure() << "box " << index + 1 << " has the icon \"" << box.icon
                                       << "\"";
  }
  const std::vector<std::string> lines = BoxTextLines(text);
  if (box.text != lines) {
    return testing::AssertionFailure() << "box " << index + 1 << " shows " << Quoted(box.text)
                                       << ", expected " << Quoted(lines);
  }
  return testing::AssertionSuccess();
}

}  // namespace

std::string AsCLocaleWrites(const std::string& utf8) {
  std::string text;
  for (unsigned char c : utf8) {
    if (c < 0x80) {
      text.push_back(static_cast<char>(c));
    } else if ((c & 0xC0) != 0x80) {
      text.push_back('?');  // the first byte of a character; its continuation bytes add nothing
    }
  }
  return text;
}

std::string Describe(const ProgramRun& run) {
  std::string text = "ended: " + run.How();
  text += "\n--- standard output ---\n" + run.out;
  text += "\n--- standard error ---\n" + run.err + "\n--- end ---";
  return text;
}

testing::AssertionResult CompletedListing(const ProgramRun& run, const ExpectedListing& expected) {
  auto failure = [&run]() { return testing::AssertionFailure() << Describe(run) << "\n"; };
  if (!run.exited || run.exitCode != 0) return failure() << "the run did not end with status 0";

  std::string lines;
  for (const std::string& value : expected.values) lines += "-- " + value + "\n";
  if (run.out != lines) return failure() << "standard output differs; expected:\n" << lines;

  const ReadOutput err = ReadProgramOutput(run.err);
  if (!err.malformed.empty()) return failure() << "standard error: " << err.malformed;
  if (!err.LinesOutsideBoxes().empty()) {
    return failure() << "standard error holds lines outside the boxes";
  }
  std::vector<std::string> texts = expected.values;
  if (expected.errorText) texts.push_back(*expected.errorText);
  const std::vector<MessageBoxBlock> boxes = err.Boxes();
  if (boxes.size() != texts.size()) {
    return failure() << boxes.size() << " boxes, expected " << texts.size();
  }
  for (size_t i = 0; i < boxes.size(); ++i) {
    testing::AssertionResult shown = ShowsText(boxes[i], texts[i], i);
    if (!shown) return failure() << shown.message();
  }
  return testing::AssertionSuccess();
}

testing::AssertionResult RefusedRun(const ProgramRun& run, std::string& line) {
  auto failure = [&run]() { return testing::AssertionFailure() << Describe(run) << "\n"; };
  if (!run.exited || run.exitCode != 1) return failure() << "the run did not end with status 1";
  if (!run.out.empty()) return failure() << "the run wrote on standard output";
  if (run.err.empty() || run.err.back() != '\n' ||
      run.err.find('\n') != run.err.size() - 1) {
    return failure() << "standard error is not exactly one line";
  }
  line = run.err.substr(0, run.err.size() - 1);
  return testing::AssertionSuccess();
}

}  // namespace e2e
