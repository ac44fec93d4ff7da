// The driver's environment, connection and statement handles.
#pragma once

#include "cursor.h"
#include "data_at_exec.h"
#include "diagnostics.h"
#include "odbc.h"
#include "sql/engine.h"
#include "sql/query.h"
#include "sql/run_control.h"

#include "jet/database.h"

#include <atomic>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace mdbodbc {

enum class HandleKind : uint32_t {
  Environment = 0x4D44454E,  // tags that tell a live handle of the right kind
  Connection = 0x4D444443,
  Statement = 0x4D445354,
  Descriptor = 0x4D444553,
  Dead = 0,
};

struct Handle {
  explicit Handle(HandleKind k) : kind(k) {}
  virtual ~Handle() { kind = HandleKind::Dead; }
  HandleKind kind;
  Diagnostics diag;
};

struct Connection;
struct Statement;

// Each handle is guarded by the lock of what it shares state with: an environment by its own
// (held only for its attributes and its list of connections), a connection, its statements and
// their descriptors by the connection's, since statements share the connection's engine. Two
// connections never wait on each other.
struct Environment : Handle {
  Environment() : Handle(HandleKind::Environment) {}
  std::recursive_mutex mutex;
  std::atomic<SQLINTEGER> odbcVersion{SQL_OV_ODBC3};  // read by the connections' calls
  std::list<Connection*> connections;
};

// Statement options, also kept on the connection as the defaults of its new statements.
struct StatementOptions {
  SQLULEN queryTimeout = 0;
  SQLULEN maxRows = 0;
  SQLULEN noScan = SQL_NOSCAN_OFF;
  SQLULEN maxLength = 0;
  SQLULEN cursorType = SQL_CURSOR_FORWARD_ONLY;
  SQLULEN concurrency = SQL_CONCUR_READ_ONLY;
  SQLULEN keysetSize = 0;
  SQLULEN rowsetSize = 1;     // SQL_ROWSET_SIZE: rows of an SQLExtendedFetch
  SQLULEN rowArraySize = 1;   // SQL_ATTR_ROW_ARRAY_SIZE: rows of an SQLFetch or SQLFetchScroll
  SQLULEN simulateCursor = SQL_SC_NON_UNIQUE;
  SQLULEN retrieveData = SQL_RD_ON;
  SQLULEN useBookmarks = SQL_UB_OFF;
  SQLULEN rowBindType = SQL_BIND_BY_COLUMN;
  SQLULEN cursorSensitivity = SQL_INSENSITIVE;
  SQLULEN* rowsFetched = nullptr;
  SQLUSMALLINT* rowStatus = nullptr;
  SQLLEN* rowBindOffset = nullptr;
  SQLULEN paramBindType = SQL_PARAM_BIND_BY_COLUMN;
  SQLLEN* paramBindOffset = nullptr;
  SQLULEN paramsetSize = 1;
  SQLULEN* paramsProcessed = nullptr;
  SQLUSMALLINT* paramStatus = nullptr;
  SQLULEN metadataId = SQL_FALSE;
};

struct Connection : Handle {
  explicit Connection(Environment* e) : Handle(HandleKind::Connection), env(e) {}
  Environment* env;
  std::recursive_mutex mutex;
  std::shared_ptr<const jet::Database> database;  // set while connected
  std::unique_ptr<sql::Engine> engine;
  std::string path;       // the DBQ as given
  std::string dataSource;  // the DSN, when one was used
  std::list<Statement*> statements;
  StatementOptions statementDefaults;
  SQLUINTEGER loginTimeout = 0;
  SQLUINTEGER connectionTimeout = 0;
  SQLULEN quietMode = 0;
  SQLUINTEGER packetSize = 0;
  SQLUINTEGER autocommit = SQL_AUTOCOMMIT_ON;
};

