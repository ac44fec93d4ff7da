// Data sources of odbc.ini, read through the driver manager's installer library.
#pragma once

#include <string>

namespace mdbodbc {

// The database file (DBQ, or else Database) of the data source `name` in odbc.ini. Empty with
// `problem` left empty when the data source names none; empty with `problem` set when odbc.ini
// cannot be read at all.
std::string DataSourceFile(const std::string& name, std::string& problem);

// The value of `key` in the data source `name`; empty when it has none, with `problem` set when
// odbc.ini cannot be read at all.
std::string DataSourceValue(const std::string& name, const char* key, std::string& problem);

}  // namespace mdbodbc
