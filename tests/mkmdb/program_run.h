// Running a program to completion with controlled input, capturing its output.
#pragma once

#include <string>
#include <vector>

namespace mkmdb_test {

struct ProgramResult {
  int exit_code = -1;    // when it exited
  int term_signal = 0;   // when a signal ended it
  std::string out;
  std::string err;
};

// Runs `argv` (argv[0] is a path) with DISPLAY and WAYLAND_DISPLAY removed from the environment,
// the locale C.UTF-8 (LC_ALL; LANG, LANGUAGE and LC_* removed) and standard input from
// `stdin_path` (/dev/null by default).
ProgramResult RunProgram(const std::vector<std::string>& argv,
                         const std::string& stdin_path = "/dev/null");

// Whether `name` is a program found in /usr/bin.
bool HaveProgram(const std::string& name);

}  // namespace mkmdb_test
