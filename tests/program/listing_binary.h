// Runs the brand-listing program itself against the scripted driver manager, with standard
// error joined to standard output so that boxes and lines keep their order.
#pragma once

#include <string>
#include <vector>

#include "tests/fakeodbc/fake_odbc_run.h"
#include "tests/program/listing_capture.h"

struct BinaryRun {
  ProgramRun process;  // process.out holds both streams; process.log the driver manager's log
  std::vector<Shown> shown;
};

// Runs the program (under `wrapper` when it is not empty, e.g. valgrind and its options) in a
// fresh folder with the given script and the `environment` changes.
BinaryRun RunListingBinary(const std::string& script,
                           const std::vector<std::string>& wrapper = {},
                           const testsupport::EnvironmentChanges& environment = {},
                           int timeoutSeconds = 60);

// The program's full path, which its boxes carry as their caption.
std::string ListingBinaryPath();
