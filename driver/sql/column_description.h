// The ODBC description of a column of the file: its Jet type as an SQL type, with size, digits
// and nullability; and the form its values take in the SQL engine.
#pragma once

#include "jet_types.h"
#include "result.h"

#include "jet/table_definition.h"

#include <string>

namespace mdbodbc::sql {

ResultColumn DescribeJetColumn(const jet::Column& column, const std::string& table);

// How ODBC sees a value of an Access type (name, origin and nullability left to the caller).
ResultColumn DescribeType(const Type& type);

// ODBC 2 applications know the date and time types by their older codes.
SQLSMALLINT TypeForVersion(SQLSMALLINT sqlType, SQLINTEGER odbcVersion);

}  // namespace mdbodbc::sql
