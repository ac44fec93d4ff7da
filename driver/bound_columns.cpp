#include "bound_columns.h"

#include "convert.h"

#include <cstring>

namespace mdbodbc {
namespace {

// Where row `row` of a binding lies: row-wise the rows are `rowSize` bytes apart, column-wise
// each column is an array of its own.
template <typename T>
T* At(T* base, SQLULEN row, SQLULEN rowSize, SQLLEN elementSize, const SQLLEN* offset) {
  if (base == nullptr) return nullptr;
  auto* bytes = reinterpret_cast<char*>(base);
  if (offset != nullptr) bytes += *offset;
  bytes += row * (rowSize != SQL_BIND_BY_COLUMN ? rowSize : static_cast<SQLULEN>(elementSize));
  return reinterpret_cast<T*>(bytes);
}

// One value into its bound buffer; the whole value or as much as fits (01004).
Outcome WriteValue(const sql::Cell& cell, const sql::ResultColumn& column, SQLSMALLINT cType, SQLPOINTER target,
                   SQLLEN bufferLength, SQLLEN* indicator, std::string& converted) {
  if (cell.kind == sql::Cell::Kind::Null) {
    if (indicator == nullptr) return {SQL_ERROR, "22002", "indicator variable required but not supplied"};
    *indicator = SQL_NULL_DATA;
    return {};
  }
  if (!IsStreamType(cType)) return PutFixed(cell, column, cType, target, indicator);
  // Text into a narrow buffer goes straight from the value; other forms are converted first.
  const std::string* source = &cell.bytes;
  if (cType != SQL_C_CHAR || cell.kind != sql::Cell::Kind::Text) {
    Outcome outcome = StreamBytes(cell, column, cType, converted);
    if (outcome.rc == SQL_ERROR) return outcome;
    source = &converted;
  }
  const std::string& bytes = *source;
  size_t terminator = cType == SQL_C_CHAR ? 1 : cType == SQL_C_WCHAR ? 2 : 0;
  size_t room = bufferLength > 0 && static_cast<size_t>(bufferLength) >= terminator
                    ? static_cast<size_t>(bufferLength) - terminator : 0;
  if (cType == SQL_C_WCHAR) room -= room % 2;
  size_t n = std::min(room, bytes.size());
  if (target != nullptr && static_cast<size_t>(bufferLength) >= terminator) {
    std::memcpy(target, bytes.data(), n);
    std::memset(static_cast<char*>(target) + n, 0, terminator);
  }
  if (indicator != nullptr) *indicator = static_cast<SQLLEN>(bytes.size());
  if (n < bytes.size()) return {SQL_SUCCESS_WITH_INFO, "01004", "string data, right truncated"};
  return {};
}

}  // namespace

SQLRETURN WriteBoundRows(Statement& stmt, SQLULEN rowsetSize, SQLUSMALLINT* rowStatus) {
  std::span<const sql::Row> rows = stmt.cursor->Rowset();
  const std::vector<sql::ResultColumn>& columns = stmt.cursor->Columns();
  SQLULEN rowSize = stmt.options.rowBindType;
  SQLINTEGER version = stmt.connection->env->odbcVersion;
  // What each bound column needs, worked out once for the whole rowset.
  struct Target {
    std::size_t index;
    const sql::ResultColumn* column;
    const Binding* binding;
    SQLSMALLINT cType;
    SQLLEN elementSize;
  };
  std::vector<Target> targets;
  for (const auto& [number, binding] : stmt.columns) {
    if ((binding.target == nullptr && binding.indicator == nullptr) || number < 1 || number > columns.size()) continue;
    const sql::ResultColumn& column = columns[number - 1];
    SQLSMALLINT cType = binding.cType == SQL_C_DEFAULT ? DefaultCType(column, version) : binding.cType;
    targets.push_back({static_cast<std::size_t>(number - 1), &column, &binding, cType,
                       IsStreamType(cType) ? binding.bufferLength : FixedSize(cType)});
  }
  bool anyInfo = false;
  SQLULEN failedRows = 0;
  for (SQLULEN r = 0; r < rowsetSize; ++r) {
    if (r >= rows.size()) {
      if (rowStatus != nullptr) rowStatus[r] = SQL_ROW_NOROW;
      continue;
    }
    SQLUSMALLINT status = SQL_ROW_SUCCESS;
    for (const Target& t : targets) {
      SQLPOINTER target = At(static_cast<char*>(t.binding->target), r, rowSize, t.elementSize, stmt.options.rowBindOffset);
      SQLLEN* indicator = At(t.binding->indicator, r, rowSize, sizeof(SQLLEN), stmt.options.rowBindOffset);
      Outcome outcome = WriteValue(rows[r][t.index], *t.column, t.cType, target, t.binding->bufferLength, indicator,
                                   stmt.scratch);
      if (outcome.rc == SQL_SUCCESS) continue;
      stmt.diag.Add(outcome.state, "row " + std::to_string(r + 1) + ", column " + std::to_string(t.index + 1) + ": " +
                                       outcome.message);
      if (outcome.rc == SQL_ERROR) status = SQL_ROW_ERROR;
      if (outcome.rc == SQL_SUCCESS_WITH_INFO && status == SQL_ROW_SUCCESS) status = SQL_ROW_SUCCESS_WITH_INFO;
    }
    if (status == SQL_ROW_ERROR) ++failedRows;
    if (status != SQL_ROW_SUCCESS) anyInfo = true;
    if (rowStatus != nullptr) rowStatus[r] = status;
  }
  if (failedRows > 0 && failedRows == rows.size()) return SQL_ERROR;
  return anyInfo ? SQL_SUCCESS_WITH_INFO : SQL_SUCCESS;
}

}  // namespace mdbodbc
