// Entry points that move over the rows and read their columns: SQLExtendedFetch, SQLFetch
// and SQLGetData (values handed out in pieces, NULL as SQL_NULL_DATA).
#include <charconv>
#include <cstring>
#include <map>
#include <variant>

#include "state.h"
#include "text.h"

using namespace fakeodbc;
using namespace fakeodbc::detail;

namespace {

// A value as the C type sees it: bytes handed out in pieces followed by a terminator of
// `terminator` bytes, or a fixed-size number written whole.
struct Value {
  std::string bytes;
  std::size_t terminator = 0;
  std::size_t unit = 1;  // pieces end on whole units (2 for SQL_C_WCHAR)
  bool fixed = false;    // a number
};
using Converted = std::variant<Value, Reply>;

template <class Number>
Converted parsedNumber(const std::string& text) {
  Number number{};
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, number);
  if (error != std::errc{} || stop != end) return driverError("22005", u"Error in assignment");
  return Value{std::string(reinterpret_cast<const char*>(&number), sizeof number), 0, 1, true};
}

Converted convert(const std::u16string& cell, SQLSMALLINT cType, SQLSMALLINT sqlType) {
  if (cType == SQL_C_DEFAULT) {
    const bool wide =
        sqlType == SQL_WCHAR || sqlType == SQL_WVARCHAR || sqlType == SQL_WLONGVARCHAR;
    const bool binary =
        sqlType == SQL_BINARY || sqlType == SQL_VARBINARY || sqlType == SQL_LONGVARBINARY;
    cType = wide ? SQL_C_WCHAR : binary ? SQL_C_BINARY : SQL_C_CHAR;
  }
  // Numbers are parsed from the text and written in the C type's width.
  using Parse = Converted (*)(const std::string&);
  static const std::map<SQLSMALLINT, Parse> numbers = {
      {SQL_C_SLONG, parsedNumber<SQLINTEGER>},  {SQL_C_LONG, parsedNumber<SQLINTEGER>},
      {SQL_C_ULONG, parsedNumber<SQLUINTEGER>}, {SQL_C_SSHORT, parsedNumber<SQLSMALLINT>},
      {SQL_C_SHORT, parsedNumber<SQLSMALLINT>}, {SQL_C_USHORT, parsedNumber<SQLUSMALLINT>},
      {SQL_C_SBIGINT, parsedNumber<SQLBIGINT>}, {SQL_C_UBIGINT, parsedNumber<SQLUBIGINT>},
      {SQL_C_DOUBLE, parsedNumber<SQLDOUBLE>},  {SQL_C_FLOAT, parsedNumber<SQLREAL>},
  };
  const std::string utf8 = toUtf8(cell);
  if (cType == SQL_C_WCHAR) {
    return Value{
        std::string(reinterpret_cast<const char*>(cell.data()), cell.size() * sizeof(char16_t)),
        sizeof(char16_t), sizeof(char16_t)};
  }
  if (cType == SQL_C_CHAR || cType == SQL_C_BINARY) {
    return Value{utf8, cType == SQL_C_CHAR ? 1u : 0u, 1};
  }
  if (const auto number = numbers.find(cType); number != numbers.end()) {
    return number->second(utf8);
  }
  return managerError("S1003", u"Program type out of range");
}

// Hands out the next piece of value from `offset` into a buffer of `capacity` bytes. Returns
// the number of bytes consumed and whether the value was cut.
struct Piece {
  std::size_t consumed = 0;
  bool cut = false;
};

Piece writePiece(const Value& value, std::size_t offset, SQLPOINTER buffer, SQLLEN capacity,
                 SQLLEN* indicator) {
  const std::size_t remaining = value.bytes.size() - offset;
  if (indicator != nullptr) *indicator = static_cast<SQLLEN>(remaining);
  if (buffer == nullptr || capacity <= 0) return {0, remaining > 0 || value.terminator > 0};
  const auto bytes = static_cast<std::size_t>(capacity);
  std::size_t room = bytes >= value.terminator ? bytes - value.terminator : 0;
  room -= room % value.unit;
  const std::size_t count = std::min(room, remaining);
  auto* target = static_cast<char*>(buffer);
  std::memcpy(target, value.bytes.data() + offset, count);
  if (value.terminator > 0 && count + value.terminator <= bytes) {
    std::memset(target + count, 0, value.terminator);
  }
  return {count, count < remaining};
}

}  // namespace

