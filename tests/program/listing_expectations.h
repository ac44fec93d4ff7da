// What a run of the program over the driver must have left behind, judged as a whole so that a
// failure shows everything the program wrote.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "tests/program/listing_run.h"

namespace e2e {

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
// exactly one line on standard error, which names the failure and carries the message the
// driver itself gives for a connection from `directory`.
void ExpectRefusedWithDriverMessage(const ProgramRun& run, const std::string& directory);

// The block a box of the program writes on standard error for `text`.
std::string Block(const std::string& text);

// The run's output, for failure messages.
std::string Describe(const ProgramRun& run);

}  // namespace e2e
