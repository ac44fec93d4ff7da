// The command line of mkmdb: what to write, read from the arguments.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "mdb_writer.h"

namespace mkmdb {

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TablePlan {
  std::string name;
  std::vector<ColumnSpec> columns;
  std::optional<std::string> rows_file;  // "-" = standard input
  std::optional<std::uint64_t> generate;
  std::vector<IndexSpec> indexes{};
};

struct Plan {
  bool help = false;
  std::string output;
  std::vector<TablePlan> tables;
  Protection protection;
  std::vector<std::string> table_descriptions;  // one per table
  CatalogSpec catalog;
};

// Reads the arguments after the program name. Throws UsageError (and WriterError for a
// malformed column).
Plan ParseCommandLine(const std::vector<std::string>& args);

std::string HelpText();

}  // namespace mkmdb
