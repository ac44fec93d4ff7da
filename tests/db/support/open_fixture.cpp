#include "tests/db/support/open_fixture.h"

#include <algorithm>

namespace open_support {

std::vector<std::string> CallLinesAfter(std::size_t after) {
  std::vector<std::string> lines;
  for (const fakeodbc::Call& call : fakeodbc::calls()) {
    if (call.index > after) lines.push_back(call.line());
  }
  return lines;
}

std::vector<std::string> CallNamesAfter(std::size_t after) {
  std::vector<std::string> names;
  for (const fakeodbc::Call& call : fakeodbc::calls()) {
    if (call.index > after) names.push_back(call.name());
  }
  return names;
}

std::vector<std::string> CallLinesWithoutDiagnosticsAfter(std::size_t after) {
  std::vector<std::string> lines;
  for (const fakeodbc::Call& call : fakeodbc::calls()) {
    if (call.index > after && call.fn != fakeodbc::Fn::SQLErrorW) lines.push_back(call.line());
  }
  return lines;
}

int CountCallsAfter(std::size_t after, const std::string& name) {
  const std::vector<std::string> names = CallNamesAfter(after);
  return static_cast<int>(std::count(names.begin(), names.end(), name));
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

void OpenOnScriptedDriver(CDatabase& database) {
  ASSERT_TRUE(database.OpenWithOptions(u"DRIVER={Scripted};DBQ=brands.mdb",
                                       CDatabase::noDriverPrompt));
  ASSERT_TRUE(database.IsOpen());
}

int InfoQueriesOfConnectionOpen() {
  {
    CDatabase probe;
    probe.OpenWithOptions(u"DRIVER={Scripted}", CDatabase::noDriverPrompt);
  }
  const int count = CountCallsAfter(0, "SQLGetInfoW");
  // The probe's handles are all freed; start again from a healthy driver with none.
  fakeodbc::reset();
  return count;
}

void RecordsetOpenTest::SetUp() {
  // A test that failed half way may have left the shared environment behind; the scripted
  // driver forgets its handles on reset, so the record must forget it too.
  DatabaseProcessState& state = GetDatabaseProcessState();
  state.henvAllConnections = SQL_NULL_HENV;
  state.nAllocated = 0;
  fakeodbc::reset();
}

void RecordsetOpenTest::TearDown() {
  m_db.Free();
  const fakeodbc::HandleBalance balance = fakeodbc::handleBalance();
  EXPECT_TRUE(balance.balanced()) << balance.text();
}

void ConnectedOpenTest::SetUp() {
  RecordsetOpenTest::SetUp();
  OpenOnScriptedDriver(m_db);
}

RaisedError ConnectedOpenTest::OpenExpectingFailure(CRecordset& rs, DWORD options, UINT type) {
  RaisedError raised = CatchRaised([&] { rs.Open(type, kBrandStatement, options); });
  EXPECT_TRUE(raised) << "the open did not fail";
  ExpectClosed(rs, &m_db);
  EXPECT_EQ(LiveStatements(), 0);
  return raised;
}

}  // namespace open_support
