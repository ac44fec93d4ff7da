#include "cursor.h"

namespace mdbodbc {

Cursor::Cursor(std::unique_ptr<Query> query, bool scrollable, SQLULEN maxRows)
    : query_(std::move(query)), scrollable_(scrollable), maxRows_(maxRows) {}

void Cursor::ReadAhead(SQLULEN count) {
  while (known_ < count && !ended_) {
    RowLocation where;
    if ((maxRows_ != 0 && known_ >= maxRows_) || !query_->Next(where)) {
      ended_ = true;
      break;
    }
    ++known_;
    loaded_ = known_;
    if (scrollable_) seen_.push_back(where);
  }
}

SQLRETURN Cursor::GoTo(SQLLEN target, std::string& error) {
  if (target < 1) {
    state_ = State::BeforeFirst;
    position_ = 0;
    return SQL_NO_DATA;
  }
  SQLULEN row = static_cast<SQLULEN>(target);
  ReadAhead(row);
  if (known_ < row) {
    state_ = State::AfterLast;
    position_ = 0;
    return SQL_NO_DATA;
  }
  if (loaded_ != row) {
    if (!query_->ReadAt(seen_[row - 1], error)) return SQL_ERROR;
    loaded_ = row;
  }
  state_ = State::OnRow;
  position_ = row;
  return SQL_SUCCESS;
}

SQLRETURN Cursor::Move(SQLSMALLINT orientation, SQLLEN offset, std::string& error) {
  const SQLLEN current = static_cast<SQLLEN>(position_);
  auto last = [this]() {
    ReadAhead(static_cast<SQLULEN>(-1));
    return static_cast<SQLLEN>(known_);
  };
  if (!scrollable_ && orientation != SQL_FETCH_NEXT) {
    error = "the cursor is forward-only";
    return SQL_ERROR;
  }
  switch (orientation) {
    case SQL_FETCH_NEXT:
      if (state_ == State::AfterLast) return SQL_NO_DATA;
      return GoTo(state_ == State::BeforeFirst ? 1 : current + 1, error);
    case SQL_FETCH_PRIOR:
      if (state_ == State::BeforeFirst) return SQL_NO_DATA;
      return GoTo(state_ == State::AfterLast ? last() : current - 1, error);
    case SQL_FETCH_FIRST: return GoTo(1, error);
    case SQL_FETCH_LAST: return GoTo(last(), error);
    case SQL_FETCH_ABSOLUTE:
      if (offset < 0) return GoTo(last() + offset + 1, error);
      return GoTo(offset, error);
    case SQL_FETCH_RELATIVE:
      if (state_ == State::BeforeFirst) return GoTo(offset > 0 ? offset : 0, error);
      if (state_ == State::AfterLast) {
        if (offset >= 0) return SQL_NO_DATA;
        return GoTo(last() + offset + 1, error);
      }
      return GoTo(current + offset, error);
    default:
      error = "fetch orientation not supported";
      return SQL_ERROR;
  }
}

}  // namespace mdbodbc
