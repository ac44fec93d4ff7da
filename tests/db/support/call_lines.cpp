#include "tests/db/support/call_lines.h"

#include <sqlext.h>

#include <algorithm>

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

std::vector<std::string> CapabilityQueryCalls(const std::string& connection) {
  auto info = [&](const char* type, int bytes) {
    return "SQLGetInfoW(" + connection + ", " + type + ", " + std::to_string(bytes) +
           ") -> SQL_SUCCESS";
  };
  return {
      info("SQL_POS_OPERATIONS", 4),         info("SQL_POSITIONED_STATEMENTS", 4),
      info("SQL_TXN_CAPABLE", 2),            info("SQL_CURSOR_COMMIT_BEHAVIOR", 2),
      info("SQL_CURSOR_ROLLBACK_BEHAVIOR", 2), info("SQL_BOOKMARK_PERSISTENCE", 4),
      info("SQL_GETDATA_EXTENSIONS", 4),     info("SQL_DATA_SOURCE_READ_ONLY", 20),
      info("SQL_IDENTIFIER_QUOTE_CHAR", 4),  info("SQL_DBMS_NAME", 128),
      info("SQL_DBMS_VER", 128),             info("SQL_ODBC_VER", 128),
  };
}

std::vector<std::string> HealthyOpenCalls(const std::string& connectText,
                                          bool allocatesEnvironment,
                                          const std::string& connection,
                                          const std::string& environment) {
  std::vector<std::string> calls;
  if (allocatesEnvironment) calls.push_back("SQLAllocEnv(&" + environment + ") -> SQL_SUCCESS");
  calls.push_back("SQLAllocConnect(" + environment + ", &" + connection + ") -> SQL_SUCCESS");
  calls.push_back("SQLSetConnectOptionW(" + connection + ", SQL_LOGIN_TIMEOUT, 15) -> SQL_SUCCESS");
  calls.push_back("SQLSetConnectOptionW(" + connection + ", SQL_ODBC_CURSORS, 0) -> SQL_SUCCESS");
  calls.push_back("SQLDriverConnectW(" + connection + ", hwnd, \"" + connectText +
                  "\", SQL_NTS, 1024, SQL_DRIVER_COMPLETE) -> SQL_SUCCESS");
  calls.push_back("SQLGetInfoW(" + connection + ", SQL_ODBC_API_CONFORMANCE, 2) -> SQL_SUCCESS");
  calls.push_back("SQLGetInfoW(" + connection + ", SQL_ODBC_SQL_CONFORMANCE, 2) -> SQL_SUCCESS");
  return Concat(calls, CapabilityQueryCalls(connection));
}

std::vector<std::string> ReleaseCalls(const std::string& connection, bool freesEnvironment,
                                      const std::string& disconnect) {
  std::vector<std::string> calls = {"SQLDisconnect(" + connection + ") -> " + disconnect,
                                    "SQLFreeConnect(" + connection + ") -> SQL_SUCCESS"};
  if (freesEnvironment) calls.push_back("SQLFreeEnv(env#1) -> SQL_SUCCESS");
  return calls;
}

std::vector<std::string> HealthyCapabilityTraces() {
  return {"DBMS: FakeDB\n", "Version: 01.00.0000\n", "ODBC Driver Manager Version: 03.80.0000\n"};
}

std::vector<std::string> CallLinesAfter(std::size_t after) {
  std::vector<std::string> lines;
  for (const fakeodbc::Call& call : fakeodbc::calls()) {
    if (call.index > after) lines.push_back(call.line());
  }
  return lines;
}

std::vector<std::string> CallNamesAfter(std::size_t after) {
  std::vector<std::string> names;
  for (const fakeodbc::Call& call : fakeodbc::calls()) {
    if (call.index > after) names.push_back(call.name());
  }
  return names;
}

std::vector<std::string> CallLinesWithoutDiagnosticsAfter(std::size_t after) {
  std::vector<std::string> lines;
  for (const fakeodbc::Call& call : fakeodbc::calls()) {
    if (call.index > after && call.fn != fakeodbc::Fn::SQLErrorW) lines.push_back(call.line());
  }
  return lines;
}

int CountCallsAfter(std::size_t after, const std::string& name) {
  const std::vector<std::string> names = CallNamesAfter(after);
  return static_cast<int>(std::count(names.begin(), names.end(), name));
}
