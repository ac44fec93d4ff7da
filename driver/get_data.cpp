#include "get_data.h"

#include "convert.h"

#include <cstring>

namespace mdbodbc {
namespace {

SQLRETURN Report(Statement& stmt, const Outcome& outcome) {
  if (outcome.rc != SQL_SUCCESS) stmt.diag.Add(outcome.state, outcome.message);
  return outcome.rc;
}

SQLRETURN Stream(Statement& stmt, ColumnRead& read, SQLSMALLINT cType, SQLPOINTER target,
                 SQLLEN bufferLength, SQLLEN* indicator) {
  size_t terminator = cType == SQL_C_CHAR ? 1 : cType == SQL_C_WCHAR ? 2 : 0;
  size_t remaining = read.bytes.size() - read.offset;
  size_t room = 0;
  bool usable = target != nullptr && static_cast<size_t>(bufferLength) >= terminator;
  if (usable) {
    room = static_cast<size_t>(bufferLength) - terminator;
    if (cType == SQL_C_WCHAR) room -= room % 2;
  }
  size_t n = std::min(remaining, room);
  if (usable) {
    auto* out = static_cast<char*>(target);
    std::memcpy(out, read.bytes.data() + read.offset, n);
    std::memset(out + n, 0, terminator);
  }
  if (indicator != nullptr) *indicator = static_cast<SQLLEN>(remaining);
  read.offset += n;
  if (n < remaining) return Warn(stmt, "01004", "string data, right truncated");
  read.finished = true;
  return SQL_SUCCESS;
}

}  // namespace

SQLRETURN GetData(Statement& stmt, SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER target,
                  SQLLEN bufferLength, SQLLEN* indicator) {
  if (!stmt.cursor) return Fail(stmt, "HY010", "function sequence error");
  if (!stmt.cursor->HasRow()) return Fail(stmt, "24000", "invalid cursor state");
  const std::vector<sql::ResultColumn>& columns = stmt.cursor->Columns();
  if (column < 1 || column > columns.size()) return Fail(stmt, "07009", "invalid descriptor index");
  if (bufferLength < 0) return Fail(stmt, "HY090", "invalid string or buffer length");
  const sql::ResultColumn& description = columns[column - 1];
  if (cType == SQL_C_DEFAULT) cType = DefaultCType(description, stmt.connection->env->odbcVersion);

  // A column is delivered once per row: after its last piece (or its NULL) every further
  // read answers SQL_NO_DATA, whatever the buffer type.
  auto found = stmt.reads.find(column);
  if (found != stmt.reads.end()) {
    ColumnRead& read = found->second;
    if (read.finished) return SQL_NO_DATA;
    if (read.cType == cType) return Stream(stmt, read, cType, target, bufferLength, indicator);
  }

  const sql::Cell& cell = stmt.cursor->CurrentRow()[column - 1];
  ColumnRead& read = stmt.reads[column];
  read = ColumnRead{};
  read.cType = cType;
  if (cell.kind == sql::Cell::Kind::Null) {
    if (indicator == nullptr) {
      stmt.reads.erase(column);
      return Fail(stmt, "22002", "indicator variable required but not supplied");
    }
    *indicator = SQL_NULL_DATA;
    read.finished = true;
    return SQL_SUCCESS;
  }
  if (IsStreamType(cType)) {
    Outcome outcome = StreamBytes(cell, description, cType, read.bytes);
    if (outcome.rc == SQL_ERROR) {
      stmt.reads.erase(column);
      return Report(stmt, outcome);
    }
    return Stream(stmt, read, cType, target, bufferLength, indicator);
  }
  Outcome outcome = PutFixed(cell, description, cType, target, indicator);
  if (outcome.rc == SQL_ERROR) {
    stmt.reads.erase(column);
  } else {
    read.finished = true;
  }
  return Report(stmt, outcome);
}

}  // namespace mdbodbc
