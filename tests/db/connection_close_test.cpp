// Closing and releasing a connection: the recordsets registered on it, failures on the way,
// the shared environment, the destructor's report, and the diagnostic dump.
#include <cstdio>
#include <functional>
#include <regex>
#include <thread>

#include "framework/dump_context.h"
#include "tests/db/support/db_fixture.h"

namespace {

constexpr char kCloseIgnored[] =
    "Error: exception by CDatabase::Close() ignored in CDatabase::Free().\n";
constexpr char kFreeEnvIgnored[] = "Error: SQLFreeEnv failure ignored in CDatabase::Free().\n";

// A recordset whose Close does what the connection relies on: it drops its statement, if it
// has one, and takes itself off its connection's list under the database lock. It notes its
// name in `closed` and, when asked to, raises instead.
class StandInRecordset : public CRecordset {
 public:
  StandInRecordset(CDatabase* database, std::string name, std::vector<std::string>& closed)
      : CRecordset(database), m_name(std::move(name)), m_closed(closed) {}
  // Registered on `database` without a statement, as a recordset not open yet.
  StandInRecordset(CDatabase& database, std::string name, std::vector<std::string>& closed)
      : StandInRecordset(nullptr, std::move(name), closed) { Register(*this, database); }

  // Registers without a statement, the way a recordset that is not open yet would be listed.
  static void Register(CRecordset& recordset, CDatabase& database) {
    recordset.m_pDatabase = &database;
    DatabaseLock lock;
    database.m_listRecordsets.AddHead(&recordset);
  }

  // Takes a recordset off its connection's list under the database lock.
  static void Unregister(CRecordset& recordset) {
    DatabaseLock lock;
    CPtrList& list = recordset.m_pDatabase->m_listRecordsets;
    auto at = list.Find(&recordset);
    if (at != list.End()) list.RemoveAt(at);
  }

  void Close() override {
    m_closed.push_back(m_name);
    if (raise) raise();
    if (m_hstmt != SQL_NULL_HSTMT) {
      SQLFreeStmt(m_hstmt, SQL_DROP);
      m_hstmt = SQL_NULL_HSTMT;
    }
    Unregister(*this);
  }

  std::function<void()> raise;  // raises from Close when set

 private:
  std::string m_name;
  std::vector<std::string>& m_closed;
};

// An error whose end is counted, to see that it is disposed of.
class CountedError : public CException {
 public:
  explicit CountedError(int& ended) : m_ended(ended) {}
  ~CountedError() override { ++m_ended; }

 private:
  int& m_ended;
};

// Whether another thread can take the database lock now.
bool LockIsFree() {
  bool taken = false;
  std::thread other([&] {
    std::recursive_mutex& lock = ProcessLock(ProcessLockId::Database);
    taken = lock.try_lock();
    if (taken) lock.unlock();
  });
  other.join();
  return taken;
}

class CloseTest : public DbTest {
 protected:
  CloseTest() { expectBalancedHandles = false; }
  void OpenDatabase(CDatabase& database) {
    ASSERT_TRUE(database.Open(nullptr, FALSE, FALSE, u"DSN=a", TRUE));
    ForgetCallsAndTraces();
  }

