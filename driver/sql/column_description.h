// The ODBC description of a column of the file: its Jet type as an SQL type, with size, digits
// and nullability; and the form its values take in the SQL engine.
#pragma once

#include "result.h"

#include "jet/table_definition.h"

#include <string>

namespace mdbodbc::sql {

ResultColumn DescribeJetColumn(const jet::Column& column, const std::string& table);

// The column's declaration in the virtual table that shows the table to the engine: its
// type name and collation.
std::string EngineDeclaration(const jet::Column& column);

// ODBC 2 applications know the date and time types by their older codes.
SQLSMALLINT TypeForVersion(SQLSMALLINT sqlType, SQLINTEGER odbcVersion);

}  // namespace mdbodbc::sql
