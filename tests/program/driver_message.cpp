#include "tests/program/driver_message.h"

#include <sql.h>
#include <sqlext.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace e2e {

std::string DriverConnectMessage(const std::string& workingDirectory) {
  ::setenv("ODBCSYSINI", ODBC_SYSINI_DIR, 1);
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env))) {
    throw std::runtime_error("no ODBC environment");
  }
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::current_path(workingDirectory);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  std::string message;
  if (SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc))) {
    // The connect string's driver and file part, as the program sends it.
    SQLCHAR connect[] = "DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DSN='';DBQ=../../bd2.mdb";
    SQLCHAR out[1024];
    SQLSMALLINT length = 0;
    if (SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, connect, SQL_NTS, out, sizeof out, &length,
                                       SQL_DRIVER_NOPROMPT))) {
      SQLDisconnect(dbc);
    } else {
      SQLCHAR state[6] = {};
      SQLINTEGER native = 0;
      SQLCHAR text[1024] = {};
      if (SQL_SUCCEEDED(SQLGetDiagRec(SQL_HANDLE_DBC, dbc, 1, state, &native, text, sizeof text,
                                      &length))) {
        message = reinterpret_cast<const char*>(text);
      }
      // Without its bracketed origins.
      while (message.starts_with('[') && message.find(']') != std::string::npos) {
        message.erase(0, message.find(']') + 1);
      }
    }
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  }
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  std::filesystem::current_path(previous);
  if (message.empty() && dbc == SQL_NULL_HDBC) throw std::runtime_error("no ODBC connection");
  return message;
}

}  // namespace e2e
