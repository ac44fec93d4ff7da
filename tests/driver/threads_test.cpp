// The driver in a program with threads: connections run side by side, SQLCancel from another
// thread stops only the statement it names, and each statement keeps its own query timeout.
#include "driver_direct.h"
#include "driver_fixture.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

namespace drivertest {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Three copies of a 1,000-row table: a billion rows to count, far more than any test waits for.
constexpr char kEndless[] = "SELECT COUNT(*) FROM n a, n b, n c";
// Its first row at once, then a search through the same billion rows for a second one.
constexpr char kFirstRowThenEndless[] = "SELECT a.v FROM n a, n b, n c WHERE a.v + b.v + c.v IN (3, 0)";

std::vector<mkmdb::TableSpec> Tables() {
  mkmdb::TableSpec n{"n", {{"v", mkmdb::ColumnType::Long}}, {}};
  for (int i = 1; i <= 1000; ++i) n.rows.push_back({std::to_string(i)});
  std::vector<mkmdb::TableSpec> tables = BrandTables();
  tables.push_back(std::move(n));
  return tables;
}

std::string StateOf(SQLSMALLINT type, SQLHANDLE handle) {
  SQLCHAR state[6] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT length = 0;
  if (!SQL_SUCCEEDED(SQLGetDiagRec(type, handle, 1, state, &native, nullptr, 0, &length))) return "none";
  return reinterpret_cast<char*>(state);
}

// An environment of its own with connections on it, all closed at the end.
class Environment {
 public:
  Environment() {
    EXPECT_EQ(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env_), SQL_SUCCESS);
    EXPECT_EQ(SQLSetEnvAttr(env_, SQL_ATTR_ODBC_VERSION, reinterpret_cast<SQLPOINTER>(SQL_OV_ODBC3), 0),
              SQL_SUCCESS);
  }
  ~Environment() {
    for (SQLHDBC dbc : connections_) {
      SQLDisconnect(dbc);
      SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    }
    SQLFreeHandle(SQL_HANDLE_ENV, env_);
  }
  Environment(const Environment&) = delete;
  Environment& operator=(const Environment&) = delete;

  // Safe from any thread: the allocation goes through the environment's list.
  SQLHDBC Connect() {
    SQLHDBC dbc = SQL_NULL_HDBC;
    if (SQLAllocHandle(SQL_HANDLE_DBC, env_, &dbc) != SQL_SUCCESS) return SQL_NULL_HDBC;
    std::string in = kProgramConnect;
    SQLRETURN rc = SQLDriverConnect(dbc, nullptr, reinterpret_cast<SQLCHAR*>(in.data()), SQL_NTS, nullptr, 0,
                                    nullptr, SQL_DRIVER_NOPROMPT);
    std::lock_guard<std::mutex> lock(mutex_);
    connections_.push_back(dbc);
    return SQL_SUCCEEDED(rc) ? dbc : SQL_NULL_HDBC;
  }

 private:
  SQLHENV env_ = SQL_NULL_HENV;
  std::mutex mutex_;
  std::vector<SQLHDBC> connections_;
};

SQLHSTMT NewStatement(SQLHDBC dbc) {
  SQLHSTMT stmt = SQL_NULL_HSTMT;
  EXPECT_EQ(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &stmt), SQL_SUCCESS);
  return stmt;
}

SQLRETURN Execute(SQLHSTMT stmt, const std::string& text) {
  std::string copy = text;
  return SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(copy.data()), SQL_NTS);
}

long long FirstNumber(SQLHSTMT stmt) {
  SQLBIGINT value = -1;
  EXPECT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_SBIGINT, &value, 0, nullptr), SQL_SUCCESS);
  return value;
}

// SQLCancel from a second thread, made on the driver itself with the driver's own handle of the
// statement (SQL_DRIVER_HSTMT). unixODBC's SQLCancel empties the statement's diagnostics in the
// driver manager without the lock that the statement's other calls hold, a race of its own that
// ThreadSanitizer would report; the driver's SQLCancel is what these tests are about.
class Canceller {
 public:
  Canceller(SQLHDBC dbc, SQLHSTMT stmt)
      : handle_(DriverStatement(dbc, stmt)), cancel_(DriverEntry<SQLRETURN (*)(SQLHSTMT)>("SQLCancel")) {}
  SQLRETURN operator()() const { return cancel_ != nullptr ? cancel_(handle_) : SQL_ERROR; }

 private:
  SQLHSTMT handle_;
  SQLRETURN (*cancel_)(SQLHSTMT);
};

