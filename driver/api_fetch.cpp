// Entry points that bind result columns, move the cursor and read column values.
#include "bound_columns.h"
#include "get_data.h"
#include "handles.h"

namespace mdbodbc {
namespace {

SQLRETURN Fetch(Statement& stmt, SQLSMALLINT orientation, SQLLEN offset, SQLULEN rowsetSize, SQLULEN* rowsOut,
                SQLUSMALLINT* status) {
  if (!stmt.cursor) {
    return stmt.isPrepared ? Fail(stmt, "24000", "invalid cursor state: the statement was not executed")
                           : Fail(stmt, "HY010", "function sequence error");
  }
  switch (orientation) {
    case SQL_FETCH_NEXT: break;
    case SQL_FETCH_PRIOR:
    case SQL_FETCH_FIRST:
    case SQL_FETCH_LAST:
    case SQL_FETCH_ABSOLUTE:
    case SQL_FETCH_RELATIVE:
      if (stmt.options.cursorType == SQL_CURSOR_FORWARD_ONLY) {
        return Fail(stmt, "HY106", "fetch type out of range: the cursor is forward-only");
      }
      break;
    case SQL_FETCH_BOOKMARK: return Fail(stmt, "HYC00", "bookmarks are not supported");
    default: return Fail(stmt, "HY106", "fetch type out of range");
  }
  stmt.reads.clear();
  sql::SqlError error;
  SQLRETURN rc = stmt.cursor->Move(orientation, offset, rowsetSize, error);
  if (rc == SQL_ERROR) return Fail(stmt, error.state, error.message);
  stmt.fetchedRows = stmt.cursor->Rowset().size();
  if (rowsOut != nullptr) *rowsOut = stmt.fetchedRows;
  if (rc == SQL_NO_DATA) {
    if (status != nullptr) {
      for (SQLULEN r = 0; r < rowsetSize; ++r) status[r] = SQL_ROW_NOROW;
    }
    return rc;
  }
  return WriteBoundRows(stmt, rowsetSize, status);
}

}  // namespace
}  // namespace mdbodbc

using namespace mdbodbc;

MDBODBC_EXPORT SQLRETURN SQL_API SQLBindCol(SQLHSTMT handle, SQLUSMALLINT column, SQLSMALLINT cType,
                                            SQLPOINTER target, SQLLEN bufferLength, SQLLEN* indicator) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement& stmt) {
    if (column < 1) return Fail(stmt, "07009", "invalid descriptor index: bookmark columns are not supported");
    if (bufferLength < 0) return Fail(stmt, "HY090", "invalid string or buffer length");
    if (target == nullptr && indicator == nullptr) {
      stmt.columns.erase(column);
      return SQLRETURN(SQL_SUCCESS);
    }
    Binding& b = stmt.columns[column];
    b = Binding{};
    b.cType = cType;
    b.target = target;
    b.bufferLength = bufferLength;
    b.indicator = indicator;
    return SQLRETURN(SQL_SUCCESS);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLFetch(SQLHSTMT handle) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement& stmt) {
    return Fetch(stmt, SQL_FETCH_NEXT, 0, stmt.options.rowArraySize, stmt.options.rowsFetched, stmt.options.rowStatus);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLFetchScroll(SQLHSTMT handle, SQLSMALLINT orientation, SQLLEN offset) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement& stmt) {
    return Fetch(stmt, orientation, offset, stmt.options.rowArraySize, stmt.options.rowsFetched,
                 stmt.options.rowStatus);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLExtendedFetch(SQLHSTMT handle, SQLUSMALLINT orientation, SQLLEN offset,
                                                  SQLULEN* rows, SQLUSMALLINT* status) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement& stmt) {
    return Fetch(stmt, static_cast<SQLSMALLINT>(orientation), offset, stmt.options.rowsetSize, rows, status);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLGetData(SQLHSTMT handle, SQLUSMALLINT column, SQLSMALLINT cType,
                                            SQLPOINTER target, SQLLEN bufferLength, SQLLEN* indicator) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement& stmt) {
    return GetData(stmt, column, cType, target, bufferLength, indicator);
  });
}
