// A connection opened through the scripted driver manager the way the program opens its own,
// for tests of recordsets that need an open connection.
#pragma once

#include <gtest/gtest.h>

#include "db/database.h"
#include "db/recordset.h"

// The connect text the tests open with; the scripted driver accepts any.
inline constexpr char16_t kTestConnect[] = u"ODBC;DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DBQ=t.mdb";

// Resets the scripted driver manager, opens `database` with the program's arguments (no data
// source name, not exclusive, not read-only, the cursor library) and forgets the calls made so
// far. Returns whether the connection opened.
bool OpenTestConnection(CDatabase& database);

// A connection opened by OpenTestConnection for each test. At the end the connection is closed
// and every statement must have been dropped by its recordset, none left for the disconnect.
class ConnectedRecordsetTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  CDatabase db;
};
