#include "handles.h"

namespace mdbodbc {

SQLRETURN Fail(Handle& handle, std::string_view state, std::string_view message) {
  handle.diag.Add(state, message);
  return SQL_ERROR;
}

SQLRETURN Warn(Handle& handle, std::string_view state, std::string_view message) {
  handle.diag.Add(state, message);
  return SQL_SUCCESS_WITH_INFO;
}

void CloseCursor(Statement& statement) {
  statement.cursor.reset();
  statement.reads.clear();
  statement.fetchedRows = 0;
}

void FreeStatement(Statement* statement) {
  statement->connection->statements.remove(statement);
  delete statement;
}

}  // namespace mdbodbc
