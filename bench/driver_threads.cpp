// The driver on threads, through the driver manager: the rows per second of one connection
// scanning a table alone, then of N threads each scanning it through a connection of its own at
// the same time; and the time a new connection takes while another connection runs a long
// query. Prints one line per measure.
// The two throughputs are measured REPEATS times, alternately, and their medians compared.
// Usage: driver_threads FILE.mdb THREADS ROUNDS [REPEATS]   (ODBCSYSINI set; FILE has a table
// "avion" of one text column, as mkmdb --generate makes it)
#include <sql.h>
#include <sqlext.h>
#include <sys/resource.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
std::string connectString;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// The CPU time (user and system) the process has used so far, in seconds.
double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Connection {
  SQLHENV env = SQL_NULL_HENV;
  SQLHDBC dbc = SQL_NULL_HDBC;
  bool ok = false;
  Connection() {
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    std::string in = connectString;
    ok = SQL_SUCCEEDED(SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(in.data()), SQL_NTS, nullptr, 0,
                                        nullptr, SQL_DRIVER_NOPROMPT));
  }
  ~Connection() {
    if (ok) SQLDisconnect(dbc);
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
  }
};

// Fetches every row of the table in rowsets of 100 bound rows; the number of rows read.
long long Scan(Connection& connection) {
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  SQLAllocHandle(SQL_HANDLE_STMT, connection.dbc, &stmt);
  constexpr SQLULEN kRowset = 100;
  static thread_local char values[kRowset][64];
  static thread_local SQLLEN lengths[kRowset];
  SQLULEN fetched = 0;
  SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kRowset), 0);
  SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0);
  SQLBindCol(stmt, 1, SQL_C_CHAR, values, sizeof values[0], lengths);
  long long rows = 0;
  std::string text = "SELECT marque FROM avion";
  if (SQL_SUCCEEDED(SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS))) {
    while (SQL_SUCCEEDED(SQLFetch(stmt))) rows += static_cast<long long>(fetched);
  }
  SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  return rows;
}

// Rows per second of `threads` connections scanning at once, each `rounds` times; `cores` gets
// the CPU time used per second of the scans (how many cores they kept busy).
double Throughput(int threads, int rounds, long long& total, double& cores) {
  std::vector<Connection*> connections;
  for (int t = 0; t < threads; ++t) connections.push_back(new Connection());
  std::atomic<long long> rows{0};
  const double cpuBefore = CpuSeconds();
  auto started = Clock::now();
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&, t] {
      for (int r = 0; r < rounds; ++r) rows += Scan(*connections[static_cast<std::size_t>(t)]);
    });
  }
  for (std::thread& worker : workers) worker.join();
  double seconds = Seconds(Clock::now() - started);
  cores = (CpuSeconds() - cpuBefore) / seconds;
  for (Connection* c : connections) delete c;
  total = rows.load();
  return static_cast<double>(total) / seconds;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4 && argc != 5) {
    std::fprintf(stderr, "usage: driver_threads FILE.mdb THREADS ROUNDS [REPEATS]\n");
    return 2;
  }
  const int repeats = argc == 5 ? std::max(1, std::stoi(argv[4])) : 5;
  connectString = std::string("DRIVER={Microsoft Access Driver (*.mdb)};DBQ=") + argv[1];
  const int threads = std::stoi(argv[2]);
  const int rounds = std::stoi(argv[3]);
  {
    Connection probe;
    if (!probe.ok) {
      std::fprintf(stderr, "cannot connect to %s\n", argv[1]);
      return 1;
    }
  }

  long long oneRows = 0, manyRows = 0;
  std::vector<double> ones, manys;
  for (int repeat = 0; repeat < repeats; ++repeat) {
    double oneCores = 0, manyCores = 0;
    ones.push_back(Throughput(1, rounds, oneRows, oneCores));
    manys.push_back(Throughput(threads, rounds, manyRows, manyCores));
    std::printf("1 thread: %lld rows, %.0f rows/s, %.2f cores busy; %d threads: %lld rows, %.0f rows/s, %.2f cores busy\n",
                oneRows, ones.back(), oneCores, threads, manyRows, manys.back(), manyCores);
  }
  std::sort(ones.begin(), ones.end());
  std::sort(manys.begin(), manys.end());
  const double one = ones[ones.size() / 2];
  const double many = manys[manys.size() / 2];
  std::printf("medians of %d: 1 thread %.0f rows/s, %d threads %.0f rows/s, %.2fx\n", repeats, one, threads, many,
              many / one);

  // Connects, one after the other, while another connection counts a cross join that runs for
  // far longer than the measure; that query is cancelled at the end.
  Connection busy;
  SQLHSTMT endless = SQL_NULL_HSTMT;
  SQLAllocHandle(SQL_HANDLE_STMT, busy.dbc, &endless);
  std::thread running([&] {
    std::string text = "SELECT COUNT(*) FROM avion a, avion b";
    SQLExecDirect(endless, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  std::vector<double> connects;
  for (int i = 0; i < 20; ++i) {
    auto started = Clock::now();
    Connection c;
    connects.push_back(Seconds(Clock::now() - started) * 1000);
    if (!c.ok) std::fprintf(stderr, "a connect failed\n");
  }
  SQLCancel(endless);
  running.join();
  SQLFreeHandle(SQL_HANDLE_STMT, endless);
  std::sort(connects.begin(), connects.end());
  std::printf("connect during a long query: median %.2f ms, max %.2f ms (20 connects)\n",
              connects[connects.size() / 2], connects.back());
  // Every connection read every row.
  return manyRows == oneRows * threads ? 0 : 1;
}
