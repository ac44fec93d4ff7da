// Common ground of the tests of reading column values: a connection open on the scripted
// driver manager, a recordset opened on a result of the test's choice the way the brand
// listing opens it, and the calls and traces of the reads that follow.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/db/support/open_state.h"

// One column with the given cells, one row per cell.
fakeodbc::ResultSet SingleColumnResult(fakeodbc::Column column,
                                       const std::vector<fakeodbc::Cell>& cells);

// A text of `length` UTF-16 units cycling through the capital letters from 'A'.
std::u16string Letters(std::size_t length);

// The log line of one SQLGetData call on stmt#1 as wide text.
std::string GetDataLine(int column, long bufferBytes, const char* rc);

// `head` followed by `tail`.
std::vector<std::string> Then(std::vector<std::string> head, const std::vector<std::string>& tail);

// How many calls of the function named `name` were logged since the log was last cleared.
int CountCalls(const std::string& name);

// The SQLGetData lines logged since the log was last cleared.
std::vector<std::string> GetDataCalls();

// The two diagnostic reads that consume one record: the record, then no more.
std::vector<std::string> OneRecordRead(const std::string& statement = "stmt#1");

// What a read raised, caught and deleted.
struct ReadOutcome {
  enum Kind { Returned, Database, Memory, InvalidArgument, OtherError };
  Kind kind = Returned;
  RETCODE code = 0;       // Database: m_nReturnCode
  std::string errorText;  // Database: m_strErrorText, UTF-8
  std::string stateInfo;  // Database: m_strStateInfo, UTF-8
};

// Runs `action`, catching and deleting any framework error it raises.
ReadOutcome CatchRead(const std::function<void()>& action);

class FieldReadTest : public OpenStateTest {
 protected:
  void TearDown() override;

  // Opens the program's statement on `result` with the program's open type and options, then
  // forgets the calls and traces of the open.
  CRecordset& OpenOn(const fakeodbc::ResultSet& result);

  std::unique_ptr<CRecordset> recordset;
};
