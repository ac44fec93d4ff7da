#include "convert.h"
#include "text/utf.h"

#include "binary_image.h"
#include "sql/access_dates.h"
#include "sql/exact_number.h"
#include "jet/extended_date.h"
#include "text.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace mdbodbc {
namespace {

Outcome Error(const char* state, std::string message) { return {SQL_ERROR, state, std::move(message)}; }
Outcome Info(const char* state, std::string message) {
  return {SQL_SUCCESS_WITH_INFO, state, std::move(message)};
}

std::string HexText(const std::string& bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 0x0F];
  }
  return out;
}

// A column's value as a number for the numeric C types: whole, real, or exact in
// ten-thousandths or as a Decimal.
struct Number {
  enum class Kind { Whole, Real, Currency, Decimal } kind = Kind::Whole;
  std::int64_t integer = 0;
  double real = 0;
  sql::Decimal decimal;

  double AsDouble() const {
    switch (kind) {
      case Kind::Whole: return static_cast<double>(integer);
      case Kind::Real: return real;
      case Kind::Currency: return sql::CurrencyToDouble(integer);
      case Kind::Decimal: return sql::DecimalToDouble(decimal);
    }
    return 0;
  }
};

bool ToNumber(const sql::Cell& cell, Number& number) {
  switch (cell.kind) {
    case sql::Cell::Kind::Integer: number.integer = cell.integer; return true;
    case sql::Cell::Kind::Currency:
      number.kind = Number::Kind::Currency;
      number.integer = cell.integer;
      return true;
    case sql::Cell::Kind::Real:
      number.kind = Number::Kind::Real;
      number.real = cell.real;
      return true;
    case sql::Cell::Kind::Timestamp:  // as a Date/Time's number of days
      number.kind = Number::Kind::Real;
      number.real = sql::StoredFromLinear(sql::LinearFromTicks(cell.integer));
      return true;
    case sql::Cell::Kind::Decimal:
    case sql::Cell::Kind::Text: {
      if (sql::ParseDecimal(cell.bytes, number.decimal) == sql::NumberStatus::Ok) {
        number.kind = Number::Kind::Decimal;
        return true;
      }
      const char* begin = cell.bytes.c_str();
      while (*begin == ' ') ++begin;
      char* end = nullptr;
      double parsed = std::strtod(begin, &end);
      while (end != nullptr && *end == ' ') ++end;
      if (end == begin || end == nullptr || *end != '\0') return false;
      number.kind = Number::Kind::Real;
      number.real = parsed;
      return true;
    }
    default: return false;
  }
}

// The whole part (toward zero) of a number, and whether a fraction was cut off; false when it
// is no finite number or lies beyond 64 bits.
bool WholePart(const Number& n, long double& whole, bool& fraction) {
  switch (n.kind) {
    case Number::Kind::Whole:
      whole = static_cast<long double>(n.integer);
      fraction = false;
      return true;
    case Number::Kind::Currency:
      whole = static_cast<long double>(n.integer / 10000);
      fraction = n.integer % 10000 != 0;
      return true;
    case Number::Kind::Decimal: {
      unsigned __int128 ten = 1;
      for (int i = 0; i < n.decimal.scale; ++i) ten *= 10;
      unsigned __int128 q = n.decimal.mantissa / ten;
      fraction = n.decimal.mantissa % ten != 0;
      if (q > static_cast<unsigned __int128>(std::numeric_limits<std::uint64_t>::max())) return false;
      whole = static_cast<long double>(static_cast<std::uint64_t>(q));
      if (n.decimal.negative) whole = -whole;
      return true;
    }
    case Number::Kind::Real:
      if (!std::isfinite(n.real)) return false;
      whole = std::trunc(static_cast<long double>(n.real));
      fraction = whole != static_cast<long double>(n.real);
      return true;
  }
  return false;
}

template <typename T>
void Put(const T& value, SQLPOINTER target, SQLLEN* indicator) {
  if (target != nullptr) std::memcpy(target, &value, sizeof value);
  if (indicator != nullptr) *indicator = sizeof value;
}

template <typename T>
Outcome PutInteger(const Number& number, SQLPOINTER target, SQLLEN* indicator) {
  long double whole = 0;
  bool fraction = false;
  if (!WholePart(number, whole, fraction) || whole < static_cast<long double>(std::numeric_limits<T>::min()) ||
      whole > static_cast<long double>(std::numeric_limits<T>::max())) {
    return Error("22003", "numeric value out of range");
  }
  T result = number.kind == Number::Kind::Whole ? static_cast<T>(number.integer) : static_cast<T>(whole);
  Put(result, target, indicator);
  if (fraction) return Info("01S07", "fractional truncation");
  return {};
}

