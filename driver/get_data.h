// SQLGetData: a column of the current row into an application buffer, by the ODBC rules.
#pragma once

#include "handles.h"

namespace mdbodbc {

// Character and binary values that do not fit arrive in pieces over several calls, each with
// 01004 and the length still to come; once a column has been delivered whole, another call
// answers SQL_NO_DATA. Fixed-size values are delivered once.
SQLRETURN GetData(Statement& stmt, SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER target,
                  SQLLEN bufferLength, SQLLEN* indicator);

}  // namespace mdbodbc
