// Entry points that hand out diagnostic records: SQLGetDiagRec, SQLGetDiagField, SQLError.
#include "handles.h"
#include "text.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string_view>

namespace mdbodbc {
namespace {

Handle* FindHandle(SQLSMALLINT type, SQLHANDLE handle) {
  switch (type) {
    case SQL_HANDLE_ENV: return AsHandle<Environment>(handle, HandleKind::Environment);
    case SQL_HANDLE_DBC: return AsHandle<Connection>(handle, HandleKind::Connection);
    case SQL_HANDLE_STMT: return AsHandle<Statement>(handle, HandleKind::Statement);
    case SQL_HANDLE_DESC: return AsHandle<Descriptor>(handle, HandleKind::Descriptor);
    default: return nullptr;
  }
}

// The document that defines a SQLSTATE's class: ODBC defines only the IM class, ISO 9075 every
// other (HY and 01 included).
std::string ClassOrigin(const std::string& state) { return state.rfind("IM", 0) == 0 ? "ODBC 3.0" : "ISO 9075"; }

// The document that defines its subclass: the SQLSTATEs that ODBC adds to the ISO classes, and
// all of the IM class.
std::string SubclassOrigin(const std::string& state) {
  static constexpr std::string_view kOdbcDefined[] = {
      "01S00", "01S01", "01S02", "01S06", "01S07", "07S01", "08S01", "21S01", "21S02", "25S01",
      "25S02", "25S03", "42S01", "42S02", "42S11", "42S12", "42S21", "42S22", "HY095", "HY097",
      "HY098", "HY099", "HY100", "HY101", "HY105", "HY107", "HY109", "HY110", "HY111", "HYT00",
      "HYT01"};
  if (state.rfind("IM", 0) == 0) return "ODBC 3.0";
  for (std::string_view defined : kOdbcDefined) {
    if (state == defined) return "ODBC 3.0";
  }
  return "ISO 9075";
}

// A length for an SQLSMALLINT output: never negative, whatever the text.
SQLSMALLINT ShortLength(SQLLEN length) { return static_cast<SQLSMALLINT>(std::clamp<SQLLEN>(length, 0, SHRT_MAX)); }

// Writes the SQLSTATE and message of a record; false when the message was cut.
template <typename Char>
bool WriteRecord(const DiagRecord& record, Char* state, SQLINTEGER* native, Char* message,
                 SQLSMALLINT messageMax, SQLSMALLINT* messageLength) {
  if (state != nullptr) {
    for (size_t i = 0; i < 5; ++i) state[i] = static_cast<Char>(i < record.state.size() ? record.state[i] : '0');
    state[5] = 0;
  }
  if (native != nullptr) *native = record.native;
  SQLLEN full = 0;
  bool whole = false;
  if constexpr (sizeof(Char) == 1) {
    whole = WriteNarrow(record.message, message, messageMax, &full);
  } else {
    whole = WriteWide(record.message, message, messageMax, &full, false);
  }
  if (messageLength != nullptr) *messageLength = ShortLength(full);
  return whole || message == nullptr;
}

template <typename Char>
SQLRETURN GetDiagRec(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT number, Char* state,
                     SQLINTEGER* native, Char* message, SQLSMALLINT messageMax,
                     SQLSMALLINT* messageLength) {
  Handle* h = FindHandle(type, handle);
  if (h == nullptr) return SQL_INVALID_HANDLE;
  std::lock_guard<std::recursive_mutex> lock(HandleMutex(*h));
  if (number < 1 || messageMax < 0) return SQL_ERROR;
  const auto& records = h->diag.Records();
  if (static_cast<size_t>(number) > records.size()) return SQL_NO_DATA;
  bool whole = WriteRecord(records[static_cast<size_t>(number) - 1], state, native, message,
                           messageMax, messageLength);
  return whole ? SQL_SUCCESS : SQL_SUCCESS_WITH_INFO;
}

SQLRETURN GetDiagField(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT number,
                       SQLSMALLINT field, SQLPOINTER value, SQLSMALLINT bufferLength,
                       SQLSMALLINT* length, bool wide) {
  Handle* h = FindHandle(type, handle);
  if (h == nullptr) return SQL_INVALID_HANDLE;
  std::lock_guard<std::recursive_mutex> lock(HandleMutex(*h));
  const auto& records = h->diag.Records();
  auto putInteger = [&](auto n) {
    if (value != nullptr) std::memcpy(value, &n, sizeof n);
    if (length != nullptr) *length = sizeof n;
    return SQLRETURN(SQL_SUCCESS);
  };
  auto putText = [&](const std::string& text) {
    SQLLEN full = 0;
    bool whole = wide ? WriteWide(text, static_cast<SQLWCHAR*>(value), bufferLength / 2, &full, true)
                      : WriteNarrow(text, static_cast<SQLCHAR*>(value), bufferLength, &full);
    if (length != nullptr) *length = ShortLength(full);
    return whole || value == nullptr ? SQLRETURN(SQL_SUCCESS) : SQLRETURN(SQL_SUCCESS_WITH_INFO);
  };
  switch (field) {
    case SQL_DIAG_NUMBER: return putInteger(static_cast<SQLINTEGER>(records.size()));
    case SQL_DIAG_RETURNCODE: return putInteger(static_cast<SQLRETURN>(h->diag.returnCode));
    case SQL_DIAG_ROW_COUNT:
    case SQL_DIAG_CURSOR_ROW_COUNT: return putInteger(static_cast<SQLLEN>(-1));
    case SQL_DIAG_DYNAMIC_FUNCTION: return putText("");
    case SQL_DIAG_DYNAMIC_FUNCTION_CODE: return putInteger(static_cast<SQLINTEGER>(SQL_DIAG_UNKNOWN_STATEMENT));
    default: break;
  }
  if (number < 1) return SQL_ERROR;
  if (static_cast<size_t>(number) > records.size()) return SQL_NO_DATA;
  const DiagRecord& record = records[static_cast<size_t>(number) - 1];
  switch (field) {
    case SQL_DIAG_SQLSTATE: return putText(record.state);
    case SQL_DIAG_MESSAGE_TEXT: return putText(record.message);
    case SQL_DIAG_NATIVE: return putInteger(record.native);
    case SQL_DIAG_CLASS_ORIGIN: return putText(ClassOrigin(record.state));
    case SQL_DIAG_SUBCLASS_ORIGIN: return putText(SubclassOrigin(record.state));
    case SQL_DIAG_CONNECTION_NAME:
    case SQL_DIAG_SERVER_NAME: return putText("");
    case SQL_DIAG_COLUMN_NUMBER: return putInteger(static_cast<SQLINTEGER>(SQL_NO_COLUMN_NUMBER));
    case SQL_DIAG_ROW_NUMBER: return putInteger(static_cast<SQLLEN>(SQL_NO_ROW_NUMBER));
    default: return SQL_ERROR;
  }
}

// SQLError hands out each record of the most specific handle given, once.
template <typename Char>
SQLRETURN Error(SQLHENV env, SQLHDBC dbc, SQLHSTMT stmt, Char* state, SQLINTEGER* native,
                Char* message, SQLSMALLINT messageMax, SQLSMALLINT* messageLength) {
  Handle* h = nullptr;
  if (stmt != nullptr) {
    h = AsHandle<Statement>(stmt, HandleKind::Statement);
  } else if (dbc != nullptr) {
    h = AsHandle<Connection>(dbc, HandleKind::Connection);
  } else if (env != nullptr) {
    h = AsHandle<Environment>(env, HandleKind::Environment);
  }
  if (h == nullptr) return SQL_INVALID_HANDLE;
  std::lock_guard<std::recursive_mutex> lock(HandleMutex(*h));
  const auto& records = h->diag.Records();
  if (h->diag.errorCursor >= records.size()) return SQL_NO_DATA;
  const DiagRecord& record = records[h->diag.errorCursor++];
  bool whole = WriteRecord(record, state, native, message, messageMax, messageLength);
  return whole ? SQL_SUCCESS : SQL_SUCCESS_WITH_INFO;
}

}  // namespace
}  // namespace mdbodbc