  CDatabase database;  // the connection a test opens, in place of the fixture's
  std::vector<std::string> closed;
};

// Registered recordsets

TEST_F(CloseTest, DestructionClosesTheRecordsetsThenTheConnectionAndTheEnvironment) {
  auto database = std::make_unique<CDatabase>();
  OpenDatabase(*database);
  // Constructed on the open connection: each allocates a statement and registers itself.
  StandInRecordset older(database.get(), "older", closed);
  StandInRecordset newer(database.get(), "newer", closed);
  ASSERT_EQ(database->m_listRecordsets.GetCount(), 2);
  fakeodbc::clearLog();

  database.reset();

  // Most recently registered first.
  EXPECT_THAT(closed, ElementsAre("newer", "older"));
  EXPECT_THAT(Calls(), ElementsAreArray(Concat({"SQLFreeStmt(stmt#2, SQL_DROP) -> SQL_SUCCESS",
                                                "SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS"},
                                               ReleaseCalls())));
  EXPECT_EQ(older.m_pDatabase, nullptr);
  EXPECT_EQ(newer.m_pDatabase, nullptr);
  EXPECT_TRUE(fakeodbc::handleBalance().balanced()) << fakeodbc::handleBalance().text();
  EXPECT_THAT(traces.Records(), IsEmpty());
}

TEST_F(CloseTest, CloseEmptiesTheListAndLeavesTheEnvironment) {
  OpenDatabase(database);
  StandInRecordset a(database, "a", closed);
  StandInRecordset b(database, "b", closed);
  database.Close();
  EXPECT_THAT(closed, ElementsAre("b", "a"));
  EXPECT_TRUE(database.m_listRecordsets.IsEmpty());
  EXPECT_THAT(Calls(), ElementsAreArray(ReleaseCalls("dbc#1", false)));
  EXPECT_EQ(Process().nAllocated, 0);
  EXPECT_NE(Process().henvAllConnections, nullptr);
  EXPECT_TRUE(LockIsFree());
}

TEST_F(CloseTest, RecordsetsOfAClosedConnectionAreClosedToo) {
  StandInRecordset a(database, "a", closed);
  database.Close();
  EXPECT_THAT(closed, ElementsAre("a"));
  EXPECT_EQ(a.m_pDatabase, nullptr);
  EXPECT_THAT(Calls(), IsEmpty());
}

TEST_F(CloseTest, ARecordsetThatStaysListedIsTakenOffSoCloseEnds) {
  // A recordset whose Close forgets to unregister would otherwise be closed forever.
  class Forgetful : public CRecordset {
   public:
    void Close() override {
      // Unregisters only when closed again, so that a connection that loops ends the test
      // with a count above one instead of hanging it.
      if (++closes > 1) {
        DatabaseLock lock;
        owner->m_listRecordsets.RemoveAt(owner->m_listRecordsets.Find(this));
      }
    }
    int closes = 0;
    CDatabase* owner = nullptr;
  } forgetful;
  StandInRecordset::Register(forgetful, database);
  forgetful.owner = &database;
  database.Close();
  EXPECT_EQ(forgetful.closes, 1);
  EXPECT_TRUE(database.m_listRecordsets.IsEmpty());
  EXPECT_EQ(forgetful.m_pDatabase, nullptr);
}

TEST_F(CloseTest, ARecordsetCloseRaisingDuringClosePassesTheErrorOn) {
  OpenDatabase(database);
  StandInRecordset first(database, "first", closed);
  StandInRecordset failing(database, "failing", closed);
  StandInRecordset last(database, "last", closed);
  CDBException* thrown = nullptr;
  failing.raise = [&] {
    thrown = new CDBException(SQL_ERROR);
    throw thrown;
  };

  const RaisedError caught = CatchRaised([&] { database.Close(); });

  ASSERT_TRUE(caught);
  EXPECT_EQ(caught.get(), thrown);
  EXPECT_TRUE(LockIsFree());
  // Still connected, still counted; the recordset closed before stays closed.
  EXPECT_THAT(closed, ElementsAre("last", "failing"));
  EXPECT_TRUE(database.IsOpen());
  EXPECT_EQ(Process().nAllocated, 1);
  EXPECT_THAT(Calls(), IsEmpty());
  EXPECT_EQ(last.m_pDatabase, nullptr);
  EXPECT_EQ(failing.m_pDatabase, &database);
  EXPECT_EQ(database.m_listRecordsets.GetCount(), 2);

  // Once the recordset closes normally, the connection closes.
  failing.raise = nullptr;
  closed.clear();
  database.Close();
  EXPECT_THAT(closed, ElementsAre("failing", "first"));
  EXPECT_FALSE(database.IsOpen());
}

TEST_F(CloseTest, ARecordsetCloseRaisingDuringFreeIsTracedAndSwallowed) {
  OpenDatabase(database);
  StandInRecordset failing(database, "failing", closed);
  int ended = 0;
  failing.raise = [&] { throw new CountedError(ended); };

  database.Free();

  EXPECT_EQ(ended, 1);  // disposed of
  EXPECT_THAT(traces.Texts(), ElementsAre(kCloseIgnored));
  // The handle stays allocated and counted, so the environment stays as well.
  EXPECT_TRUE(database.IsOpen());
  EXPECT_EQ(Process().nAllocated, 1);
  EXPECT_NE(Process().henvAllConnections, nullptr);
  EXPECT_THAT(Calls(), IsEmpty());
  EXPECT_TRUE(LockIsFree());

  failing.raise = nullptr;
  database.Free();
  EXPECT_THAT(Calls(), ElementsAreArray(ReleaseCalls()));
}

TEST_F(CloseTest, ARecordsetCloseRaisingDuringDestructionIsTracedAndSwallowed) {
  StandInRecordset failing(nullptr, "failing", closed);
  int ended = 0;
  failing.raise = [&] { throw new CountedError(ended); };
  {
    CDatabase database;
    OpenDatabase(database);
    StandInRecordset::Register(failing, database);
  }
  EXPECT_EQ(ended, 1);
  EXPECT_THAT(traces.Texts(), ElementsAre(kCloseIgnored));
  EXPECT_THAT(traces.Texts(TraceCategory::AppMsg), IsEmpty());
  EXPECT_EQ(Process().nAllocated, 1);
  // The recordset no longer points at the connection that is gone.
  EXPECT_EQ(failing.m_pDatabase, nullptr);
  failing.raise = nullptr;
}

// Failures of the release calls

TEST_F(CloseTest, FailedDisconnectAndFreeStillForgetTheHandle) {
  OpenDatabase(database);
  fakeodbc::answer(Fn::SQLDisconnect, 1, Answer::fail(SQL_ERROR));
  fakeodbc::answer(Fn::SQLFreeConnect, 1, Answer::fail(SQL_ERROR));
  database.Close();
  EXPECT_THAT(Calls(), ElementsAre("SQLDisconnect(dbc#1) -> SQL_ERROR",
                                   "SQLFreeConnect(dbc#1) -> SQL_ERROR"));
  EXPECT_FALSE(database.IsOpen());
  EXPECT_EQ(Process().nAllocated, 0);
  EXPECT_THAT(traces.Records(), IsEmpty());
}

TEST_F(CloseTest, FailedEnvironmentReleaseIsTracedAndForgotten) {
  // So is a success with information, which is not SQL_SUCCESS.
  for (const Answer& answer : {Answer::fail(SQL_ERROR), Answer::withInfo({})}) {
    SetUp();
    CDatabase database;
    OpenDatabase(database);
    fakeodbc::answer(Fn::SQLFreeEnv, 1, answer);
    database.Free();
    EXPECT_THAT(traces.Texts(), ElementsAre(kFreeEnvIgnored));
    EXPECT_EQ(Process().henvAllConnections, nullptr);
  }
}

// The destructor's report of an error that escapes the release

class DestructorReportTest : public CloseTest {
 protected:
  // Makes the release fail in a way Free does not catch: the trace of a failed SQLFreeEnv
  // raises `error`.
  void RaiseFromTheRelease(std::function<CException*()> error) {
    fakeodbc::answer(Fn::SQLFreeEnv, 1, Answer::fail(SQL_ERROR));
    previous = SetTraceSink([this, error](const TraceRecord& r) {
      records.push_back(r);
      if (r.text == kFreeEnvIgnored) throw error();
    });
  }
  void TearDown() override { SetTraceSink(previous); }

