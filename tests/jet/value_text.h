// A value as one line of text naming its kind, for comparing whole rows in tests:
//   NULL  bool:1  int:-5  real:3.25  money:-1.2345  date:2000-01-02 03:04:05  text:Airbus
//   decimal:-12.50  binary:FFFE41  guid:00112233...  error/out-of-range:<message>
#pragma once

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

}  // namespace jettest
