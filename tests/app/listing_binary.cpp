#include "tests/app/listing_binary.h"

#include <cstdlib>
#include <filesystem>
#include <optional>

namespace {

// Sets environment variables for its lifetime and puts the previous values back.
class ScopedEnvironment {
 public:
  explicit ScopedEnvironment(const std::vector<std::string>& settings) {
    for (const std::string& setting : settings) {
      const std::string name = setting.substr(0, setting.find('='));
      const char* previous = std::getenv(name.c_str());
      m_saved.emplace_back(name, previous ? std::optional<std::string>(previous) : std::nullopt);
      ::setenv(name.c_str(), setting.substr(name.size() + 1).c_str(), 1);
    }
  }
  ~ScopedEnvironment() {
    for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) {
      if (it->second) {
        ::setenv(it->first.c_str(), it->second->c_str(), 1);
      } else {
        ::unsetenv(it->first.c_str());
      }
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

}  // namespace

std::string ListingBinaryPath() {
  return std::filesystem::canonical(BRAND_LISTING_PROGRAM).string();
}

BinaryRun RunListingBinary(const std::string& script, const std::vector<std::string>& wrapper,
                           const std::vector<std::string>& environment, int timeoutSeconds) {
  // sh joins the streams and then becomes the program: "$@" is the wrapper and the program.
  std::vector<std::string> arguments = {"-c", "exec \"$@\" 2>&1", "sh"};
  arguments.insert(arguments.end(), wrapper.begin(), wrapper.end());
  arguments.push_back(ListingBinaryPath());
  ScopedEnvironment scoped(environment);
  BinaryRun run;
  run.process =
      RunProgramWithFake("/bin/sh", FAKEODBC_LIBRARY_DIR, script, arguments, timeoutSeconds);
  run.shown = ParseShown(run.process.out);
  return run;
}

std::vector<std::string> LoggedCalls(const ProgramRun& run) {
  std::vector<std::string> calls;
  for (const std::string& line : run.log) {
    if (line == "== handles") break;
    calls.push_back(line);
  }
  return calls;
}

bool LoggedBalanced(const ProgramRun& run) {
  return !run.log.empty() && run.log.back() == "balanced: yes";
}