  TraceSink previous;
  std::vector<TraceRecord> records;
};

TEST_F(DestructorReportTest, ErrorIsReportedOnAppMsgWithItsTextIfItHasOne) {
  struct Case {
    std::function<CException*()> error;
    const char* text;  // after the place of the report
  };
  const Case cases[] = {{[] {
                           auto* e = new CDBException(SQL_ERROR);
                           e->m_strErrorText = u"Release failed\n";
                           return e;
                         },
                         "Release failed\n\n"},
                        {[] { return new CInvalidArgException; }, ""}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SetUp();
    records.clear();
    {
      CDatabase database;
      OpenDatabase(database);
      RaiseFromTheRelease(c.error);
    }
    SetTraceSink(previous);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].text, kFreeEnvIgnored);
    EXPECT_EQ(records[1].category, TraceCategory::AppMsg);
    EXPECT_EQ(records[1].level, 0);
    EXPECT_TRUE(std::regex_match(
        records[1].text,
        std::regex(R"(Exception thrown in destructor \(\S*database_close\.cpp:[0-9]+\)\n)" +
                   std::string(c.text))))
        << records[1].text;
  }
}

// The diagnostic dump

std::string Pointer(const void* p) {
  char text[40];
  std::snprintf(text, sizeof text, "$%p", p);
  return text;
}

TEST_F(CloseTest, DumpWithAndWithoutTheEnvironment) {
  database.SetQueryTimeout(0xFFFFFFFF);
  database.SetLoginTimeout(20);
  ASSERT_TRUE(database.Open(nullptr, FALSE, FALSE, u"ODBC;DSN=dump", TRUE));
  database.m_bTransactionPending = TRUE;
  const std::string own = "a CDatabase at " + Pointer(&database) + "\nm_hdbc = " +
                          Pointer(database.m_hdbc) +
                          "\nm_strConnect = ODBC;DSN=dump\nm_bUpdatable = 1\nm_bTransactions = 1"
                          "\nm_bTransactionPending = 1\nm_dwLoginTimeout = 20"
                          "\nm_dwQueryTimeout = 4294967295";

  CDumpContext shallow(0);
  database.Dump(shallow);
  EXPECT_EQ(shallow.Text(), own + "\n");

  CDumpContext deep(1);
  database.Dump(deep);
  EXPECT_EQ(deep.Text(), own + "\nwith env:\n\tnAllocated = 1\n\thenvAllConnections = " +
                             Pointer(Process().henvAllConnections) + "\n");
}

TEST_F(CloseTest, DumpOfAClosedConnection) {
  CDumpContext dc(0);
  database.Dump(dc);
  EXPECT_EQ(dc.Text(), "a CDatabase at " + Pointer(&database) + "\nm_hdbc = " +
                           Pointer(nullptr) +
                           "\nm_strConnect = \nm_bUpdatable = 0\nm_bTransactions = 0"
                           "\nm_bTransactionPending = 0\nm_dwLoginTimeout = 15"
                           "\nm_dwQueryTimeout = 15\n");
  EXPECT_STREQ(database.GetRuntimeClass()->m_lpszClassName, "CDatabase");
  EXPECT_EQ(database.GetRuntimeClass()->m_pfnCreateObject, nullptr);
}

}  // namespace
