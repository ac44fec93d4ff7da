// Values converted to the application's C types, one table of cases: each numeric type with
// its overflow (22003) and lost fraction (01S07), text that is no number or no date (22018),
// dates with milliseconds or cut to a day, Currency and Decimal exactly, and types that do not
// convert (07006); and the rows a static cursor keeps, read back as they were stored.
#include "convert.h"
#include "row_store.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace mdbodbc {
namespace {

sql::Cell Integer(std::int64_t v) { return {sql::Cell::Kind::Integer, v, 0, {}}; }
sql::Cell Real(double v) { return {sql::Cell::Kind::Real, 0, v, {}}; }
sql::Cell Text(std::string v) { return {sql::Cell::Kind::Text, 0, 0, std::move(v)}; }
sql::Cell Blob(std::string v) { return {sql::Cell::Kind::Blob, 0, 0, std::move(v)}; }
sql::Cell Money(std::int64_t tenThousandths) { return {sql::Cell::Kind::Currency, tenThousandths, 0, {}}; }
sql::Cell Exact(std::string digits) { return {sql::Cell::Kind::Decimal, 0, 0, std::move(digits)}; }
sql::Cell Date(double linearDays) { return {sql::Cell::Kind::DateTime, 0, linearDays, {}}; }

sql::ResultColumn Column(SQLSMALLINT type, SQLULEN size = 255, SQLSMALLINT decimals = 0) {
  sql::ResultColumn column;
  column.sqlType = type;
  column.size = size;
  column.decimals = decimals;
  return column;
}

// The converted value as text, to compare whatever its C type.
std::string Shown(SQLSMALLINT cType, const unsigned char* buffer) {
  auto as = [&](auto sample) {
    decltype(sample) v;
    std::memcpy(&v, buffer, sizeof v);
    return v;
  };
  switch (cType) {
    case SQL_C_STINYINT: return std::to_string(as(SQLSCHAR{}));
    case SQL_C_UTINYINT:
    case SQL_C_BIT: return std::to_string(as(SQLCHAR{}));
    case SQL_C_SSHORT: return std::to_string(as(SQLSMALLINT{}));
    case SQL_C_USHORT: return std::to_string(as(SQLUSMALLINT{}));
    case SQL_C_SLONG: return std::to_string(as(SQLINTEGER{}));
    case SQL_C_ULONG: return std::to_string(as(SQLUINTEGER{}));
    case SQL_C_SBIGINT: return std::to_string(as(SQLBIGINT{}));
    case SQL_C_UBIGINT: return std::to_string(as(SQLUBIGINT{}));
    case SQL_C_FLOAT: return std::to_string(as(SQLREAL{}));
    case SQL_C_DOUBLE: return std::to_string(as(SQLDOUBLE{}));
    case SQL_C_TYPE_DATE: {
      auto d = as(SQL_DATE_STRUCT{});
      return std::to_string(d.year) + "-" + std::to_string(d.month) + "-" + std::to_string(d.day);
    }
    case SQL_C_TYPE_TIME: {
      auto t = as(SQL_TIME_STRUCT{});
      return std::to_string(t.hour) + ":" + std::to_string(t.minute) + ":" + std::to_string(t.second);
    }
    case SQL_C_TYPE_TIMESTAMP: {
      auto ts = as(SQL_TIMESTAMP_STRUCT{});
      return std::to_string(ts.year) + "-" + std::to_string(ts.month) + "-" + std::to_string(ts.day) + " " +
             std::to_string(ts.hour) + ":" + std::to_string(ts.minute) + ":" + std::to_string(ts.second) +
             (ts.fraction ? "." + std::to_string(ts.fraction) : "");
    }
    case SQL_C_NUMERIC: {
      auto n = as(SQL_NUMERIC_STRUCT{});
      unsigned __int128 m = 0;
      for (int i = SQL_MAX_NUMERIC_LEN - 1; i >= 0; --i) m = (m << 8) | n.val[i];
      std::string digits;
      do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
        m /= 10;
      } while (m > 0);
      return std::string(n.sign == 1 ? "" : "-") + digits + "e-" + std::to_string(n.scale) + " p" +
             std::to_string(n.precision);
    }
    case SQL_C_GUID: {
      auto g = as(SQLGUID{});
      char text[40];
      std::snprintf(text, sizeof text, "%08X-%04X-%04X-", g.Data1, g.Data2, g.Data3);
      std::string shown = text;
      for (unsigned char b : g.Data4) shown += "0123456789ABCDEF"[b >> 4], shown += "0123456789ABCDEF"[b & 15];
      return shown;
    }
    default: return "?";
  }
}

