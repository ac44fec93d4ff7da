// What a run of the program must have left behind, judged as a whole so that a failure shows
// everything the program wrote.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "listing_run.h"

namespace e2e {

// The text of the box that follows a read with no current row: the driver manager's
// invalid-cursor-state diagnostic without its bracketed origins, and the line end that ends
// every diagnostic in a database error's text.
inline constexpr char kNoCurrentRowText[] = "Invalid cursor state\n";

struct ExpectedListing {
  // The values shown and written, in order, as the run's locale writes them.
  std::vector<std::string> values;
  // The text of the one box that shows a database error after the values, if any.
  std::optional<std::string> errorText;
};

// A completed run (status 0) that showed each value in a box and then wrote it on a line of
// its own, then showed the error box if one is expected, and wrote nothing else: every box
// carries the program's path as its caption and the warning icon.
testing::AssertionResult CompletedListing(const ProgramRun& run, const ExpectedListing& expected);

// A run that could not open its database: status 1, nothing on standard output, no box, and
// exactly one line on standard error, which is stored in `line` (without its line end).
testing::AssertionResult RefusedRun(const ProgramRun& run, std::string& line);

// UTF-8 text as the C locale writes it: ASCII stays, every other character becomes one '?'.
std::string AsCLocaleWrites(const std::string& utf8);

// The run's output, for failure messages.
std::string Describe(const ProgramRun& run);

}  // namespace e2e
