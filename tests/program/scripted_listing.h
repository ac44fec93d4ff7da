// The brand listing over the scripted driver manager: a clean start for a run of the program's
// code in this process, the program itself run as a process with standard error joined to
// standard output so that boxes and lines keep their order, and the calls that close a run.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "tests/fakeodbc/fake_odbc_run.h"
#include "tests/program/listing_capture.h"

// The connect string the program sends.
inline const std::string kConnectGiven =
    "DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DSN='';DBQ=../../bd2.mdb";
// The statement dropped, then the connection and the environment released.
extern const std::vector<std::string> kClosingCalls;
// The last calls of a run, as many as kClosingCalls holds (all of them when there are fewer).
inline std::vector<std::string> LastCalls(const std::vector<std::string>& calls) {
  return {calls.end() - std::min(calls.size(), kClosingCalls.size()), calls.end()};
}

// Sends this process's boxes to standard error and forgets the scripted driver manager's state
// and the database layer's process state, for a run in this process.
void StartInProcessListing();

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
