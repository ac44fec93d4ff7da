// Time to the first three rows of the brand table through the driver manager and the driver,
// the way the access layer reads them: connect, static cursor, prepare, execute, three
// SQLExtendedFetch and SQLGetData calls. Usage: driver_first_rows FILE.mdb (ODBCSYSINI set).
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <chrono>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: driver_first_rows FILE.mdb\n");
    return 2;
  }
  auto start = std::chrono::steady_clock::now();
  SQLHENV env;
  SQLHDBC dbc;
  SQLHSTMT stmt;
  SQLAllocEnv(&env);
  SQLAllocConnect(env, &dbc);
  SQLSetConnectOption(dbc, SQL_ODBC_CURSORS, SQL_CUR_USE_IF_NEEDED);
  std::string connect = std::string("DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DBQ=") + argv[1];
  if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(connect.data()),
                                      SQL_NTS, nullptr, 0, nullptr, SQL_DRIVER_COMPLETE))) {
    std::fprintf(stderr, "connect failed\n");
    return 1;
  }
  SQLAllocStmt(dbc, &stmt);
  SQLSetStmtOption(stmt, SQL_CURSOR_TYPE, SQL_CURSOR_STATIC);
  SQLPrepare(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>("SELECT marque FROM avion ")), SQL_NTS);
  SQLExecute(stmt);
  for (int i = 0; i < 3; ++i) {
    SQLULEN rows = 0;
    SQLUSMALLINT status = 0;
    if (SQLExtendedFetch(stmt, SQL_FETCH_NEXT, 1, &rows, &status) != SQL_SUCCESS) return 1;
    SQLWCHAR value[64];
    SQLLEN indicator = 0;
    SQLGetData(stmt, 1, SQL_C_WCHAR, value, sizeof value, &indicator);
  }
  auto elapsed = std::chrono::steady_clock::now() - start;
  std::printf("%.2f ms\n", std::chrono::duration<double, std::milli>(elapsed).count());
  SQLFreeStmt(stmt, SQL_DROP);
  SQLDisconnect(dbc);
  SQLFreeConnect(dbc);
  SQLFreeEnv(env);
  return 0;
}
