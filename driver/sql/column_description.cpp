#include "column_description.h"


namespace mdbodbc::sql {
namespace {

constexpr SQLULEN kLongValueSize = 1073741823;  // the largest memo or OLE value Access allows
// "YYYY-MM-DD HH:MM:SS.fffffff"
constexpr SQLULEN kExtendedTimestampSize = 27;

void Set(ResultColumn& c, SQLSMALLINT type, SQLULEN size, const char* name, SQLLEN display,
         SQLLEN octets) {
  c.sqlType = type;
  c.size = size;
  c.typeName = name;
  c.displaySize = display;
  c.octetLength = octets;
}

}  // namespace

ResultColumn DescribeJetColumn(const jet::Column& column, const std::string& table) {
  using jet::ColumnType;
  ResultColumn c;
  c.name = column.name;
  c.baseColumn = column.name;
  c.baseTable = table;
  c.nullable = column.nullable ? SQL_NULLABLE : SQL_NO_NULLS;
  c.autoUnique = column.autoNumber;
  switch (column.type) {
    case ColumnType::Bool:
      Set(c, SQL_BIT, 1, "BIT", 1, 1);
      c.nullable = SQL_NO_NULLS;  // a Yes/No value is never NULL
      c.isUnsigned = true;        // as SQLGetTypeInfo describes BIT
      break;
    case ColumnType::Byte:
      Set(c, SQL_TINYINT, 3, "BYTE", 3, 1);
      c.isUnsigned = true;
      break;
    case ColumnType::Integer: Set(c, SQL_SMALLINT, 5, "SMALLINT", 6, 2); break;
    case ColumnType::Long: Set(c, SQL_INTEGER, 10, column.autoNumber ? "COUNTER" : "INTEGER", 11, 4); break;
    case ColumnType::BigInt: Set(c, SQL_BIGINT, 19, "BIGINT", 20, 8); break;
    case ColumnType::Money:
      Set(c, SQL_DECIMAL, 19, "CURRENCY", 21, 21);
      c.decimals = 4;
      c.fixedPrecScale = true;
      break;
    case ColumnType::Single: Set(c, SQL_REAL, 7, "REAL", 14, 4); break;
    case ColumnType::Double: Set(c, SQL_DOUBLE, 15, "DOUBLE", 24, 8); break;
    case ColumnType::DateTime:
      Set(c, SQL_TYPE_TIMESTAMP, 23, "DATETIME", 23, 16);
      c.decimals = 3;
      break;
    case ColumnType::DateTimeExtended:
      Set(c, SQL_TYPE_TIMESTAMP, kExtendedTimestampSize, "DATETIME2", kExtendedTimestampSize, 16);
      c.decimals = 7;
      break;
    case ColumnType::Text: {
      SQLULEN chars = column.maxCharacters > 0 ? column.maxCharacters : column.storedLength / 2;
      Set(c, SQL_WVARCHAR, chars, "VARCHAR", static_cast<SQLLEN>(chars), static_cast<SQLLEN>(chars * 2));
      break;
    }
    case ColumnType::Memo:
    case ColumnType::Complex:  // its values joined as text
      Set(c, SQL_WLONGVARCHAR, kLongValueSize, "LONGCHAR", kLongValueSize, kLongValueSize);
      break;
    case ColumnType::Binary:
      Set(c, SQL_VARBINARY, column.storedLength, "VARBINARY", column.storedLength * 2, column.storedLength);
      break;
    case ColumnType::Ole:
      Set(c, SQL_LONGVARBINARY, kLongValueSize, "LONGBINARY", kLongValueSize, kLongValueSize);
      break;
    case ColumnType::Guid: Set(c, SQL_GUID, 36, "GUID", 38, 16); break;
    case ColumnType::Numeric:
      Set(c, SQL_NUMERIC, column.precision, "DECIMAL", column.precision + 2, column.precision + 2);
      c.decimals = column.scale;
      break;
  }
  return c;
}

ResultColumn DescribeType(const Type& type) {
  ResultColumn c;
  c.nullable = SQL_NULLABLE;
  switch (type.kind) {
    case JetType::Bool:
      Set(c, SQL_BIT, 1, "BIT", 1, 1);
      c.isUnsigned = true;
      break;
    case JetType::Byte:
      Set(c, SQL_TINYINT, 3, "BYTE", 3, 1);
      c.isUnsigned = true;
      break;
    case JetType::Integer: Set(c, SQL_SMALLINT, 5, "SMALLINT", 6, 2); break;
    case JetType::Long: Set(c, SQL_INTEGER, 10, "INTEGER", 11, 4); break;
    case JetType::BigInt: Set(c, SQL_BIGINT, 19, "BIGINT", 20, 8); break;
    case JetType::Currency:
      Set(c, SQL_DECIMAL, 19, "CURRENCY", 21, 21);
      c.decimals = 4;
      c.fixedPrecScale = true;
      break;
    case JetType::Single: Set(c, SQL_REAL, 7, "REAL", 14, 4); break;
    case JetType::Double: Set(c, SQL_DOUBLE, 15, "DOUBLE", 24, 8); break;
    case JetType::Decimal: {
      SQLULEN precision = type.precision > 0 ? type.precision : 28;
      Set(c, SQL_NUMERIC, precision, "DECIMAL", static_cast<SQLLEN>(precision + 2), static_cast<SQLLEN>(precision + 2));
      c.decimals = type.scale;
      break;
    }
    case JetType::DateTime:
      Set(c, SQL_TYPE_TIMESTAMP, 23, "DATETIME", 23, 16);
      c.decimals = 3;
      break;
    case JetType::DateTimeExtended:
      Set(c, SQL_TYPE_TIMESTAMP, kExtendedTimestampSize, "DATETIME2", kExtendedTimestampSize, 16);
      c.decimals = 7;
      break;
    case JetType::Memo: Set(c, SQL_WLONGVARCHAR, kLongValueSize, "LONGCHAR", kLongValueSize, kLongValueSize); break;
    case JetType::Binary: {
      SQLULEN size = type.size > 0 ? type.size : 510;
      Set(c, SQL_VARBINARY, size, "VARBINARY", static_cast<SQLLEN>(size * 2), static_cast<SQLLEN>(size));
      break;
    }
    case JetType::LongBinary:
      Set(c, SQL_LONGVARBINARY, kLongValueSize, "LONGBINARY", kLongValueSize, kLongValueSize);
      break;
    case JetType::Guid: Set(c, SQL_GUID, 36, "GUID", 38, 16); break;
    default: {
      SQLULEN chars = type.size > 0 ? type.size : 255;
      Set(c, SQL_WVARCHAR, chars, "VARCHAR", static_cast<SQLLEN>(chars), static_cast<SQLLEN>(chars * 2));
      break;
    }
  }
  return c;
}

SQLSMALLINT TypeForVersion(SQLSMALLINT sqlType, SQLINTEGER odbcVersion) {
  if (odbcVersion != SQL_OV_ODBC2) return sqlType;
  switch (sqlType) {
    case SQL_TYPE_DATE: return SQL_DATE;
    case SQL_TYPE_TIME: return SQL_TIME;
    case SQL_TYPE_TIMESTAMP: return SQL_TIMESTAMP;
    default: return sqlType;
  }
}

}  // namespace mdbodbc::sql
