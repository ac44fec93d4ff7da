// Entry points that prepare and run statements, bind their parameters and end their results.
#include "execution.h"
#include "handles.h"
#include "parameters.h"
#include "sql/column_description.h"
#include "sql/parser.h"
#include "text.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace mdbodbc {
namespace {

SQLRETURN Prepare(Statement& stmt, const std::string& text) {
  if (stmt.dataAtExec.Active()) return Fail(stmt, "HY010", "function sequence error: parameters wait for data");
  if (stmt.cursor) return Fail(stmt, "24000", "invalid cursor state");
  stmt.query.reset();
  stmt.isPrepared = false;
  stmt.text = text;
  sql::SqlError error;
  stmt.query = sql::Query::Prepare(*stmt.connection->engine, text, error);
  if (!stmt.query) return Fail(stmt, error.state, error.message);
  stmt.query->SetControl(&stmt.control);
  stmt.isPrepared = true;
  return SQL_SUCCESS;
}

// Runs the prepared statement, or first asks for the values of its data-at-execution parameters.
SQLRETURN Run(Statement& stmt) {
  std::vector<SQLUSMALLINT> waiting = DataAtExec::Waiting(stmt);
  if (waiting.empty()) return RunWithBoundValues(stmt);
  stmt.dataAtExec.Start(std::move(waiting));
  return SQL_NEED_DATA;
}

SQLRETURN Execute(Statement& stmt) {
  if (stmt.dataAtExec.Active()) return Fail(stmt, "HY010", "function sequence error: parameters wait for data");
  if (!stmt.isPrepared) return Fail(stmt, "HY010", "function sequence error");
  if (stmt.cursor) return Fail(stmt, "24000", "invalid cursor state");
  return Run(stmt);
}

SQLRETURN ExecDirect(Statement& stmt, const std::string& text) {
  if (stmt.dataAtExec.Active()) return Fail(stmt, "HY010", "function sequence error: parameters wait for data");
  if (stmt.cursor) return Fail(stmt, "24000", "invalid cursor state");
  SQLRETURN rc = Prepare(stmt, text);
  if (rc != SQL_SUCCESS) return rc;
  stmt.isPrepared = false;  // SQLExecute may not run it again
  return Run(stmt);
}

SQLRETURN NativeSql(Connection& dbc, const std::string& in, std::string& out) {
  sql::SqlError error;
  if (!sql::NativeStatement(in, out, error)) return Fail(dbc, error.state, error.message);
  return SQL_SUCCESS;
}

}  // namespace

SQLRETURN RunWithBoundValues(Statement& stmt) {
  Outcome bound = BindParameters(stmt, *stmt.query);
  if (bound.rc == SQL_ERROR) return Fail(stmt, bound.state, bound.message);
  // The statement's own limit; a number of seconds beyond what a clock counts is no limit.
  stmt.control.timeLimit = std::chrono::seconds(
      static_cast<std::int64_t>(std::min<SQLULEN>(stmt.options.queryTimeout, INT64_MAX)));
  sql::SqlError error;
  if (!stmt.query->Start(error)) return Fail(stmt, error.state, error.message);
  bool scrollable = stmt.options.cursorType != SQL_CURSOR_FORWARD_ONLY;
  stmt.reads.clear();
  stmt.fetchedRows = 0;
  stmt.cursor = std::make_unique<Cursor>(*stmt.query, scrollable, stmt.options.maxRows);
  if (stmt.options.paramsProcessed != nullptr) *stmt.options.paramsProcessed = 1;
  return SQL_SUCCESS;
}

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

MDBODBC_EXPORT SQLRETURN SQL_API SQLNumParams(SQLHSTMT handle, SQLSMALLINT* count) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement& stmt) {
    if (!stmt.query) return Fail(stmt, "HY010", "function sequence error");
    if (count != nullptr) *count = static_cast<SQLSMALLINT>(stmt.query->ParameterCount());
    return SQLRETURN(SQL_SUCCESS);
  });
}

