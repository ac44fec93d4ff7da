// Values of result columns converted to the C types of application buffers, by the ODBC
// rules: character and binary forms (delivered whole or in pieces by the caller), numbers with
// 22003 on overflow and 01S07 on a lost fraction, dates and times with 22007 for a text that is
// no date.
#pragma once

#include "odbc.h"
#include "sql/result.h"

#include <string>

namespace mdbodbc {

struct Outcome {
  SQLRETURN rc = SQL_SUCCESS;
  std::string state;    // set with SQL_SUCCESS_WITH_INFO or SQL_ERROR
  std::string message;
};

// The C type SQL_C_DEFAULT stands for with a column of this type.
SQLSMALLINT DefaultCType(const sql::ResultColumn& column, SQLINTEGER odbcVersion);

// True for the C types whose values can arrive in pieces (character and binary).
bool IsStreamType(SQLSMALLINT cType);

// The bytes a character or binary buffer receives (UTF-8 for SQL_C_CHAR, UTF-16 for
// SQL_C_WCHAR), without a terminator.
Outcome StreamBytes(const sql::Cell& cell, const sql::ResultColumn& column, SQLSMALLINT cType,
                    std::string& bytes);

// Converts a non-NULL value to a fixed-size C type and writes it; `indicator` gets its size.
Outcome PutFixed(const sql::Cell& cell, const sql::ResultColumn& column, SQLSMALLINT cType,
                 SQLPOINTER target, SQLLEN* indicator);

// The size of a fixed-size C type; 0 for the character and binary types and unknown ones.
SQLLEN FixedSize(SQLSMALLINT cType);

// The text form of a value, as SQL_C_CHAR receives it (UTF-8): numbers in plain notation
// (Currency and Decimal at the column's scale), dates as "YYYY-MM-DD HH:MM:SS[.fff]".
std::string ValueText(const sql::Cell& cell, const sql::ResultColumn& column);

}  // namespace mdbodbc
