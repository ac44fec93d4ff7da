// Common ground of the tests of reading column values: a connection open on the scripted
// driver manager, a recordset opened on a result of the test's choice the way the brand
// listing opens it, and the calls and traces of the reads that follow.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "tests/db/support/call_lines.h"
#include "tests/db/support/db_fixture.h"
#include "tests/db/support/open_state.h"
#include "tests/db/support/raised.h"
#include "tests/db/support/test_names.h"

// The program's column as the healthy driver describes it.
inline const fakeodbc::Column kBrandColumn{u"marque", SQL_WVARCHAR, 50};

// A long text column "notes" of the given declared size.
fakeodbc::Column NotesColumn(SQLULEN size, SQLSMALLINT sqlType = SQL_WLONGVARCHAR);

// One column with the given cells, one row per cell.
fakeodbc::ResultSet SingleColumnResult(fakeodbc::Column column,
                                       const std::vector<fakeodbc::Cell>& cells);

// A text of `length` UTF-16 units cycling through the capital letters from 'A'.
std::u16string Letters(std::size_t length);

// The log line of one SQLGetData call on stmt#1 as wide text.
std::string GetDataLine(int column, long bufferBytes, const char* rc);

// How many calls of the function named `name` were logged since the log was last cleared.
int CountCalls(const std::string& name);

// The SQLGetData lines logged since the log was last cleared.
std::vector<std::string> GetDataCalls();

// The two diagnostic reads that consume one record: the record, then no more.
std::vector<std::string> OneRecordRead(const std::string& statement = "stmt#1");

// The first field of the current row of `rs`, read with GetFieldValue.
CString ReadFirst(CRecordset& rs);

// What reading the first field of the current row of `rs` raised.
Raised ReadFirstCatching(CRecordset& rs);

// The field tests read from a recordset that DbTest::OpenOn opens on a connected fixture.
using FieldReadTest = DbConnectedTest;
