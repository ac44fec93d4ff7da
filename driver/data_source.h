// Data sources of odbc.ini, read through the driver manager's installer library.
#pragma once

#include <optional>
#include <string>

namespace mdbodbc {

struct DataSource {
  std::string file;                     // DBQ, or else Database; empty when neither is set
  std::optional<std::string> password;  // PWD, or else Password; nullopt when neither is set
};

// The settings of the data source `name` in odbc.ini. `problem` is set (and the settings are
// empty) when odbc.ini cannot be read at all.
DataSource ReadDataSource(const std::string& name, std::string& problem);

// The value of `key` in the data source `name`; empty when it has none, with `problem` set when
// odbc.ini cannot be read at all.
std::string DataSourceValue(const std::string& name, const char* key, std::string& problem);

}  // namespace mdbodbc
