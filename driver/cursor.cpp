#include "cursor.h"

#include <limits>

namespace mdbodbc {
namespace {

// a + b for row numbers: an offset that leads past the largest number stops there, and one
// that leads below the smallest stops there, both outside every result.
SQLLEN AddRows(SQLLEN a, SQLLEN b) {
  SQLLEN sum = 0;
  if (!__builtin_add_overflow(a, b, &sum)) return sum;
  return b > 0 ? std::numeric_limits<SQLLEN>::max() : std::numeric_limits<SQLLEN>::min();
}

}  // namespace

Cursor::Cursor(sql::ResultSource& source, bool scrollable, SQLULEN maxRows)
    : source_(source), scrollable_(scrollable), maxRows_(maxRows) {}

sql::Row& Cursor::NextRowSlot() {
  if (rows_ == rowset_.size()) rowset_.emplace_back();
  return rowset_[rows_++];
}

bool Cursor::ReadAhead(SQLULEN count, sql::SqlError& error) {
  while (known_ < count && !ended_) {
    if (maxRows_ != 0 && known_ >= maxRows_) {
      ended_ = true;
      break;
    }
    sql::ResultSource::Step step = source_.Next(scratch_, error);
    if (step == sql::ResultSource::Step::Error) {
      failed_ = true;
      return false;
    }
    if (step == sql::ResultSource::Step::End) {
      ended_ = true;
      break;
    }
    ++known_;
    if (step == sql::ResultSource::Step::RowError) {
      // The row counts, its values unread: reaching it again reports the same failure.
      rowErrors_.emplace(known_, error);
      for (sql::Cell& cell : scratch_) cell = sql::Cell{};
    }
    store_.Append(scratch_);
  }
  return true;
}

bool Cursor::Last(SQLLEN& last, sql::SqlError& error) {
  if (!ReadAhead(static_cast<SQLULEN>(-1), error)) return false;
  last = static_cast<SQLLEN>(known_);
  return true;
}

SQLRETURN Cursor::GoTo(SQLLEN target, SQLULEN rowsetSize, sql::SqlError& error) {
  rows_ = 0;
  if (target < 1) {
    state_ = State::BeforeFirst;
    position_ = 0;
    return SQL_NO_DATA;
  }
  auto first = static_cast<SQLULEN>(target);
  SQLULEN end = 0;  // the row after the rowset
  if (__builtin_add_overflow(first, rowsetSize, &end)) end = std::numeric_limits<SQLULEN>::max();
  if (!ReadAhead(end - 1, error)) return SQL_ERROR;
  if (known_ < first) {
    state_ = State::AfterLast;
    position_ = known_ + 1;
    return SQL_NO_DATA;
  }
  for (SQLULEN row = first; row < end && row <= known_; ++row) store_.Read(row - 1, NextRowSlot());
  state_ = State::OnRowset;
  position_ = first;
  for (SQLULEN row = first; row < first + rowsetSize && row <= known_; ++row) {
    auto failed = rowErrors_.find(row);
    if (failed != rowErrors_.end()) {
      error = failed->second;
      return SQL_ERROR;
    }
  }
  return SQL_SUCCESS;
}

SQLRETURN Cursor::NextForward(SQLULEN rowsetSize, sql::SqlError& error) {
  rows_ = 0;
  sql::SqlError rowError;
  if (state_ == State::AfterLast) return SQL_NO_DATA;
  SQLULEN first = known_ + 1;
  while (rows_ < rowsetSize && !ended_) {
    if (maxRows_ != 0 && known_ >= maxRows_) {
      ended_ = true;
      break;
    }
    sql::ResultSource::Step step = source_.Next(NextRowSlot(), error);
    if (step == sql::ResultSource::Step::RowError) {
      // This row failed alone: the fetch reports it, and the next one goes on after it.
      ++known_;
      state_ = State::OnRowset;
      position_ = first;
      for (sql::Cell& cell : rowset_[rows_ - 1]) cell = sql::Cell{};
      rowError = error;
      continue;
    }
    if (step != sql::ResultSource::Step::Row) {
      --rows_;
      if (step == sql::ResultSource::Step::Error) {
        failed_ = true;
        return SQL_ERROR;
      }
      ended_ = true;
      break;
    }
    ++known_;
  }
  if (rows_ == 0) {
    state_ = State::AfterLast;
    return SQL_NO_DATA;
  }
  state_ = State::OnRowset;
  position_ = first;
  if (!rowError.state.empty()) {
    error = rowError;
    return SQL_ERROR;
  }
  return SQL_SUCCESS;
}

SQLRETURN Cursor::Move(SQLSMALLINT orientation, SQLLEN offset, SQLULEN rowsetSize, sql::SqlError& error) {
  if (failed_) {
    error = {"HY000", "the result could not be read further"};
    return SQL_ERROR;
  }
  if (rowsetSize == 0) rowsetSize = 1;
  if (!scrollable_) {
    if (orientation != SQL_FETCH_NEXT) {
      error = {"HY106", "fetch type out of range: the cursor is forward-only"};
      return SQL_ERROR;
    }
    return NextForward(rowsetSize, error);
  }
  const auto size = static_cast<SQLLEN>(rowsetSize);
  const auto current = static_cast<SQLLEN>(position_);
  SQLLEN last = 0;
  switch (orientation) {
    case SQL_FETCH_NEXT:
      if (state_ == State::AfterLast) return SQL_NO_DATA;
      return GoTo(state_ == State::BeforeFirst ? 1 : current + static_cast<SQLLEN>(std::max<std::size_t>(rows_, 1)),
                  rowsetSize, error);
    case SQL_FETCH_PRIOR:
      if (state_ == State::BeforeFirst) return SQL_NO_DATA;
      if (state_ == State::AfterLast) {
        if (!Last(last, error)) return SQL_ERROR;
        return GoTo(std::max<SQLLEN>(last - size + 1, last > 0 ? 1 : 0), rowsetSize, error);
      }
      if (current == 1) return GoTo(0, rowsetSize, error);
      return GoTo(std::max<SQLLEN>(current - size, 1), rowsetSize, error);
    case SQL_FETCH_FIRST: return GoTo(1, rowsetSize, error);
    case SQL_FETCH_LAST:
      if (!Last(last, error)) return SQL_ERROR;
      return GoTo(std::max<SQLLEN>(last - size + 1, last > 0 ? 1 : 0), rowsetSize, error);
    case SQL_FETCH_ABSOLUTE:
      if (offset < 0) {
        if (!Last(last, error)) return SQL_ERROR;
        return GoTo(AddRows(last + 1, offset), rowsetSize, error);
      }
      return GoTo(offset, rowsetSize, error);
    case SQL_FETCH_RELATIVE:
      if (state_ == State::BeforeFirst) return GoTo(offset > 0 ? offset : 0, rowsetSize, error);
      if (state_ == State::AfterLast) {
        if (offset >= 0) return SQL_NO_DATA;
        if (!Last(last, error)) return SQL_ERROR;
        return GoTo(AddRows(last + 1, offset), rowsetSize, error);
      }
      return GoTo(AddRows(current, offset), rowsetSize, error);
    default:
      error = {"HY106", "fetch type out of range"};
      return SQL_ERROR;
  }
}

}  // namespace mdbodbc