using namespace mdbodbc;

MDBODBC_EXPORT SQLRETURN SQL_API SQLGetDiagRec(SQLSMALLINT type, SQLHANDLE handle,
                                               SQLSMALLINT number, SQLCHAR* state,
                                               SQLINTEGER* native, SQLCHAR* message,
                                               SQLSMALLINT messageMax, SQLSMALLINT* messageLength) {
  return GetDiagRec(type, handle, number, state, native, message, messageMax, messageLength);
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLGetDiagRecW(SQLSMALLINT type, SQLHANDLE handle,
                                                SQLSMALLINT number, SQLWCHAR* state,
                                                SQLINTEGER* native, SQLWCHAR* message,
                                                SQLSMALLINT messageMax, SQLSMALLINT* messageLength) {
  return GetDiagRec(type, handle, number, state, native, message, messageMax, messageLength);
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLGetDiagField(SQLSMALLINT type, SQLHANDLE handle,
                                                 SQLSMALLINT number, SQLSMALLINT field,
                                                 SQLPOINTER value, SQLSMALLINT bufferLength,
                                                 SQLSMALLINT* length) {
  return GetDiagField(type, handle, number, field, value, bufferLength, length, false);
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLGetDiagFieldW(SQLSMALLINT type, SQLHANDLE handle,
                                                  SQLSMALLINT number, SQLSMALLINT field,
                                                  SQLPOINTER value, SQLSMALLINT bufferLength,
                                                  SQLSMALLINT* length) {
  return GetDiagField(type, handle, number, field, value, bufferLength, length, true);
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLError(SQLHENV env, SQLHDBC dbc, SQLHSTMT stmt, SQLCHAR* state,
                                          SQLINTEGER* native, SQLCHAR* message,
                                          SQLSMALLINT messageMax, SQLSMALLINT* messageLength) {
  return Error(env, dbc, stmt, state, native, message, messageMax, messageLength);
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLErrorW(SQLHENV env, SQLHDBC dbc, SQLHSTMT stmt,
                                           SQLWCHAR* state, SQLINTEGER* native, SQLWCHAR* message,
                                           SQLSMALLINT messageMax, SQLSMALLINT* messageLength) {
  return Error(env, dbc, stmt, state, native, message, messageMax, messageLength);
}
