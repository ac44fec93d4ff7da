// How the column types of an Access table appear to ODBC applications.
#pragma once

#include "mdb.h"
#include "odbc.h"

#include <string>

namespace mdbodbc {

struct ColumnInfo {
  std::string name;          // UTF-8, as the table defines it
  int tableIndex = 0;        // index of the column in the table's column list
  const MdbColumn* column = nullptr;
  SQLSMALLINT sqlType = SQL_UNKNOWN_TYPE;  // ODBC 3 type code
  SQLULEN size = 0;          // column size in ODBC's sense (characters, digits or bytes)
  SQLSMALLINT decimals = 0;
  SQLSMALLINT nullable = SQL_NULLABLE;
  SQLLEN displaySize = 0;
  SQLLEN octetLength = 0;
  bool isUnsigned = false;
  std::string typeName;      // the Access name of the type
};

// Describes a table column; jet3 tells whether text is stored one byte per character.
ColumnInfo DescribeColumn(const MdbColumn& column, bool jet3);

// The type code an application of the given ODBC version expects: ODBC 2 applications know the
// date and time types by their older codes.
SQLSMALLINT TypeForVersion(SQLSMALLINT sqlType, SQLINTEGER odbcVersion);

}  // namespace mdbodbc