template <typename T>
Outcome PutReal(const Number& number, SQLPOINTER target, SQLLEN* indicator) {
  double value = number.AsDouble();
  if (std::is_same_v<T, float> && std::isfinite(value) && std::fabs(value) > std::numeric_limits<float>::max()) {
    return Error("22003", "numeric value out of range");
  }
  Put(static_cast<T>(value), target, indicator);
  return {};
}

// SQL_C_NUMERIC: the value at the column's scale; digits cut off beyond it are 01S07.
Outcome PutNumeric(const Number& number, const sql::ResultColumn& column, SQLPOINTER target, SQLLEN* indicator) {
  sql::Decimal d;
  switch (number.kind) {
    case Number::Kind::Whole: d = sql::DecimalFromInt64(number.integer); break;
    case Number::Kind::Currency: sql::DecimalFromCurrency(number.integer, d); break;
    case Number::Kind::Decimal: d = number.decimal; break;
    case Number::Kind::Real:
      if (sql::DecimalFromDouble(number.real, d) != sql::NumberStatus::Ok) return Error("22003", "numeric value out of range");
      break;
  }
  int scale = column.sqlType == SQL_NUMERIC || column.sqlType == SQL_DECIMAL ? column.decimals : d.scale;
  bool cut = false;
  if (d.scale > scale) {
    unsigned __int128 ten = 1;
    for (int i = scale; i < d.scale; ++i) ten *= 10;
    cut = d.mantissa % ten != 0;
    d.mantissa /= ten;
    d.scale = static_cast<std::uint8_t>(scale);
  }
  while (d.scale < scale) {
    d.mantissa *= 10;
    ++d.scale;
  }
  SQL_NUMERIC_STRUCT n{};
  int digits = 1;
  for (unsigned __int128 m = d.mantissa; m >= 10; m /= 10) ++digits;
  n.precision = static_cast<SQLCHAR>(std::max<int>(digits, column.size > 0 && column.size <= 38 ? static_cast<int>(column.size) : digits));
  n.scale = static_cast<SQLSCHAR>(d.scale);
  n.sign = d.negative && d.mantissa != 0 ? 0 : 1;
  unsigned __int128 m = d.mantissa;
  for (int i = 0; i < SQL_MAX_NUMERIC_LEN; ++i) {
    n.val[i] = static_cast<SQLCHAR>(m & 0xFF);
    m >>= 8;
  }
  Put(n, target, indicator);
  if (cut) return Info("01S07", "fractional truncation");
  return {};
}

bool ParseGuid(const std::string& text, SQLGUID& guid) {
  unsigned b[16];
  if (text.size() != 38 ||
      std::sscanf(text.c_str(), "{%2x%2x%2x%2x-%2x%2x-%2x%2x-%2x%2x-%2x%2x%2x%2x%2x%2x}", &b[0], &b[1], &b[2],
                  &b[3], &b[4], &b[5], &b[6], &b[7], &b[8], &b[9], &b[10], &b[11], &b[12], &b[13], &b[14],
                  &b[15]) != 16) {
    return false;
  }
  guid.Data1 = b[0] << 24 | b[1] << 16 | b[2] << 8 | b[3];
  guid.Data2 = static_cast<unsigned short>(b[4] << 8 | b[5]);
  guid.Data3 = static_cast<unsigned short>(b[6] << 8 | b[7]);
  for (int i = 0; i < 8; ++i) guid.Data4[i] = static_cast<unsigned char>(b[8 + i]);
  return true;
}

// A moment, split into its fields, to a date, time or timestamp structure; what the structure
// cannot hold (a date's time, a time's fraction) is cut with 01S07.
Outcome PutMoment(int year, int month, int day, int hour, int minute, int second, std::uint32_t nanoseconds,
                  SQLSMALLINT cType, SQLPOINTER target, SQLLEN* indicator) {
  if (cType == SQL_C_TYPE_TIMESTAMP || cType == SQL_C_TIMESTAMP) {
    SQL_TIMESTAMP_STRUCT ts{static_cast<SQLSMALLINT>(year), static_cast<SQLUSMALLINT>(month),
                            static_cast<SQLUSMALLINT>(day), static_cast<SQLUSMALLINT>(hour),
                            static_cast<SQLUSMALLINT>(minute), static_cast<SQLUSMALLINT>(second),
                            static_cast<SQLUINTEGER>(nanoseconds)};
    Put(ts, target, indicator);
    return {};
  }
  if (cType == SQL_C_TYPE_DATE || cType == SQL_C_DATE) {
    SQL_DATE_STRUCT date{static_cast<SQLSMALLINT>(year), static_cast<SQLUSMALLINT>(month),
                         static_cast<SQLUSMALLINT>(day)};
    Put(date, target, indicator);
    if (hour || minute || second || nanoseconds) return Info("01S07", "fractional truncation");
    return {};
  }
  SQL_TIME_STRUCT time{static_cast<SQLUSMALLINT>(hour), static_cast<SQLUSMALLINT>(minute),
                       static_cast<SQLUSMALLINT>(second)};
  Put(time, target, indicator);
  if (nanoseconds) return Info("01S07", "fractional truncation");
  return {};
}

