// A small ODBC client linked against the system libodbc.so.2. It connects, runs one statement,
// prints the completed connection string, the first column of every row and any error, and
// frees its handles (all but the statement with --keep-statement).
//
// Usage: fakeodbc_probe "STATEMENT" [--keep-statement]
#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "text/utf.h"

namespace {

std::string utf8(const SQLWCHAR* text) {
  return textconv::Utf16ToUtf8(reinterpret_cast<const char16_t*>(text));
}

void printErrors(SQLHENV env, SQLHDBC dbc, SQLHSTMT stmt) {
  SQLWCHAR state[6];
  SQLINTEGER native = 0;
  SQLWCHAR message[512];
  SQLSMALLINT length = 0;
  while (SQLErrorW(env, dbc, stmt, state, &native, message, 511, &length) == SQL_SUCCESS) {
    std::printf("error %s %s\n", utf8(state).c_str(), utf8(message).c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: fakeodbc_probe STATEMENT [--keep-statement]\n");
    return 64;
  }
  const bool keepStatement = argc > 2 && std::strcmp(argv[2], "--keep-statement") == 0;
  std::u16string statement = textconv::Utf8ToUtf16(argv[1]);
  std::u16string connect = u"DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DBQ=../../bd2.mdb";

  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  if (SQLAllocEnv(&env) != SQL_SUCCESS || SQLAllocConnect(env, &dbc) != SQL_SUCCESS) return 1;

  SQLWCHAR completed[256] = {};
  SQLSMALLINT completedLength = 0;
  const SQLRETURN connected =
      SQLDriverConnectW(dbc, nullptr, reinterpret_cast<SQLWCHAR*>(connect.data()), SQL_NTS,
                        completed, 256, &completedLength, SQL_DRIVER_NOPROMPT);
  if (connected == SQL_SUCCESS || connected == SQL_SUCCESS_WITH_INFO) {
    std::printf("connected %s\n", utf8(completed).c_str());
    SQLWCHAR dbms[64] = {};
    if (SQLGetInfoW(dbc, SQL_DBMS_NAME, dbms, sizeof dbms, nullptr) == SQL_SUCCESS) {
      std::printf("dbms %s\n", utf8(dbms).c_str());
    }
    SQLAllocStmt(dbc, &stmt);
    if (SQLExecDirectW(stmt, reinterpret_cast<SQLWCHAR*>(statement.data()), SQL_NTS) !=
        SQL_SUCCESS) {
      printErrors(env, dbc, stmt);
    } else {
      SQLULEN fetched = 0;
      SQLUSMALLINT status[1];
      while (SQLExtendedFetch(stmt, SQL_FETCH_NEXT, 1, &fetched, status) == SQL_SUCCESS) {
        SQLWCHAR value[128] = {};
        SQLLEN length = 0;
        SQLGetData(stmt, 1, SQL_C_WCHAR, value, sizeof value, &length);
        std::printf("-- %s\n", length == SQL_NULL_DATA ? "NULL" : utf8(value).c_str());
      }
    }
    if (!keepStatement) SQLFreeStmt(stmt, SQL_DROP);
    SQLDisconnect(dbc);
  } else {
    printErrors(env, dbc, SQL_NULL_HSTMT);
  }
  SQLFreeConnect(dbc);
  SQLFreeEnv(env);
  return 0;
}
