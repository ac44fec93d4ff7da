// UTF-16 / UTF-8 conversions and the text buffers of the ODBC boundary.
#pragma once

#include <sql.h>

#include <string>
#include <string_view>

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

}  // namespace fakeodbc::detail
