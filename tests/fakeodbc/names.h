// Symbolic names of ODBC constants, for the call log and for the script reader.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fakeodbc::detail {

enum class NameSet {
  ReturnCode,
  InfoType,
  ConnectOption,
  StatementOption,
  ApiFunction,
  CType,
  SqlType,
  FetchOrientation,
  FreeStatementOption,
  DriverCompletion,
};

// The symbolic name of value in the set, or the value in decimal when it has none.
std::string nameOf(NameSet set, long long value);

// A text length argument as the call log shows it: SQL_NTS or the number.
std::string lengthName(long long length);

// The value of a symbolic name from any set (SQL_ERROR, SQL_DBMS_NAME, SQL_C_WCHAR ...), or of
// a few further constants scripts use (SQL_NULL_DATA, SQL_NO_TOTAL, SQL_ROW_*, SQL_NULLABLE ...).
std::optional<long long> valueOfName(std::string_view name);

// Every SQL_API_ function id of unixODBC's headers (without the ALL_FUNCTIONS selectors).
std::vector<unsigned short> knownApiFunctions();

}  // namespace fakeodbc::detail
