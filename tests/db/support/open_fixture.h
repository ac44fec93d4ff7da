// Support for the tests of opening a recordset: a healthy scripted driver with a connection
// opened on it, the call log read from a mark, and checks of the states a failed open leaves.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "db/database.h"
#include "db/recordset.h"
#include "fake_odbc.h"
#include "tests/db/support/raised.h"
#include "tests/db/support/test_names.h"
#include "tests/db/support/trace_capture.h"

namespace open_support {

// The program's statement, with its trailing blank.
inline constexpr char16_t kBrandStatement[] = u"SELECT marque FROM avion ";

// The calls logged after call number `after`: "SQLPrepareW(stmt#1, ...) -> SQL_SUCCESS".
std::vector<std::string> CallLinesAfter(std::size_t after);
// The same calls by name only.
std::vector<std::string> CallNamesAfter(std::size_t after);
// The calls after `after` without the diagnostic reads (SQLErrorW), whose number depends on
// how many records a failing call posted.
std::vector<std::string> CallLinesWithoutDiagnosticsAfter(std::size_t after);
// How many calls of `name` were logged after call number `after`.
int CountCallsAfter(std::size_t after, const std::string& name);

// Statement handles still allocated at the scripted driver.
int LiveStatements();

// Asserts the closed state that every failing open leaves: no statement, m_lOpen 0, both
// ends set, no column descriptions or row status, off the connection's list.
void ExpectClosed(const CRecordset& recordset, const CDatabase* database);

// Opens `database` on the scripted driver, without the cursor library and without a prompt.
void OpenOnScriptedDriver(CDatabase& database);

// Counts the SQLGetInfoW calls that opening a connection makes, by opening and closing one,
// then resets the scripted driver: call it before anything is scripted or opened. Used to
// script an answer for the first information query that follows a connection's open.
int InfoQueriesOfConnectionOpen();

// A healthy scripted driver, a connection open on it and a trace capture for each test. At the
// end every connection handle and the shared environment must be gone.
class RecordsetOpenTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  CDatabase m_db;
};

// The same, with the connection opened on the scripted driver before each test.
class ConnectedOpenTest : public RecordsetOpenTest {
 protected:
  void SetUp() override;

  // Opens `rs` on the program's statement and expects the open to fail: the recordset must end
  // closed with its statement freed. Returns what was raised.
  RaisedError OpenExpectingFailure(CRecordset& rs, DWORD options = CRecordset::none,
                                   UINT type = CRecordset::staticCursor);
};

}  // namespace open_support
