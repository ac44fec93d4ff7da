// Text at the ODBC boundary and in the call log: UTF-16 / UTF-8 conversions, text buffers,
// quoted texts, and the symbolic names of ODBC constants (names.cpp) for the log and scripts.
#pragma once

#include <sql.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fakeodbc::detail {

std::string toUtf8(std::u16string_view text);
// Invalid UTF-8 sequences become U+FFFD.
std::u16string fromUtf8(std::string_view text);

// The text as a double-quoted UTF-8 literal for the call log: \" \\ \n \r \t and \xNN for
// other control characters.
std::string quoted(std::u16string_view text);

// An input text of `length` characters, or up to its terminator for SQL_NTS. A null pointer
// gives an empty text.
std::u16string readWide(const SQLWCHAR* text, long long length);

// Writes text into a buffer of `capacity` characters including the terminator: at most
// capacity - 1 characters and a terminator. Returns true when the text had to be cut. Nothing
// is written when the buffer is null or the capacity is not positive (that counts as cut when
// the text is not empty).
bool writeWide(SQLWCHAR* buffer, long long capacity, std::u16string_view text);

// The sets of constants the call log names.
enum class NameSet {
  ReturnCode, InfoType, ConnectOption, StatementOption, ApiFunction, CType, FetchOrientation,
  FreeStatementOption, DriverCompletion
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
