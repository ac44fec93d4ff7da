#include "get_data.h"

#include "text.h"
#include "value_text.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace mdbodbc {
namespace {

SQLSMALLINT DefaultCType(const ColumnInfo& column, SQLINTEGER version) {
  switch (column.sqlType) {
    case SQL_BIT: return SQL_C_BIT;
    case SQL_TINYINT: return SQL_C_UTINYINT;
    case SQL_SMALLINT: return SQL_C_SSHORT;
    case SQL_INTEGER: return SQL_C_SLONG;
    case SQL_REAL: return SQL_C_FLOAT;
    case SQL_DOUBLE: return SQL_C_DOUBLE;
    case SQL_TYPE_TIMESTAMP: return version == SQL_OV_ODBC2 ? SQL_C_TIMESTAMP : SQL_C_TYPE_TIMESTAMP;
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR: return SQL_C_WCHAR;
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY:
    case SQL_GUID: return SQL_C_BINARY;
    default: return SQL_C_CHAR;
  }
}

// The bytes that a character or binary target receives, or false when the value cannot be
// converted to that type.
bool StreamBytes(const FieldValue& value, SQLSMALLINT cType, std::string& bytes) {
  switch (cType) {
    case SQL_C_CHAR: bytes = Utf16ToUtf8(ValueText(value)); return true;
    case SQL_C_WCHAR: {
      std::u16string text = ValueText(value);
      bytes.assign(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t));
      return true;
    }
    case SQL_C_BINARY:
      if (value.kind == ValueKind::Binary || value.kind == ValueKind::Guid) {
        bytes = value.bytes;
        return true;
      }
      if (value.kind == ValueKind::Text) {
        bytes.assign(reinterpret_cast<const char*>(value.text.data()),
                     value.text.size() * sizeof(char16_t));
        return true;
      }
      return false;
    default: return false;
  }
}

