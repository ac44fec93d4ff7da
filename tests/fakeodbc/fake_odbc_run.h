// Runs a program against the scripted driver manager (the fake in front of the system's
// libodbc) and collects what it left behind: how it ended, standard output, standard error
// and the driver manager's log.
#pragma once

#include <string>
#include <vector>

#include "tests/support/child_process.h"

struct ProgramRun : testsupport::ChildResult {
  std::vector<std::string> log;  // the scripted driver manager's log, one line per entry
};

// Starts `program` in a fresh temporary folder with `arguments`, standard input from
// /dev/null, none of the caller's DISPLAY, WAYLAND_DISPLAY and FAKEODBC_*, LD_LIBRARY_PATH at
// `fakeLibraryDir`, FAKEODBC_SCRIPT holding `script`, FAKEODBC_LOG set and the `extra`
// changes of the environment. With `mergeErrors` standard error joins standard output, so
// that boxes and lines keep their order. A run that takes longer than `timeoutSeconds` is
// killed.
ProgramRun RunProgramWithFake(const std::string& program, const std::string& fakeLibraryDir,
                              const std::string& script,
                              const std::vector<std::string>& arguments = {},
                              int timeoutSeconds = 30,
                              const testsupport::EnvironmentChanges& extra = {},
                              bool mergeErrors = false);

// The driver manager's calls from the log (without its handle report), and whether the
// report says every handle was freed.
std::vector<std::string> LoggedCalls(const ProgramRun& run);
bool LoggedBalanced(const ProgramRun& run);
