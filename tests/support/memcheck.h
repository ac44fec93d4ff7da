// Running a program under valgrind's memcheck with the suite's one suppression file
// (tests/valgrind.supp), and reading the report it leaves.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace testsupport {

// The exit status memcheck gives a run in which it found an error.
inline constexpr int kMemcheckErrorStatus = 99;

// Why memcheck cannot run here (a sanitizer build, or no valgrind installed); empty when it can.
std::string MemcheckUnavailable();

// `argv` under memcheck: a full leak check where a leak of `leakKinds` ("definite,indirect",
// ...) counts as an error, every error turns the exit status into kMemcheckErrorStatus, the
// report goes to `logFile` (standard error when empty).
std::vector<std::string> UnderMemcheck(const std::vector<std::string>& argv,
                                       const std::string& logFile,
                                       const std::string& leakKinds = "definite,indirect");

struct MemcheckReport {
  std::string text;
  int errors = -1;          // from "ERROR SUMMARY: n errors"; -1 when there is no summary
  bool leakCheckDone = false;  // a leak summary, or the note that every block was freed

  bool Clean() const { return errors == 0 && leakCheckDone; }
};
MemcheckReport ReadMemcheckReport(const std::string& text);

// Runs `options` under memcheck (the report into a file of `folder`) and reads its report.
struct MemcheckRun {
  ChildResult run;
  MemcheckReport report;
};
MemcheckRun RunUnderMemcheck(ChildOptions options, const std::string& folder,
                             const std::string& leakKinds, std::chrono::seconds timeout);

}  // namespace testsupport
