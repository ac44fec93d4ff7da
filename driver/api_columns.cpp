// Entry points that describe the columns of a result: SQLNumResultCols, SQLDescribeCol and
// SQLColAttribute.
#include "handles.h"
#include "sql/column_description.h"
#include "text.h"

#include <climits>

namespace mdbodbc {
namespace {

const sql::ResultColumn* ColumnOf(Statement& stmt, SQLUSMALLINT number, SQLRETURN& rc) {
  const std::vector<sql::ResultColumn>* columns = stmt.Columns();
  if (columns == nullptr) {
    rc = Fail(stmt, "HY010", "function sequence error");
    return nullptr;
  }
  if (number < 1 || number > columns->size()) {
    rc = Fail(stmt, "07009", "invalid descriptor index");
    return nullptr;
  }
  return &(*columns)[number - 1];
}

SQLRETURN DescribeCol(Statement& stmt, SQLUSMALLINT number, void* name, SQLSMALLINT nameMax,
                      SQLSMALLINT* nameLength, SQLSMALLINT* type, SQLULEN* size,
                      SQLSMALLINT* decimals, SQLSMALLINT* nullable, bool wide) {
  SQLRETURN rc = SQL_SUCCESS;
  const sql::ResultColumn* column = ColumnOf(stmt, number, rc);
  if (column == nullptr) return rc;
  if (nameMax < 0) return Fail(stmt, "HY090", "invalid string or buffer length");
  SQLLEN full = 0;
  bool whole = wide ? WriteWide(column->name, static_cast<SQLWCHAR*>(name), nameMax, &full, false)
                    : WriteNarrow(column->name, static_cast<SQLCHAR*>(name), nameMax, &full);
  if (nameLength != nullptr) *nameLength = static_cast<SQLSMALLINT>(std::min<SQLLEN>(full, SHRT_MAX));
  if (type != nullptr) *type = sql::TypeForVersion(column->sqlType, stmt.connection->env->odbcVersion);
  if (size != nullptr) *size = column->size;
  if (decimals != nullptr) *decimals = column->decimals;
  if (nullable != nullptr) *nullable = column->nullable;
  if (!whole && name != nullptr) return Warn(stmt, "01004", "string data, right truncated");
  return SQL_SUCCESS;
}

SQLLEN Radix(const sql::ResultColumn& column) {
  switch (column.sqlType) {
    case SQL_REAL:
    case SQL_DOUBLE: return 2;
    case SQL_TINYINT:
    case SQL_SMALLINT:
    case SQL_INTEGER:
    case SQL_BIGINT:
    case SQL_DECIMAL:
    case SQL_NUMERIC:
    case SQL_BIT: return 10;
    default: return 0;
  }
}

SQLRETURN ColAttribute(Statement& stmt, SQLUSMALLINT number, SQLUSMALLINT field, SQLPOINTER text,
                       SQLSMALLINT bufferLength, SQLSMALLINT* textLength, SQLLEN* numeric, bool wide) {
  const std::vector<sql::ResultColumn>* columns = stmt.Columns();
  if (columns == nullptr) return Fail(stmt, "HY010", "function sequence error");
  if (field == SQL_DESC_COUNT || field == SQL_COLUMN_COUNT) {
    if (numeric != nullptr) *numeric = static_cast<SQLLEN>(columns->size());
    return SQL_SUCCESS;
  }
  SQLRETURN rc = SQL_SUCCESS;
  const sql::ResultColumn* column = ColumnOf(stmt, number, rc);
  if (column == nullptr) return rc;
  SQLINTEGER version = stmt.connection->env->odbcVersion;
  std::optional<std::string> answerText;
  SQLLEN answer = 0;
  bool character = column->sqlType == SQL_WVARCHAR || column->sqlType == SQL_WLONGVARCHAR;
  switch (field) {
    case SQL_DESC_NAME:
    case SQL_COLUMN_NAME:
    case SQL_DESC_LABEL: answerText = column->name; break;
    case SQL_DESC_BASE_COLUMN_NAME: answerText = column->baseColumn; break;
    case SQL_DESC_TABLE_NAME:
    case SQL_DESC_BASE_TABLE_NAME: answerText = column->baseTable; break;
    case SQL_DESC_TYPE_NAME:
    case SQL_DESC_LOCAL_TYPE_NAME: answerText = column->typeName; break;
    case SQL_DESC_SCHEMA_NAME:
    case SQL_DESC_CATALOG_NAME: answerText = ""; break;
    case SQL_DESC_LITERAL_PREFIX:
    case SQL_DESC_LITERAL_SUFFIX:
      answerText = character ? "'" : column->sqlType == SQL_TYPE_TIMESTAMP ? "#" : "";
      break;
    case SQL_DESC_CONCISE_TYPE: answer = sql::TypeForVersion(column->sqlType, version); break;
    case SQL_DESC_TYPE:
      answer = column->sqlType == SQL_TYPE_TIMESTAMP && version != SQL_OV_ODBC2 ? SQL_DATETIME
                                                                               : sql::TypeForVersion(column->sqlType, version);
      break;
    case SQL_DESC_DATETIME_INTERVAL_CODE:
      answer = column->sqlType == SQL_TYPE_TIMESTAMP ? SQL_CODE_TIMESTAMP : 0;
      break;
    case SQL_DESC_LENGTH:
    case SQL_COLUMN_PRECISION:
    case SQL_DESC_PRECISION:
      answer = static_cast<SQLLEN>(column->size);
      if (field == SQL_DESC_PRECISION && column->sqlType == SQL_TYPE_TIMESTAMP) answer = 0;
      break;
    case SQL_DESC_OCTET_LENGTH:
    case SQL_COLUMN_LENGTH: answer = column->octetLength; break;
    case SQL_DESC_SCALE:
    case SQL_COLUMN_SCALE: answer = column->decimals; break;
    case SQL_DESC_NULLABLE:
    case SQL_COLUMN_NULLABLE: answer = column->nullable; break;
    case SQL_DESC_DISPLAY_SIZE: answer = column->displaySize; break;
    case SQL_DESC_UNSIGNED: answer = (column->isUnsigned || Radix(*column) == 0) ? SQL_TRUE : SQL_FALSE; break;
    case SQL_DESC_UPDATABLE: answer = SQL_ATTR_READONLY; break;
    case SQL_DESC_AUTO_UNIQUE_VALUE: answer = column->autoUnique ? SQL_TRUE : SQL_FALSE; break;
    case SQL_DESC_CASE_SENSITIVE: answer = SQL_FALSE; break;  // text compares without regard to case
    case SQL_DESC_SEARCHABLE:
      answer = column->sqlType == SQL_LONGVARBINARY ? SQL_PRED_NONE
               : column->sqlType == SQL_WLONGVARCHAR ? SQL_PRED_CHAR
               : character ? SQL_SEARCHABLE : SQL_PRED_BASIC;
      break;
    case SQL_DESC_FIXED_PREC_SCALE: answer = column->fixedPrecScale ? SQL_TRUE : SQL_FALSE; break;
    case SQL_DESC_NUM_PREC_RADIX: answer = Radix(*column); break;
    case SQL_DESC_UNNAMED: answer = column->name.empty() ? SQL_UNNAMED : SQL_NAMED; break;
    default: return Fail(stmt, "HY091", "invalid descriptor field identifier");
  }
  if (!answerText) {
    if (numeric != nullptr) *numeric = answer;
    return SQL_SUCCESS;
  }
  if (bufferLength < 0) return Fail(stmt, "HY090", "invalid string or buffer length");
  SQLLEN full = 0;
  bool whole = wide ? WriteWide(*answerText, static_cast<SQLWCHAR*>(text), bufferLength / 2, &full, true)
                    : WriteNarrow(*answerText, static_cast<SQLCHAR*>(text), bufferLength, &full);
  if (textLength != nullptr) *textLength = static_cast<SQLSMALLINT>(std::min<SQLLEN>(full, SHRT_MAX));
  if (!whole && text != nullptr) return Warn(stmt, "01004", "string data, right truncated");
  return SQL_SUCCESS;
}

}  // namespace
}  // namespace mdbodbc