// Each parameter is described with the type the statement reads it as: a declared one, or the
// type of what it is compared with or computed with (text when nothing says).
MDBODBC_EXPORT SQLRETURN SQL_API SQLDescribeParam(SQLHSTMT handle, SQLUSMALLINT number, SQLSMALLINT* type,
                                                  SQLULEN* size, SQLSMALLINT* digits, SQLSMALLINT* nullable) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement& stmt) {
    if (!stmt.query) return Fail(stmt, "HY010", "function sequence error");
    if (number < 1 || number > stmt.query->ParameterCount()) return Fail(stmt, "07009", "invalid descriptor index");
    sql::ResultColumn described = sql::DescribeType(stmt.query->Parameters()[number - 1].type);
    if (type != nullptr) *type = sql::TypeForVersion(described.sqlType, stmt.connection->env->odbcVersion);
    if (size != nullptr) *size = described.size;
    if (digits != nullptr) *digits = described.decimals;
    if (nullable != nullptr) *nullable = SQL_NULLABLE;
    return SQLRETURN(SQL_SUCCESS);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLBindParameter(SQLHSTMT handle, SQLUSMALLINT number, SQLSMALLINT ioType,
                                                  SQLSMALLINT cType, SQLSMALLINT sqlType, SQLULEN columnSize,
                                                  SQLSMALLINT digits, SQLPOINTER value, SQLLEN bufferLength,
                                                  SQLLEN* indicator) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement& stmt) {
    if (number < 1) return Fail(stmt, "07009", "invalid descriptor index");
    if (bufferLength < 0) return Fail(stmt, "HY090", "invalid string or buffer length");
    Binding& b = stmt.parameters[number];
    b = Binding{};
    b.ioType = ioType;
    b.cType = cType;
    b.sqlType = sqlType;
    b.columnSize = columnSize;
    b.digits = digits;
    b.target = value;
    b.bufferLength = bufferLength;
    b.indicator = indicator;
    return SQLRETURN(SQL_SUCCESS);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLRowCount(SQLHSTMT handle, SQLLEN* count) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement& stmt) {
    if (!stmt.cursor && !stmt.isPrepared) return Fail(stmt, "HY010", "function sequence error");
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

// Stops a statement whose call runs on another thread (that call then answers HY008); on a
// statement that runs nothing it has no effect. For a running call it takes no lock, so that it
// reaches a statement whose call holds its connection's lock, and touches only the statement's
// atomic flags: the other statements of the connection, open cursors among them, go on. An
// execution that waits for parameter values (no call runs) ends under the connection's lock.
MDBODBC_EXPORT SQLRETURN SQL_API SQLCancel(SQLHSTMT handle) {
  auto* stmt = AsHandle<Statement>(handle, HandleKind::Statement);
  if (stmt == nullptr) return SQL_INVALID_HANDLE;
  if (stmt->busy.load(std::memory_order_acquire) > 0) {
    stmt->control.cancel.store(true, std::memory_order_relaxed);
  } else if (stmt->dataAtExec.Active()) {
    // The statement is again as before that execution (prepared, if it was).
    std::lock_guard<std::recursive_mutex> lock(stmt->connection->mutex);
    stmt->dataAtExec.Reset();
  }
  return SQL_SUCCESS;
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLMoreResults(SQLHSTMT handle) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [](Statement& stmt) {
    CloseCursor(stmt);
    return SQLRETURN(SQL_NO_DATA);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLNativeSql(SQLHDBC handle, SQLCHAR* in, SQLINTEGER inLength, SQLCHAR* out,
                                              SQLINTEGER outMax, SQLINTEGER* outLength) {
  return WithHandle<Connection>(handle, HandleKind::Connection, [&](Connection& dbc) {
    std::string native;
    if (NativeSql(dbc, NarrowInput(in, inLength), native) != SQL_SUCCESS) return SQLRETURN(SQL_ERROR);
    SQLLEN full = 0;
    bool whole = WriteNarrow(native, out, outMax, &full);
    if (outLength != nullptr) *outLength = static_cast<SQLINTEGER>(full);
    return whole || out == nullptr ? SQLRETURN(SQL_SUCCESS) : Warn(dbc, "01004", "string data, right truncated");
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLNativeSqlW(SQLHDBC handle, SQLWCHAR* in, SQLINTEGER inLength, SQLWCHAR* out,
                                               SQLINTEGER outMax, SQLINTEGER* outLength) {
  return WithHandle<Connection>(handle, HandleKind::Connection, [&](Connection& dbc) {
    std::string native;
    if (NativeSql(dbc, WideInput(in, inLength), native) != SQL_SUCCESS) return SQLRETURN(SQL_ERROR);
    SQLLEN full = 0;
    bool whole = WriteWide(native, out, outMax, &full, false);
    if (outLength != nullptr) *outLength = static_cast<SQLINTEGER>(full);
    return whole || out == nullptr ? SQLRETURN(SQL_SUCCESS) : Warn(dbc, "01004", "string data, right truncated");
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLEndTran(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT) {
  // Nothing is ever written, so a commit or rollback has nothing to do.
  if (type == SQL_HANDLE_ENV) {
    return WithHandle<Environment>(handle, HandleKind::Environment, [](Environment&) { return SQLRETURN(SQL_SUCCESS); });
  }
  return WithHandle<Connection>(handle, HandleKind::Connection, [](Connection&) { return SQLRETURN(SQL_SUCCESS); });
}
