// One statement through the driver manager and the driver, for the SQL benchmark: a count, a
// filter on a text column, a full fetch through SQLBindCol with a rowset of 100 rows, or a
// static cursor moved to its last row. Prints what it read and the process's peak memory.
// Usage: driver_sql FILE.mdb count|where|fetch|last [PASSWORD]   (ODBCSYSINI set)
#include <sql.h>
#include <sqlext.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

namespace {

// The peak resident memory of this process in kB (VmHWM).
long PeakKilobytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

bool Check(SQLRETURN rc, SQLHSTMT stmt, const char* what) {
  if (SQL_SUCCEEDED(rc)) return true;
  SQLCHAR state[6] = {}, message[512] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  SQLGetDiagRec(SQL_HANDLE_STMT, stmt, 1, state, &native, message, sizeof message, &length);
  std::fprintf(stderr, "%s failed: %s %s\n", what, state, message);
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fprintf(stderr, "usage: driver_sql FILE.mdb count|where|fetch|last [PASSWORD]\n");
    return 2;
  }
  const std::string mode = argv[2];
  SQLHENV env;
  SQLHDBC dbc;
  SQLHSTMT stmt;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  std::string connect = std::string("DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DBQ=") + argv[1];
  if (argc == 4) connect += std::string(";PWD={") + argv[3] + "}";
  if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(connect.data()), SQL_NTS, nullptr, 0,
                                      nullptr, SQL_DRIVER_NOPROMPT))) {
    std::fprintf(stderr, "connect failed\n");
    return 1;
  }
  SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
  const char* text = mode == "count"   ? "SELECT COUNT(*) FROM avion"
                     : mode == "where" ? "SELECT marque FROM avion WHERE marque LIKE '%77777%'"
                                       : "SELECT marque FROM avion";
  constexpr SQLULEN kRowset = 100;
  static char values[kRowset][64];
  static SQLLEN lengths[kRowset];
  SQLULEN fetched = 0;
  if (mode == "last") {
    SQLSetStmtAttr(stmt, SQL_ATTR_CURSOR_TYPE, reinterpret_cast<SQLPOINTER>(SQL_CURSOR_STATIC), 0);
  } else {
    SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kRowset), 0);
  }
  SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
  SQLBindCol(stmt, 1, SQL_C_CHAR, values, sizeof values[0], lengths);
  if (!Check(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text)), SQL_NTS), stmt, "execute")) return 1;
  unsigned long rows = 0;
  SQLRETURN rc;
  if (mode == "last") {
    rc = SQLFetchScroll(stmt, SQL_FETCH_LAST, 0);
    if (!Check(rc, stmt, "fetch")) return 1;
    std::printf("last=%s", values[0]);
  } else {
    while ((rc = SQLFetch(stmt)) != SQL_NO_DATA) {
      if (!Check(rc, stmt, "fetch")) return 1;
      rows += fetched;
    }
    if (mode == "count") {
      std::printf("count=%s", values[0]);
    } else {
      std::printf("rows=%lu", rows);
    }
  }
  std::printf(" peak_kb=%ld\n", PeakKilobytes());
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  SQLDisconnect(dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return 0;
}
