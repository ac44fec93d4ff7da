// Parsing the comma-separated output of mdb-export: fields in double quotes may hold commas,
// line breaks and doubled quotes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mkmdb_test {

std::vector<std::vector<std::string>> ParseCsv(std::string_view text);

}  // namespace mkmdb_test
