// The programs the writer's tests run (mkmdb and the mdbtools programs), run through the shared
// runner without a display and in a UTF-8 locale, and the reading of mdb-export's output.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tests/support/child_process.h"

namespace mkmdb_test {

using ProgramResult = testsupport::ChildResult;

// `argv` (argv[0] is a path) with DISPLAY and WAYLAND_DISPLAY removed from the environment and
// the locale C.UTF-8 (LC_ALL; LANG, LANGUAGE and LC_* removed): names and values beyond ASCII
// pass through the programs' command lines and output (mdb-export refuses to convert them in
// the C locale).
testsupport::ChildOptions ProgramOptions(const std::vector<std::string>& argv);

// How long a program of the tests may take before it is killed.
inline constexpr std::chrono::seconds kProgramDeadline{300};

// Runs `argv` to its end with standard input from /dev/null.
ProgramResult RunProgram(const std::vector<std::string>& argv);

// The rows of mdb-export's comma-separated output: fields in double quotes may hold commas,
// line breaks and doubled quotes.
std::vector<std::vector<std::string>> ParseCsv(std::string_view text);

}  // namespace mkmdb_test