// A call that runs on a thread of its own, ended by SQLCancel if it is still running when the
// test is done with it.
class Running {
 public:
  Running(SQLHDBC dbc, SQLHSTMT stmt, std::function<SQLRETURN()> call)
      : stmt_(stmt), cancel_(dbc, stmt), result_(std::async(std::launch::async, std::move(call))) {}
  ~Running() {
    if (result_.valid()) Stop();
  }
  bool StillRunningAfter(milliseconds wait) { return result_.wait_for(wait) == std::future_status::timeout; }
  // Cancels the call and returns its SQLSTATE once it has ended.
  std::string Stop() {
    for (int i = 0; i < 600 && result_.wait_for(milliseconds(100)) == std::future_status::timeout; ++i) {
      cancel_();
    }
    if (result_.get() != SQL_ERROR) return "no error";
    return StateOf(SQL_HANDLE_STMT, stmt_);
  }

 private:
  SQLHSTMT stmt_;
  Canceller cancel_;
  std::future<SQLRETURN> result_;
};

class ThreadsTest : public DriverTest {
 protected:
  void SetUp() override { Write(Tables()); }
  Environment environment;
};

TEST_F(ThreadsTest, AConnectionWorksWhileAnotherRunsALongQuery) {
  SQLHDBC busy = environment.Connect();
  ASSERT_NE(busy, nullptr);
  SQLHSTMT endless = NewStatement(busy);
  Running running(busy, endless, [&] { return Execute(endless, kEndless); });
  ASSERT_TRUE(running.StillRunningAfter(milliseconds(300)));

  // A new connection, its statement and its answer, in a bounded time while the query runs.
  auto started = Clock::now();
  auto other = std::async(std::launch::async, [&] {
    SQLHDBC dbc = environment.Connect();
    if (dbc == SQL_NULL_HDBC) return -2LL;
    SQLHSTMT stmt = NewStatement(dbc);
    if (Execute(stmt, "SELECT COUNT(*) FROM avion") != SQL_SUCCESS) return -3LL;
    return FirstNumber(stmt);
  });
  bool answered = other.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
  auto took = Clock::now() - started;
  EXPECT_TRUE(running.StillRunningAfter(milliseconds(0)));
  EXPECT_EQ(running.Stop(), "HY008");
  ASSERT_TRUE(answered) << "the second connection waited for the first one's query";
  EXPECT_EQ(other.get(), 10);
  EXPECT_LT(took, std::chrono::seconds(5));
}

TEST_F(ThreadsTest, CancelStopsItsStatementAndNotAnOpenCursorOfTheSameConnection) {
  SQLHDBC dbc = environment.Connect();
  ASSERT_NE(dbc, nullptr);
  SQLHSTMT reading = NewStatement(dbc);
  ASSERT_EQ(Execute(reading, "SELECT id FROM avion ORDER BY id"), SQL_SUCCESS);
  EXPECT_EQ(FirstNumber(reading), 1);

  SQLHSTMT endless = NewStatement(dbc);
  {
    Running running(dbc, endless, [&] { return Execute(endless, kEndless); });
    ASSERT_TRUE(running.StillRunningAfter(milliseconds(300)));
    EXPECT_EQ(running.Stop(), "HY008");
  }
  // The cursor of the other statement reads on where it was.
  EXPECT_EQ(FirstNumber(reading), 2);
  // And the cancelled statement runs again.
  ASSERT_EQ(SQLFreeStmt(endless, SQL_CLOSE), SQL_SUCCESS);
  ASSERT_EQ(Execute(endless, "SELECT COUNT(*) FROM n"), SQL_SUCCESS);
  EXPECT_EQ(FirstNumber(endless), 1000);
}