extern "C" {

SQLRETURN SQL_API SQLExtendedFetch(SQLHSTMT statement, SQLUSMALLINT orientation, SQLLEN offset,
                                   SQLULEN* rowCount, SQLUSMALLINT* rowStatus) {
  auto rowsetSize = [](const Stmt& stmt) {
    return std::max<SQLULEN>(statementOptionValue(stmt, SQL_ROWSET_SIZE), 1);
  };
  return onHandle<Stmt>(
      Fn::SQLExtendedFetch, statement,
      ", " + nameOf(NameSet::FetchOrientation, orientation) + ", " + std::to_string(offset),
      [&](State&, Stmt& stmt) {
        if (stmt.phase != Phase::Open) return functionSequenceError();
        if (stmt.result.columns.empty()) return invalidCursorState();
        Reply reply = moveCursor(stmt, orientation, offset, rowsetSize(stmt));
        if (reply.rc == SQL_SUCCESS) {
          const std::size_t fetched = rowsInRowset(stmt, rowsetSize(stmt));
          if (rowCount != nullptr) *rowCount = fetched;
          if (rowStatus != nullptr) {
            for (std::size_t i = 0; i < rowsetSize(stmt); ++i) {
              rowStatus[i] = i < fetched ? SQL_ROW_SUCCESS : SQL_ROW_NOROW;
            }
          }
        } else if (reply.rc == SQL_NO_DATA && rowCount != nullptr) {
          *rowCount = 0;
        }
        return reply;
      },
      [&](const Answer& scripted, State&, Stmt& stmt) {
        put(rowCount, scripted.number);
        if (scripted.rowStatus && rowStatus != nullptr) {
          std::fill_n(rowStatus, rowsetSize(stmt), *scripted.rowStatus);
        }
      });
}

SQLRETURN SQL_API SQLFetch(SQLHSTMT statement) {
  return onHandle<Stmt>(Fn::SQLFetch, statement, "", [&](State&, Stmt& stmt) {
    if (stmt.phase != Phase::Open) return functionSequenceError();
    if (stmt.result.columns.empty()) return invalidCursorState();
    return moveCursor(stmt, SQL_FETCH_NEXT, 0, 1);
  });
}

SQLRETURN SQL_API SQLGetData(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT cType,
                             SQLPOINTER buffer, SQLLEN capacity, SQLLEN* indicator) {
  return onHandle<Stmt>(
      Fn::SQLGetData, statement,
      ", " + std::to_string(column) + ", " + nameOf(NameSet::CType, cType) + ", " +
          std::to_string(capacity),
      [&](State&, Stmt& stmt) -> Reply {
        if (stmt.phase != Phase::Open) return functionSequenceError();
        if (stmt.position != Position::OnRowset) return invalidCursorState();
        const auto& columns = stmt.result.columns;
        if (column < 1 || column > columns.size()) {
          return driverError("S1002", u"Invalid column number");
        }
        if (capacity < 0) return invalidLength();
        if (stmt.readWhole.count(column)) return Reply{SQL_NO_DATA, {}};
        const Cell& cell = stmt.result.rows[stmt.firstRow][column - 1];
        if (!cell) {
          if (indicator == nullptr) {
            return driverError("22002", u"Indicator variable required but not supplied");
          }
          *indicator = SQL_NULL_DATA;
          stmt.readWhole.insert(column);
          return Reply::ok();
        }
        Converted converted = convert(*cell, cType, columns[column - 1].sqlType);
        if (auto* refused = std::get_if<Reply>(&converted)) return *refused;
        const auto& value = std::get<Value>(converted);
        if (value.fixed) {
          if (buffer != nullptr) std::memcpy(buffer, value.bytes.data(), value.bytes.size());
          if (indicator != nullptr) *indicator = static_cast<SQLLEN>(value.bytes.size());
          stmt.readWhole.insert(column);
          return Reply::ok();
        }
        std::size_t& offset = stmt.readOffsets[column];
        const Piece piece = writePiece(value, offset, buffer, capacity, indicator);
        offset += piece.consumed;
        if (piece.cut) return stringTruncated();
        stmt.readWhole.insert(column);
        return Reply::ok();
      },
      [&](const Answer& scripted, State&, Stmt&) {
        if (scripted.text) {
          Converted converted = convert(*scripted.text, cType, SQL_WVARCHAR);
          if (auto* value = std::get_if<Value>(&converted); value && !value->fixed) {
            writePiece(*value, 0, buffer, capacity, indicator);
          }
        }
        put(indicator, scripted.length);
      });
}

}  // extern "C"
