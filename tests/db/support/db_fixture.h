// The fixture of the access layer's tests: a healthy scripted driver manager, a fresh process
// record of the shared environment, a capture of every trace, a connection object that a test
// opens with Connect (or DbConnectedTest opens before each test), and a recordset opened on a
// result of the test's choice. At the end the recordset and the connection are destroyed and,
// unless a test says otherwise, every handle of the scripted driver must have been freed.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "db/database.h"
#include "db/recordset.h"
#include "tests/db/support/call_lines.h"
#include "tests/db/support/raised.h"
#include "tests/db/support/test_names.h"
#include "tests/db/support/trace_capture.h"
#include "tests/fakeodbc/fake_odbc.h"

// The program's statement, with its trailing blank.
inline constexpr char16_t kBrandStatement[] = u"SELECT marque FROM avion ";

// The connect text the tests open with; the scripted driver accepts any.
inline constexpr char16_t kTestConnect[] = u"ODBC;DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DBQ=t.mdb";

class DbTest : public ::testing::Test {
 protected:
  DbTest();
  void SetUp() override;
  void TearDown() override;

  // Opens `database` as the program opens its connection (no data source name, not exclusive,
  // not read-only, the cursor library as `cursorLibrary` says). The calls and traces of the
  // open stay in the log.
  void Connect(BOOL cursorLibrary = TRUE);

  // Makes `recordset` on the connection and opens it on the program's statement with
  // `options` and `type`; a refused open ends the test.
  CRecordset& OpenBrands(DWORD options, UINT type = CRecordset::staticCursor);

  // Opens `recordset` on the program's statement over `result` with the program's open type
  // and options, then forgets the calls and traces of the open.
  CRecordset& OpenOn(const fakeodbc::ResultSet& result);

  // Opens `rs` on the program's statement and expects the open to fail: the recordset must end
  // closed with its statement freed. Returns what was raised.
  RaisedError OpenExpectingFailure(CRecordset& rs, DWORD options = CRecordset::none,
                                   UINT type = CRecordset::staticCursor);
  // The same with the fixture's recordset, made on the connection first.
  RaisedError OpenExpectingFailure(DWORD options = CRecordset::none,
                                   UINT type = CRecordset::staticCursor);

  // The process record of the shared environment.
  static DatabaseProcessState& Process() { return GetDatabaseProcessState(); }
  // The calls logged since the last clearLog, in the log's line form.
  static std::vector<std::string> Calls() { return fakeodbc::callLines(); }
  // Forgets the calls logged so far.
  static void ForgetCalls() { fakeodbc::clearLog(); }
  // Forgets the calls and the traces so far.
  void ForgetCallsAndTraces() { ForgetCalls(); traces.Clear(); }
  // The calls `action` makes, the log forgotten before it.
  static std::vector<std::string> CallsOf(const std::function<void()>& action);
  // Whether `recordset` is registered in the connection's list.
  bool IsRegistered(const CRecordset* recordset) const;

  TraceCapture traces;
  std::unique_ptr<CDatabase> database;
  std::unique_ptr<CRecordset> recordset;
  bool expectBalancedHandles = true;
};

// The same with the connection opened before each test, its calls and traces forgotten.
class DbConnectedTest : public DbTest {
 protected:
  void SetUp() override;
  CDatabase& db = *database;  // the connection, open
};

// Statement handles still allocated at the scripted driver.
int LiveStatements();

// Asserts the closed state that every failing open leaves: no statement, m_lOpen 0, both
// ends set, no column descriptions or row status, off the connection's list.
void ExpectClosed(const CRecordset& recordset, const CDatabase* database);

// Asserts what a recordset holds before its first open and after a close: no update
// statement, column descriptions, row status, field or parameter storage, bound fields or
// multi-row buffers, no cursor name or edit, and the flags an open sets cleared.
void ExpectHoldsNothing(const CRecordset& recordset);

// Counts the SQLGetInfoW calls that opening a connection makes, by opening and closing one,
// then resets the scripted driver: call it before anything is scripted or opened. Used to
// script an answer for the first information query that follows a connection's open.
int InfoQueriesOfConnectionOpen();
