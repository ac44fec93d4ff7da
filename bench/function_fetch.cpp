// The cost of Access functions on a full fetch: writes a table of 1,000,000 rows (a Date/Time
// `d` from 1850 to 2050 and a Text `s`) with the writer, then fetches through the driver
// manager, in one run and interleaved,
//   plain:     SELECT d, s FROM t
//   functions: SELECT Format(d, 'yyyy-mm-dd'), Mid(s, 2, 3), DateAdd('m', 1, d) FROM t
// each column bound to the C type of its SQL type (text as SQL_C_CHAR, dates as
// SQL_C_TYPE_TIMESTAMP), 100 rows a fetch. Prints each statement's median wall-clock and CPU
// time over the runs and their ratio; exits with 3 when the functions cost more than twice the
// plain fetch.
// Usage: function_fetch FILE.mdb [RUNS]   (ODBCSYSINI set; FILE.mdb is written first)
#include <mdb_writer.h>

#include <sql.h>
#include <sqlext.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr long kRows = 1'000'000;

// Rows made as they are written, so that the million rows never sit in memory.
class Rows : public mkmdb::RowSource {
 public:
  bool Next(std::vector<mkmdb::Value>& row) override {
    if (n_ == kRows) return false;
    // A date every 105 minutes from 1850 on, and a name of varying length.
    long minutes = n_ * 105;
    long day = minutes / 1440;
    int year = 1850 + static_cast<int>(day / 366), dayOfYear = static_cast<int>(day % 366);
    int month = dayOfYear / 31 % 12 + 1, dayOfMonth = dayOfYear % 28 + 1;
    char date[32];
    std::snprintf(date, sizeof date, "%04d-%02d-%02d %02ld:%02ld:00", year, month, dayOfMonth, minutes / 60 % 24,
                  minutes % 60);
    row = {std::string(date), "Aircraft " + std::to_string(n_ * 7919 % 1000003) + std::string(n_ % 13, 'x')};
    ++n_;
    return true;
  }
  std::string Where() const override { return "row " + std::to_string(n_); }

 private:
  long n_ = 0;
};

double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct Timing {
  double wall;
  double cpu;
};

bool Failed(SQLRETURN rc, SQLSMALLINT kind, SQLHANDLE handle, const char* what) {
  if (SQL_SUCCEEDED(rc)) return false;
  SQLCHAR state[6] = {}, message[512] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  SQLGetDiagRec(kind, handle, 1, state, &native, message, sizeof message, &length);
  std::fprintf(stderr, "%s failed: %s %s\n", what, state, message);
  return true;
}

// Runs the statement and fetches every row; false on any failure or a wrong row count.
bool Fetch(SQLHDBC dbc, const char* text, Timing& timing) {
  constexpr SQLULEN kRowset = 100;
  static char texts[3][kRowset][64];
  static SQL_TIMESTAMP_STRUCT dates[3][kRowset];
  static SQLLEN lengths[3][kRowset];
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt);
  SQLULEN fetched = 0;
  SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kRowset), 0);
  SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
  const double cpu = CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  if (Failed(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text)), SQL_NTS), SQL_HANDLE_STMT, stmt,
             text)) {
    return false;
  }
  SQLSMALLINT columns = 0;
  SQLNumResultCols(stmt, &columns);
  for (SQLUSMALLINT c = 1; c <= columns && c <= 3; ++c) {
    SQLSMALLINT type = 0;
    SQLDescribeCol(stmt, c, nullptr, 0, nullptr, &type, nullptr, nullptr, nullptr);
    if (type == SQL_TYPE_TIMESTAMP) {
      SQLBindCol(stmt, c, SQL_C_TYPE_TIMESTAMP, dates[c - 1], sizeof dates[0][0], lengths[c - 1]);
    } else {
      SQLBindCol(stmt, c, SQL_C_CHAR, texts[c - 1], sizeof texts[0][0], lengths[c - 1]);
    }
  }
  long rows = 0;
  SQLRETURN rc;
  while ((rc = SQLFetch(stmt)) != SQL_NO_DATA) {
    if (Failed(rc, SQL_HANDLE_STMT, stmt, "fetch")) return false;
    rows += static_cast<long>(fetched);
  }
  timing.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  timing.cpu = CpuSeconds() - cpu;
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  if (rows != kRows) {
    std::fprintf(stderr, "%s: %ld rows instead of %ld\n", text, rows, kRows);
    return false;
  }
  return true;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: function_fetch FILE.mdb [RUNS]\n");
    return 2;
  }
  const int runs = argc == 3 ? std::max(1, std::atoi(argv[2])) : 7;
  Rows rows;
  mkmdb::WriteDatabaseFromSources(
      argv[1], {{"t", {{"d", mkmdb::ColumnType::DateTime}, {"s", mkmdb::ColumnType::Text, 50}}, &rows}});

  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
  SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
  SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
  std::string connect = std::string("DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DBQ=") + argv[1];
  if (Failed(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(connect.data()), SQL_NTS, nullptr, 0, nullptr,
                              SQL_DRIVER_NOPROMPT),
             SQL_HANDLE_DBC, dbc, "connect")) {
    return 1;
  }
  const char* statements[2] = {"SELECT d, s FROM t",
                               "SELECT Format(d, 'yyyy-mm-dd'), Mid(s, 2, 3), DateAdd('m', 1, d) FROM t"};
  std::vector<double> wall[2], cpu[2];
  // One warm-up run of each, then the runs, the two statements taking turns to go first.
  for (int run = -1; run < runs; ++run) {
    for (int k = 0; k < 2; ++k) {
      int which = (run + k) % 2 == 0 ? 0 : 1;
      if (run < 0) which = k;
      Timing t{};
      if (!Fetch(dbc, statements[which], t)) return 1;
      if (run < 0) continue;
      wall[which].push_back(t.wall);
      cpu[which].push_back(t.cpu);
    }
  }
  SQLDisconnect(dbc);
  SQLFreeHandle(SQL_HANDLE_DBC, dbc);
  SQLFreeHandle(SQL_HANDLE_ENV, env);

  for (int k = 0; k < 2; ++k) {
    std::printf("%-80s wall %7.1f ms  cpu %7.1f ms  (median of %d)\n", statements[k], Median(wall[k]) * 1000,
                Median(cpu[k]) * 1000, runs);
  }
  double ratioWall = Median(wall[1]) / Median(wall[0]);
  double ratioCpu = Median(cpu[1]) / Median(cpu[0]);
  std::printf("functions / plain: wall %.2fx, cpu %.2fx (target: at most 2x)\n", ratioWall, ratioCpu);
  return ratioCpu <= 2.0 ? 0 : 3;
}
