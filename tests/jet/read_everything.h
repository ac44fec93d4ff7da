// Reads a whole database the way a program using the reader would: every table's definition,
// properties, rows and values, and the relationships between tables. Shared by the mutation test, the regression files and the fuzz
// target, which all require the same of any input: success or errors that say something.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "jet/database.h"

namespace jettest {

struct ReadOutcome {
  bool opened = false;
  std::size_t tables = 0;     // definitions read
  std::size_t rows = 0;
  std::size_t values = 0;
  std::size_t properties = 0;     // of tables and columns
  std::size_t relationships = 0;
  std::vector<std::string> errors;  // from opening, definitions, properties, scans and values
  bool silentFailure = false;       // some failure came without a message
};

// Opens `bytes` (from memory) or the file at `path`, with `password` when the file asks for
// one, and reads everything in it.
ReadOutcome ReadEverythingIn(const std::string& bytes, const jet::OpenOptions& options = {});
ReadOutcome ReadEverythingAt(const std::string& path, const jet::OpenOptions& options = {});
void ReadEverything(const jet::Database& database, ReadOutcome& outcome);

}  // namespace jettest