SQLRETURN Stream(Statement& stmt, ColumnRead& read, SQLSMALLINT cType, SQLPOINTER target,
                 SQLLEN bufferLength, SQLLEN* indicator) {
  size_t terminator = cType == SQL_C_CHAR ? 1 : cType == SQL_C_WCHAR ? 2 : 0;
  size_t remaining = read.bytes.size() - read.offset;
  size_t room = 0;
  if (target != nullptr && static_cast<size_t>(bufferLength) >= terminator) {
    room = static_cast<size_t>(bufferLength) - terminator;
    if (cType == SQL_C_WCHAR) room -= room % 2;
  }
  size_t n = std::min(remaining, room);
  if (target != nullptr && static_cast<size_t>(bufferLength) >= terminator) {
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

struct Number {
  bool isInteger = true;
  int64_t integer = 0;
  double real = 0;
};

bool ToNumber(const FieldValue& value, Number& number) {
  switch (value.kind) {
    case ValueKind::Bit:
    case ValueKind::Integer: number.integer = value.integer; return true;
    case ValueKind::Real: number.isInteger = false; number.real = value.real; return true;
    case ValueKind::Decimal:
    case ValueKind::Text: {
      std::string text = value.kind == ValueKind::Text ? Utf16ToUtf8(value.text) : value.decimal;
      const char* begin = text.c_str();
      char* end = nullptr;
      double parsed = std::strtod(begin, &end);
      while (end != nullptr && *end == ' ') ++end;
      if (end == begin || end == nullptr || *end != '\0') return false;
      number.isInteger = false;
      number.real = parsed;
      return true;
    }
    default: return false;
  }
}

template <typename T>
SQLRETURN PutInteger(Statement& stmt, const Number& number, SQLPOINTER target, SQLLEN* indicator) {
  double asReal = number.isInteger ? static_cast<double>(number.integer) : number.real;
  if (!std::isfinite(asReal) || asReal < static_cast<double>(std::numeric_limits<T>::min()) - 1 ||
      asReal > static_cast<double>(std::numeric_limits<T>::max()) + 1) {
    return Fail(stmt, "22003", "numeric value out of range");
  }
  long double whole = number.isInteger ? static_cast<long double>(number.integer)
                                       : std::trunc(static_cast<long double>(number.real));
  if (whole < static_cast<long double>(std::numeric_limits<T>::min()) ||
      whole > static_cast<long double>(std::numeric_limits<T>::max())) {
    return Fail(stmt, "22003", "numeric value out of range");
  }
  T result = number.isInteger ? static_cast<T>(number.integer) : static_cast<T>(whole);
  if (target != nullptr) std::memcpy(target, &result, sizeof result);
  if (indicator != nullptr) *indicator = sizeof result;
  if (!number.isInteger && whole != static_cast<long double>(number.real)) {
    return Warn(stmt, "01S07", "fractional truncation");
  }
  return SQL_SUCCESS;
}

template <typename T>
SQLRETURN PutReal(const Number& number, SQLPOINTER target, SQLLEN* indicator) {
  T result = static_cast<T>(number.isInteger ? static_cast<double>(number.integer) : number.real);
  if (target != nullptr) std::memcpy(target, &result, sizeof result);
  if (indicator != nullptr) *indicator = sizeof result;
  return SQL_SUCCESS;
}

template <typename T>
void Put(const T& result, SQLPOINTER target, SQLLEN* indicator) {
  if (target != nullptr) std::memcpy(target, &result, sizeof result);
  if (indicator != nullptr) *indicator = sizeof result;
}

SQLRETURN PutFixed(Statement& stmt, const FieldValue& value, SQLSMALLINT cType, SQLPOINTER target,
                   SQLLEN* indicator) {
  if (cType == SQL_C_TYPE_TIMESTAMP || cType == SQL_C_TIMESTAMP || cType == SQL_C_TYPE_DATE ||
      cType == SQL_C_DATE || cType == SQL_C_TYPE_TIME || cType == SQL_C_TIME) {
    if (value.kind != ValueKind::Timestamp) {
      return Fail(stmt, "07006", "restricted data type attribute violation");
    }
    const SQL_TIMESTAMP_STRUCT& ts = value.timestamp;
    if (cType == SQL_C_TYPE_TIMESTAMP || cType == SQL_C_TIMESTAMP) {
      Put(ts, target, indicator);
      return SQL_SUCCESS;
    }
    if (cType == SQL_C_TYPE_DATE || cType == SQL_C_DATE) {
      SQL_DATE_STRUCT date{ts.year, ts.month, ts.day};
      Put(date, target, indicator);
      if (ts.hour || ts.minute || ts.second) return Warn(stmt, "01S07", "fractional truncation");
      return SQL_SUCCESS;
    }
    SQL_TIME_STRUCT time{ts.hour, ts.minute, ts.second};
    Put(time, target, indicator);
    return SQL_SUCCESS;
  }
  Number number;
  if (!ToNumber(value, number)) {
    if (value.kind == ValueKind::Text) return Fail(stmt, "22018", "invalid character value for the requested type");
    return Fail(stmt, "07006", "restricted data type attribute violation");
  }
  switch (cType) {
    case SQL_C_SLONG:
    case SQL_C_LONG: return PutInteger<SQLINTEGER>(stmt, number, target, indicator);
    case SQL_C_ULONG: return PutInteger<SQLUINTEGER>(stmt, number, target, indicator);
    case SQL_C_SSHORT:
    case SQL_C_SHORT: return PutInteger<SQLSMALLINT>(stmt, number, target, indicator);
    case SQL_C_USHORT: return PutInteger<SQLUSMALLINT>(stmt, number, target, indicator);
    case SQL_C_STINYINT:
    case SQL_C_TINYINT: return PutInteger<SQLSCHAR>(stmt, number, target, indicator);
    case SQL_C_UTINYINT: return PutInteger<SQLCHAR>(stmt, number, target, indicator);
    case SQL_C_SBIGINT: return PutInteger<SQLBIGINT>(stmt, number, target, indicator);
    case SQL_C_UBIGINT: return PutInteger<SQLUBIGINT>(stmt, number, target, indicator);
    case SQL_C_BIT: {
      double v = number.isInteger ? static_cast<double>(number.integer) : number.real;
      if (v < 0 || v >= 2) return Fail(stmt, "22003", "numeric value out of range");
      SQLCHAR bit = v >= 1 ? 1 : 0;
      Put(bit, target, indicator);
      if (v != 0 && v != 1) return Warn(stmt, "01S07", "fractional truncation");
      return SQL_SUCCESS;
    }
    case SQL_C_DOUBLE: return PutReal<SQLDOUBLE>(number, target, indicator);
    case SQL_C_FLOAT: return PutReal<SQLREAL>(number, target, indicator);
    default: return Fail(stmt, "HY003", "invalid application buffer type");
  }
}

}  // namespace

SQLRETURN GetData(Statement& stmt, SQLUSMALLINT column, SQLSMALLINT cType, SQLPOINTER target,
                  SQLLEN bufferLength, SQLLEN* indicator) {
  if (!stmt.cursor) return Fail(stmt, "HY010", "function sequence error");
  if (!stmt.cursor->HasRow()) return Fail(stmt, "24000", "invalid cursor state");
  const std::vector<ColumnInfo>& columns = stmt.cursor->query().Columns();
  if (column < 1 || column > columns.size()) return Fail(stmt, "07009", "invalid descriptor index");
  if (bufferLength < 0) return Fail(stmt, "HY090", "invalid string or buffer length");
  if (cType == SQL_C_DEFAULT) cType = DefaultCType(columns[column - 1], stmt.connection->env->odbcVersion);

  // A column is delivered once per row: after its last piece (or its NULL) every further
  // read answers SQL_NO_DATA, whatever the buffer type.
  auto found = stmt.reads.find(column);
  if (found != stmt.reads.end()) {
    ColumnRead& read = found->second;
    if (read.finished) return SQL_NO_DATA;
    if (read.cType == cType) return Stream(stmt, read, cType, target, bufferLength, indicator);
  }

  std::string error;
  std::optional<FieldValue> value = stmt.cursor->query().Value(column - 1, error);
  if (!value) return Fail(stmt, "HY000", "cannot read column " + std::to_string(column) + ": " + error);
  ColumnRead& read = stmt.reads[column];
  read = ColumnRead{};
  read.cType = cType;
  if (value->isNull) {
    if (indicator == nullptr) return Fail(stmt, "22002", "indicator variable required but not supplied");
    *indicator = SQL_NULL_DATA;
    read.finished = true;
    return SQL_SUCCESS;
  }
  if (cType == SQL_C_CHAR || cType == SQL_C_WCHAR || cType == SQL_C_BINARY) {
    if (!StreamBytes(*value, cType, read.bytes)) {
      stmt.reads.erase(column);
      return Fail(stmt, "07006", "restricted data type attribute violation");
    }
    return Stream(stmt, read, cType, target, bufferLength, indicator);
  }
  SQLRETURN rc = PutFixed(stmt, *value, cType, target, indicator);
  if (rc == SQL_ERROR) {
    stmt.reads.erase(column);
  } else {
    read.finished = true;
  }
  return rc;
}

}  // namespace mdbodbc
