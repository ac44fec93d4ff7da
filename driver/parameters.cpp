#include "parameters.h"

#include "sql/date_text.h"
#include "text.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstring>

namespace mdbodbc {
namespace {

template <typename T>
T Read(SQLPOINTER value) {
  T v;
  std::memcpy(&v, value, sizeof v);
  return v;
}

std::string DateText(int year, int month, int day) {
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", year, month, day);
  return text;
}

std::string TimeText(int hour, int minute, int second) {
  char text[48];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d", hour, minute, second);
  return text;
}

SQLSMALLINT DefaultParameterCType(SQLSMALLINT sqlType) {
  switch (sqlType) {
    case SQL_BIT: return SQL_C_BIT;
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT: return SQL_C_SBIGINT;
    case SQL_REAL:
    case SQL_FLOAT:
    case SQL_DOUBLE: return SQL_C_DOUBLE;
    case SQL_BINARY:
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY: return SQL_C_BINARY;
    case SQL_TYPE_TIMESTAMP:
    case SQL_TIMESTAMP: return SQL_C_TYPE_TIMESTAMP;
    case SQL_TYPE_DATE:
    case SQL_DATE: return SQL_C_TYPE_DATE;
    case SQL_TYPE_TIME:
    case SQL_TIME: return SQL_C_TYPE_TIME;
    case SQL_WCHAR:
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR: return SQL_C_WCHAR;
    default: return SQL_C_CHAR;
  }
}

// The value of a SQL_C_NUMERIC structure as a double.
double NumericValue(const SQL_NUMERIC_STRUCT& n) {
  double value = 0;
  for (int i = SQL_MAX_NUMERIC_LEN - 1; i >= 0; --i) value = value * 256 + n.val[i];
  for (int i = 0; i < n.scale; ++i) value /= 10;
  for (int i = 0; i > n.scale; --i) value *= 10;
  return n.sign == 1 ? value : -value;
}

int BindText(sqlite3_stmt* statement, int index, const std::string& text) {
  return sqlite3_bind_text64(statement, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

}  // namespace

Outcome BindParameters(Statement& stmt, sql::Query& query) {
  sqlite3_stmt* statement = query.statement();
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
  int count = query.ParameterCount();
  for (int index = 1; index <= count; ++index) {
    auto found = stmt.parameters.find(static_cast<SQLUSMALLINT>(index));
    if (found == stmt.parameters.end()) {
      return {SQL_ERROR, "07002", "parameter " + std::to_string(index) + " has no bound value"};
    }
    const Binding& b = found->second;
    if (b.ioType != SQL_PARAM_INPUT) {
      return {SQL_ERROR, "HY105", "parameter " + std::to_string(index) + ": only input parameters are supported"};
    }
    auto offsetOf = [&](auto* pointer) {
      if (pointer == nullptr || stmt.options.paramBindOffset == nullptr) return pointer;
      using T = std::remove_pointer_t<decltype(pointer)>;
      return reinterpret_cast<T*>(reinterpret_cast<char*>(pointer) + *stmt.options.paramBindOffset);
    };
    SQLPOINTER value = offsetOf(static_cast<char*>(b.target));
    SQLLEN* indicator = offsetOf(b.indicator);
    SQLLEN* length = offsetOf(b.octetLength);
    if (indicator != nullptr && *indicator == SQL_NULL_DATA) {
      sqlite3_bind_null(statement, index);
      continue;
    }
    if ((indicator != nullptr && (*indicator == SQL_DATA_AT_EXEC || *indicator <= SQL_LEN_DATA_AT_EXEC_OFFSET)) ||
        (length != nullptr && (*length == SQL_DATA_AT_EXEC || *length <= SQL_LEN_DATA_AT_EXEC_OFFSET))) {
      return {SQL_ERROR, "HYC00", "parameter " + std::to_string(index) + ": data at execution is not supported"};
    }
    if (value == nullptr) {
      sqlite3_bind_null(statement, index);
      continue;
    }
    SQLLEN given = length != nullptr ? *length : indicator != nullptr ? *indicator : SQL_NTS;
    SQLSMALLINT cType = b.cType == SQL_C_DEFAULT ? DefaultParameterCType(b.sqlType) : b.cType;
    int rc = SQLITE_OK;
    switch (cType) {
      case SQL_C_CHAR: {
        const char* text = static_cast<const char*>(value);
        std::size_t n = given == SQL_NTS ? std::strlen(text) : static_cast<std::size_t>(std::max<SQLLEN>(given, 0));
        rc = BindText(statement, index, std::string(text, n));
        break;
      }
      case SQL_C_WCHAR: {
        const auto* units = static_cast<const char16_t*>(value);
        std::size_t n = 0;
        if (given == SQL_NTS) {
          while (units[n] != 0) ++n;
        } else {
          n = static_cast<std::size_t>(std::max<SQLLEN>(given, 0)) / 2;
        }
        rc = BindText(statement, index, Utf16ToUtf8(std::u16string_view(units, n)));
        break;
      }
      case SQL_C_BINARY:
        rc = sqlite3_bind_blob64(statement, index, value, static_cast<sqlite3_uint64>(std::max<SQLLEN>(given, 0)),
                                 SQLITE_TRANSIENT);
        break;
      case SQL_C_SLONG:
      case SQL_C_LONG: rc = sqlite3_bind_int64(statement, index, Read<SQLINTEGER>(value)); break;
      case SQL_C_ULONG: rc = sqlite3_bind_int64(statement, index, Read<SQLUINTEGER>(value)); break;
      case SQL_C_SSHORT:
      case SQL_C_SHORT: rc = sqlite3_bind_int64(statement, index, Read<SQLSMALLINT>(value)); break;
      case SQL_C_USHORT: rc = sqlite3_bind_int64(statement, index, Read<SQLUSMALLINT>(value)); break;
      case SQL_C_STINYINT:
      case SQL_C_TINYINT: rc = sqlite3_bind_int64(statement, index, Read<SQLSCHAR>(value)); break;
      case SQL_C_UTINYINT:
      case SQL_C_BIT: rc = sqlite3_bind_int64(statement, index, Read<SQLCHAR>(value)); break;
      case SQL_C_SBIGINT: rc = sqlite3_bind_int64(statement, index, Read<SQLBIGINT>(value)); break;
      case SQL_C_UBIGINT: {
        auto v = Read<SQLUBIGINT>(value);
        rc = v > static_cast<SQLUBIGINT>(INT64_MAX) ? sqlite3_bind_double(statement, index, static_cast<double>(v))
                                                    : sqlite3_bind_int64(statement, index, static_cast<sqlite3_int64>(v));
        break;
      }
      case SQL_C_DOUBLE: rc = sqlite3_bind_double(statement, index, Read<SQLDOUBLE>(value)); break;
      case SQL_C_FLOAT: rc = sqlite3_bind_double(statement, index, Read<SQLREAL>(value)); break;
      case SQL_C_NUMERIC: rc = sqlite3_bind_double(statement, index, NumericValue(Read<SQL_NUMERIC_STRUCT>(value))); break;
      case SQL_C_TYPE_TIMESTAMP:
      case SQL_C_TIMESTAMP: {
        auto ts = Read<SQL_TIMESTAMP_STRUCT>(value);
        std::string text = DateText(ts.year, ts.month, ts.day) + " " + TimeText(ts.hour, ts.minute, ts.second);
        if (!sql::ParseIso(text)) return {SQL_ERROR, "22007", "parameter " + std::to_string(index) + ": invalid datetime"};
        rc = BindText(statement, index, text);
        break;
      }
      case SQL_C_TYPE_DATE:
      case SQL_C_DATE: {
        auto d = Read<SQL_DATE_STRUCT>(value);
        std::string text = DateText(d.year, d.month, d.day);
        if (!sql::ParseIso(text)) return {SQL_ERROR, "22007", "parameter " + std::to_string(index) + ": invalid date"};
        rc = BindText(statement, index, text);
        break;
      }
      case SQL_C_TYPE_TIME:
      case SQL_C_TIME: {
        auto t = Read<SQL_TIME_STRUCT>(value);
        std::string text = TimeText(t.hour, t.minute, t.second);
        if (!sql::ParseIso(text)) return {SQL_ERROR, "22007", "parameter " + std::to_string(index) + ": invalid time"};
        rc = BindText(statement, index, text);
        break;
      }
      default:
        return {SQL_ERROR, "HY003", "parameter " + std::to_string(index) + ": unsupported C type " + std::to_string(cType)};
    }
    if (rc != SQLITE_OK) return {SQL_ERROR, "HY000", std::string("parameter ") + std::to_string(index) + ": " + sqlite3_errstr(rc)};
  }
  return {};
}

}  // namespace mdbodbc
