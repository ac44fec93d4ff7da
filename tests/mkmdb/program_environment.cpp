#include "program_environment.h"

namespace mkmdb_test {

testsupport::ChildOptions ProgramOptions(const std::vector<std::string>& argv) {
  testsupport::ChildOptions options;
  options.argv = argv;
  options.environment = {{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt},
                         {"LANG", std::nullopt},    {"LANGUAGE", std::nullopt},
                         {"LC_*", std::nullopt},    {"LC_ALL", "C.UTF-8"}};
  return options;
}

ProgramResult RunProgram(const std::vector<std::string>& argv) {
  return testsupport::RunChild(ProgramOptions(argv), kProgramDeadline);
}

}  // namespace mkmdb_test
