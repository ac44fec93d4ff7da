#include "parameters.h"
#include "text/utf.h"

#include "sql/access_dates.h"
#include "sql/variant.h"
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

// The exact value of a SQL_C_NUMERIC structure.
sql::Variant NumericValue(const SQL_NUMERIC_STRUCT& n) {
  sql::Variant v;
  v.type = sql::MakeType(sql::JetType::Decimal);
  unsigned __int128 m = 0;
  for (int i = SQL_MAX_NUMERIC_LEN - 1; i >= 0; --i) m = (m << 8) | n.val[i];
  int scale = n.scale;
  // A negative scale multiplies; a scale past Decimal's is read through text, which rounds.
  while (scale < 0 && m <= sql::kDecimalMaxMantissa / 10) {
    m *= 10;
    ++scale;
  }
  if (scale < 0 || scale > sql::kDecimalMaxScale || m > sql::kDecimalMaxMantissa) {
    std::string digits;
    for (unsigned __int128 x = m; x > 0; x /= 10) digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(x % 10)));
    if (digits.empty()) digits = "0";
    std::string text = (n.sign == 1 ? "" : "-") + digits + "e" + std::to_string(-scale);
    if (sql::ParseDecimal(text, v.decimal) != sql::NumberStatus::Ok) {
      v.type = sql::MakeType(sql::JetType::Text);
      v.text = text;
    }
    return v;
  }
  v.decimal.mantissa = m;
  v.decimal.scale = static_cast<std::uint8_t>(scale);
  v.decimal.negative = n.sign != 1 && m != 0;
  return v;
}

sql::Variant Whole(std::int64_t value) {
  sql::Variant v;
  v.type = sql::MakeType(sql::JetType::BigInt);
  v.integer = value;
  return v;
}

sql::Variant Real(double value) {
  sql::Variant v;
  v.type = sql::MakeType(sql::JetType::Double);
  v.real = value;
  return v;
}

sql::Variant TextValue(std::string text) {
  sql::Variant v;
  v.type = sql::MakeType(sql::JetType::Memo);
  v.text = std::move(text);
  return v;
}

// A date and time given by parts; false when they are no calendar date.
bool DateValue(const sql::DateParts& parts, sql::Variant& v) {
  std::optional<double> linear = sql::LinearFromParts(parts);
  if (!linear) return false;
  v.type = sql::MakeType(sql::JetType::DateTime);
  v.real = *linear;
  return true;
}

