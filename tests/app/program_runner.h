// Runs the brand-listing program against the scripted driver manager and collects what it
// left behind: exit status, standard output, standard error and the driver manager's log.
#pragma once

#include <string>
#include <vector>

struct ProgramRun {
  bool exited = false;     // ended by exit (not by a signal, not killed for taking too long)
  int status = -1;         // exit status when exited
  std::string out;         // standard output
  std::string err;         // standard error
  std::vector<std::string> log;  // the scripted driver manager's log, one line per entry
};

// Starts `program` in a fresh temporary folder with `arguments`, standard input from
// /dev/null, no DISPLAY or WAYLAND_DISPLAY, LD_LIBRARY_PATH at `fakeLibraryDir`,
// FAKEODBC_SCRIPT holding `script` and FAKEODBC_LOG set. A run that takes longer than
// `timeoutSeconds` is killed and reported as not exited.
ProgramRun RunProgramWithFake(const std::string& program, const std::string& fakeLibraryDir,
                              const std::string& script,
                              const std::vector<std::string>& arguments = {},
                              int timeoutSeconds = 30);
