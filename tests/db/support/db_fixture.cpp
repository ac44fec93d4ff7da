#include "tests/db/support/db_fixture.h"

#include <algorithm>
#include <stdexcept>

DbTest::DbTest() : database(std::make_unique<CDatabase>()) {}

void DbTest::SetUp() {
  // A test that failed half way may have left the shared environment behind; the scripted
  // driver forgets its handles on reset, so the record must forget it too.
  fakeodbc::reset();
  Process() = DatabaseProcessState{};
  traces.Clear();
}

void DbTest::TearDown() {
  recordset.reset();
  database.reset();
  if (expectBalancedHandles) {
    const fakeodbc::HandleBalance balance = fakeodbc::handleBalance();
    EXPECT_TRUE(balance.balanced()) << balance.text();
    EXPECT_EQ(balance.stmtsReleasedByDisconnect, 0) << balance.text();
  }
}

void DbTest::Connect(BOOL cursorLibrary) {
  ASSERT_TRUE(database->Open(nullptr, FALSE, FALSE, kTestConnect, cursorLibrary))
      << fakeodbc::logText();
  ASSERT_TRUE(database->IsOpen());
}

CRecordset& DbTest::OpenOn(const fakeodbc::ResultSet& result) {
  fakeodbc::setResult(result);
  recordset = std::make_unique<CRecordset>(database.get());
  EXPECT_TRUE(recordset->Open(CRecordset::staticCursor, kBrandStatement, CRecordset::addOnly))
      << fakeodbc::logText();
  ForgetCallsAndTraces();
  return *recordset;
}

CRecordset& DbTest::OpenBrands(DWORD options, UINT type) {
  recordset = std::make_unique<CRecordset>(database.get());
  if (!recordset->Open(type, kBrandStatement, options)) {
    throw std::runtime_error("the open was refused:\n" + fakeodbc::logText());
  }
  return *recordset;
}

RaisedError DbTest::OpenExpectingFailure(CRecordset& rs, DWORD options, UINT type) {
  RaisedError raised = CatchRaised([&] { rs.Open(type, kBrandStatement, options); });
  EXPECT_TRUE(raised) << "the open did not fail";
  ExpectClosed(rs, database.get());
  EXPECT_EQ(LiveStatements(), 0);
  return raised;
}

std::vector<std::string> DbTest::CallsOf(const std::function<void()>& action) {
  ForgetCalls();
  action();
  return Calls();
}

RaisedError DbTest::OpenExpectingFailure(DWORD options, UINT type) {
  recordset = std::make_unique<CRecordset>(database.get());
  return OpenExpectingFailure(*recordset, options, type);
}

bool DbTest::IsRegistered(const CRecordset* rs) const {
  const auto& list = database->m_listRecordsets;
  return std::find(list.begin(), list.end(), rs) != list.end();
}

void DbConnectedTest::SetUp() {
  DbTest::SetUp();
  Connect();
  ForgetCallsAndTraces();
}

int LiveStatements() { return fakeodbc::handleBalance().stmt.live; }

void ExpectClosed(const CRecordset& recordset, const CDatabase* database) {
  EXPECT_EQ(recordset.m_hstmt, nullptr);
  EXPECT_EQ(recordset.m_lOpen, 0);
  EXPECT_TRUE(recordset.m_bBOF);
  EXPECT_TRUE(recordset.m_bEOF);
  EXPECT_EQ(recordset.m_pColumnInfo, nullptr);
  EXPECT_EQ(recordset.m_nResultColumns, -1);
  EXPECT_EQ(recordset.m_pRowStatus, nullptr);
  if (database != nullptr) {
    const auto& list = database->m_listRecordsets;
    EXPECT_TRUE(std::find(list.begin(), list.end(), &recordset) == list.end())
        << "the closed recordset is still on its connection's list";
  }
}

void ExpectHoldsNothing(const CRecordset& recordset) {
  EXPECT_EQ(recordset.m_hstmtUpdate, nullptr);
  EXPECT_FALSE(recordset.m_bAppendable);
  EXPECT_FALSE(recordset.m_bUpdatable);
  EXPECT_FALSE(recordset.m_bScrollable);
  EXPECT_FALSE(recordset.m_bParamsNeedRebind);
  EXPECT_FALSE(recordset.m_bHasLongBinary);
  EXPECT_EQ(recordset.m_bLockMode, CRecordset::lockOnUpdate);
  EXPECT_EQ(recordset.m_nFieldsBound, 0);
  EXPECT_EQ(recordset.m_nResultColumns, -1);
  EXPECT_EQ(recordset.m_nEditMode, CRecordset::noMode);
  EXPECT_TRUE(recordset.m_strCursorName.IsEmpty());
  EXPECT_EQ(recordset.m_pRowStatus, nullptr);
  EXPECT_EQ(recordset.m_pColumnInfo, nullptr);
  EXPECT_EQ(recordset.m_pBoundFieldInfo, nullptr);
  EXPECT_EQ(recordset.m_pFieldState, nullptr);
  EXPECT_EQ(recordset.m_pParamState, nullptr);
  EXPECT_EQ(recordset.m_pParamLengths, nullptr);
  EXPECT_EQ(recordset.m_pFieldBuffers, nullptr);
  EXPECT_EQ(recordset.m_pParamBuffers, nullptr);
  EXPECT_EQ(recordset.m_nFieldBuffers, 0u);
  EXPECT_EQ(recordset.m_nParamBuffers, 0u);
  EXPECT_EQ(recordset.m_dwBulkRowsAllocated, 0u);
}

int InfoQueriesOfConnectionOpen() {
  {
    CDatabase probe;
    probe.OpenWithOptions(u"DRIVER={Scripted}", CDatabase::noDriverPrompt);
  }
  const std::vector<std::string> names = fakeodbc::callNames();
  const int count = static_cast<int>(std::count(names.begin(), names.end(), "SQLGetInfoW"));
  // The probe's handles are all freed; start again from a healthy driver with none.
  fakeodbc::reset();
  return count;
}
