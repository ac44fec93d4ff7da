#include "tests/db/support/connection_fixture.h"

void ConnectionTest::SetUp() {
  fakeodbc::reset();
  Process() = DatabaseProcessState{};
  traces.Clear();
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

std::vector<std::string> HealthyCapabilityTraces() {
  return {"DBMS: FakeDB\n", "Version: 01.00.0000\n", "ODBC Driver Manager Version: 03.80.0000\n"};
}