using namespace mdbodbc;

MDBODBC_EXPORT SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT handle, SQLSMALLINT* count) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement& stmt) {
    const std::vector<sql::ResultColumn>* columns = stmt.Columns();
    if (columns == nullptr) return Fail(stmt, "HY010", "function sequence error");
    if (count != nullptr) *count = static_cast<SQLSMALLINT>(columns->size());
    return SQLRETURN(SQL_SUCCESS);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLDescribeCol(SQLHSTMT handle, SQLUSMALLINT number, SQLCHAR* name,
                                                SQLSMALLINT nameMax, SQLSMALLINT* nameLength,
                                                SQLSMALLINT* type, SQLULEN* size,
                                                SQLSMALLINT* decimals, SQLSMALLINT* nullable) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement& stmt) {
    return DescribeCol(stmt, number, name, nameMax, nameLength, type, size, decimals, nullable, false);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLDescribeColW(SQLHSTMT handle, SQLUSMALLINT number,
                                                 SQLWCHAR* name, SQLSMALLINT nameMax,
                                                 SQLSMALLINT* nameLength, SQLSMALLINT* type,
                                                 SQLULEN* size, SQLSMALLINT* decimals,
                                                 SQLSMALLINT* nullable) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement& stmt) {
    return DescribeCol(stmt, number, name, nameMax, nameLength, type, size, decimals, nullable, true);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLColAttribute(SQLHSTMT handle, SQLUSMALLINT number,
                                                 SQLUSMALLINT field, SQLPOINTER text,
                                                 SQLSMALLINT bufferLength, SQLSMALLINT* textLength,
                                                 SQLLEN* numeric) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement& stmt) {
    return ColAttribute(stmt, number, field, text, bufferLength, textLength, numeric, false);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLColAttributeW(SQLHSTMT handle, SQLUSMALLINT number,
                                                  SQLUSMALLINT field, SQLPOINTER text,
                                                  SQLSMALLINT bufferLength,
                                                  SQLSMALLINT* textLength, SQLLEN* numeric) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement& stmt) {
    return ColAttribute(stmt, number, field, text, bufferLength, textLength, numeric, true);
  });
}
