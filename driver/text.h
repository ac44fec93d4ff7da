// Text conversions between the driver's UTF-8 and UTF-16 strings and the ODBC buffers.
#pragma once

#include "text/utf.h"
#include "odbc.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace mdbodbc {

// An input text of an ODBC call: a pointer and a length in characters or SQL_NTS.
// A null pointer gives an empty text.
std::string NarrowInput(const SQLCHAR* text, SQLINTEGER length);
std::string WideInput(const SQLWCHAR* text, SQLINTEGER length);

// Writes a text into an output buffer of an ODBC call the way ODBC asks for it: as much as
// fits with a terminating null, the whole length (in bytes for the wide form when
// lengthInBytes, otherwise in characters) through lengthOut. Returns true when the whole
// text fitted; false means truncated (01004).
bool WriteNarrow(std::string_view utf8, SQLCHAR* buffer, SQLLEN bufferChars, SQLLEN* lengthOut);
bool WriteWide(std::string_view utf8, SQLWCHAR* buffer, SQLLEN bufferUnits, SQLLEN* lengthOut,
               bool lengthInBytes);

// Case-insensitive comparison of ASCII keywords.
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace mdbodbc
