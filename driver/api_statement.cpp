// Entry points that prepare and run statements and describe their results.
#include "column_types.h"
#include "handles.h"
#include "text.h"

#include <climits>
#include <cstring>

namespace mdbodbc {
namespace {

std::unique_ptr<Query> RunQuery(Statement& stmt, const std::string& text) {
  QueryError error;
  std::unique_ptr<Query> query = Query::Run(*stmt.connection->database, text, error);
  if (!query) Fail(stmt, error.state, error.message);
  return query;
}

void OpenCursor(Statement& stmt, std::unique_ptr<Query> query) {
  bool scrollable = stmt.options.cursorType != SQL_CURSOR_FORWARD_ONLY;
  stmt.cursor = std::make_unique<Cursor>(std::move(query), scrollable, stmt.options.maxRows);
  stmt.reads.clear();
  stmt.fetchedRows = 0;
}

SQLRETURN Prepare(Statement& stmt, const std::string& text) {
  if (stmt.cursor) return Fail(stmt, "24000", "invalid cursor state");
  stmt.prepared.reset();
  stmt.isPrepared = false;
  stmt.text = text;
  stmt.prepared = RunQuery(stmt, text);
  if (!stmt.prepared) return SQL_ERROR;
  stmt.isPrepared = true;
  return SQL_SUCCESS;
}

SQLRETURN Execute(Statement& stmt) {
  if (!stmt.isPrepared) return Fail(stmt, "HY010", "function sequence error");
  if (stmt.cursor) return Fail(stmt, "24000", "invalid cursor state");
  // The query made by SQLPrepare serves the first execution; later ones run the text again.
  std::unique_ptr<Query> query = std::move(stmt.prepared);
  if (!query) query = RunQuery(stmt, stmt.text);
  if (!query) return SQL_ERROR;
  OpenCursor(stmt, std::move(query));
  return SQL_SUCCESS;
}

SQLRETURN ExecDirect(Statement& stmt, const std::string& text) {
  if (stmt.cursor) return Fail(stmt, "24000", "invalid cursor state");
  stmt.prepared.reset();
  stmt.isPrepared = false;
  stmt.text = text;
  std::unique_ptr<Query> query = RunQuery(stmt, text);
  if (!query) return SQL_ERROR;
  OpenCursor(stmt, std::move(query));
  return SQL_SUCCESS;
}

const ColumnInfo* ColumnOf(Statement& stmt, SQLUSMALLINT number, SQLRETURN& rc) {
  const std::vector<ColumnInfo>* columns = stmt.Columns();
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
  const ColumnInfo* column = ColumnOf(stmt, number, rc);
  if (column == nullptr) return rc;
  if (nameMax < 0) return Fail(stmt, "HY090", "invalid string or buffer length");
  SQLLEN full = 0;
  bool whole = wide ? WriteWide(column->name, static_cast<SQLWCHAR*>(name), nameMax, &full, false)
                    : WriteNarrow(column->name, static_cast<SQLCHAR*>(name), nameMax, &full);
  if (nameLength != nullptr) *nameLength = static_cast<SQLSMALLINT>(full);
  if (type != nullptr) *type = TypeForVersion(column->sqlType, stmt.connection->env->odbcVersion);
  if (size != nullptr) *size = column->size;
  if (decimals != nullptr) *decimals = column->decimals;
  if (nullable != nullptr) *nullable = column->nullable;
  if (!whole && name != nullptr) return Warn(stmt, "01004", "string data, right truncated");
  return SQL_SUCCESS;
}

SQLRETURN ColAttribute(Statement& stmt, SQLUSMALLINT number, SQLUSMALLINT field, SQLPOINTER text,
                       SQLSMALLINT bufferLength, SQLSMALLINT* textLength, SQLLEN* numeric,
                       bool wide) {
  const std::vector<ColumnInfo>* columns = stmt.Columns();
  if (columns == nullptr) return Fail(stmt, "HY010", "function sequence error");
  if (field == SQL_DESC_COUNT || field == SQL_COLUMN_COUNT) {
    if (numeric != nullptr) *numeric = static_cast<SQLLEN>(columns->size());
    return SQL_SUCCESS;
  }
  SQLRETURN rc = SQL_SUCCESS;
  const ColumnInfo* column = ColumnOf(stmt, number, rc);
  if (column == nullptr) return rc;
  SQLINTEGER version = stmt.connection->env->odbcVersion;
  std::optional<std::string> answerText;
  SQLLEN answer = 0;
  switch (field) {
    case SQL_DESC_NAME:
    case SQL_COLUMN_NAME:
    case SQL_DESC_LABEL:
    case SQL_DESC_BASE_COLUMN_NAME: answerText = column->name; break;
    case SQL_DESC_TABLE_NAME:
    case SQL_DESC_BASE_TABLE_NAME:
      answerText = stmt.cursor ? stmt.cursor->query().TableName()
                               : (stmt.prepared ? stmt.prepared->TableName() : "");
      break;
    case SQL_DESC_TYPE_NAME:
    case SQL_DESC_LOCAL_TYPE_NAME: answerText = column->typeName; break;
    case SQL_DESC_SCHEMA_NAME:
    case SQL_DESC_CATALOG_NAME:
    case SQL_DESC_LITERAL_PREFIX:
    case SQL_DESC_LITERAL_SUFFIX: answerText = ""; break;
    case SQL_DESC_CONCISE_TYPE: answer = TypeForVersion(column->sqlType, version); break;
    case SQL_DESC_TYPE:
      answer = column->sqlType == SQL_TYPE_TIMESTAMP && version != SQL_OV_ODBC2 ? SQL_DATETIME
                                                                               : TypeForVersion(column->sqlType, version);
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
    case SQL_DESC_UNSIGNED:
      answer = (column->isUnsigned || column->sqlType == SQL_WVARCHAR ||
                column->sqlType == SQL_WLONGVARCHAR || column->sqlType == SQL_TYPE_TIMESTAMP)
                   ? SQL_TRUE
                   : SQL_FALSE;
      break;
    case SQL_DESC_UPDATABLE: answer = SQL_ATTR_READONLY; break;
    case SQL_DESC_AUTO_UNIQUE_VALUE:
      answer = column->column->is_long_auto ? SQL_TRUE : SQL_FALSE;
      break;
    case SQL_DESC_CASE_SENSITIVE: answer = SQL_FALSE; break;
    case SQL_DESC_SEARCHABLE:
      answer = column->sqlType == SQL_WLONGVARCHAR || column->sqlType == SQL_LONGVARBINARY
                   ? SQL_PRED_CHAR
                   : SQL_PRED_BASIC;
      break;
    case SQL_DESC_FIXED_PREC_SCALE:
      answer = column->typeName == "CURRENCY" ? SQL_TRUE : SQL_FALSE;
      break;
    case SQL_DESC_NUM_PREC_RADIX:
      switch (column->sqlType) {
        case SQL_REAL:
        case SQL_DOUBLE: answer = 2; break;
        case SQL_TINYINT:
        case SQL_SMALLINT:
        case SQL_INTEGER:
        case SQL_DECIMAL:
        case SQL_NUMERIC:
        case SQL_BIT: answer = 10; break;
        default: answer = 0;
      }
      break;
    case SQL_DESC_UNNAMED: answer = SQL_NAMED; break;
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

MDBODBC_EXPORT SQLRETURN SQL_API SQLPrepare(SQLHSTMT handle, SQLCHAR* text, SQLINTEGER length) {
  return WithHandle<Statement>(handle, HandleKind::Statement,
                               [&](Statement& stmt) { return Prepare(stmt, NarrowInput(text, length)); });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLPrepareW(SQLHSTMT handle, SQLWCHAR* text, SQLINTEGER length) {
  return WithHandle<Statement>(handle, HandleKind::Statement,
                               [&](Statement& stmt) { return Prepare(stmt, WideInput(text, length)); });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLExecute(SQLHSTMT handle) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement& stmt) { return Execute(stmt); });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLExecDirect(SQLHSTMT handle, SQLCHAR* text, SQLINTEGER length) {
  return WithHandle<Statement>(handle, HandleKind::Statement,
                               [&](Statement& stmt) { return ExecDirect(stmt, NarrowInput(text, length)); });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLExecDirectW(SQLHSTMT handle, SQLWCHAR* text, SQLINTEGER length) {
  return WithHandle<Statement>(handle, HandleKind::Statement,
                               [&](Statement& stmt) { return ExecDirect(stmt, WideInput(text, length)); });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLNumResultCols(SQLHSTMT handle, SQLSMALLINT* count) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement& stmt) {
    const std::vector<ColumnInfo>* columns = stmt.Columns();
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

MDBODBC_EXPORT SQLRETURN SQL_API SQLRowCount(SQLHSTMT handle, SQLLEN* count) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement&) {
    if (count != nullptr) *count = -1;  // a SELECT does not know its row count in advance
    return SQLRETURN(SQL_SUCCESS);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLCloseCursor(SQLHSTMT handle) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement& stmt) {
    if (!stmt.cursor) return Fail(stmt, "24000", "invalid cursor state");
    CloseCursor(stmt);
    return SQLRETURN(SQL_SUCCESS);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLCancel(SQLHSTMT handle) {
  // Nothing ever runs in the background, so there is nothing to cancel.
  return WithHandle<Statement>(handle, HandleKind::Statement, [](Statement&) { return SQLRETURN(SQL_SUCCESS); });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLMoreResults(SQLHSTMT handle) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [](Statement& stmt) {
    CloseCursor(stmt);
    return SQLRETURN(SQL_NO_DATA);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLNumParams(SQLHSTMT handle, SQLSMALLINT* count) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement&) {
    if (count != nullptr) *count = 0;
    return SQLRETURN(SQL_SUCCESS);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLNativeSql(SQLHDBC handle, SQLCHAR* in, SQLINTEGER inLength,
                                              SQLCHAR* out, SQLINTEGER outMax,
                                              SQLINTEGER* outLength) {
  return WithHandle<Connection>(handle, HandleKind::Connection, [&](Connection& dbc) {
    SQLLEN full = 0;
    bool whole = WriteNarrow(NarrowInput(in, inLength), out, outMax, &full);
    if (outLength != nullptr) *outLength = static_cast<SQLINTEGER>(full);
    return whole || out == nullptr ? SQLRETURN(SQL_SUCCESS)
                                   : Warn(dbc, "01004", "string data, right truncated");
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLNativeSqlW(SQLHDBC handle, SQLWCHAR* in, SQLINTEGER inLength,
                                               SQLWCHAR* out, SQLINTEGER outMax,
                                               SQLINTEGER* outLength) {
  return WithHandle<Connection>(handle, HandleKind::Connection, [&](Connection& dbc) {
    SQLLEN full = 0;
    bool whole = WriteWide(WideInput(in, inLength), out, outMax, &full, false);
    if (outLength != nullptr) *outLength = static_cast<SQLINTEGER>(full);
    return whole || out == nullptr ? SQLRETURN(SQL_SUCCESS)
                                   : Warn(dbc, "01004", "string data, right truncated");
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLEndTran(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT) {
  // Nothing is ever written, so a commit or rollback has nothing to do.
  if (type == SQL_HANDLE_ENV) {
    return WithHandle<Environment>(handle, HandleKind::Environment,
                                   [](Environment&) { return SQLRETURN(SQL_SUCCESS); });
  }
  return WithHandle<Connection>(handle, HandleKind::Connection,
                                [](Connection&) { return SQLRETURN(SQL_SUCCESS); });
}
