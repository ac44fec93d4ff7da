// Entry points that set and read connection and statement attributes.
#include "descriptors.h"
#include "handles.h"
#include "text.h"

#include <algorithm>

#include <cstring>

namespace mdbodbc {
namespace {

// The most rows one fetch delivers.
constexpr SQLULEN kMaxRowset = 65535;

SQLULEN AsNumber(SQLPOINTER value) { return static_cast<SQLULEN>(reinterpret_cast<uintptr_t>(value)); }

SQLRETURN Changed(Handle& handle, const char* what) {
  return Warn(handle, "01S02", std::string("option value changed: ") + what);
}

// Sets one statement option, on a statement or as a connection's default. Returns SQL_ERROR
// with HY092 when the attribute is not a statement option at all.
SQLRETURN SetStatementOption(Handle& handle, StatementOptions& o, SQLINTEGER attribute,
                             SQLPOINTER value, bool cursorOpen) {
  SQLULEN number = AsNumber(value);
  switch (attribute) {
    case SQL_ATTR_QUERY_TIMEOUT: o.queryTimeout = number; return SQL_SUCCESS;
    case SQL_ATTR_MAX_ROWS: o.maxRows = number; return SQL_SUCCESS;
    case SQL_ATTR_NOSCAN: o.noScan = number; return SQL_SUCCESS;
    case SQL_ATTR_MAX_LENGTH:
      if (number == 0) return SQL_SUCCESS;
      o.maxLength = 0;
      return Changed(handle, "values are never cut to a maximum length");
    case SQL_ATTR_ASYNC_ENABLE:
      if (number == SQL_ASYNC_ENABLE_OFF) return SQL_SUCCESS;
      return Fail(handle, "HYC00", "asynchronous execution is not supported");
    case SQL_ATTR_ROW_BIND_TYPE: o.rowBindType = number; return SQL_SUCCESS;
    case SQL_ATTR_CURSOR_TYPE:
      if (cursorOpen) return Fail(handle, "24000", "invalid cursor state");
      if (number == SQL_CURSOR_FORWARD_ONLY || number == SQL_CURSOR_STATIC) {
        o.cursorType = number;
        return SQL_SUCCESS;
      }
      o.cursorType = SQL_CURSOR_STATIC;
      return Changed(handle, "the cursor is static");
    case SQL_ATTR_CURSOR_SCROLLABLE:
      if (cursorOpen) return Fail(handle, "24000", "invalid cursor state");
      o.cursorType = number == SQL_SCROLLABLE ? SQL_CURSOR_STATIC : SQL_CURSOR_FORWARD_ONLY;
      return SQL_SUCCESS;
    case SQL_ATTR_CURSOR_SENSITIVITY:
      if (number == SQL_SENSITIVE) return Fail(handle, "HYC00", "cursors are insensitive");
      o.cursorSensitivity = number;
      return SQL_SUCCESS;
    case SQL_ATTR_CONCURRENCY:
      if (cursorOpen) return Fail(handle, "24000", "invalid cursor state");
      if (number == SQL_CONCUR_READ_ONLY) return SQL_SUCCESS;
      o.concurrency = SQL_CONCUR_READ_ONLY;
      return Changed(handle, "the cursor is read-only");
    case SQL_ATTR_KEYSET_SIZE:
      if (number == 0) return SQL_SUCCESS;
      o.keysetSize = 0;
      return Changed(handle, "there are no keyset cursors");
    case SQL_ROWSET_SIZE:
    case SQL_ATTR_ROW_ARRAY_SIZE:
      if (number == 0) return Fail(handle, "HY024", "invalid attribute value");
      (attribute == SQL_ROWSET_SIZE ? o.rowsetSize : o.rowArraySize) = std::min<SQLULEN>(number, kMaxRowset);
      if (number <= kMaxRowset) return SQL_SUCCESS;
      return Changed(handle, "a rowset holds at most 65535 rows");
    case SQL_ATTR_SIMULATE_CURSOR: o.simulateCursor = number; return SQL_SUCCESS;
    case SQL_ATTR_RETRIEVE_DATA: o.retrieveData = number; return SQL_SUCCESS;
    case SQL_ATTR_USE_BOOKMARKS:
      if (number == SQL_UB_OFF) return SQL_SUCCESS;
      return Fail(handle, "HYC00", "bookmarks are not supported");
    case SQL_ATTR_ROWS_FETCHED_PTR: o.rowsFetched = static_cast<SQLULEN*>(value); return SQL_SUCCESS;
    case SQL_ATTR_ROW_STATUS_PTR:
      o.rowStatus = static_cast<SQLUSMALLINT*>(value);
      return SQL_SUCCESS;
    case SQL_ATTR_ENABLE_AUTO_IPD:
      if (number == SQL_FALSE) return SQL_SUCCESS;
      return Fail(handle, "HYC00", "parameters are not described");
    case SQL_ATTR_ROW_BIND_OFFSET_PTR: o.rowBindOffset = static_cast<SQLLEN*>(value); return SQL_SUCCESS;
    case SQL_ATTR_PARAM_BIND_OFFSET_PTR: o.paramBindOffset = static_cast<SQLLEN*>(value); return SQL_SUCCESS;
    case SQL_ATTR_PARAM_BIND_TYPE: o.paramBindType = number; return SQL_SUCCESS;
    case SQL_ATTR_PARAMS_PROCESSED_PTR: o.paramsProcessed = static_cast<SQLULEN*>(value); return SQL_SUCCESS;
    case SQL_ATTR_PARAM_STATUS_PTR: o.paramStatus = static_cast<SQLUSMALLINT*>(value); return SQL_SUCCESS;
    case SQL_ATTR_PARAMSET_SIZE:
      if (number == 1) return SQL_SUCCESS;
      return Fail(handle, "HYC00", "arrays of parameters are not supported");
    case SQL_ATTR_METADATA_ID: o.metadataId = number; return SQL_SUCCESS;
    case SQL_ATTR_FETCH_BOOKMARK_PTR:
    case SQL_ATTR_ROW_OPERATION_PTR:
    case SQL_ATTR_PARAM_OPERATION_PTR:
      return SQL_SUCCESS;  // bookmarks and SQLSetPos operations are never used
    default: return Fail(handle, "HY092", "invalid attribute or option identifier");
  }
}

// Reads one statement option; false when the attribute is not one.
bool GetStatementOption(const StatementOptions& o, SQLINTEGER attribute, SQLULEN& number,
                        SQLPOINTER& pointer, bool& isPointer) {
  isPointer = false;
  switch (attribute) {
    case SQL_ATTR_QUERY_TIMEOUT: number = o.queryTimeout; return true;
    case SQL_ATTR_MAX_ROWS: number = o.maxRows; return true;
    case SQL_ATTR_NOSCAN: number = o.noScan; return true;
    case SQL_ATTR_MAX_LENGTH: number = o.maxLength; return true;
    case SQL_ATTR_ASYNC_ENABLE: number = SQL_ASYNC_ENABLE_OFF; return true;
    case SQL_ATTR_ROW_BIND_TYPE: number = o.rowBindType; return true;
    case SQL_ATTR_CURSOR_TYPE: number = o.cursorType; return true;
    case SQL_ATTR_CURSOR_SCROLLABLE:
      number = o.cursorType == SQL_CURSOR_FORWARD_ONLY ? SQL_NONSCROLLABLE : SQL_SCROLLABLE;
      return true;
    case SQL_ATTR_CURSOR_SENSITIVITY: number = o.cursorSensitivity; return true;
    case SQL_ATTR_CONCURRENCY: number = o.concurrency; return true;
    case SQL_ATTR_KEYSET_SIZE: number = o.keysetSize; return true;
    case SQL_ROWSET_SIZE: number = o.rowsetSize; return true;
    case SQL_ATTR_ROW_ARRAY_SIZE: number = o.rowArraySize; return true;
    case SQL_ATTR_SIMULATE_CURSOR: number = o.simulateCursor; return true;
    case SQL_ATTR_RETRIEVE_DATA: number = o.retrieveData; return true;
    case SQL_ATTR_USE_BOOKMARKS: number = o.useBookmarks; return true;
    case SQL_ATTR_METADATA_ID: number = o.metadataId; return true;
    case SQL_ATTR_PARAM_BIND_TYPE: number = o.paramBindType; return true;
    case SQL_ATTR_ENABLE_AUTO_IPD: number = SQL_FALSE; return true;
    case SQL_ATTR_PARAMSET_SIZE: number = 1; return true;
    case SQL_ATTR_ROWS_FETCHED_PTR:
      isPointer = true;
      pointer = o.rowsFetched;
      return true;
    case SQL_ATTR_ROW_STATUS_PTR:
      isPointer = true;
      pointer = o.rowStatus;
      return true;
    case SQL_ATTR_ROW_BIND_OFFSET_PTR:
      isPointer = true;
      pointer = o.rowBindOffset;
      return true;
    case SQL_ATTR_PARAM_BIND_OFFSET_PTR:
      isPointer = true;
      pointer = o.paramBindOffset;
      return true;
    case SQL_ATTR_PARAMS_PROCESSED_PTR:
      isPointer = true;
      pointer = o.paramsProcessed;
      return true;
    case SQL_ATTR_PARAM_STATUS_PTR:
      isPointer = true;
      pointer = o.paramStatus;
      return true;
    default: return false;
  }
}

SQLRETURN SetConnectAttr(Connection& dbc, SQLINTEGER attribute, SQLPOINTER value) {
  SQLULEN number = AsNumber(value);
  switch (attribute) {
    case SQL_ATTR_ACCESS_MODE:
      if (number == SQL_MODE_READ_ONLY) return SQL_SUCCESS;
      return Changed(dbc, "the database is read-only");
    case SQL_ATTR_AUTOCOMMIT:
      // Both are honoured alike: nothing is ever written, so there is never anything to commit.
      if (number != SQL_AUTOCOMMIT_ON && number != SQL_AUTOCOMMIT_OFF) return Fail(dbc, "HY024", "invalid attribute value");
      dbc.autocommit = static_cast<SQLUINTEGER>(number);
      return SQL_SUCCESS;
    case SQL_ATTR_LOGIN_TIMEOUT: dbc.loginTimeout = static_cast<SQLUINTEGER>(number); return SQL_SUCCESS;
    case SQL_ATTR_CONNECTION_TIMEOUT:
      dbc.connectionTimeout = static_cast<SQLUINTEGER>(number);
      return SQL_SUCCESS;
    case SQL_ATTR_QUIET_MODE: dbc.quietMode = number; return SQL_SUCCESS;
    case SQL_ATTR_PACKET_SIZE: dbc.packetSize = static_cast<SQLUINTEGER>(number); return SQL_SUCCESS;
    case SQL_ATTR_TXN_ISOLATION:
      if (number == 0) return SQL_SUCCESS;
      return Fail(dbc, "HYC00", "transactions are not supported");
    case SQL_ATTR_CURRENT_CATALOG: return Fail(dbc, "HYC00", "there are no catalogs");
    case SQL_ATTR_ODBC_CURSORS:
    case SQL_ATTR_TRACE:
    case SQL_ATTR_TRACEFILE:
    case SQL_ATTR_TRANSLATE_LIB:
    case SQL_ATTR_TRANSLATE_OPTION: return SQL_SUCCESS;  // the driver manager's business
    default: {
      // A statement option set on the connection becomes the default of its next statements.
      return SetStatementOption(dbc, dbc.statementDefaults, attribute, value, false);
    }
  }
}

SQLRETURN GetConnectAttr(Connection& dbc, SQLINTEGER attribute, SQLPOINTER value,
                         SQLINTEGER bufferLength, SQLINTEGER* length, bool wide) {
  SQLULEN number = 0;
  switch (attribute) {
    case SQL_ATTR_ACCESS_MODE: number = SQL_MODE_READ_ONLY; break;
    case SQL_ATTR_AUTOCOMMIT: number = dbc.autocommit; break;
    case SQL_ATTR_LOGIN_TIMEOUT: number = dbc.loginTimeout; break;
    case SQL_ATTR_CONNECTION_TIMEOUT: number = dbc.connectionTimeout; break;
    case SQL_ATTR_QUIET_MODE: number = dbc.quietMode; break;
    case SQL_ATTR_PACKET_SIZE: number = dbc.packetSize; break;
    case SQL_ATTR_TXN_ISOLATION: number = 0; break;
    case SQL_ATTR_CONNECTION_DEAD: number = dbc.engine ? SQL_CD_FALSE : SQL_CD_TRUE; break;
    case SQL_ATTR_AUTO_IPD: number = SQL_FALSE; break;
    case SQL_ATTR_CURRENT_CATALOG: {
      SQLLEN full = 0;
      bool whole = wide ? WriteWide("", static_cast<SQLWCHAR*>(value), bufferLength / 2, &full, true)
                        : WriteNarrow("", static_cast<SQLCHAR*>(value), bufferLength, &full);
      if (length != nullptr) *length = static_cast<SQLINTEGER>(full);
      return whole ? SQL_SUCCESS : SQL_SUCCESS_WITH_INFO;
    }
    default: {
      SQLPOINTER pointer = nullptr;
      bool isPointer = false;
      if (!GetStatementOption(dbc.statementDefaults, attribute, number, pointer, isPointer) ||
          isPointer) {
        return Fail(dbc, "HY092", "invalid attribute or option identifier");
      }
    }
  }
  // Connection attributes are 32-bit values in ODBC 3; statement options carried over from
  // ODBC 2 are SQLULEN. Writing SQLUINTEGER for the former keeps small buffers safe.
  if (value != nullptr) {
    if (attribute >= SQL_ATTR_ACCESS_MODE || attribute == SQL_ATTR_CONNECTION_DEAD) {
      auto n = static_cast<SQLUINTEGER>(number);
      std::memcpy(value, &n, sizeof n);
    } else {
      std::memcpy(value, &number, sizeof number);
    }
  }
  if (length != nullptr) *length = sizeof(SQLUINTEGER);
  return SQL_SUCCESS;
}

SQLRETURN SetStmtAttr(Statement& stmt, SQLINTEGER attribute, SQLPOINTER value) {
  return SetStatementOption(stmt, stmt.options, attribute, value, stmt.cursor != nullptr);
}

SQLRETURN GetStmtAttr(Statement& stmt, SQLINTEGER attribute, SQLPOINTER value,
                      SQLINTEGER* length) {
  SQLULEN number = 0;
  SQLPOINTER pointer = nullptr;
  bool isPointer = false;
  if (attribute == SQL_ATTR_ROW_NUMBER) {
    if (!stmt.cursor || !stmt.cursor->HasRow()) return Fail(stmt, "24000", "invalid cursor state");
    number = stmt.cursor->RowNumber();
  } else if (attribute == SQL_ATTR_APP_ROW_DESC || attribute == SQL_ATTR_APP_PARAM_DESC ||
             attribute == SQL_ATTR_IMP_ROW_DESC || attribute == SQL_ATTR_IMP_PARAM_DESC) {
    isPointer = true;
    pointer = StatementDescriptor(stmt, attribute);
  } else if (!GetStatementOption(stmt.options, attribute, number, pointer, isPointer)) {
    return Fail(stmt, "HY092", "invalid attribute or option identifier");
  }
  if (value != nullptr) {
    if (isPointer) {
      std::memcpy(value, &pointer, sizeof pointer);
    } else {
      std::memcpy(value, &number, sizeof number);
    }
  }
  if (length != nullptr) *length = isPointer ? sizeof(SQLPOINTER) : sizeof(SQLULEN);
  return SQL_SUCCESS;
}

}  // namespace
}  // namespace mdbodbc

