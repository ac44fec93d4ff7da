// Starting the brand-listing program (or a tool that runs it, such as valgrind) the way a user
// without a desktop would: standard input from /dev/null, no display, a chosen locale, the
// build's driver registration, and its output collected once it has ended.
#pragma once

#include <string>
#include <vector>

namespace e2e {

struct ProgramRun {
  bool exited = false;  // ended by exit (not by a signal, not killed for taking too long)
  int status = -1;      // exit status when exited
  std::string out;      // standard output (with standard error too when merged)
  std::string err;      // standard error (empty when merged)
};

struct ProgramLaunch {
  std::vector<std::string> argv;  // argv[0] is the path of the file to run
  std::string workingDirectory;
  std::string locale = "C.UTF-8";  // LANG and LC_ALL
  bool mergeOutput = false;        // standard error goes to the same file as standard output
  int timeoutSeconds = 30;         // a run still going then is killed and reported as not exited
};

// The program's path with every symbolic link resolved: what it reads as its own executable.
std::string BrandListingPath();

// Runs a launch to its end. The child gets the caller's environment without DISPLAY,
// WAYLAND_DISPLAY, LANG, LANGUAGE, LC_* and the driver manager's file variables, and then
// ODBCSYSINI set to the build's driver registration and LANG and LC_ALL set to the locale.
ProgramRun RunProcess(const ProgramLaunch& launch);

// The program itself, with no arguments, from `workingDirectory`.
ProgramRun RunBrandListing(const std::string& workingDirectory,
                           const std::string& locale = "C.UTF-8");

}  // namespace e2e
