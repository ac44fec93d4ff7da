// What a column's value looks like in an SQL_C_BINARY buffer: the bytes of its value as the
// column's default C type holds it (a Long Integer's four bytes, a Date/Time's timestamp
// structure, a text's UTF-16), and a binary value's own bytes.
#pragma once

#include "convert.h"

namespace mdbodbc {

Outcome BinaryImage(const sql::Cell& cell, const sql::ResultColumn& column, std::string& bytes);

}  // namespace mdbodbc