int BindText(sqlite3_stmt* statement, int index, const std::string& text) {
  return sqlite3_bind_text64(statement, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
}

int Bind(sqlite3_stmt* statement, int index, const sql::Variant& v) {
  switch (v.type.kind) {
    case sql::JetType::Null:
    case sql::JetType::Unknown: return sqlite3_bind_null(statement, index);
    case sql::JetType::Bool:
    case sql::JetType::Byte:
    case sql::JetType::Integer:
    case sql::JetType::Long:
    case sql::JetType::BigInt:
    case sql::JetType::Currency: return sqlite3_bind_int64(statement, index, v.integer);
    case sql::JetType::Single:
    case sql::JetType::Double:
    case sql::JetType::DateTime: return sqlite3_bind_double(statement, index, v.real);
    case sql::JetType::Decimal: {
      std::string text = sql::DecimalText(v.decimal);
      return BindText(statement, index, text);
    }
    case sql::JetType::Binary:
    case sql::JetType::LongBinary:
      return sqlite3_bind_blob64(statement, index, v.text.data(), v.text.size(), SQLITE_TRANSIENT);
    default: return BindText(statement, index, v.text);
  }
}

// Reads the value of C type `cType` at `value` (`given`: its length or indicator) into `v`.
Outcome ReadParameterValue(SQLSMALLINT cType, SQLPOINTER value, SQLLEN given, const std::string& name,
                           sql::Variant& v) {
  switch (cType) {
    case SQL_C_CHAR: {
      const char* text = static_cast<const char*>(value);
      std::size_t n = given == SQL_NTS ? std::strlen(text) : static_cast<std::size_t>(std::max<SQLLEN>(given, 0));
      v = TextValue(std::string(text, n));
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
      v = TextValue(textconv::Utf16ToUtf8(std::u16string_view(units, n)));
      break;
    }
    case SQL_C_BINARY:
      v.type = sql::MakeType(sql::JetType::LongBinary);
      v.text.assign(static_cast<const char*>(value), static_cast<std::size_t>(std::max<SQLLEN>(given, 0)));
      break;
    case SQL_C_SLONG:
    case SQL_C_LONG: v = Whole(Read<SQLINTEGER>(value)); break;
    case SQL_C_ULONG: v = Whole(Read<SQLUINTEGER>(value)); break;
    case SQL_C_SSHORT:
    case SQL_C_SHORT: v = Whole(Read<SQLSMALLINT>(value)); break;
    case SQL_C_USHORT: v = Whole(Read<SQLUSMALLINT>(value)); break;
    case SQL_C_STINYINT:
    case SQL_C_TINYINT: v = Whole(Read<SQLSCHAR>(value)); break;
    case SQL_C_UTINYINT: v = Whole(Read<SQLCHAR>(value)); break;
    case SQL_C_BIT:
      v.type = sql::MakeType(sql::JetType::Bool);
      v.integer = Read<SQLCHAR>(value) != 0 ? -1 : 0;
      break;
    case SQL_C_SBIGINT: v = Whole(Read<SQLBIGINT>(value)); break;
    case SQL_C_UBIGINT: {
      auto u = Read<SQLUBIGINT>(value);
      if (u > static_cast<SQLUBIGINT>(INT64_MAX)) {
        v.type = sql::MakeType(sql::JetType::Decimal);
        v.decimal.mantissa = u;
      } else {
        v = Whole(static_cast<std::int64_t>(u));
      }
      break;
    }
    case SQL_C_DOUBLE: v = Real(Read<SQLDOUBLE>(value)); break;
    case SQL_C_FLOAT: v = Real(Read<SQLREAL>(value)); break;
    case SQL_C_NUMERIC: v = NumericValue(Read<SQL_NUMERIC_STRUCT>(value)); break;
    case SQL_C_TYPE_TIMESTAMP:
    case SQL_C_TIMESTAMP: {
      auto ts = Read<SQL_TIMESTAMP_STRUCT>(value);
      // Access keeps milliseconds: finer fractions round to the nearest one.
      int ms = static_cast<int>((ts.fraction + 500000u) / 1000000u);
      sql::DateParts parts{ts.year, ts.month, ts.day, ts.hour, ts.minute, ts.second, std::min(ms, 999)};
      if (!DateValue(parts, v)) return {SQL_ERROR, "22007", name + ": invalid datetime"};
      break;
    }
    case SQL_C_TYPE_DATE:
    case SQL_C_DATE: {
      auto d = Read<SQL_DATE_STRUCT>(value);
      if (!DateValue({d.year, d.month, d.day, 0, 0, 0, 0}, v)) return {SQL_ERROR, "22007", name + ": invalid date"};
      break;
    }
    case SQL_C_TYPE_TIME:
    case SQL_C_TIME: {
      auto t = Read<SQL_TIME_STRUCT>(value);
      if (!DateValue({1899, 12, 30, t.hour, t.minute, t.second, 0}, v)) {
        return {SQL_ERROR, "22007", name + ": invalid time"};
      }
      break;
    }
    case SQL_C_GUID: {
      auto g = Read<SQLGUID>(value);
      char text[48];
      std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.Data1, g.Data2, g.Data3,
                    g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
      v.type = sql::MakeType(sql::JetType::Guid);
      v.text = text;
      break;
    }
    default: return {SQL_ERROR, "HY003", name + ": unsupported C type " + std::to_string(cType)};
  }
  return {};
}

}  // namespace

Outcome BindParameters(Statement& stmt, sql::Query& query) {
  sqlite3_stmt* statement = query.statement();
  sqlite3_reset(statement);
  sqlite3_clear_bindings(statement);
  int count = query.ParameterCount();
  for (int index = 1; index <= count; ++index) {
    const sql::ParameterInfo& parameter = query.Parameters()[static_cast<std::size_t>(index - 1)];
    auto found = stmt.parameters.find(static_cast<SQLUSMALLINT>(index));
    if (found == stmt.parameters.end()) {
      std::string named = parameter.name.empty() ? "" : " ([" + parameter.name + "])";
      return {SQL_ERROR, "07002",
              "too few parameters: parameter " + std::to_string(index) + named + " of " + std::to_string(count) +
                  " has no bound value"};
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
    std::string name = "parameter " + std::to_string(index);
    sql::Variant v;
    if (Outcome read = ReadParameterValue(cType, value, given, name, v); read.rc != SQL_SUCCESS) return read;
    // The value as the parameter's type: what the statement compares and computes it as.
    sql::Variant converted;
    sql::SqlError failure;
    if (!sql::ConvertVariant(v, parameter.type, converted, failure)) {
      return {SQL_ERROR, failure.state, name + ": " + failure.message};
    }
    int rc = Bind(statement, index, converted);
    if (rc != SQLITE_OK) return {SQL_ERROR, "HY000", name + ": " + sqlite3_errstr(rc)};
  }
  return {};
}

}  // namespace mdbodbc
