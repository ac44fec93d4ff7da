// Starting the brand-listing program (or a tool that runs it, such as valgrind) the way a user
// without a desktop would: standard input from /dev/null, no display, a chosen locale and the
// build's driver registration.
#pragma once

#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace e2e {

using ProgramRun = testsupport::ChildResult;

// The program's path with every symbolic link resolved: what it reads as its own executable.
std::string BrandListingPath();

// A run of `argv` from `workingDirectory`. The child gets the caller's environment without
// DISPLAY, WAYLAND_DISPLAY, LANG, LANGUAGE, LC_* and the driver manager's file variables, and
// then ODBCSYSINI set to the build's driver registration and LANG and LC_ALL set to `locale`.
testsupport::ChildOptions ListingLaunch(const std::vector<std::string>& argv,
                                        const std::string& workingDirectory,
                                        const std::string& locale = "C.UTF-8");

// The program itself, with no arguments, from `workingDirectory`, killed after 30 seconds.
ProgramRun RunBrandListing(const std::string& workingDirectory,
                           const std::string& locale = "C.UTF-8");

}  // namespace e2e
