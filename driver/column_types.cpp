#include "column_types.h"

namespace mdbodbc {
namespace {

constexpr SQLULEN kLongValueSize = 1073741823;  // the largest memo or OLE value Access allows

void Set(ColumnInfo& info, SQLSMALLINT type, SQLULEN size, const char* name, SQLLEN display,
         SQLLEN octets) {
  info.sqlType = type;
  info.size = size;
  info.typeName = name;
  info.displaySize = display;
  info.octetLength = octets;
}

}  // namespace

ColumnInfo DescribeColumn(const MdbColumn& column, bool jet3) {
  ColumnInfo info;
  info.name = column.name;
  info.column = &column;
  SQLULEN declared = column.col_size > 0 ? static_cast<SQLULEN>(column.col_size) : 0;
  switch (column.col_type) {
    case MDB_BOOL:
      Set(info, SQL_BIT, 1, "BIT", 1, 1);
      info.nullable = SQL_NO_NULLS;  // a Yes/No value is never NULL
      break;
    case MDB_BYTE:
      Set(info, SQL_TINYINT, 3, "BYTE", 3, 1);
      info.isUnsigned = true;
      break;
    case MDB_INT: Set(info, SQL_SMALLINT, 5, "SMALLINT", 6, 2); break;
    case MDB_LONGINT:
      Set(info, SQL_INTEGER, 10, column.is_long_auto ? "COUNTER" : "INTEGER", 11, 4);
      break;
    case MDB_MONEY:
      Set(info, SQL_DECIMAL, 19, "CURRENCY", 21, 21);
      info.decimals = 4;
      break;
    case MDB_FLOAT: Set(info, SQL_REAL, 7, "REAL", 14, 4); break;
    case MDB_DOUBLE: Set(info, SQL_DOUBLE, 15, "DOUBLE", 24, 8); break;
    case MDB_DATETIME: Set(info, SQL_TYPE_TIMESTAMP, 19, "DATETIME", 19, 16); break;
    case MDB_TEXT: {
      SQLULEN chars = jet3 ? declared : declared / 2;
      Set(info, SQL_WVARCHAR, chars, "VARCHAR", static_cast<SQLLEN>(chars),
          static_cast<SQLLEN>(chars * 2));
      break;
    }
    case MDB_MEMO:
      Set(info, SQL_WLONGVARCHAR, kLongValueSize, "LONGCHAR", kLongValueSize, kLongValueSize);
      break;
    case MDB_OLE:
      Set(info, SQL_LONGVARBINARY, kLongValueSize, "LONGBINARY", kLongValueSize, kLongValueSize);
      break;
    case MDB_REPID: Set(info, SQL_GUID, 36, "GUID", 38, 16); break;
    case MDB_NUMERIC:
      Set(info, SQL_NUMERIC, static_cast<SQLULEN>(column.col_prec), "DECIMAL",
          column.col_prec + 2, column.col_prec + 2);
      info.decimals = static_cast<SQLSMALLINT>(column.col_scale);
      break;
    default:
      Set(info, SQL_VARBINARY, declared, "VARBINARY", static_cast<SQLLEN>(declared * 2),
          static_cast<SQLLEN>(declared));
      break;
  }
  return info;
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

}  // namespace mdbodbc
