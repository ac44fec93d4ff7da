// Opening a recordset that has no statement yet: on a connection that is not open, on no
// connection at all (the recordset then makes its own), with the static-cursor probe and the
// reconnection with the cursor library, and the failures of each step.
#include <algorithm>

#include "tests/db/support/db_fixture.h"

namespace {

// The recordset's own connect string ("ODBC;") leaves an empty text for the driver, asked to
// complete it.
const auto kConnectsWithAnEmptyText = Contains(::testing::AllOf(
    StartsWith("SQLDriverConnectW(dbc#1, "), HasSubstr(", \"\", SQL_NTS, "),
    HasSubstr("SQL_DRIVER_COMPLETE)")));

std::string CursorLibraryLine(const char* connection) {
  return std::string("SQLSetConnectOptionW(") + connection + ", SQL_ODBC_CURSORS, " +
         std::to_string(SQL_CUR_USE_IF_NEEDED) + ") -> SQL_SUCCESS";
}

using OpenConnection = DbTest;

TEST_F(OpenConnection, RecordsetOnAClosedConnectionOpensIt) {
  CRecordset rs(database.get());
  ASSERT_EQ(rs.m_hstmt, nullptr);
  ASSERT_TRUE(database->m_listRecordsets.IsEmpty());

  ASSERT_TRUE(rs.Open(CRecordset::staticCursor, kBrandStatement, CRecordset::addOnly));

  EXPECT_TRUE(database->IsOpen());
  EXPECT_EQ(rs.m_pDatabase, database.get());
  EXPECT_FALSE(rs.m_bRecordsetDb);
  const std::vector<std::string> lines = CallLinesAfter(0);
  // A static recordset that may change rows asks for the cursor library; the data source
  // name is empty and the connect string has lost its "ODBC;".
  EXPECT_THAT(lines, Contains(StartsWith(CursorLibraryLine("dbc#1"))));
  EXPECT_THAT(lines, kConnectsWithAnEmptyText);
  // No statement existed to ask whether it was open, and the static probe was not needed.
  const auto alloc = std::find(lines.begin(), lines.end(),
                               "SQLAllocStmt(dbc#1, &stmt#1) -> SQL_SUCCESS");
  ASSERT_NE(alloc, lines.end());
  EXPECT_THAT(std::vector<std::string>(lines.begin(), alloc),
              Not(Contains(StartsWith("SQLNumResultCols"))));
  EXPECT_THAT(lines, Contains(HasSubstr("SQL_SCROLL_OPTIONS")).Times(1));
  ASSERT_EQ(database->m_listRecordsets.GetCount(), 1);
  EXPECT_EQ(database->m_listRecordsets.GetHead(), &rs);
  EXPECT_EQ(rs.m_lCurrentRow, 0);
}

TEST_F(OpenConnection, RecordsetAskingForTheCursorLibraryGetsIt) {
  CRecordset rs(database.get());
  rs.m_bCursorLibrary = TRUE;
  // A read-only static recordset would not need it by itself; with it, no probe is made.
  ASSERT_TRUE(rs.Open(CRecordset::staticCursor, kBrandStatement, CRecordset::readOnly));
  const std::vector<std::string> lines = CallLinesAfter(0);
  EXPECT_THAT(lines, Contains(StartsWith(CursorLibraryLine("dbc#1"))));
  EXPECT_THAT(lines, Contains(HasSubstr("SQL_SCROLL_OPTIONS")).Times(1));
}

TEST_F(OpenConnection, ReadOnlyStaticRecordsetProbesAndKeepsADriverWithStaticCursors) {
  OpenBrands(CRecordset::readOnly);
  const std::vector<std::string> lines = CallLinesAfter(0);
  EXPECT_THAT(lines, Not(Contains(StartsWith("SQLSetConnectOptionW(dbc#1, SQL_ODBC_CURSORS"))));
  EXPECT_EQ(CountCallsAfter(0, "SQLDriverConnectW"), 1);
  // The probe comes before the statement is allocated.
  const auto probe = std::find(lines.begin(), lines.end(),
                               "SQLGetInfoW(dbc#1, SQL_SCROLL_OPTIONS, 4) -> SQL_SUCCESS");
  const auto alloc = std::find(lines.begin(), lines.end(),
                               "SQLAllocStmt(dbc#1, &stmt#1) -> SQL_SUCCESS");
  ASSERT_NE(probe, lines.end());
  EXPECT_LT(probe, alloc);
}

TEST_F(OpenConnection, DriverWithoutStaticCursorsIsReconnectedWithTheCursorLibrary) {
  // Only the probe right after the first connection finds no static cursor; once reconnected,
  // the driver (through the cursor library) offers one.
  const int connectionQueries = InfoQueriesOfConnectionOpen();
  Answer forwardOnly;
  forwardOnly.number = SQL_SO_FORWARD_ONLY;
  fakeodbc::answer(Fn::SQLGetInfoW, connectionQueries + 1, forwardOnly);

  CRecordset& rs = OpenBrands(CRecordset::readOnly);

  const std::vector<std::string> lines = CallLinesAfter(0);
  EXPECT_EQ(CountCallsAfter(0, "SQLDriverConnectW"), 2);
  EXPECT_EQ(CountCallsAfter(0, "SQLDisconnect"), 1);
  EXPECT_EQ(CountCallsAfter(0, "SQLFreeConnect"), 1);
  EXPECT_THAT(lines, Not(Contains(StartsWith("SQLSetConnectOptionW(dbc#1, SQL_ODBC_CURSORS"))));
  EXPECT_THAT(lines, Contains(StartsWith(CursorLibraryLine("dbc#2"))));
  // The statement belongs to the new connection.
  EXPECT_THAT(lines, Contains(StartsWith("SQLAllocStmt(dbc#2, &stmt#1)")));
  EXPECT_TRUE(database->IsOpen());
  EXPECT_EQ(rs.m_lCurrentRow, 0);
}

TEST_F(OpenConnection, DriverWithoutStaticCursorsEvenThroughTheCursorLibraryIsRefused) {
  fakeodbc::setInfo(SQL_SCROLL_OPTIONS, InfoValue::int32(SQL_SO_FORWARD_ONLY));
  CRecordset rs(database.get());
  RaisedError raised = CatchRaised(
      [&] { rs.Open(CRecordset::staticCursor, kBrandStatement, CRecordset::readOnly); });
  ASSERT_TRUE(IsDbError(raised, dbErrorStaticCursorUnsupported));
  EXPECT_EQ(CountCallsAfter(0, "SQLDriverConnectW"), 2);
  ExpectClosed(rs, database.get());
  EXPECT_EQ(LiveStatements(), 0);
}

TEST_F(OpenConnection, FailingStaticProbeIsTracedTwiceAndPassedOn) {
  const int connectionQueries = InfoQueriesOfConnectionOpen();
  fakeodbc::answer(Fn::SQLGetInfoW, connectionQueries + 1,
                   Answer::fail(SQL_ERROR, {Diag{"S1000", 0, u"[FakeODBC][Driver]No answer"}}));
  TraceCapture traces;
  CRecordset rs(database.get());
  RaisedError raised = CatchRaised(
      [&] { rs.Open(CRecordset::staticCursor, kBrandStatement, CRecordset::readOnly); });

  ASSERT_NE(raised.db(), nullptr);
  EXPECT_EQ(raised.db()->m_strErrorText, u"No answer\n");
  EXPECT_THAT(traces.Texts(), Contains("Error: ODBC failure checking for driver capabilities.\n"));
  EXPECT_EQ(traces.Last(), "Error: CDatabase create for CRecordset failed.\n");
  // The connection is the caller's and stays; no statement was made, no close was done.
  EXPECT_EQ(rs.m_pDatabase, database.get());
  EXPECT_TRUE(database->IsOpen());
  EXPECT_EQ(rs.m_hstmt, nullptr);
  EXPECT_EQ(rs.m_lOpen, -1);
  EXPECT_EQ(rs.m_dwOpenOptions, DWORD{CRecordset::readOnly});
  EXPECT_EQ(CountCallsAfter(0, "SQLAllocStmt"), 0);
}

TEST_F(OpenConnection, FailingStatementAllocationRaisesInvalidHandle) {
  Connect(FALSE);
  CRecordset rs(database.get());
  ASSERT_NE(rs.m_hstmt, nullptr);
  rs.Close();
  fakeodbc::answer(Fn::SQLAllocStmt, 1, Answer::fail(SQL_ERROR));
  TraceCapture traces;

  RaisedError raised = CatchRaised(
      [&] { rs.Open(CRecordset::staticCursor, kBrandStatement, CRecordset::addOnly); });

  ASSERT_TRUE(IsDbError(raised, SQL_INVALID_HANDLE));
  EXPECT_TRUE(raised.db()->m_strErrorText.IsEmpty());
  EXPECT_THAT(traces.Texts(), ElementsAre("Error: CDatabase create for CRecordset failed.\n"));
  EXPECT_EQ(rs.m_hstmt, nullptr);
  EXPECT_EQ(rs.m_pDatabase, database.get());
  EXPECT_TRUE(database->m_listRecordsets.IsEmpty());
  EXPECT_EQ(LiveStatements(), 0);
}

TEST_F(OpenConnection, ConnectionThatRefusesToOpenMakesTheOpenAnswerFalse) {
  // The driver's dialog was cancelled.
  fakeodbc::answer(Fn::SQLDriverConnectW, 1, Answer::fail(SQL_NO_DATA));
  CRecordset rs(database.get());
  const std::size_t mark = fakeodbc::callCount();
  EXPECT_FALSE(rs.Open(CRecordset::staticCursor, kBrandStatement, CRecordset::addOnly));
  EXPECT_EQ(rs.m_hstmt, nullptr);
  EXPECT_FALSE(database->IsOpen());
  EXPECT_EQ(CountCallsAfter(mark, "SQLAllocStmt"), 0);
  // The arguments were taken all the same.
  EXPECT_EQ(rs.m_nOpenType, CRecordset::staticCursor);
  EXPECT_EQ(rs.m_dwOpenOptions, DWORD{CRecordset::addOnly});

  // A later open tries again.
  ASSERT_TRUE(rs.Open(CRecordset::staticCursor, kBrandStatement, CRecordset::addOnly));
  EXPECT_EQ(rs.m_lCurrentRow, 0);
}

class OpenOwnConnection : public DbTest {
 protected:
  void TearDown() override {
    // The recordsets of these tests own their connections; once they are gone nothing is left.
    DbTest::TearDown();
    EXPECT_EQ(GetDatabaseProcessState().nAllocated, 0);
    EXPECT_EQ(GetDatabaseProcessState().henvAllConnections, nullptr);
  }
};

TEST_F(OpenOwnConnection, RecordsetWithoutAConnectionMakesItsOwn) {
  fakeodbc::setCompletedConnectString(u"DRIVER={Scripted};DBQ=brands.mdb");
  {
    CRecordset rs(nullptr);
    ASSERT_TRUE(rs.Open(CRecordset::staticCursor, kBrandStatement, CRecordset::addOnly));
    ASSERT_NE(rs.m_pDatabase, nullptr);
    EXPECT_TRUE(rs.m_bRecordsetDb);
    EXPECT_TRUE(rs.m_pDatabase->IsOpen());
    EXPECT_EQ(rs.m_pDatabase->m_strConnect, u"ODBC;DRIVER={Scripted};DBQ=brands.mdb");
    EXPECT_EQ(rs.m_pDatabase->m_listRecordsets.GetHead(), &rs);
    EXPECT_THAT(CallLinesAfter(0), kConnectsWithAnEmptyText);
    EXPECT_EQ(rs.m_lCurrentRow, 0);
  }
  // Its destruction closed the recordset and deleted the connection.
  const fakeodbc::HandleBalance balance = fakeodbc::handleBalance();
  EXPECT_TRUE(balance.balanced()) << balance.text();
  EXPECT_EQ(balance.dbc.live, 0);
}

TEST_F(OpenOwnConnection, OwnConnectionThatCannotConnectIsDeleted) {
  fakeodbc::answer(Fn::SQLDriverConnectW, 1,
                   Answer::fail(SQL_ERROR, {Diag{"IM002", 0,
                                                 u"[unixODBC][Driver Manager]Data source name not "
                                                 u"found, and no default driver specified"}}));
  CRecordset rs(nullptr);
  RaisedError raised = CatchRaised(
      [&] { rs.Open(CRecordset::staticCursor, kBrandStatement, CRecordset::addOnly); });

  ASSERT_TRUE(IsDbError(raised, SQL_ERROR));
  EXPECT_TRUE(raised.db()->HasState(u"State:IM002"));
  EXPECT_EQ(traces.Texts().back(), "Error: CDatabase create for CRecordset failed.\n");
  EXPECT_EQ(rs.m_pDatabase, nullptr);
  EXPECT_TRUE(rs.m_bRecordsetDb);
  EXPECT_EQ(rs.m_hstmt, nullptr);
  // What ApplyOpenArguments set stays set.
  EXPECT_EQ(rs.m_nOpenType, CRecordset::staticCursor);
  EXPECT_EQ(rs.m_dwOpenOptions, DWORD{CRecordset::addOnly});
  EXPECT_TRUE(rs.m_bAppendable);
  EXPECT_EQ(fakeodbc::handleBalance().dbc.live, 0);
}

TEST_F(OpenOwnConnection, OwnConnectionWhoseDialogWasCancelledStaysWithTheRecordset) {
  fakeodbc::answer(Fn::SQLDriverConnectW, 1, Answer::fail(SQL_NO_DATA));
  CRecordset rs(nullptr);
  EXPECT_FALSE(rs.Open(CRecordset::staticCursor, kBrandStatement, CRecordset::addOnly));
  ASSERT_NE(rs.m_pDatabase, nullptr);
  EXPECT_TRUE(rs.m_bRecordsetDb);
  EXPECT_FALSE(rs.m_pDatabase->IsOpen());
  EXPECT_EQ(rs.m_hstmt, nullptr);
}

TEST_F(OpenOwnConnection, OwnConnectionIsDeletedWhenTheStatementCannotBeMade) {
  fakeodbc::answer(Fn::SQLAllocStmt, 1, Answer::fail(SQL_ERROR));
  CRecordset rs(nullptr);
  RaisedError raised = CatchRaised(
      [&] { rs.Open(CRecordset::staticCursor, kBrandStatement, CRecordset::addOnly); });
  ASSERT_TRUE(IsDbError(raised, SQL_INVALID_HANDLE));
  EXPECT_EQ(rs.m_pDatabase, nullptr);
  EXPECT_EQ(rs.m_hstmt, nullptr);
  const fakeodbc::HandleBalance balance = fakeodbc::handleBalance();
  EXPECT_EQ(balance.dbc.live, 0);
  EXPECT_EQ(balance.stmt.live, 0);
}

TEST_F(OpenOwnConnection, FailureAfterTheStatementClosesAndTheDestructorDeletesTheConnection) {
  fakeodbc::answer(Fn::SQLPrepareW, 1,
                   Answer::fail(SQL_ERROR, {Diag{"37000", 0, u"[FakeODBC][Driver]Syntax"}}));
  {
    CRecordset rs(nullptr);
    RaisedError raised = CatchRaised(
        [&] { rs.Open(CRecordset::staticCursor, kBrandStatement, CRecordset::addOnly); });
    ASSERT_NE(raised.db(), nullptr);
    // The connection stays with the recordset; the recordset is closed.
    ASSERT_NE(rs.m_pDatabase, nullptr);
    EXPECT_TRUE(rs.m_pDatabase->IsOpen());
    ExpectClosed(rs, rs.m_pDatabase);
    EXPECT_EQ(LiveStatements(), 0);
  }
  EXPECT_EQ(fakeodbc::handleBalance().dbc.live, 0);
}

}  // namespace