// A Date/Time Extended value (100-ns ticks) to a date, time or timestamp structure.
Outcome PutTimestamp(std::int64_t ticks, SQLSMALLINT cType, SQLPOINTER target, SQLLEN* indicator) {
  const jet::ExtendedDateParts d = jet::SplitTicks(ticks);
  return PutMoment(d.year, d.month, d.day, d.hour, d.minute, d.second,
                   static_cast<std::uint32_t>(d.fraction) * 100u, cType, target, indicator);
}

}  // namespace

std::string ValueText(const sql::Cell& cell, const sql::ResultColumn& column) {
  switch (cell.kind) {
    case sql::Cell::Kind::Null: return {};
    case sql::Cell::Kind::Integer: return std::to_string(cell.integer);
    case sql::Cell::Kind::Currency: return sql::CurrencyText(cell.integer, column.decimals);
    case sql::Cell::Kind::Real: {
      char buffer[64];
      // A Single's value as the shortest text that reads back as that Single.
      auto result = column.sqlType == SQL_REAL
                        ? std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(cell.real))
                        : std::to_chars(buffer, buffer + sizeof buffer, cell.real);
      return std::string(buffer, result.ptr);
    }
    case sql::Cell::Kind::DateTime: return sql::DateTimeText(cell.real);
    case sql::Cell::Kind::Timestamp: return jet::ExtendedDateText(cell.integer);
    case sql::Cell::Kind::Decimal:
    case sql::Cell::Kind::Text: return cell.bytes;
    case sql::Cell::Kind::Blob: return HexText(cell.bytes);
  }
  return {};
}

SQLSMALLINT DefaultCType(const sql::ResultColumn& column, SQLINTEGER version) {
  switch (column.sqlType) {
    case SQL_BIT: return SQL_C_BIT;
    case SQL_TINYINT: return SQL_C_UTINYINT;
    case SQL_SMALLINT: return SQL_C_SSHORT;
    case SQL_INTEGER: return SQL_C_SLONG;
    case SQL_BIGINT: return SQL_C_SBIGINT;
    case SQL_REAL: return SQL_C_FLOAT;
    case SQL_DOUBLE: return SQL_C_DOUBLE;
    case SQL_TYPE_TIMESTAMP: return version == SQL_OV_ODBC2 ? SQL_C_TIMESTAMP : SQL_C_TYPE_TIMESTAMP;
    case SQL_WVARCHAR:
    case SQL_WLONGVARCHAR: return SQL_C_WCHAR;
    case SQL_VARBINARY:
    case SQL_LONGVARBINARY: return SQL_C_BINARY;
    default: return SQL_C_CHAR;
  }
}

bool IsStreamType(SQLSMALLINT cType) {
  return cType == SQL_C_CHAR || cType == SQL_C_WCHAR || cType == SQL_C_BINARY;
}

SQLLEN FixedSize(SQLSMALLINT cType) {
  switch (cType) {
    case SQL_C_SLONG:
    case SQL_C_LONG:
    case SQL_C_ULONG:
    case SQL_C_FLOAT: return 4;
    case SQL_C_SSHORT:
    case SQL_C_SHORT:
    case SQL_C_USHORT: return 2;
    case SQL_C_STINYINT:
    case SQL_C_TINYINT:
    case SQL_C_UTINYINT:
    case SQL_C_BIT: return 1;
    case SQL_C_SBIGINT:
    case SQL_C_UBIGINT:
    case SQL_C_DOUBLE: return 8;
    case SQL_C_TYPE_TIMESTAMP:
    case SQL_C_TIMESTAMP: return sizeof(SQL_TIMESTAMP_STRUCT);
    case SQL_C_TYPE_DATE:
    case SQL_C_DATE: return sizeof(SQL_DATE_STRUCT);
    case SQL_C_TYPE_TIME:
    case SQL_C_TIME: return sizeof(SQL_TIME_STRUCT);
    case SQL_C_GUID: return sizeof(SQLGUID);
    case SQL_C_NUMERIC: return sizeof(SQL_NUMERIC_STRUCT);
    default: return 0;
  }
}

