// The destructor: an open recordset is closed implicitly (with a warning when it fetched
// several rows at once), errors inside are traced and swallowed, and a connection the
// recordset created for itself is deleted with it.
#include "tests/db/support/open_state.h"
#include "tests/db/support/table_cases.h"

namespace {

const char kIgnored[] = "Error: Exception ignored in ~CRecordset().\n";
const std::vector<std::string> kImplicitCloseWarning = {
    "\nWARNING: Close called implicitly from destructor.",
    "\nUse of multi row fetch requires explicit call",
    "\nto Close or memory leaks will result.\n"};

// A multi-row recordset that owns multi-row buffers: its own exchange would release them, but
// during destruction only the base class's runs, and that one refuses.
class BulkBufferRecordset : public CRecordset {
 public:
  using CRecordset::CRecordset;
  void ExchangeFieldsInBulk(CFieldExchange*) override {}
};

class DestroyRecordset : public DbConnectedTest {};

TEST_F(DestroyRecordset, OpenRecordsetIsClosedSilently) {
  auto recordset = std::make_unique<CRecordset>(database.get());
  PutInOpenState(*recordset);
  recordset->MoveNext();
  ForgetCalls();
  traces.Clear();

  recordset.reset();
  EXPECT_THAT(Calls(), ElementsAre("SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS"));
  EXPECT_TRUE(traces.Texts().empty());
  EXPECT_TRUE(database->m_listRecordsets.IsEmpty());
  EXPECT_TRUE(database->IsOpen());
}

TEST_F(DestroyRecordset, MultiRowRecordsetWarnsBeforeTheImplicitClose) {
  auto recordset = std::make_unique<CRecordset>(database.get());
  PutInOpenState(*recordset, {CRecordset::staticCursor, CRecordset::multiRowFetch});
  ForgetCalls();
  traces.Clear();

  recordset.reset();
  EXPECT_EQ(traces.Texts(), kImplicitCloseWarning);
  EXPECT_THAT(Calls(), ElementsAre("SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS"));
  EXPECT_TRUE(database->m_listRecordsets.IsEmpty());
}

TEST_F(DestroyRecordset, ClosedRecordsetIsLeftAlone) {
  auto recordset = std::make_unique<CRecordset>(database.get());
  PutInOpenState(*recordset, {CRecordset::staticCursor, CRecordset::multiRowFetch});
  recordset->Close();
  ForgetCalls();
  traces.Clear();

  recordset.reset();
  EXPECT_TRUE(Calls().empty());
  EXPECT_TRUE(traces.Texts().empty());
}

TEST_F(DestroyRecordset, ErrorWhileClosingIsTracedAndSwallowed) {
  auto recordset = std::make_unique<CRecordset>(database.get());
  PutInOpenState(*recordset);
  // Detached from its connection while still open: Close refuses.
  database->m_listRecordsets.RemoveAt(database->m_listRecordsets.Find(recordset.get()));
  recordset->m_pDatabase = nullptr;
  ForgetCalls();
  traces.Clear();

  EXPECT_EQ(RunCatching([&] { recordset.reset(); }).kind, Raised::Nothing);
  EXPECT_THAT(traces.Texts(), ElementsAre(kIgnored));
  // What the refused close left behind is released all the same.
  EXPECT_THAT(Calls(), ElementsAre("SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS"));
}

TEST_F(DestroyRecordset, RecordsetWhoseCloseFailsPartWayStillLeavesItsConnection) {
  auto recordset = std::make_unique<BulkBufferRecordset>(database.get());
  PutInOpenState(*recordset, {CRecordset::staticCursor, CRecordset::multiRowFetch});
  recordset->m_dwBulkRowsAllocated = 25;
  ForgetCalls();
  traces.Clear();

  EXPECT_EQ(RunCatching([&] { recordset.reset(); }).kind, Raised::Nothing);
  std::vector<std::string> expected = kImplicitCloseWarning;
  expected.push_back(kIgnored);
  EXPECT_EQ(traces.Texts(), expected);
  EXPECT_THAT(Calls(), ElementsAre("SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS"));
  // The connection no longer refers to the destroyed object; closing it is safe.
  EXPECT_TRUE(database->m_listRecordsets.IsEmpty());
  database->Close();
  EXPECT_FALSE(database->IsOpen());
}

TEST_F(DestroyRecordset, ConnectionCreatedByOpenIsDeletedWithTheRecordset) {
  auto recordset = std::make_unique<CRecordset>(nullptr);
  ASSERT_TRUE(recordset->Open(CRecordset::staticCursor, kBrandStatement, CRecordset::addOnly));
  ASSERT_TRUE(recordset->m_bRecordsetDb);
  ASSERT_NE(recordset->m_pDatabase, database.get());
  EXPECT_FALSE(recordset->IsEOF());
  ForgetCalls();

  recordset.reset();
  const std::vector<std::string> calls = Calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].rfind("SQLFreeStmt(", 0), 0u);
  EXPECT_EQ(calls[1], "SQLDisconnect(dbc#2) -> SQL_SUCCESS");
  EXPECT_EQ(calls[2], "SQLFreeConnect(dbc#2) -> SQL_SUCCESS");
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
  std::unique_ptr<CRecordset> recordset;
  if (GetParam().failingClose) {
    recordset = std::make_unique<BulkBufferRecordset>(own.release());
    recordset->m_bRecordsetDb = TRUE;
    PutInOpenState(*recordset, {CRecordset::staticCursor, CRecordset::multiRowFetch});
    recordset->m_dwBulkRowsAllocated = 25;
  } else {
    recordset = std::make_unique<CRecordset>(own.release());
    recordset->m_bRecordsetDb = TRUE;
    PutInOpenState(*recordset);
  }
  ForgetCalls();

  recordset.reset();
  // The statement of the recordset, then the second connection; the environment stays for
  // the first one.
  EXPECT_THAT(Calls(), ElementsAre("SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS",
                                   "SQLDisconnect(dbc#2) -> SQL_SUCCESS",
                                   "SQLFreeConnect(dbc#2) -> SQL_SUCCESS"));
  EXPECT_EQ(GetDatabaseProcessState().nAllocated, 1);
  EXPECT_TRUE(database->IsOpen());
}

INSTANTIATE_TEST_SUITE_P(Closes, DestroyOwnConnection,
                         ::testing::Values(OwnConnectionCase{"AfterClosing", false},
                                           OwnConnectionCase{"AlsoWhenClosingFails", true}),
                         CaseName<OwnConnectionCase>);

}  // namespace
