// Close: the statements dropped, the storage released, the recordset off its connection's
// list and in the closed state; on an already closed recordset only the warning; the
// connection's Close closing every recordset registered on it. And the destructor: an open
// recordset is closed implicitly (with a warning when it fetched several rows at once), errors
// inside are traced and swallowed, and a connection the recordset created is deleted with it.
#include <chrono>
#include <future>
#include <thread>

#include "tests/db/support/open_state.h"
#include "tests/db/support/table_cases.h"

namespace {

const char kNotFound[] = "WARNING: CRecordset not found in m_pDatabase->m_listRecordsets.\n";

void ExpectClosed(const CRecordset& recordset) {
  ::ExpectClosed(recordset, nullptr);
  ExpectHoldsNothing(recordset);
  EXPECT_FALSE(recordset.m_bDeleted);
}

// Records the multi-row exchange passes; releasing its buffers is its own business. During
// destruction only the base class's exchange runs, and that one refuses.
class BulkRecordset : public CRecordset {
 public:
  using CRecordset::CRecordset;
  void ExchangeFieldsInBulk(CFieldExchange* pFX) override { passes.push_back(pFX->m_nOperation); }
  std::vector<CFieldExchange::Mode> passes;
};

class CloseRecordset : public OpenStateTest {};

TEST_F(CloseRecordset, ClosingAnOpenRecordsetDropsItsStatementAndLeavesTheList) {
  CRecordset& recordset = Opened({CRecordset::staticCursor, CRecordset::none});
  recordset.MoveNext();
  recordset.MoveNext();
  recordset.m_strCursorName = u"SQL_CUR1";
  recordset.m_bHasLongBinary = TRUE;
  recordset.m_bParamsNeedRebind = TRUE;
  recordset.m_bLockMode = CRecordset::lockOnEdit;
  recordset.m_nEditMode = CRecordset::edit;
  ASSERT_TRUE(recordset.m_bUpdatable);
  ASSERT_TRUE(IsRegistered(&recordset));
  ForgetCallsAndTraces();

  recordset.Close();
  EXPECT_THAT(Calls(), ElementsAre("SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS"));
  EXPECT_TRUE(traces.Texts().empty());
  ExpectClosed(recordset);
  EXPECT_FALSE(IsRegistered(&recordset));
  EXPECT_FALSE(recordset.IsOpen());

  // The position, the open type and options and the texts stay for the next open.
  EXPECT_EQ(recordset.m_lCurrentRow, 2);
  EXPECT_EQ(recordset.m_lRowsKnown, 3);
  EXPECT_FALSE(recordset.m_bLastRowKnown);
  EXPECT_EQ(recordset.m_nOpenType, CRecordset::staticCursor);
  EXPECT_EQ(recordset.m_dwOpenOptions, static_cast<DWORD>(CRecordset::none));
  EXPECT_EQ(recordset.m_strSQL, kBrandStatement);
  EXPECT_EQ(recordset.m_strOpenedSQL, kBrandStatement);
  EXPECT_TRUE(database->IsOpen());
}

TEST_F(CloseRecordset, ClosingAgainOnlyWarnsThatTheRecordsetIsNotRegistered) {
  CRecordset& recordset = Opened();
  recordset.Close();
  ForgetCallsAndTraces();

  recordset.Close();
  EXPECT_TRUE(Calls().empty());
  EXPECT_THAT(traces.Texts(), ElementsAre(kNotFound));
  ExpectClosed(recordset);
}

TEST_F(CloseRecordset, ConstructedRecordsetIsClosedWithoutAWarning) {
  CRecordset recordset(database.get());
  ASSERT_TRUE(IsRegistered(&recordset));
  EXPECT_THAT(CallsOf([&] { recordset.Close(); }),
              ElementsAre("SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS"));
  EXPECT_TRUE(traces.Texts().empty());
  EXPECT_FALSE(IsRegistered(&recordset));
  ExpectClosed(recordset);
}

TEST_F(CloseRecordset, UpdateStatementIsDroppedAfterTheResultStatement) {
  CRecordset& recordset = Opened();
  ASSERT_EQ(SQLAllocStmt(database->m_hdbc, &recordset.m_hstmtUpdate), SQL_SUCCESS);
  EXPECT_THAT(CallsOf([&] { recordset.Close(); }),
              ElementsAre("SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS",
                          "SQLFreeStmt(stmt#2, SQL_DROP) -> SQL_SUCCESS"));
  ExpectClosed(recordset);
}

TEST_F(CloseRecordset, RefusedDropIsNeitherRepeatedNorReported) {
  CRecordset& recordset = Opened();
  fakeodbc::answer(Fn::SQLFreeStmt, 1, Answer::fail(SQL_ERROR, {{"S1000", 0, u"Busy"}}));
  ForgetCallsAndTraces();
  EXPECT_EQ(RunCatching([&] { recordset.Close(); }).kind, Raised::Nothing);
  EXPECT_THAT(Calls(), ElementsAre("SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_ERROR"));
  EXPECT_TRUE(traces.Texts().empty());
  ExpectClosed(recordset);
  EXPECT_FALSE(IsRegistered(&recordset));
  // The driver kept the statement; the disconnect releases it.
  expectBalancedHandles = false;
  database.reset();
  EXPECT_EQ(fakeodbc::handleBalance().stmtsReleasedByDisconnect, 1);
}

TEST_F(CloseRecordset, WithoutAConnectionCloseIsRefusedBeforeAnythingChanges) {
  CRecordset& recordset = Opened();
  const PositionSnapshot before = PositionSnapshot::Of(recordset);
  const HSTMT statement = recordset.m_hstmt;
  const WORD* rowStatus = recordset.m_pRowStatus;
  recordset.m_strCursorName = u"SQL_CUR1";
  recordset.m_pDatabase = nullptr;
  ForgetCalls();

  EXPECT_EQ(RunCatching([&] { recordset.Close(); }).kind, Raised::InvalidArgument);
  EXPECT_TRUE(Calls().empty());
  EXPECT_EQ(recordset.m_hstmt, statement);
  EXPECT_EQ(recordset.m_pRowStatus, rowStatus);
  EXPECT_NE(recordset.m_pColumnInfo, nullptr);
  EXPECT_EQ(recordset.m_nResultColumns, 1);
  EXPECT_EQ(recordset.m_strCursorName, u"SQL_CUR1");
  EXPECT_EQ(PositionSnapshot::Of(recordset), before);

  recordset.m_pDatabase = database.get();
  recordset.Close();
  ExpectClosed(recordset);
}

TEST_F(CloseRecordset, FieldAndParameterStorageIsReleased) {
  CRecordset recordset(database.get());
  recordset.m_nFields = 2;
  recordset.m_nParams = 1;
  PrepareOpenState(recordset);
  recordset.m_pBoundFieldInfo[0].m_pValueCopy = new CString(u"Airbus");
  recordset.m_pBoundFieldInfo[1].m_pValueCopy = new CString(u"France");
  recordset.m_pParamState = new BYTE[1]();
  recordset.m_pParamLengths = new LONG[1]();
  recordset.m_pFieldBuffers = new void*[2]{new BYTE[8](), nullptr};
  recordset.m_nFieldBuffers = 2;
  recordset.m_pParamBuffers = new void*[1]{new BYTE[4]()};
  recordset.m_nParamBuffers = 1;

  // The sanitizer build reports anything left behind or freed the wrong way.
  recordset.Close();
  ExpectClosed(recordset);
}

TEST_F(CloseRecordset, MultiRowBuffersAreReleasedByTheBulkExchangeUnlessTheCallerOwnsThem) {
  struct Case {
    DWORD options;
    DWORD bulkRows;
    bool released;
  };
  for (const Case& c : {Case{CRecordset::multiRowFetch, 25, true},
                        Case{CRecordset::multiRowFetch | CRecordset::callerRowBuffers, 25, false},
                        Case{CRecordset::multiRowFetch, 0, false},
                        Case{CRecordset::none, 25, false}}) {
    BulkRecordset recordset(database.get());
    PutInOpenState(recordset, {CRecordset::staticCursor, c.options});
    recordset.m_dwBulkRowsAllocated = c.bulkRows;
    recordset.Close();
    EXPECT_EQ(recordset.passes, std::vector(c.released ? 1 : 0, CFieldExchange::FreeBuffers))
        << "options " << c.options << ", rows " << c.bulkRows;
    EXPECT_EQ(recordset.m_dwBulkRowsAllocated, 0u);
  }
}

TEST_F(CloseRecordset, ListIsSearchedUnderTheProcessWideDatabaseLock) {
  CRecordset& recordset = Opened();

  std::promise<void> locked;
  std::promise<void> release;
  std::thread holder([&] {
    DatabaseLock lock;
    locked.set_value();
    release.get_future().wait();
  });
  locked.get_future().wait();

  std::future<void> closing = std::async(std::launch::async, [&] { recordset.Close(); });
  // While another thread holds the lock, Close cannot finish.
  EXPECT_EQ(closing.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  release.set_value();
  holder.join();
  closing.get();
  EXPECT_FALSE(IsRegistered(&recordset));
  ExpectClosed(recordset);
}

TEST_F(CloseRecordset, ConnectionCloseClosesEveryRegisteredRecordset) {
  std::unique_ptr<CRecordset> recordsets[3];  // two put in the open state, one only constructed
  for (auto& made : recordsets) made = std::make_unique<CRecordset>(database.get());
  PutInOpenState(*recordsets[0]);
  PutInOpenState(*recordsets[1]);
  ASSERT_EQ(database->m_listRecordsets.GetCount(), 3);
  ForgetCallsAndTraces();

  database->Close();
  // The most recently registered first.
  EXPECT_THAT(Calls(), ElementsAre("SQLFreeStmt(stmt#3, SQL_DROP) -> SQL_SUCCESS",
                                   "SQLFreeStmt(stmt#2, SQL_DROP) -> SQL_SUCCESS",
                                   "SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS",
                                   "SQLDisconnect(dbc#1) -> SQL_SUCCESS",
                                   "SQLFreeConnect(dbc#1) -> SQL_SUCCESS"));
  EXPECT_TRUE(traces.Texts().empty());
  EXPECT_TRUE(database->m_listRecordsets.IsEmpty());
  for (const auto& closed : recordsets) {
    ExpectClosed(*closed);
    EXPECT_EQ(closed->m_pDatabase, nullptr);
  }

  // Destroying them afterwards finds nothing left to do.
  ForgetCalls();
  for (auto& destroyed : recordsets) destroyed.reset();
  EXPECT_TRUE(Calls().empty());
  EXPECT_TRUE(traces.Texts().empty());
}

const char kIgnored[] = "Error: Exception ignored in ~CRecordset().\n";
const std::vector<std::string> kImplicitCloseWarning = {
    "\nWARNING: Close called implicitly from destructor.",
    "\nUse of multi row fetch requires explicit call", "\nto Close or memory leaks will result.\n"};

class DestroyRecordset : public CloseRecordset {
 protected:
  // Destroys the fixture's recordset, which must raise nothing, with the log and the traces
  // forgotten before; the calls of the destruction.
  std::vector<std::string> Destroy() {
    traces.Clear();
    return CallsOf(
        [&] { EXPECT_EQ(RunCatching([&] { recordset.reset(); }).kind, Raised::Nothing); });
  }
};

TEST_F(DestroyRecordset, OpenRecordsetIsClosedSilently) {
  Opened();
  recordset->MoveNext();
  EXPECT_THAT(Destroy(), ElementsAre("SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS"));
  EXPECT_TRUE(traces.Texts().empty());
  EXPECT_TRUE(database->m_listRecordsets.IsEmpty());
  EXPECT_TRUE(database->IsOpen());
}

TEST_F(DestroyRecordset, MultiRowRecordsetWarnsBeforeTheImplicitClose) {
  Opened({CRecordset::staticCursor, CRecordset::multiRowFetch});
  EXPECT_THAT(Destroy(), ElementsAre("SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS"));
  EXPECT_EQ(traces.Texts(), kImplicitCloseWarning);
  EXPECT_TRUE(database->m_listRecordsets.IsEmpty());
}

TEST_F(DestroyRecordset, ClosedRecordsetIsLeftAlone) {
  Opened({CRecordset::staticCursor, CRecordset::multiRowFetch}).Close();
  EXPECT_THAT(Destroy(), IsEmpty());
  EXPECT_TRUE(traces.Texts().empty());
}

TEST_F(DestroyRecordset, ErrorWhileClosingIsTracedAndSwallowed) {
  Opened();
  // Detached from its connection while still open: Close refuses.
  database->m_listRecordsets.RemoveAt(database->m_listRecordsets.Find(recordset.get()));
  recordset->m_pDatabase = nullptr;
  // What the refused close left behind is released all the same.
  EXPECT_THAT(Destroy(), ElementsAre("SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS"));
  EXPECT_THAT(traces.Texts(), ElementsAre(kIgnored));
}

TEST_F(DestroyRecordset, RecordsetWhoseCloseFailsPartWayStillLeavesItsConnection) {
  recordset = std::make_unique<BulkRecordset>(database.get());
  PutInOpenState(*recordset, {CRecordset::staticCursor, CRecordset::multiRowFetch});
  recordset->m_dwBulkRowsAllocated = 25;
  EXPECT_THAT(Destroy(), ElementsAre("SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS"));
  std::vector<std::string> expected = kImplicitCloseWarning;
  expected.push_back(kIgnored);
  EXPECT_EQ(traces.Texts(), expected);
  // The connection no longer refers to the destroyed object; closing it is safe.
  EXPECT_TRUE(database->m_listRecordsets.IsEmpty());
  database->Close();
  EXPECT_FALSE(database->IsOpen());
}

TEST_F(DestroyRecordset, ConnectionCreatedByOpenIsDeletedWithTheRecordset) {
  recordset = std::make_unique<CRecordset>(nullptr);
  ASSERT_TRUE(recordset->Open(CRecordset::staticCursor, kBrandStatement, CRecordset::addOnly));
  ASSERT_TRUE(recordset->m_bRecordsetDb);
  ASSERT_NE(recordset->m_pDatabase, database.get());
  EXPECT_FALSE(recordset->IsEOF());
  EXPECT_THAT(Destroy(), ElementsAre(StartsWith("SQLFreeStmt("),
                                     "SQLDisconnect(dbc#2) -> SQL_SUCCESS",
                                     "SQLFreeConnect(dbc#2) -> SQL_SUCCESS"));
  EXPECT_EQ(GetDatabaseProcessState().nAllocated, 1);
}

// A recordset on a connection of its own (dbc#2, beside the fixture's), put in the open state;
// `failingClose`: a multi-row recordset whose close fails.
struct OwnConnectionCase {
  const char* name;
  bool failingClose;
};
DB_PRINT_ROWS_BY_NAME(OwnConnectionCase)

using DestroyOwnConnection = CasesOf<DestroyRecordset, OwnConnectionCase>;

TEST_P(DestroyOwnConnection, DeletesTheConnectionAfterTheStatement) {
  auto own = std::make_unique<CDatabase>();
  ASSERT_TRUE(own->Open(nullptr, FALSE, FALSE, kTestConnect, TRUE));
  const bool failing = GetParam().failingClose;
  recordset = failing ? std::make_unique<BulkRecordset>(own.release())
                      : std::make_unique<CRecordset>(own.release());
  recordset->m_bRecordsetDb = TRUE;
  PutInOpenState(*recordset, {CRecordset::staticCursor,
                              failing ? CRecordset::multiRowFetch : CRecordset::addOnly});
  if (failing) recordset->m_dwBulkRowsAllocated = 25;
  // The statement of the recordset, then the second connection; the environment stays for
  // the first one.
  EXPECT_THAT(Destroy(), ElementsAre("SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS",
                                     "SQLDisconnect(dbc#2) -> SQL_SUCCESS",
                                     "SQLFreeConnect(dbc#2) -> SQL_SUCCESS"));
  EXPECT_EQ(GetDatabaseProcessState().nAllocated, 1);
  EXPECT_TRUE(database->IsOpen());
}

DB_NAMED_CASES(Closes, DestroyOwnConnection, OwnConnectionCase{"AfterClosing", false},
               OwnConnectionCase{"AlsoWhenClosingFails", true});

}  // namespace
