// The cursor of a statement: opening, closing, scrolling over the rows, and the statement
// option values the cursor depends on.
#pragma once

#include "state.h"

namespace fakeodbc::detail {

// Executed: the cursor stands before the first row.
void openCursor(Stmt& statement);
// SQLFreeStmt(SQL_CLOSE): back to Prepared when a text was prepared, else to Allocated.
void closeCursor(Stmt& statement);

// The value of a statement option, its ODBC default when it was never set.
SQLULEN statementOptionValue(const Stmt& statement, SQLUSMALLINT option);

// Moves the cursor of an open statement for SQLExtendedFetch / SQLFetch with rowsets of
// rowsetSize rows. Returns SQL_SUCCESS on a rowset, SQL_NO_DATA when the move leaves the rows
// (the cursor then stands before the start or after the end), or the driver's error for an
// orientation it does not know. Any move forgets what SQLGetData read on the previous row.
Reply moveCursor(Stmt& statement, SQLUSMALLINT orientation, SQLLEN offset, std::size_t rowsetSize);

// Rows in the current rowset (0 when the cursor is not on a rowset).
std::size_t rowsInRowset(const Stmt& statement, std::size_t rowsetSize);

}  // namespace fakeodbc::detail
