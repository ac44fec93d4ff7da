#include "tests/fakeodbc/fake_odbc_run.h"

#include <algorithm>
#include <chrono>
#include <sstream>

#include "tests/support/temp_folder.h"

ProgramRun RunProgramWithFake(const std::string& program, const std::string& fakeLibraryDir,
                              const std::string& script,
                              const std::vector<std::string>& arguments, int timeoutSeconds,
                              const testsupport::EnvironmentChanges& extra, bool mergeErrors) {
  testsupport::TempFolder folder("brand-listing-run");
  testsupport::WriteFile(folder.Path("script.txt"), script);
  testsupport::ChildOptions options;
  options.argv = {program};
  options.argv.insert(options.argv.end(), arguments.begin(), arguments.end());
  options.workingFolder = folder.path();
  options.mergeErrors = mergeErrors;
  options.environment = {{"DISPLAY", std::nullopt},
                         {"WAYLAND_DISPLAY", std::nullopt},
                         {"FAKEODBC_*", std::nullopt},
                         {"LD_LIBRARY_PATH", fakeLibraryDir},
                         {"FAKEODBC_SCRIPT", folder.Path("script.txt")},
                         {"FAKEODBC_LOG", folder.Path("calls.log")}};
  for (const auto& [name, value] : extra) options.environment[name] = value;

  ProgramRun run;
  static_cast<testsupport::ChildResult&>(run) =
      testsupport::RunChild(options, std::chrono::seconds(timeoutSeconds));
  std::istringstream log(testsupport::ReadFile(folder.Path("calls.log")));
  for (std::string line; std::getline(log, line);) run.log.push_back(line);
  return run;
}

std::vector<std::string> LoggedCalls(const ProgramRun& run) {
  return {run.log.begin(), std::find(run.log.begin(), run.log.end(), "== handles")};
}

bool LoggedBalanced(const ProgramRun& run) {
  return !run.log.empty() && run.log.back() == "balanced: yes";
}
