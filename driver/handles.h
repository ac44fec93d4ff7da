// The driver's environment, connection and statement handles.
#pragma once

#include "cursor.h"
#include "database.h"
#include "diagnostics.h"
#include "field_value.h"
#include "odbc.h"
#include "query.h"

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace mdbodbc {

enum class HandleKind : uint32_t {
  Environment = 0x4D44454E,  // tags that tell a live handle of the right kind
  Connection = 0x4D444443,
  Statement = 0x4D445354,
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

struct Environment : Handle {
  Environment() : Handle(HandleKind::Environment) {}
  SQLINTEGER odbcVersion = SQL_OV_ODBC3;
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
  SQLULEN rowsetSize = 1;
  SQLULEN simulateCursor = SQL_SC_NON_UNIQUE;
  SQLULEN retrieveData = SQL_RD_ON;
  SQLULEN useBookmarks = SQL_UB_OFF;
  SQLULEN rowBindType = SQL_BIND_BY_COLUMN;
  SQLULEN cursorSensitivity = SQL_INSENSITIVE;
  SQLULEN* rowsFetched = nullptr;
  SQLUSMALLINT* rowStatus = nullptr;
};

struct Connection : Handle {
  explicit Connection(Environment* e) : Handle(HandleKind::Connection), env(e) {}
  Environment* env;
  std::unique_ptr<Database> database;  // set while connected
  std::string path;                    // the DBQ as given
  std::list<Statement*> statements;
  StatementOptions statementDefaults;
  SQLUINTEGER loginTimeout = 0;
  SQLUINTEGER connectionTimeout = 0;
  SQLULEN quietMode = 0;
  SQLUINTEGER packetSize = 0;
  SQLUINTEGER txnIsolation = 0;
};

// What SQLGetData has delivered of one column of the current row.
struct ColumnRead {
  SQLSMALLINT cType = 0;
  std::string bytes;   // the converted value: UTF-8, UTF-16 or raw bytes
  size_t offset = 0;   // bytes already delivered
  bool finished = false;
};

struct Statement : Handle {
  explicit Statement(Connection* c)
      : Handle(HandleKind::Statement), connection(c), options(c->statementDefaults) {}
  Connection* connection;
  StatementOptions options;
  std::string text;                  // the prepared or executed statement
  std::unique_ptr<Query> prepared;   // run by SQLPrepare, not yet executed
  bool isPrepared = false;
  std::unique_ptr<Cursor> cursor;    // the executed result
  std::map<SQLUSMALLINT, ColumnRead> reads;  // SQLGetData progress on the current row
  SQLULEN fetchedRows = 0;           // rows of the last fetch, for SQL_ATTR_ROWS_FETCHED_PTR

  // The columns of the prepared or executed statement; null when there is none.
  const std::vector<ColumnInfo>* Columns() const {
    if (cursor) return &cursor->query().Columns();
    if (prepared) return &prepared->Columns();
    return nullptr;
  }
};

// Looks up a handle of the expected kind; null for anything else.
template <typename T>
T* AsHandle(void* handle, HandleKind kind) {
  auto* h = static_cast<Handle*>(handle);
  if (h == nullptr || h->kind != kind) return nullptr;
  return static_cast<T*>(h);
}

// Runs the body of an entry point on a handle: takes the library lock, clears the handle's
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
