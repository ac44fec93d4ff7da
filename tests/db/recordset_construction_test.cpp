// Construction of a recordset (its starting values, the statement and the registration with
// its connection) and the IsOpen query, against the scripted driver manager.
#include <atomic>
#include <cstdlib>
#include <list>
#include <new>

#include "tests/db/support/db_fixture.h"

// Allocations go through malloc. While watched, allocations of a list node's size are counted,
// and the one with a given number can be refused: the registration of a recordset with its
// connection then fails.
namespace {
constexpr std::size_t kListNodeSize = sizeof(std::_List_node<void*>);
std::atomic<bool> g_watchNodes{false};
std::atomic<int> g_nodesSeen{0};
std::atomic<int> g_refusedNode{0};  // 0: none
}  // namespace

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  if (size == kListNodeSize && g_watchNodes && ++g_nodesSeen == g_refusedNode) {
    throw std::bad_alloc();
  }
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
#pragma GCC diagnostic pop

namespace {

// SQLNumResultCols answering a column count, after `still` answers of SQL_STILL_EXECUTING.
Answer Columns(int count, int still = 0) {
  Answer answer;
  answer.rc = SQL_SUCCESS;
  answer.number = count;
  answer.stillExecuting = still;
  return answer;
}

class RecordsetConstruction : public DbConnectedTest {
 protected:
  // Gives back what construction took: the statement and the place in the connection's list.
  void Release(CRecordset& rs) {
    rs.Close();
    EXPECT_FALSE(IsRegistered(&rs));
  }
};

TEST_F(RecordsetConstruction, OnAnOpenConnectionAllocatesAndRegisters) {
  CRecordset rs(&db);
  EXPECT_NE(rs.m_hstmt, nullptr);
  EXPECT_EQ(fakeodbc::handleName(rs.m_hstmt), "stmt#1");
  EXPECT_THAT(fakeodbc::callLines(), ElementsAre("SQLAllocStmt(dbc#1, &stmt#1) -> SQL_SUCCESS"));
  ASSERT_EQ(db.m_listRecordsets.GetCount(), 1);
  EXPECT_EQ(db.m_listRecordsets.GetHead(), &rs);
  EXPECT_EQ(rs.m_pDatabase, &db);
  EXPECT_EQ(rs.m_lOpen, -1);
  EXPECT_THAT(traces.Texts(), IsEmpty());
  Release(rs);
}

TEST_F(RecordsetConstruction, LaterRecordsetsGoToTheHead) {
  CRecordset first(&db);
  CRecordset second(&db);
  EXPECT_EQ(db.m_listRecordsets.GetCount(), 2);
  EXPECT_EQ(db.m_listRecordsets.GetHead(), &second);
  EXPECT_EQ(fakeodbc::handleName(second.m_hstmt), "stmt#2");
  Release(second);
  Release(first);
}

TEST_F(RecordsetConstruction, AllocationFailureIsSwallowed) {
  fakeodbc::answer(Fn::SQLAllocStmt, 1,
                   Answer::fail(SQL_ERROR, {{"S1001", 0, u"[FakeODBC][Driver]No memory"}}));
  CRecordset rs(&db);
  EXPECT_EQ(rs.m_hstmt, nullptr);
  EXPECT_TRUE(db.m_listRecordsets.IsEmpty());
  // The error for SQL_INVALID_HANDLE reads no diagnostics and traces nothing.
  EXPECT_THAT(fakeodbc::callNames(), ElementsAre("SQLAllocStmt"));
  EXPECT_THAT(traces.Texts(), IsEmpty());
  EXPECT_EQ(fakeodbc::handleBalance().stmt.allocated, 0);
}

TEST_F(RecordsetConstruction, AllocationWithInfoRegisters) {
  fakeodbc::answer(Fn::SQLAllocStmt, 1,
                   Answer::withInfo({{"01000", 0, u"[FakeODBC][Driver]Note"}}));
  CRecordset rs(&db);
  EXPECT_NE(rs.m_hstmt, nullptr);
  EXPECT_EQ(db.m_listRecordsets.GetHead(), &rs);
  EXPECT_EQ(traces.First(), "Warning: ODBC Success With Info, ");
  Release(rs);
}

TEST_F(RecordsetConstruction, FailedRegistrationDropsTheStatementAndForgetsTheConnection) {
  // The warning of the statement's note comes shortly before the registration. A first
  // construction counts the list-node allocations from then on; the registration's node is the
  // last of them, and the second construction has it refused.
  auto construct = [this] {
    fakeodbc::answer(Fn::SQLAllocStmt, 1,
                     Answer::withInfo({{"01000", 0, u"[FakeODBC][Driver]Note"}}));
    g_nodesSeen = 0;
    TraceSink previous = SetTraceSink([](const TraceRecord& record) {
      if (record.text.rfind("Warning: ODBC Success With Info", 0) == 0) g_watchNodes = true;
    });
    auto rs = std::make_unique<CRecordset>(&db);
    g_watchNodes = false;
    SetTraceSink(std::move(previous));
    return rs;
  };
  construct()->Close();
  ASSERT_GT(g_nodesSeen, 0);
  g_refusedNode = g_nodesSeen.load();
  auto rs = construct();
  g_refusedNode = 0;

  EXPECT_EQ(rs->m_hstmt, nullptr);
  EXPECT_EQ(rs->m_pDatabase, nullptr);
  EXPECT_TRUE(db.m_listRecordsets.IsEmpty());
  const fakeodbc::HandleBalance balance = fakeodbc::handleBalance();
  EXPECT_EQ(balance.stmt.allocated, balance.stmt.freed) << balance.text();
  // The connection may now go first; the recordset no longer reaches it.
  db.Close();
  rs.reset();
}

TEST(ConstructionWithoutConnection, ClosedConnectionGetsNoStatement) {
  fakeodbc::reset();
  CDatabase db;
  CRecordset rs(&db);
  EXPECT_EQ(rs.m_hstmt, nullptr);
  EXPECT_EQ(rs.m_pDatabase, &db);
  EXPECT_TRUE(db.m_listRecordsets.IsEmpty());
  EXPECT_THAT(fakeodbc::callNames(), IsEmpty());
}

TEST(ConstructionWithoutConnection, NullConnectionGetsNoStatement) {
  fakeodbc::reset();
  CRecordset rs(nullptr);
  EXPECT_EQ(rs.m_hstmt, nullptr);
  EXPECT_EQ(rs.m_pDatabase, nullptr);
  EXPECT_THAT(fakeodbc::callNames(), IsEmpty());
}

TEST(ConstructionWithoutConnection, StartingValues) {
  CRecordset rs(nullptr);
  ExpectHoldsNothing(rs);
  EXPECT_TRUE(rs.m_strWhereClause.IsEmpty());
  EXPECT_TRUE(rs.m_strOrderByClause.IsEmpty());
  EXPECT_EQ(rs.m_nFields, 0u);
  EXPECT_EQ(rs.m_nParams, 0u);
  EXPECT_TRUE(rs.m_bDirtyFieldCheck);
  EXPECT_FALSE(rs.m_bPositionedUpdates);
  EXPECT_EQ(rs.m_dwOpenOptions, 0u);
  EXPECT_FALSE(rs.m_bCursorLibrary);
  EXPECT_EQ(rs.m_nOpenType, CRecordset::staticCursor);
  EXPECT_EQ(rs.m_nDefaultOpenType, CRecordset::staticCursor);
  EXPECT_EQ(rs.m_lOpen, -1);
  EXPECT_EQ(rs.m_lRowsKnown, 0);
  EXPECT_EQ(rs.m_lCurrentRow, -2);
  EXPECT_FALSE(rs.m_bRecordsetDb);
  EXPECT_TRUE(rs.m_strSQL.IsEmpty());
  EXPECT_TRUE(rs.m_strChangeStatement.IsEmpty());
  EXPECT_TRUE(rs.m_strFromTable.IsEmpty());
  EXPECT_EQ(rs.m_dwFirstReadLength, 0u);
  EXPECT_EQ(rs.m_dwRowsPerFetch, 25u);
  EXPECT_TRUE(rs.m_strOpenedSQL.IsEmpty());
  EXPECT_TRUE(rs.m_strOpenedWhere.IsEmpty());
  EXPECT_TRUE(rs.m_strOpenedOrderBy.IsEmpty());
  EXPECT_EQ(rs.m_mapFieldPositions.GetCount(), 0);
  EXPECT_EQ(rs.m_mapParamPositions.GetCount(), 0);
  EXPECT_STREQ(rs.GetRuntimeClass()->m_lpszClassName, "CRecordset");
  EXPECT_EQ(rs.GetRuntimeClass()->m_pfnCreateObject, nullptr);
}

// A recordset constructed on the open connection, the calls and traces of its construction
// forgotten; it gives back what it took at the end.
class IsOpenQuery : public RecordsetConstruction {
 protected:
  void SetUp() override {
    RecordsetConstruction::SetUp();
    recordset = std::make_unique<CRecordset>(&db);
    rs = recordset.get();
    ForgetCallsAndTraces();
  }
  void TearDown() override {
    Release(*rs);
    RecordsetConstruction::TearDown();
  }
  CRecordset* rs = nullptr;
};

TEST_F(IsOpenQuery, NeverExecutedStatementIsNotOpen) {
  EXPECT_FALSE(rs->IsOpen());
  // The function sequence error is read without tracing; reading stops when none is left.
  EXPECT_THAT(fakeodbc::callNames(), ElementsAre("SQLNumResultCols", "SQLErrorW", "SQLErrorW"));
  EXPECT_THAT(traces.Texts(), IsEmpty());
  EXPECT_EQ(rs->m_lOpen, -1);
  EXPECT_TRUE(fakeodbc::pendingDiags(rs->m_hstmt).empty());
}

TEST_F(IsOpenQuery, OpenStateAnswersWithoutAskingTheDriver) {
  rs->m_lOpen = 1;
  EXPECT_TRUE(rs->IsOpen());
  EXPECT_THAT(fakeodbc::callNames(), IsEmpty());
}

TEST_F(IsOpenQuery, OpenedThenClosed) {
  ASSERT_TRUE(
      rs->Open(CRecordset::staticCursor, u"SELECT marque FROM avion ", CRecordset::addOnly));
  fakeodbc::clearLog();
  EXPECT_TRUE(rs->IsOpen());
  EXPECT_THAT(fakeodbc::callNames(), IsEmpty());
  rs->Close();
  fakeodbc::clearLog();
  EXPECT_FALSE(rs->IsOpen());
  EXPECT_THAT(fakeodbc::callNames(), IsEmpty());
}

TEST_F(IsOpenQuery, NoStatementIsNotOpen) {
  CRecordset rs(nullptr);
  rs.m_lOpen = 1;
  EXPECT_FALSE(rs.IsOpen());
  EXPECT_THAT(fakeodbc::callNames(), IsEmpty());
}

TEST_F(IsOpenQuery, ColumnCountDecides) {
  fakeodbc::answer(Fn::SQLNumResultCols, 1, Columns(2));
  fakeodbc::answer(Fn::SQLNumResultCols, 2, Columns(0));
  EXPECT_TRUE(rs->IsOpen());
  EXPECT_FALSE(rs->IsOpen());
  EXPECT_EQ(rs->m_lOpen, -1);
}

TEST_F(IsOpenQuery, StillExecutingIsRepeated) {
  fakeodbc::answer(Fn::SQLNumResultCols, 1, Answer::still(3));
  EXPECT_FALSE(rs->IsOpen());
  EXPECT_THAT(fakeodbc::callNames(),
              ElementsAre("SQLNumResultCols", "SQLNumResultCols", "SQLNumResultCols",
                          "SQLNumResultCols", "SQLErrorW", "SQLErrorW"));
}

TEST_F(IsOpenQuery, StillExecutingThenColumns) {
  fakeodbc::answer(Fn::SQLNumResultCols, 1, Columns(1, 2));
  EXPECT_TRUE(rs->IsOpen());
}

TEST_F(IsOpenQuery, OtherFailureIsTracedAndRaised) {
  fakeodbc::answer(Fn::SQLNumResultCols, 1,
                   Answer::fail(SQL_ERROR, {{"S1000", 7, u"[A][B] Broken"}}));
  const Raised raised = RunCatching([&] { rs->IsOpen(); });
  ASSERT_TRUE(
      IsDbError(raised, SQL_ERROR, "Broken\n", "State:S1000,Native:7,Origin:[A][B]\n"));
  EXPECT_THAT(traces.Texts(),
              ElementsAre("Error: SQLNumResultCols failed during IsOpen().\n", "Broken\n\n",
                          "State:S1000,Native:7,Origin:[A][B]\n\n"));
  EXPECT_THAT(fakeodbc::callNames(), ElementsAre("SQLNumResultCols", "SQLErrorW", "SQLErrorW"));
  // Nothing changed.
  EXPECT_EQ(rs->m_lOpen, -1);
  EXPECT_NE(rs->m_hstmt, nullptr);
  EXPECT_EQ(db.m_listRecordsets.GetHead(), rs);
}

TEST_F(IsOpenQuery, FunctionSequenceErrorAmongOtherRecordsStillMeansNotOpen) {
  fakeodbc::answer(Fn::SQLNumResultCols, 1,
                   Answer::fail(SQL_ERROR, {{"01000", 0, u"[X]first"},
                                            {"S1010", 0, u"[X]sequence"}}));
  EXPECT_FALSE(rs->IsOpen());
  EXPECT_THAT(traces.Texts(), IsEmpty());
}

TEST_F(IsOpenQuery, FailureWithoutDiagnosticsIsRaised) {
  fakeodbc::answer(Fn::SQLNumResultCols, 1, Answer::fail(SQL_ERROR));
  ASSERT_TRUE(IsDbError(RunCatching([&] { rs->IsOpen(); }), SQL_ERROR, ""));
  EXPECT_THAT(traces.Texts(),
              ElementsAre("Error: SQLNumResultCols failed during IsOpen().\n", "\n", "\n"));
}

}  // namespace