TEST(ConversionTest, FixedTypesByTheOdbcRules) {
  const sql::ResultColumn number = Column(SQL_DOUBLE), date = Column(SQL_TYPE_TIMESTAMP),
                          currency = Column(SQL_DECIMAL, 19, 4), decimal = Column(SQL_NUMERIC, 18, 6);
  struct Case {
    sql::Cell cell;
    const sql::ResultColumn& column;
    SQLSMALLINT cType;
    const char* expected;  // the value, or the SQLSTATE of an error; "value 01S07" for a warning
  };
  const Case cases[] = {
      {Integer(127), number, SQL_C_STINYINT, "127"},
      {Integer(128), number, SQL_C_STINYINT, "22003"},
      {Integer(255), number, SQL_C_UTINYINT, "255"}, {Integer(-1), number, SQL_C_UTINYINT, "22003"},
      {Integer(-32768), number, SQL_C_SSHORT, "-32768"},
      {Integer(65536), number, SQL_C_USHORT, "22003"}, {Integer(-1), number, SQL_C_ULONG, "22003"},
      {Integer(2147483648), number, SQL_C_SLONG, "22003"},
      {Integer(std::numeric_limits<std::int64_t>::min()), number, SQL_C_SBIGINT, "-9223372036854775808"},
      {Integer(-5), number, SQL_C_UBIGINT, "22003"}, {Real(2.75), number, SQL_C_SLONG, "2 01S07"},
      {Real(-2.75), number, SQL_C_SSHORT, "-2 01S07"}, {Real(1e10), number, SQL_C_SLONG, "22003"},
      {Real(1e10), number, SQL_C_SBIGINT, "10000000000"},
      {Real(std::nan("")), number, SQL_C_SLONG, "22003"},
      {Real(1e39), number, SQL_C_FLOAT, "22003"}, {Real(0.5), number, SQL_C_BIT, "0 01S07"},
      {Integer(1), number, SQL_C_BIT, "1"}, {Real(1.5), number, SQL_C_BIT, "1 01S07"},
      {Integer(2), number, SQL_C_BIT, "22003"}, {Integer(7), number, SQL_C_DOUBLE, "7.000000"},
      {Text(" 12 "), number, SQL_C_SSHORT, "12"}, {Text("3.5"), number, SQL_C_SLONG, "3 01S07"},
      {Text("abc"), number, SQL_C_SLONG, "22018"}, {Blob("\x01\x02"), number, SQL_C_SLONG, "07006"},
      {Text("2000-02-29 10:20:30"), date, SQL_C_TYPE_TIMESTAMP, "2000-2-29 10:20:30"},
      {Text("2000-02-29 10:20:30"), date, SQL_C_TYPE_DATE, "2000-2-29 01S07"},
      {Text("2000-02-29"), date, SQL_C_TYPE_DATE, "2000-2-29"},
      {Text("2000-02-29 10:20:30"), date, SQL_C_TYPE_TIME, "10:20:30"},
      {Text("2001-02-29"), date, SQL_C_TYPE_TIMESTAMP, "22018"},
      {Text("not a date"), date, SQL_C_TYPE_DATE, "22018"},
      {Integer(3), date, SQL_C_TYPE_TIMESTAMP, "07006"},
      // Dates keep their milliseconds, before 1899-12-30 as after; a date past 9999 is 22008.
      {Date(36526 + 0.5 + 0.701 / 86400), date, SQL_C_TYPE_TIMESTAMP, "2000-1-1 12:0:0.701000000"},
      {Date(-0.75), date, SQL_C_TYPE_TIMESTAMP, "1899-12-29 6:0:0"},
      {Date(-657434), date, SQL_C_TYPE_DATE, "100-1-1"},
      {Date(2958465 + 86399.999 / 86400), date, SQL_C_TYPE_TIMESTAMP, "9999-12-31 23:59:59.999000000"},
      {Date(2958466), date, SQL_C_TYPE_TIMESTAMP, "22008"},
      {Date(36526.25), date, SQL_C_TYPE_TIME, "6:0:0"},
      {Date(36526.25), number, SQL_C_DOUBLE, "07006"},
      // Currency and Decimal exactly, to whole numbers (cut toward zero), doubles and NUMERIC.
      {Money(10000000000), currency, SQL_C_SBIGINT, "1000000"},
      {Money(-25000), currency, SQL_C_SLONG, "-2 01S07"},
      {Money(std::numeric_limits<std::int64_t>::max()), currency, SQL_C_SBIGINT, "922337203685477 01S07"},
      {Money(std::numeric_limits<std::int64_t>::max()), currency, SQL_C_NUMERIC, "9223372036854775807e-4 p19"},
      {Money(-1), currency, SQL_C_NUMERIC, "-1e-4 p19"},
      {Money(12345), currency, SQL_C_DOUBLE, "1.234500"},
      {Exact("102030405060.654321"), decimal, SQL_C_NUMERIC, "102030405060654321e-6 p18"},
      {Exact("-0.000001"), decimal, SQL_C_SLONG, "0 01S07"},
      {Exact("9999999999999999999999999999"), decimal, SQL_C_SBIGINT, "22003"},
      {Exact("12.5"), number, SQL_C_NUMERIC, "125e-1 p3"},
      {Exact("12.5"), decimal, SQL_C_NUMERIC, "12500000e-6 p18"},
      {Exact("1.2345678"), decimal, SQL_C_NUMERIC, "1234567e-6 p18 01S07"},
      {Exact("1.2345600"), decimal, SQL_C_NUMERIC, "1234560e-6 p18"},
      {Text("{01020304-0506-0708-090A-0B0C0D0E0F10}"), number, SQL_C_GUID,
       "01020304-0506-0708-090A0B0C0D0E0F10"},
      {Text("{nope}"), number, SQL_C_GUID, "07006"},
  };
  for (const Case& c : cases) {
    unsigned char buffer[64] = {};
    SQLLEN indicator = 0;
    Outcome outcome = PutFixed(c.cell, c.column, c.cType, buffer, &indicator);
    std::string got = outcome.rc == SQL_ERROR ? outcome.state : Shown(c.cType, buffer);
    if (outcome.rc == SQL_SUCCESS_WITH_INFO) got += " " + outcome.state;
    if (outcome.rc != SQL_ERROR) {
      EXPECT_EQ(indicator, FixedSize(c.cType)) << c.expected;
    }
    EXPECT_EQ(got, c.expected) << "C type " << c.cType << ", value " << ValueText(c.cell, c.column);
  }
}

