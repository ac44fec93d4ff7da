// The cursor over a query's result: forward-only, or static with every move ODBC defines.
// Rows are read from the file as the cursor advances. A static cursor remembers where each
// row it has passed is stored (not the row itself) and reads it again on a backward move.
#pragma once

#include "odbc.h"
#include "query.h"

#include <memory>
#include <string>
#include <vector>

namespace mdbodbc {

class Cursor {
 public:
  // maxRows 0 means no limit.
  Cursor(std::unique_ptr<Query> query, bool scrollable, SQLULEN maxRows);

  // One ODBC fetch orientation (SQL_FETCH_NEXT ... SQL_FETCH_RELATIVE). Returns SQL_SUCCESS
  // with a current row, SQL_NO_DATA before the first or after the last row, or SQL_ERROR
  // with a reason.
  SQLRETURN Move(SQLSMALLINT orientation, SQLLEN offset, std::string& error);

  bool HasRow() const { return state_ == State::OnRow; }
  // The number of the current row, counted from 1; 0 without a current row.
  SQLULEN RowNumber() const { return state_ == State::OnRow ? position_ : 0; }
  // Rows whose places are remembered for backward moves.
  size_t RememberedRows() const { return seen_.size(); }
  Query& query() { return *query_; }

 private:
  enum class State { BeforeFirst, OnRow, AfterLast };
  // Reads on until `count` rows are known or the result ends.
  void ReadAhead(SQLULEN count);
  SQLRETURN GoTo(SQLLEN target, std::string& error);

  std::unique_ptr<Query> query_;
  bool scrollable_;
  SQLULEN maxRows_;
  std::vector<RowLocation> seen_;
  SQLULEN known_ = 0;      // rows read from the file so far
  bool ended_ = false;     // the whole result has been read
  SQLULEN loaded_ = 0;     // the row that the query holds as its current row
  State state_ = State::BeforeFirst;
  SQLULEN position_ = 0;
};

}  // namespace mdbodbc
