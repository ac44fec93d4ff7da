// A statement's whole answer through the driver manager, as text that a table of cases can
// hold: its rows ("v|v;v|v", NULL as NULL), the ODBC types of its columns, and the SQLSTATE
// of a failure (which may come after some rows).
#pragma once

#include "odbc_session.h"

#include <string>
#include <vector>

namespace drivertest {

struct Answer {
  std::string state;    // empty on success
  std::string message;  // of the failure
  std::string rows;     // values joined by '|', rows by ';', NULL as NULL
  std::string types;    // the columns' SQL types by name, joined by '|' (WVARCHAR|INTEGER)
  std::vector<SQLSMALLINT> sqlTypes;  // the same by number

  // "rows", "error STATE" or "rows;error STATE".
  std::string Shown() const;
  // "TYPES: " and Shown(), or Shown() alone when the statement failed before its first row.
  std::string Typed() const;
};

// Runs a statement given by its whole text (which may hold a NUL) and reads every row as text.
Answer Ask(OdbcSession& session, const std::string& text);

// Fetches the rest of the result open on `stmt` into `answer`: its rows, and the failure of a
// fetch.
void ReadRows(OdbcSession& session, SQLHSTMT stmt, Answer& answer);

// The name of an ODBC SQL type (SQL_WVARCHAR -> "WVARCHAR").
std::string SqlTypeName(SQLSMALLINT type);

}  // namespace drivertest
