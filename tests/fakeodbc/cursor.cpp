// The cursor of a statement: opening, closing, scrolling over the rows, and the statement
// option values the cursor depends on.
#include "state.h"

#include <algorithm>

namespace fakeodbc::detail {

namespace {

// The cursor stands at `where`; nothing of the row is read yet.
void place(Stmt& statement, Position where, std::size_t firstRow) {
  statement.position = where;
  statement.firstRow = firstRow;
  statement.readOffsets.clear();
  statement.readWhole.clear();
}

}  // namespace

void openCursor(Stmt& statement) {
  statement.phase = Phase::Open;
  place(statement, Position::BeforeStart, 0);
}

void closeCursor(Stmt& statement) {
  if (statement.phase == Phase::Open) {
    statement.phase = statement.prepared ? Phase::Prepared : Phase::Allocated;
  }
  place(statement, Position::BeforeStart, 0);
}

SQLULEN statementOptionValue(const Stmt& statement, SQLUSMALLINT option) {
  static const std::map<SQLUSMALLINT, SQLULEN> defaults = {
      {SQL_CURSOR_TYPE, SQL_CURSOR_FORWARD_ONLY}, {SQL_CONCURRENCY, SQL_CONCUR_READ_ONLY},
      {SQL_ROWSET_SIZE, 1},                       {SQL_RETRIEVE_DATA, SQL_RD_ON},
      {SQL_USE_BOOKMARKS, SQL_UB_OFF},
  };
  for (const auto* values : {&statement.options, &defaults}) {
    if (auto found = values->find(option); found != values->end()) return found->second;
  }
  return 0;
}

Reply moveCursor(Stmt& statement, SQLUSMALLINT orientation, SQLLEN offset, std::size_t rowsetSize) {
  const auto rows = static_cast<long long>(statement.result.rows.size());
  const auto size = static_cast<long long>(std::max<std::size_t>(rowsetSize, 1));
  const long long current = static_cast<long long>(statement.firstRow);
  const Position where = statement.position;

  // Off either end no row is current; the start of the last rowset is kept.
  auto beforeStart = [&] {
    place(statement, Position::BeforeStart, statement.firstRow);
    return Reply{SQL_NO_DATA, {}};
  };
  auto afterEnd = [&] {
    place(statement, Position::AfterEnd, statement.firstRow);
    return Reply{SQL_NO_DATA, {}};
  };
  // A rowset starting at `first` (0-based); out of the rows it becomes the matching end.
  auto at = [&](long long first) {
    if (first < 0) return beforeStart();
    if (first >= rows) return afterEnd();
    place(statement, Position::OnRowset, static_cast<std::size_t>(first));
    return Reply::ok();
  };
  auto absolute = [&](long long k) {
    if (k > 0) return at(k - 1);
    if (k == 0) return beforeStart();
    return at(rows + k);
  };

  switch (orientation) {
    case SQL_FETCH_NEXT:
      if (where == Position::BeforeStart) return at(0);
      if (where == Position::AfterEnd) return afterEnd();
      return at(current + size);
    case SQL_FETCH_PRIOR:
      if (where == Position::BeforeStart) return beforeStart();
      if (where == Position::AfterEnd) {
        return rows == 0 ? beforeStart() : at(std::max(0LL, rows - size));
      }
      if (current == 0) return beforeStart();
      return at(std::max(0LL, current - size));
    case SQL_FETCH_FIRST:
      return rows == 0 ? afterEnd() : at(0);
    case SQL_FETCH_LAST:
      return rows == 0 ? afterEnd() : at(std::max(0LL, rows - size));
    case SQL_FETCH_ABSOLUTE:
      return absolute(offset);
    case SQL_FETCH_RELATIVE:
      if (where == Position::BeforeStart) return offset > 0 ? absolute(offset) : beforeStart();
      if (where == Position::AfterEnd) return offset < 0 ? at(rows + offset) : afterEnd();
      return at(current + offset);
    case SQL_FETCH_BOOKMARK:
      return driverError("S1C00", u"Driver not capable");
    default:
      return driverError("S1106", u"Fetch type out of range");
  }
}

std::size_t rowsInRowset(const Stmt& statement, std::size_t rowsetSize) {
  if (statement.position != Position::OnRowset) return 0;
  const std::size_t remaining = statement.result.rows.size() - statement.firstRow;
  return std::min(std::max<std::size_t>(rowsetSize, 1), remaining);
}

}  // namespace fakeodbc::detail
