// Runs the program its arguments name under memcheck, as the suite's gtest runs do, for tests
// that ctest starts directly. Exit status: the program's, kMemcheckErrorStatus when memcheck
// found an error, 77 (skipped) when memcheck cannot run here. Standard input is /dev/null.
#include <chrono>
#include <iostream>

#include "tests/support/memcheck.h"
#include "tests/support/temp_folder.h"

int main(int argc, char** argv) {
  using namespace testsupport;
  if (const std::string why = MemcheckUnavailable(); !why.empty()) {
    std::cout << "skipped: " << why << "\n";
    return 77;
  }
  if (argc < 2) {
    std::cerr << "usage: memcheck_run PROGRAM [ARGUMENT]...\n";
    return 2;
  }
  TempFolder folder("memcheck-run");
  ChildOptions options;
  options.argv.assign(argv + 1, argv + argc);
  const MemcheckRun result =
      RunUnderMemcheck(options, folder.path(), "definite,indirect,possible",
                       std::chrono::seconds(280));
  std::cout << result.run.out << result.run.err << result.report.text;
  if (!result.run.exited) {
    std::cout << "memcheck_run: " << result.run.How() << "\n";
    return 1;
  }
  if (!result.report.Clean()) {
    std::cout << "memcheck_run: the report is not clean\n";
    return kMemcheckErrorStatus;
  }
  return result.run.exitCode;
}