TEST(ConversionTest, CharacterAndBinaryForms) {
  sql::ResultColumn column;
  struct Case {
    sql::Cell cell;
    SQLSMALLINT cType;
    std::string expected;  // the bytes, or the SQLSTATE of an error
  };
  const Case cases[] = {
      {Integer(-42), SQL_C_CHAR, "-42"}, {Real(3.25), SQL_C_CHAR, "3.25"},
      {Text("é"), SQL_C_CHAR, "é"}, {Text("é"), SQL_C_WCHAR, std::string("\xE9\x00", 2)},
      {Text("😀"), SQL_C_WCHAR, std::string("\x3D\xD8\x00\xDE", 4)},
      {Blob(std::string("\x00\xAB", 2)), SQL_C_CHAR, "00AB"},
      {Blob(std::string("\x00\xAB", 2)), SQL_C_BINARY, std::string("\x00\xAB", 2)},
      // A number in a text column: the bytes of its text as the column's C type (UTF-16) holds it.
      {Integer(1), SQL_C_BINARY, std::string("1\0", 2)},
      // Plain notation, never exponent form: Currency at its four decimals, Decimal at its scale.
      {Money(10000000000), SQL_C_CHAR, "1000000.0000"}, {Money(1), SQL_C_CHAR, "0.0001"},
      {Money(-25000), SQL_C_BINARY, "-2.5000"},
      // a DECIMAL's own C type is narrow text
      {Money(std::numeric_limits<std::int64_t>::min()), SQL_C_CHAR, "-922337203685477.5808"},
      {Exact("102030405060.654321"), SQL_C_CHAR, "102030405060.654321"},
      {Date(36526 + 0.5 + 0.701 / 86400), SQL_C_CHAR, "2000-01-01 12:00:00.701"},
      {Date(-0.75), SQL_C_CHAR, "1899-12-29 06:00:00"},
  };
  const sql::ResultColumn currency = Column(SQL_DECIMAL, 255, 4);
  for (const Case& c : cases) {
    std::string bytes;
    Outcome outcome = StreamBytes(c.cell, c.cell.kind == sql::Cell::Kind::Currency ? currency : column, c.cType, bytes);
    EXPECT_EQ(outcome.rc == SQL_ERROR ? outcome.state : bytes, c.expected) << c.expected;
  }
}

TEST(RowStoreTest, RowsReadBackAsStoredWhateverTheirOrder) {
  RowStore store;
  std::vector<sql::Row> rows;
  for (int i = 0; i < 5000; ++i) {
    rows.push_back({Integer(i % 2 ? -i * 1000003LL : i), Real(i / 7.0), sql::Cell{},
                    Text(std::string(static_cast<std::size_t>(i % 300), 'a' + i % 26)),
                    Blob(std::string(static_cast<std::size_t>(i % 5 == 0 ? 300000 : 3), '\0')),
                    Money(-i * 7919LL), Exact(std::to_string(i) + ".25"), Date(i - 2500.125)});
    store.Append(rows.back());
  }
  ASSERT_EQ(store.size(), rows.size());
  sql::Row got;
  // Every row, from the last back to the first: rows sit in blocks of several sizes.
  for (std::size_t i = rows.size(); i-- > 0;) {
    store.Read(i, got);
    ASSERT_EQ(got.size(), rows[i].size());
    for (std::size_t c = 0; c < got.size(); ++c) {
      EXPECT_EQ(got[c].kind, rows[i][c].kind) << i << "/" << c;
      EXPECT_EQ(got[c].integer, rows[i][c].integer) << i << "/" << c;
      EXPECT_EQ(got[c].real, rows[i][c].real) << i << "/" << c;
      EXPECT_EQ(got[c].bytes, rows[i][c].bytes) << i << "/" << c;
    }
  }
}

}  // namespace
}  // namespace mdbodbc
