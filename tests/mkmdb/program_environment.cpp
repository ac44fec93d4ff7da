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

std::vector<std::vector<std::string>> ParseCsv(std::string_view text) {
  std::vector<std::vector<std::string>> rows;
  std::vector<std::string> row;
  std::string field;
  bool quoted = false;
  bool any = false;  // something seen on the current row
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        field.push_back('"');
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        field.push_back(c);
      }
      continue;
    }
    any = true;
    if (c == '"') {
      quoted = true;
    } else if (c == ',') {
      row.push_back(std::move(field));
      field.clear();
    } else if (c == '\n') {
      row.push_back(std::move(field));
      field.clear();
      rows.push_back(std::move(row));
      row.clear();
      any = false;
    } else {
      field.push_back(c);
    }
  }
  if (any) {
    row.push_back(std::move(field));
    rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace mkmdb_test
