// The cursor over a result: forward-only, streaming rows from the result as it goes, or
// static, keeping every row it has passed so that moving back never runs the statement again.
// A fetch delivers a rowset of one or more rows; the first row of the rowset is the current
// row.
#pragma once

#include "odbc.h"
#include "row_store.h"
#include "sql/result.h"

#include <map>
#include <span>
#include <vector>

namespace mdbodbc {

class Cursor {
 public:
  // maxRows 0 means no limit.
  Cursor(sql::ResultSource& source, bool scrollable, SQLULEN maxRows);

  // One ODBC fetch orientation (SQL_FETCH_NEXT ... SQL_FETCH_RELATIVE) with the rowset size of
  // the fetch. SQL_SUCCESS with a rowset, SQL_NO_DATA before the first or after the last row,
  // SQL_ERROR with `error` set when the result cannot be read.
  SQLRETURN Move(SQLSMALLINT orientation, SQLLEN offset, SQLULEN rowsetSize, sql::SqlError& error);

  bool HasRow() const { return rows_ > 0; }
  const sql::Row& CurrentRow() const { return rowset_.front(); }
  std::span<const sql::Row> Rowset() const { return {rowset_.data(), rows_}; }
  // The number of the current row, counted from 1; 0 without a current row.
  SQLULEN RowNumber() const { return rows_ == 0 ? 0 : position_; }
  // Rows kept for moving back.
  std::size_t RememberedRows() const { return store_.size(); }
  const std::vector<sql::ResultColumn>& Columns() const { return source_.Columns(); }

 private:
  // Reads on until `count` rows are known or the result ends; false on a read error.
  bool ReadAhead(SQLULEN count, sql::SqlError& error);
  SQLRETURN GoTo(SQLLEN target, SQLULEN rowsetSize, sql::SqlError& error);
  SQLRETURN NextForward(SQLULEN rowsetSize, sql::SqlError& error);
  bool Last(SQLLEN& last, sql::SqlError& error);

  sql::ResultSource& source_;
  bool scrollable_;
  SQLULEN maxRows_;
  RowStore store_;          // static: every row read so far
  std::map<SQLULEN, sql::SqlError> rowErrors_;  // static: rows that failed alone, by number
  SQLULEN known_ = 0;       // rows read from the result so far
  bool ended_ = false;      // the whole result has been read
  bool failed_ = false;     // reading the result failed: the cursor stays where it is
  enum class State { BeforeFirst, OnRowset, AfterLast } state_ = State::BeforeFirst;
  SQLULEN position_ = 0;    // the number of the rowset's first row
  // The rows of the current rowset: the first rows_ of rowset_, whose storage is kept from one
  // fetch to the next.
  std::vector<sql::Row> rowset_;
  std::size_t rows_ = 0;
  sql::Row scratch_;
  sql::Row& NextRowSlot();
};

}  // namespace mdbodbc