Outcome StreamBytes(const sql::Cell& cell, const sql::ResultColumn& column, SQLSMALLINT cType, std::string& bytes) {
  switch (cType) {
    case SQL_C_CHAR: bytes = ValueText(cell, column); return {};
    case SQL_C_WCHAR: {
      std::u16string text = textconv::Utf8ToUtf16(ValueText(cell, column));
      bytes.assign(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t));
      return {};
    }
    case SQL_C_BINARY: return BinaryImage(cell, column, bytes);
    default: return Error("HY003", "invalid application buffer type");
  }
}

Outcome PutFixed(const sql::Cell& cell, const sql::ResultColumn& column, SQLSMALLINT cType, SQLPOINTER target,
                 SQLLEN* indicator) {
  if (cType == SQL_C_TYPE_TIMESTAMP || cType == SQL_C_TIMESTAMP || cType == SQL_C_TYPE_DATE ||
      cType == SQL_C_DATE || cType == SQL_C_TYPE_TIME || cType == SQL_C_TIME) {
    if (cell.kind == sql::Cell::Kind::Timestamp) return PutTimestamp(cell.integer, cType, target, indicator);
    std::optional<double> linear;
    if (cell.kind == sql::Cell::Kind::DateTime) {
      linear = cell.real;
    } else if (cell.kind == sql::Cell::Kind::Text) {
      linear = sql::ParseIsoDate(cell.bytes);
      if (!linear) linear = sql::ParseAccessDate(cell.bytes);
      if (!linear) return Error("22018", "invalid character value for a conversion to a date: \"" + cell.bytes + "\"");
    } else {
      return Error("07006", "restricted data type attribute violation");
    }
    std::optional<sql::DateParts> parts = sql::SplitLinear(*linear);
    if (!parts) return Error("22008", "datetime field overflow");
    const sql::DateParts& d = *parts;
    return PutMoment(d.year, d.month, d.day, d.hour, d.minute, d.second,
                     static_cast<std::uint32_t>(d.millisecond) * 1000000u, cType, target, indicator);
  }
  if (cType == SQL_C_GUID) {
    SQLGUID guid{};
    if (cell.kind != sql::Cell::Kind::Text || !ParseGuid(cell.bytes, guid)) {
      return Error("07006", "restricted data type attribute violation");
    }
    Put(guid, target, indicator);
    return {};
  }
  Number number;
  if (!ToNumber(cell, number)) {
    if (cell.kind == sql::Cell::Kind::Text) {
      return Error("22018", "invalid character value: the text does not read as a number");
    }
    return Error("07006", "restricted data type attribute violation");
  }
  switch (cType) {
    case SQL_C_SLONG:
    case SQL_C_LONG: return PutInteger<SQLINTEGER>(number, target, indicator);
    case SQL_C_ULONG: return PutInteger<SQLUINTEGER>(number, target, indicator);
    case SQL_C_SSHORT:
    case SQL_C_SHORT: return PutInteger<SQLSMALLINT>(number, target, indicator);
    case SQL_C_USHORT: return PutInteger<SQLUSMALLINT>(number, target, indicator);
    case SQL_C_STINYINT:
    case SQL_C_TINYINT: return PutInteger<SQLSCHAR>(number, target, indicator);
    case SQL_C_UTINYINT: return PutInteger<SQLCHAR>(number, target, indicator);
    case SQL_C_SBIGINT: return PutInteger<SQLBIGINT>(number, target, indicator);
    case SQL_C_UBIGINT: return PutInteger<SQLUBIGINT>(number, target, indicator);
    case SQL_C_NUMERIC: return PutNumeric(number, column, target, indicator);
    case SQL_C_BIT: {
      double v = number.AsDouble();
      if (!(v >= 0 && v < 2)) return Error("22003", "numeric value out of range");
      SQLCHAR bit = v >= 1 ? 1 : 0;
      Put(bit, target, indicator);
      if (v != 0 && v != 1) return Info("01S07", "fractional truncation");
      return {};
    }
    case SQL_C_DOUBLE: return PutReal<SQLDOUBLE>(number, target, indicator);
    case SQL_C_FLOAT: return PutReal<SQLREAL>(number, target, indicator);
    default: return Error("HY003", "invalid application buffer type");
  }
}

}  // namespace mdbodbc
