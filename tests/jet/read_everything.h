// Reading in tests. A value as one line of text naming its kind, for comparing whole rows:
//   NULL  bool:1  int:-5  real:3.25  money:-1.2345  date:2000-01-02 03:04:05  text:Airbus
//   decimal:-12.50  binary:FFFE41  guid:00112233...  error/out-of-range:<message>
// And a whole database read the way a program using the reader would: every table's definition,
// properties, rows and values, every index walked (every other one backwards), the row counts,
// and the relationships between tables. Shared by the mutation test, the regression files and
// the fuzz target, which all require the same of any input: success or errors that say
// something, and never rows an index or a count gets wrong.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "jet/database.h"

namespace jettest {

std::string ValueText(const jet::Value& value);

// Every row of a table as value texts; a scan error or a failing definition becomes a last row
// holding "scan error: ..." (or "definition error: ...").
std::vector<std::vector<std::string>> TableText(const jet::Database& database,
                                                const std::string& table);
// The same for the file `bytes`, opened with `options`; a file that does not open gives the one
// row "open error: ...".
std::vector<std::vector<std::string>> TableTextOf(const std::string& bytes,
                                                  const std::string& table,
                                                  const jet::OpenOptions& options = {});

struct ReadOutcome {
  bool opened = false;
  std::size_t tables = 0;     // definitions read
  std::size_t rows = 0;
  std::size_t values = 0;
  std::size_t properties = 0;     // of tables and columns
  std::size_t relationships = 0;
  std::size_t indexRows = 0;        // rows met by walks over indexes
  std::vector<std::string> errors;  // from opening, definitions, properties, scans, values and indexes
  bool silentFailure = false;       // some failure came without a message
  // A walk over a whole index that ended without error met other rows than the table's scan
  // (which ended without error), or a row count without error differs from the scan's.
  std::vector<std::string> wrongRows;
};

// Opens `bytes` (from memory) or the file at `path`, with `password` when the file asks for
// one, and reads everything in it.
ReadOutcome ReadEverythingIn(const std::string& bytes, const jet::OpenOptions& options = {});
ReadOutcome ReadEverythingAt(const std::string& path, const jet::OpenOptions& options = {});
void ReadEverything(const jet::Database& database, ReadOutcome& outcome);

}  // namespace jettest
