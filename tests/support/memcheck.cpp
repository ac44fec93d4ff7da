#include "tests/support/memcheck.h"

#include <regex>

#include "tests/support/temp_folder.h"

namespace testsupport {

std::string MemcheckUnavailable() {
  if (MEMCHECK_SANITIZED) return "valgrind cannot run a sanitizer build";
  if (std::string(VALGRIND_PROGRAM).empty()) return "valgrind is not installed";
  return {};
}

std::vector<std::string> UnderMemcheck(const std::vector<std::string>& argv,
                                       const std::string& logFile,
                                       const std::string& leakKinds) {
  std::vector<std::string> command = {
      VALGRIND_PROGRAM, "--tool=memcheck", "--leak-check=full", "--num-callers=30",
      "--show-leak-kinds=" + leakKinds, "--errors-for-leak-kinds=" + leakKinds,
      "--error-exitcode=" + std::to_string(kMemcheckErrorStatus),
      "--suppressions=" VALGRIND_SUPPRESSIONS};
  if (!logFile.empty()) command.push_back("--log-file=" + logFile);
  command.insert(command.end(), argv.begin(), argv.end());
  return command;
}

MemcheckReport ReadMemcheckReport(const std::string& text) {
  MemcheckReport report{text};
  std::smatch match;
  if (std::regex_search(text, match, std::regex("ERROR SUMMARY: ([0-9,]+) errors"))) {
    std::string digits = match[1].str();
    std::erase(digits, ',');
    report.errors = std::stoi(digits);
  }
  report.leakCheckDone = text.find("LEAK SUMMARY") != std::string::npos ||
                         text.find("All heap blocks were freed") != std::string::npos;
  return report;
}

MemcheckRun RunUnderMemcheck(ChildOptions options, const std::string& folder,
                             const std::string& leakKinds, std::chrono::seconds timeout) {
  const std::string log = folder + "/memcheck.log";
  options.argv = UnderMemcheck(options.argv, log, leakKinds);
  MemcheckRun result{RunChild(options, timeout), {}};
  result.report = ReadMemcheckReport(ReadFile(log));
  return result;
}

}  // namespace testsupport
