// Recordsets in the state a successful Open leaves them in, reached without Open: a connection
// opened through the scripted driver manager, a recordset constructed on it (statement
// allocated and registered), the statement prepared and executed on its m_hstmt, the members
// set as Open sets them, the result columns described, a one-entry row status array, and the
// first row fetched by MoveNext.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "db/database.h"
#include "db/recordset.h"
#include "tests/db/support/db_fixture.h"

// A result of one text column "marque" with the given values (nullopt for NULL).
fakeodbc::ResultSet BrandResult(const std::vector<fakeodbc::Cell>& values);
// A result of "marque" with n rows "Brand 0" ... "Brand n-1".
fakeodbc::ResultSet NumberedBrands(int n);

struct OpenRequest {
  UINT openType = CRecordset::staticCursor;
  DWORD options = CRecordset::addOnly;
  std::u16string statement = kBrandStatement;
};

// Brings a recordset whose statement is allocated, and that was never opened or was closed
// (the statement is then allocated and registered again), to the state Open leaves just
// before its first fetch: options and flags as Open derives them, SQL_CURSOR_TYPE set on
// scrollable types, the statement prepared and executed, m_lOpen 1, the columns described, the
// row status array of one entry, and the field state when the recordset binds fields. Throws
// std::runtime_error when a call the state needs fails.
void PrepareOpenState(CRecordset& recordset, const OpenRequest& request = {});

// PrepareOpenState, then the first fetch as Open makes it: MoveNext, and m_bBOF = m_bEOF.
void PutInOpenState(CRecordset& recordset, const OpenRequest& request = {});

// The connected fixture whose recordset Opened puts in the open state.
class OpenStateTest : public DbConnectedTest {
 protected:
  // Makes the fixture's recordset on the connection and puts it in the open state `request`
  // asks for.
  CRecordset& Opened(const OpenRequest& request = {});
};

// The members a move reads or writes, to compare a recordset before and after a move.
struct PositionSnapshot {
  LONG currentRow;
  LONG rowsKnown;
  BOOL lastRowKnown;
  BOOL bof;
  BOOL eof;
  BOOL deleted;
  DWORD fetchedRows;
  LONG fieldsBound;
  LONG open;
  UINT editMode;

  static PositionSnapshot Of(const CRecordset& recordset);
  bool operator==(const PositionSnapshot&) const = default;
};
void PrintTo(const PositionSnapshot& snapshot, std::ostream* os);

// The log line of a fetch of one row on the first statement.
std::string FetchLine(const char* orientation, long rows, const char* rc,
                      const std::string& statement = "stmt#1");
