#include "handles.h"

namespace mdbodbc {

std::recursive_mutex& HandleMutex(Handle& handle) {
  switch (handle.kind) {
    case HandleKind::Environment: return static_cast<Environment&>(handle).mutex;
    case HandleKind::Connection: return static_cast<Connection&>(handle).mutex;
    case HandleKind::Statement: return static_cast<Statement&>(handle).connection->mutex;
    default: return static_cast<Descriptor&>(handle).statement->connection->mutex;
  }
}

Statement::Statement(Connection* c)
    : Handle(HandleKind::Statement), connection(c), options(c->statementDefaults) {}

Statement::~Statement() {
  // The cursor reads from the query or the catalog result: it goes first.
  cursor.reset();
}

SQLRETURN Fail(Handle& handle, std::string_view state, std::string_view message) {
  handle.diag.Add(state, message);
  return SQL_ERROR;
}

SQLRETURN Warn(Handle& handle, std::string_view state, std::string_view message) {
  handle.diag.Add(state, message);
  return SQL_SUCCESS_WITH_INFO;
}

void CloseCursor(Statement& statement) {
  statement.dataAtExec.Reset();
  statement.cursor.reset();
  statement.catalog.reset();
  statement.reads.clear();
  statement.fetchedRows = 0;
}

void FreeStatement(Statement* statement) {
  statement->connection->statements.remove(statement);
  delete statement;
}

}  // namespace mdbodbc
