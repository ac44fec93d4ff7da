#include "tests/db/support/recordset_connection.h"

#include "fake_odbc.h"

bool OpenTestConnection(CDatabase& database) {
  fakeodbc::reset();
  const BOOL opened = database.Open(nullptr, FALSE, FALSE, kTestConnect, TRUE);
  fakeodbc::clearLog();
  return opened && database.IsOpen();
}

void ConnectedRecordsetTest::SetUp() { ASSERT_TRUE(OpenTestConnection(db)); }

void ConnectedRecordsetTest::TearDown() {
  db.Close();
  const fakeodbc::HandleBalance balance = fakeodbc::handleBalance();
  EXPECT_EQ(balance.stmt.freed, balance.stmt.allocated) << balance.text();
  EXPECT_EQ(balance.stmtsReleasedByDisconnect, 0) << balance.text();
}