// SQLCancel in a loop on one thread while another prepares, runs, reads and closes the same
// statement: every call answers as ODBC allows, and nothing is read while it is replaced.
TEST_F(ThreadsTest, CancelAtAnyMomentOfAStatementsLife) {
  SQLHDBC dbc = environment.Connect();
  ASSERT_NE(dbc, nullptr);
  SQLHSTMT stmt = NewStatement(dbc);
  std::atomic<bool> done{false};
  Canceller cancel(dbc, stmt);
  std::thread canceller([&] {
    while (!done.load()) EXPECT_EQ(cancel(), SQL_SUCCESS);
  });
  for (int round = 0; round < 200; ++round) {
    std::string text = "SELECT v FROM n WHERE v <= " + std::to_string(round % 50 + 1);
    SQLRETURN rc = SQLPrepare(stmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
    ASSERT_EQ(rc, SQL_SUCCESS);
    rc = SQLExecute(stmt);
    if (rc == SQL_SUCCESS) {
      while ((rc = SQLFetch(stmt)) == SQL_SUCCESS) {
      }
    }
    if (rc == SQL_ERROR) {
      EXPECT_EQ(StateOf(SQL_HANDLE_STMT, stmt), "HY008");
    }
    SQLFreeStmt(stmt, SQL_CLOSE);
  }
  done.store(true);
  canceller.join();
  // With the cancels over, none of them is left pending: the statement runs to its end.
  ASSERT_EQ(Execute(stmt, "SELECT COUNT(*) FROM n WHERE v <= 50"), SQL_SUCCESS);
  EXPECT_EQ(FirstNumber(stmt), 50);
}

TEST_F(ThreadsTest, EachStatementKeepsItsOwnQueryTimeout) {
  struct Case {
    SQLULEN seconds;       // SQL_ATTR_QUERY_TIMEOUT of the statement
    const char* statement;
    const char* outcome;   // the answer's first value, or the SQLSTATE of its error
  };
  const Case cases[] = {
      {0, "SELECT COUNT(*) FROM n a, n b", "1000000"},
      {10000000000ULL, "SELECT COUNT(*) FROM n a, n b", "1000000"},     // beyond what a clock counts
      {~SQLULEN{0}, "SELECT COUNT(*) FROM n a, n b", "1000000"},
      {1, kEndless, "HYT00"},
  };
  SQLHDBC dbc = environment.Connect();
  ASSERT_NE(dbc, nullptr);
  for (const Case& c : cases) {
    SQLHSTMT stmt = NewStatement(dbc);
    ASSERT_EQ(SQLSetStmtAttr(stmt, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(c.seconds), 0),
              SQL_SUCCESS);
    auto started = Clock::now();
    SQLRETURN rc = Execute(stmt, c.statement);
    std::string got = rc == SQL_SUCCESS ? std::to_string(FirstNumber(stmt)) : StateOf(SQL_HANDLE_STMT, stmt);
    EXPECT_EQ(got, c.outcome) << c.statement << " with a timeout of " << c.seconds;
    if (c.seconds == 1) {
      EXPECT_LT(Clock::now() - started, std::chrono::seconds(10));
    }
    SQLFreeHandle(SQL_HANDLE_STMT, stmt);
  }

  // A statement without a limit is not stopped by the limit of another one run after it.
  SQLHSTMT unlimited = NewStatement(dbc);
  SQLHSTMT limited = NewStatement(dbc);
  ASSERT_EQ(SQLSetStmtAttr(limited, SQL_ATTR_QUERY_TIMEOUT, reinterpret_cast<SQLPOINTER>(1), 0), SQL_SUCCESS);
  ASSERT_EQ(Execute(unlimited, kFirstRowThenEndless), SQL_SUCCESS);
  ASSERT_EQ(FirstNumber(unlimited), 1);
  ASSERT_EQ(Execute(limited, "SELECT COUNT(*) FROM avion"), SQL_SUCCESS);
  EXPECT_EQ(FirstNumber(limited), 10);
  Running second(dbc, unlimited, [&] { return SQLFetch(unlimited); });
  EXPECT_TRUE(second.StillRunningAfter(milliseconds(2500))) << "stopped by another statement's timeout";
  EXPECT_EQ(second.Stop(), "HY008");
}

// Eight threads, each with its connection on one shared environment, read the same table.
TEST_F(ThreadsTest, ConnectionsOnThreadsReadTheSameFile) {
  constexpr int kThreads = 8;
  std::vector<std::future<long long>> sums;
  for (int t = 0; t < kThreads; ++t) {
    sums.push_back(std::async(std::launch::async, [&] {
      SQLHDBC dbc = environment.Connect();
      if (dbc == SQL_NULL_HDBC) return -1LL;
      long long sum = 0;
      for (int round = 0; round < 5; ++round) {
        SQLHSTMT stmt = NewStatement(dbc);
        if (Execute(stmt, "SELECT v FROM n") != SQL_SUCCESS) return -2LL;
        SQLINTEGER v = 0;
        SQLBindCol(stmt, 1, SQL_C_SLONG, &v, 0, nullptr);
        while (SQLFetch(stmt) == SQL_SUCCESS) sum += v;
        SQLFreeHandle(SQL_HANDLE_STMT, stmt);
      }
      return sum;
    }));
  }
  for (auto& sum : sums) EXPECT_EQ(sum.get(), 5 * 500500LL);
}

}  // namespace
}  // namespace drivertest
