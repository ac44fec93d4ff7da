// The character form of a decoded value, as ODBC converts SQL types to SQL_C_CHAR and
// SQL_C_WCHAR.
#pragma once

#include "field_value.h"

#include <string>

namespace mdbodbc {

std::u16string ValueText(const FieldValue& value);

// Binary values go to character buffers as two hexadecimal digits per byte.
std::u16string HexText(const std::string& bytes);

}  // namespace mdbodbc