// What SQLGetData has delivered of one column of the current row.
struct ColumnRead {
  SQLSMALLINT cType = 0;
  std::string bytes;   // the converted value: UTF-8, UTF-16 or raw bytes
  size_t offset = 0;   // bytes already delivered
  bool finished = false;
};

// A buffer bound to a result column (SQLBindCol) or to a parameter (SQLBindParameter).
struct Binding {
  SQLSMALLINT cType = SQL_C_DEFAULT;
  SQLPOINTER target = nullptr;
  SQLLEN bufferLength = 0;
  SQLLEN* indicator = nullptr;      // length or indicator
  SQLLEN* octetLength = nullptr;    // parameters: the length, when apart from the indicator
  // Parameters only:
  SQLSMALLINT ioType = SQL_PARAM_INPUT;
  SQLSMALLINT sqlType = SQL_WVARCHAR;
  SQLULEN columnSize = 0;
  SQLSMALLINT digits = 0;
};

struct Descriptor;

struct Statement : Handle {
  explicit Statement(Connection* c);
  ~Statement() override;
  Connection* connection;
  StatementOptions options;
  std::string text;                        // the prepared or executed statement
  std::unique_ptr<sql::Query> query;       // the prepared statement
  bool isPrepared = false;
  std::unique_ptr<sql::ResultSource> catalog;  // the result of a catalog function
  std::unique_ptr<Cursor> cursor;          // the executed result
  std::map<SQLUSMALLINT, ColumnRead> reads;  // SQLGetData progress on the current row
  std::map<SQLUSMALLINT, Binding> columns;   // SQLBindCol
  std::map<SQLUSMALLINT, Binding> parameters;  // SQLBindParameter
  SQLULEN fetchedRows = 0;
  std::string scratch;  // a value converted on its way to a bound buffer
  // Read by the engine while the statement runs; SQLCancel sets its stop request from any thread.
  sql::RunControl control;
  // Calls on the statement now in progress: SQLCancel stops only a statement that is busy.
  std::atomic<int> busy{0};
  // The execution that waits for parameter values (SQL_NEED_DATA), if any.
  DataAtExec dataAtExec;
  // The four descriptors of the statement, made on first request.
  std::unique_ptr<Descriptor> descriptors[4];

  // The columns of the prepared or executed statement; null when there is none.
  const std::vector<sql::ResultColumn>* Columns() const {
    if (cursor) return &cursor->Columns();
    if (query) return &query->Columns();
    return nullptr;
  }
};

// A descriptor handle: one of the four of a statement, seen through the statement's state.
struct Descriptor : Handle {
  Descriptor(Statement* s, SQLINTEGER which) : Handle(HandleKind::Descriptor), statement(s), type(which) {}
  Statement* statement;
  SQLINTEGER type;  // SQL_ATTR_APP_ROW_DESC, SQL_ATTR_APP_PARAM_DESC, SQL_ATTR_IMP_ROW_DESC or SQL_ATTR_IMP_PARAM_DESC
};

// Looks up a handle of the expected kind; null for anything else.
template <typename T>
T* AsHandle(void* handle, HandleKind kind) {
  auto* h = static_cast<Handle*>(handle);
  if (h == nullptr || h->kind != kind) return nullptr;
  return static_cast<T*>(h);
}

// The lock that guards a handle (see Environment).
std::recursive_mutex& HandleMutex(Handle& handle);

// Runs the body of an entry point on a handle: takes the handle's lock, clears the handle's
// diagnostics, turns exceptions into diagnostics and records the return code.
template <typename T, typename Body>
SQLRETURN WithHandle(void* handle, HandleKind kind, Body&& body);

SQLRETURN Fail(Handle& handle, std::string_view state, std::string_view message);
SQLRETURN Warn(Handle& handle, std::string_view state, std::string_view message);

// Closes the statement's cursor and forgets what SQLGetData delivered.
void CloseCursor(Statement& statement);
void FreeStatement(Statement* statement);

}  // namespace mdbodbc

#include "handles_inl.h"