using namespace mdbodbc;

MDBODBC_EXPORT SQLRETURN SQL_API SQLSetConnectAttr(SQLHDBC handle, SQLINTEGER attribute,
                                                   SQLPOINTER value, SQLINTEGER) {
  return WithHandle<Connection>(handle, HandleKind::Connection,
                                [&](Connection& dbc) { return SetConnectAttr(dbc, attribute, value); });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLSetConnectAttrW(SQLHDBC handle, SQLINTEGER attribute,
                                                    SQLPOINTER value, SQLINTEGER) {
  return WithHandle<Connection>(handle, HandleKind::Connection,
                                [&](Connection& dbc) { return SetConnectAttr(dbc, attribute, value); });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLGetConnectAttr(SQLHDBC handle, SQLINTEGER attribute,
                                                   SQLPOINTER value, SQLINTEGER bufferLength,
                                                   SQLINTEGER* length) {
  return WithHandle<Connection>(handle, HandleKind::Connection, [&](Connection& dbc) {
    return GetConnectAttr(dbc, attribute, value, bufferLength, length, false);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLGetConnectAttrW(SQLHDBC handle, SQLINTEGER attribute,
                                                    SQLPOINTER value, SQLINTEGER bufferLength,
                                                    SQLINTEGER* length) {
  return WithHandle<Connection>(handle, HandleKind::Connection, [&](Connection& dbc) {
    return GetConnectAttr(dbc, attribute, value, bufferLength, length, true);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLSetStmtAttr(SQLHSTMT handle, SQLINTEGER attribute,
                                                SQLPOINTER value, SQLINTEGER) {
  return WithHandle<Statement>(handle, HandleKind::Statement,
                               [&](Statement& stmt) { return SetStmtAttr(stmt, attribute, value); });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLSetStmtAttrW(SQLHSTMT handle, SQLINTEGER attribute,
                                                 SQLPOINTER value, SQLINTEGER) {
  return WithHandle<Statement>(handle, HandleKind::Statement,
                               [&](Statement& stmt) { return SetStmtAttr(stmt, attribute, value); });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLGetStmtAttr(SQLHSTMT handle, SQLINTEGER attribute,
                                                SQLPOINTER value, SQLINTEGER,
                                                SQLINTEGER* length) {
  return WithHandle<Statement>(handle, HandleKind::Statement,
                               [&](Statement& stmt) { return GetStmtAttr(stmt, attribute, value, length); });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLGetStmtAttrW(SQLHSTMT handle, SQLINTEGER attribute,
                                                 SQLPOINTER value, SQLINTEGER,
                                                 SQLINTEGER* length) {
  return WithHandle<Statement>(handle, HandleKind::Statement,
                               [&](Statement& stmt) { return GetStmtAttr(stmt, attribute, value, length); });
}
