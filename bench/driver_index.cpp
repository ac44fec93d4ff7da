// Statements that read through an index, timed inside one connection: each is run with
// SQLExecDirect, every row fetched with SQLGetData and the statement closed, many times over,
// after as many warm-up runs. Prints one line per statement: its median, mean and slowest run
// in microseconds and the rows of one run.
// Usage: driver_index FILE.mdb RUNS   (ODBCSYSINI set; the file made by bench/driver_index.sh)
#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

bool Check(SQLRETURN rc, SQLHANDLE handle, SQLSMALLINT type, const std::string& what) {
  if (SQL_SUCCEEDED(rc) || rc == SQL_NO_DATA) return true;
  SQLCHAR state[6] = {}, message[512] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  SQLGetDiagRec(type, handle, 1, state, &native, message, sizeof message, &length);
  std::fprintf(stderr, "%s failed: %s %s\n", what.c_str(), state, message);
  return false;
}

// Runs `text` once, reading every column of every row; returns the rows, or -1.
long Run(SQLHSTMT stmt, const std::string& text) {
  if (!Check(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.c_str())), SQL_NTS),
             stmt, SQL_HANDLE_STMT, text)) {
    return -1;
  }
  SQLSMALLINT columns = 0;
  SQLNumResultCols(stmt, &columns);
  long rows = 0;
  SQLRETURN rc;
  while ((rc = SQLFetch(stmt)) == SQL_SUCCESS) {
    ++rows;
    for (SQLUSMALLINT c = 1; c <= columns; ++c) {
      char value[128];
      SQLLEN indicator = 0;
      SQLGetData(stmt, c, SQL_C_CHAR, value, sizeof value, &indicator);
    }
  }
  if (!Check(rc, stmt, SQL_HANDLE_STMT, text)) return -1;
  SQLFreeStmt(stmt, SQL_CLOSE);
  return rows;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: driver_index FILE.mdb RUNS\n");
    return 2;
  }
  const int runs = std::max(1, std::atoi(argv[2]));
  SQLHENV env;
  SQLHDBC dbc;
  SQLHSTMT stmt;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  std::string connect = std::string("DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DBQ=") + argv[1];
  if (!Check(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(connect.data()), SQL_NTS,
                              nullptr, 0, nullptr, SQL_DRIVER_NOPROMPT),
             dbc, SQL_HANDLE_DBC, "connect")) {
    return 1;
  }
  SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);

  // Each statement's text for run n: keys move through the table so that no two runs read the
  // same rows.
  std::mt19937 random(5);
  const struct {
    const char* name;
    std::string (*text)(long key);
  } statements[] = {
      {"point lookup on the key",
       [](long key) { return "SELECT marque FROM avion WHERE id = " + std::to_string(key); }},
      {"range of 100 rows on the key",
       [](long key) {
         return "SELECT marque FROM avion WHERE id BETWEEN " + std::to_string(key) + " AND " +
                std::to_string(key + 99);
       }},
      {"COUNT(*)", [](long) { return std::string("SELECT COUNT(*) FROM avion"); }},
      {"join of 1,000 rows to the key",
       [](long) {
         return std::string("SELECT p.cle, a.marque FROM petit p JOIN avion a ON a.id = p.cle");
       }},
      {"MAX of the key", [](long) { return std::string("SELECT MAX(id) FROM avion"); }},
  };
  for (const auto& statement : statements) {
    std::vector<double> times;
    long rows = 0;
    for (int n = -runs; n < runs; ++n) {
      const long key = 1 + static_cast<long>(random() % 999800);
      const std::string text = statement.text(key);
      const auto start = std::chrono::steady_clock::now();
      rows = Run(stmt, text);
      const auto elapsed = std::chrono::steady_clock::now() - start;
      if (rows < 0) return 1;
      if (n >= 0) times.push_back(std::chrono::duration<double, std::micro>(elapsed).count());
    }
    std::sort(times.begin(), times.end());
    double sum = 0;
    for (double t : times) sum += t;
    std::printf("%-32s median %9.1f us  mean %9.1f us  max %9.1f us  rows %ld\n", statement.name,
                times[times.size() / 2], sum / static_cast<double>(times.size()), times.back(),
                rows);
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  SQLDisconnect(dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, env);
  return 0;
}
