#include "tests/db/support/call_lines.h"

#include <sqlext.h>

std::vector<std::string> Concat(std::vector<std::string> head,
                                const std::vector<std::string>& tail) {
  head.insert(head.end(), tail.begin(), tail.end());
  return head;
}

std::vector<std::string> RecordsetOpenCalls(const std::string& firstFetch) {
  return {
      "SQLAllocStmt(dbc#1, &stmt#1) -> SQL_SUCCESS",
      "SQLNumResultCols(stmt#1) -> SQL_ERROR",
      "SQLErrorW(env#1, dbc#1, stmt#1, 511) -> SQL_SUCCESS",
      "SQLErrorW(env#1, dbc#1, stmt#1, 511) -> SQL_NO_DATA",
      "SQLSetStmtOption(stmt#1, SQL_QUERY_TIMEOUT, 15) -> SQL_SUCCESS",
      "SQLGetFunctions(dbc#1, SQL_API_SQLEXTENDEDFETCH) -> SQL_SUCCESS",
      "SQLGetInfoW(dbc#1, SQL_ODBC_VER, 60) -> SQL_SUCCESS",
      "SQLGetInfoW(dbc#1, SQL_SCROLL_OPTIONS, 4) -> SQL_SUCCESS",
      "SQLGetInfoW(dbc#1, SQL_SCROLL_CONCURRENCY, 4) -> SQL_SUCCESS",
      "SQLSetStmtOption(stmt#1, SQL_CURSOR_TYPE, " + std::to_string(SQL_CURSOR_STATIC) +
          ") -> SQL_SUCCESS",
      "SQLSetStmtOption(stmt#1, SQL_CONCURRENCY, " + std::to_string(SQL_CONCUR_LOCK) +
          ") -> SQL_SUCCESS",
      "SQLPrepareW(stmt#1, \"SELECT marque FROM avion \", SQL_NTS) -> SQL_SUCCESS",
      "SQLExecute(stmt#1) -> SQL_SUCCESS",
      "SQLNumResultCols(stmt#1) -> SQL_SUCCESS",
      "SQLDescribeColW(stmt#1, 1, 256) -> SQL_SUCCESS",
      "SQLExtendedFetch(stmt#1, SQL_FETCH_NEXT, 1) -> " + firstFetch,
  };
}
