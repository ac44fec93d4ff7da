// Entry points that allocate and free handles, and the environment attributes.
#include "handles.h"

namespace mdbodbc {
namespace {

SQLRETURN AllocEnvironment(SQLHANDLE* output) {
  if (output == nullptr) return SQL_ERROR;
  *output = new (std::nothrow) Environment();
  return *output != nullptr ? SQL_SUCCESS : SQL_ERROR;
}

SQLRETURN AllocConnection(SQLHANDLE input, SQLHANDLE* output) {
  return WithHandle<Environment>(input, HandleKind::Environment, [&](Environment& env) {
    if (output == nullptr) return Fail(env, "HY009", "invalid use of null pointer");
    auto* connection = new Connection(&env);
    env.connections.push_back(connection);
    *output = connection;
    return SQLRETURN(SQL_SUCCESS);
  });
}

SQLRETURN AllocStatement(SQLHANDLE input, SQLHANDLE* output) {
  return WithHandle<Connection>(input, HandleKind::Connection, [&](Connection& dbc) {
    if (output == nullptr) return Fail(dbc, "HY009", "invalid use of null pointer");
    if (!dbc.engine) return Fail(dbc, "08003", "connection not open");
    auto* statement = new Statement(&dbc);
    dbc.statements.push_back(statement);
    *output = statement;
    return SQLRETURN(SQL_SUCCESS);
  });
}

}  // namespace
}  // namespace mdbodbc

using namespace mdbodbc;

MDBODBC_EXPORT SQLRETURN SQL_API SQLAllocHandle(SQLSMALLINT type, SQLHANDLE input,
                                                SQLHANDLE* output) {
  switch (type) {
    case SQL_HANDLE_ENV: return AllocEnvironment(output);
    case SQL_HANDLE_DBC: return AllocConnection(input, output);
    case SQL_HANDLE_STMT: return AllocStatement(input, output);
    case SQL_HANDLE_DESC:
      return WithHandle<Connection>(input, HandleKind::Connection, [](Connection& dbc) {
        return Fail(dbc, "HYC00", "explicit descriptors are not supported: use the statement's own");
      });
    default: return SQL_ERROR;
  }
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
  switch (type) {
    case SQL_HANDLE_ENV: {
      auto* env = AsHandle<Environment>(handle, HandleKind::Environment);
      if (env == nullptr) return SQL_INVALID_HANDLE;
      {
        std::lock_guard<std::recursive_mutex> lock(env->mutex);
        env->diag.Clear();
        if (!env->connections.empty()) {
          return Fail(*env, "HY010", "connections are still allocated on this environment");
        }
      }
      delete env;
      return SQL_SUCCESS;
    }
    case SQL_HANDLE_DBC: {
      auto* dbc = AsHandle<Connection>(handle, HandleKind::Connection);
      if (dbc == nullptr) return SQL_INVALID_HANDLE;
      {
        std::lock_guard<std::recursive_mutex> lock(dbc->mutex);
        dbc->diag.Clear();
        if (dbc->engine) return Fail(*dbc, "HY010", "the connection is still open");
      }
      {
        std::lock_guard<std::recursive_mutex> lock(dbc->env->mutex);
        dbc->env->connections.remove(dbc);
      }
      delete dbc;
      return SQL_SUCCESS;
    }
    case SQL_HANDLE_STMT: {
      auto* stmt = AsHandle<Statement>(handle, HandleKind::Statement);
      if (stmt == nullptr) return SQL_INVALID_HANDLE;
      std::lock_guard<std::recursive_mutex> lock(stmt->connection->mutex);
      FreeStatement(stmt);
      return SQL_SUCCESS;
    }
    default: return SQL_INVALID_HANDLE;
  }
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLFreeStmt(SQLHSTMT handle, SQLUSMALLINT option) {
  if (option == SQL_DROP) return SQLFreeHandle(SQL_HANDLE_STMT, handle);
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement& stmt) {
    switch (option) {
      case SQL_CLOSE: CloseCursor(stmt); return SQLRETURN(SQL_SUCCESS);
      case SQL_UNBIND: stmt.columns.clear(); return SQLRETURN(SQL_SUCCESS);
      case SQL_RESET_PARAMS:
        stmt.dataAtExec.Reset();
        stmt.parameters.clear();
        return SQLRETURN(SQL_SUCCESS);
      default: return Fail(stmt, "HY092", "invalid option for SQLFreeStmt");
    }
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLSetEnvAttr(SQLHENV handle, SQLINTEGER attribute,
                                               SQLPOINTER value, SQLINTEGER) {
  return WithHandle<Environment>(handle, HandleKind::Environment, [&](Environment& env) {
    auto number = static_cast<SQLINTEGER>(reinterpret_cast<intptr_t>(value));
    switch (attribute) {
      case SQL_ATTR_ODBC_VERSION:
        if (number != SQL_OV_ODBC2 && number != SQL_OV_ODBC3 && number != SQL_OV_ODBC3_80) {
          return Fail(env, "HY024", "invalid ODBC version");
        }
        env.odbcVersion = number;
        return SQLRETURN(SQL_SUCCESS);
      case SQL_ATTR_OUTPUT_NTS:
        if (number != SQL_TRUE) return Fail(env, "HYC00", "strings are always null-terminated");
        return SQLRETURN(SQL_SUCCESS);
      case SQL_ATTR_CONNECTION_POOLING:
      case SQL_ATTR_CP_MATCH: return SQLRETURN(SQL_SUCCESS);  // the driver manager's business
      default: return Fail(env, "HY092", "invalid environment attribute");
    }
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLGetEnvAttr(SQLHENV handle, SQLINTEGER attribute,
                                               SQLPOINTER value, SQLINTEGER,
                                               SQLINTEGER* length) {
  return WithHandle<Environment>(handle, HandleKind::Environment, [&](Environment& env) {
    SQLINTEGER answer = 0;
    switch (attribute) {
      case SQL_ATTR_ODBC_VERSION: answer = env.odbcVersion; break;
      case SQL_ATTR_OUTPUT_NTS: answer = SQL_TRUE; break;
      case SQL_ATTR_CONNECTION_POOLING: answer = SQL_CP_OFF; break;
      case SQL_ATTR_CP_MATCH: answer = SQL_CP_STRICT_MATCH; break;
      default: return Fail(env, "HY092", "invalid environment attribute");
    }
    if (value != nullptr) *static_cast<SQLINTEGER*>(value) = answer;
    if (length != nullptr) *length = sizeof(SQLINTEGER);
    return SQLRETURN(SQL_SUCCESS);
  });
}
