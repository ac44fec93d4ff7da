// The catalog entry points: SQLTables, SQLColumns, SQLStatistics, SQLPrimaryKeys,
// SQLForeignKeys, SQLSpecialColumns, SQLProcedures and SQLGetTypeInfo. Each opens a result on
// the statement as a query does.
#include "handles.h"
#include "sql/catalog.h"
#include "text.h"

namespace mdbodbc {
namespace {

sql::NameArgument Name(SQLCHAR* text, SQLSMALLINT length) {
  if (text == nullptr) return std::nullopt;
  return NarrowInput(text, length);
}

sql::NameArgument Name(SQLWCHAR* text, SQLSMALLINT length) {
  if (text == nullptr) return std::nullopt;
  return WideInput(text, length);
}

// Opens a catalog result on the statement, with the cursor type the statement asks for.
SQLRETURN Open(Statement& stmt, std::unique_ptr<sql::ResultSource> result) {
  if (stmt.cursor) return Fail(stmt, "24000", "invalid cursor state");
  stmt.query.reset();
  stmt.isPrepared = false;
  sql::SqlError error;
  if (!result->Start(error)) return Fail(stmt, error.state, error.message);
  stmt.catalog = std::move(result);
  stmt.reads.clear();
  stmt.cursor = std::make_unique<Cursor>(*stmt.catalog, stmt.options.cursorType != SQL_CURSOR_FORWARD_ONLY,
                                         stmt.options.maxRows);
  SQLRETURN rc = SQL_SUCCESS;
  for (const sql::SqlError& warning : stmt.catalog->Warnings()) rc = Warn(stmt, warning.state, warning.message);
  return rc;
}

template <typename Char>
SQLRETURN Tables(Statement& stmt, Char* catalog, SQLSMALLINT catalogLength, Char* schema, SQLSMALLINT schemaLength,
                 Char* table, SQLSMALLINT tableLength, Char* type, SQLSMALLINT typeLength) {
  return Open(stmt, sql::TablesResult(*stmt.connection->engine, Name(catalog, catalogLength),
                                      Name(schema, schemaLength), Name(table, tableLength), Name(type, typeLength)));
}

template <typename Char>
SQLRETURN Columns(Statement& stmt, Char* table, SQLSMALLINT tableLength, Char* column, SQLSMALLINT columnLength) {
  return Open(stmt, sql::ColumnsResult(*stmt.connection->engine, Name(table, tableLength), Name(column, columnLength),
                                       stmt.connection->env->odbcVersion));
}

template <typename Char>
SQLRETURN Procedures(Statement& stmt, Char* procedure, SQLSMALLINT procedureLength) {
  return Open(stmt, sql::ProceduresResult(*stmt.connection->engine, Name(procedure, procedureLength)));
}

template <typename Char>
SQLRETURN Statistics(Statement& stmt, Char* table, SQLSMALLINT tableLength, SQLUSMALLINT unique) {
  if (table == nullptr) return Fail(stmt, "HY009", "invalid use of null pointer: a table name is required");
  return Open(stmt, sql::StatisticsResult(*stmt.connection->engine, Name(table, tableLength), unique == SQL_INDEX_UNIQUE));
}

template <typename Char>
SQLRETURN PrimaryKeys(Statement& stmt, Char* table, SQLSMALLINT tableLength) {
  if (table == nullptr) return Fail(stmt, "HY009", "invalid use of null pointer: a table name is required");
  return Open(stmt, sql::PrimaryKeysResult(*stmt.connection->engine, Name(table, tableLength)));
}

template <typename Char>
SQLRETURN ForeignKeys(Statement& stmt, Char* primaryCatalog, SQLSMALLINT primaryCatalogLength, Char* primarySchema,
                      SQLSMALLINT primarySchemaLength, Char* primaryTable, SQLSMALLINT primaryTableLength,
                      Char* foreignCatalog, SQLSMALLINT foreignCatalogLength, Char* foreignSchema,
                      SQLSMALLINT foreignSchemaLength, Char* foreignTable, SQLSMALLINT foreignTableLength) {
  if (primaryTable == nullptr && foreignTable == nullptr) {
    return Fail(stmt, "HY009", "invalid use of null pointer: a primary or a foreign table name is required");
  }
  return Open(stmt, sql::ForeignKeysResult(*stmt.connection->engine, Name(primaryCatalog, primaryCatalogLength),
                                           Name(primarySchema, primarySchemaLength), Name(primaryTable, primaryTableLength),
                                           Name(foreignCatalog, foreignCatalogLength),
                                           Name(foreignSchema, foreignSchemaLength), Name(foreignTable, foreignTableLength),
                                           stmt.connection->env->odbcVersion));
}

template <typename Char>
SQLRETURN SpecialColumns(Statement& stmt, SQLUSMALLINT identifier, Char* table, SQLSMALLINT tableLength) {
  if (table == nullptr) return Fail(stmt, "HY009", "invalid use of null pointer: a table name is required");
  if (identifier != SQL_BEST_ROWID && identifier != SQL_ROWVER) return Fail(stmt, "HY097", "column type out of range");
  return Open(stmt, sql::SpecialColumnsResult(*stmt.connection->engine, identifier, Name(table, tableLength),
                                              stmt.connection->env->odbcVersion));
}

}  // namespace
}  // namespace mdbodbc

using namespace mdbodbc;

MDBODBC_EXPORT SQLRETURN SQL_API SQLTables(SQLHSTMT handle, SQLCHAR* catalog, SQLSMALLINT catalogLength,
                                           SQLCHAR* schema, SQLSMALLINT schemaLength, SQLCHAR* table,
                                           SQLSMALLINT tableLength, SQLCHAR* type, SQLSMALLINT typeLength) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement& stmt) {
    return Tables(stmt, catalog, catalogLength, schema, schemaLength, table, tableLength, type, typeLength);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLTablesW(SQLHSTMT handle, SQLWCHAR* catalog, SQLSMALLINT catalogLength,
                                            SQLWCHAR* schema, SQLSMALLINT schemaLength, SQLWCHAR* table,
                                            SQLSMALLINT tableLength, SQLWCHAR* type, SQLSMALLINT typeLength) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement& stmt) {
    return Tables(stmt, catalog, catalogLength, schema, schemaLength, table, tableLength, type, typeLength);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLColumns(SQLHSTMT handle, SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT,
                                            SQLCHAR* table, SQLSMALLINT tableLength, SQLCHAR* column,
                                            SQLSMALLINT columnLength) {
  return WithHandle<Statement>(handle, HandleKind::Statement,
                               [&](Statement& stmt) { return Columns(stmt, table, tableLength, column, columnLength); });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLColumnsW(SQLHSTMT handle, SQLWCHAR*, SQLSMALLINT, SQLWCHAR*, SQLSMALLINT,
                                             SQLWCHAR* table, SQLSMALLINT tableLength, SQLWCHAR* column,
                                             SQLSMALLINT columnLength) {
  return WithHandle<Statement>(handle, HandleKind::Statement,
                               [&](Statement& stmt) { return Columns(stmt, table, tableLength, column, columnLength); });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLStatistics(SQLHSTMT handle, SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT,
                                               SQLCHAR* table, SQLSMALLINT tableLength, SQLUSMALLINT unique,
                                               SQLUSMALLINT) {
  return WithHandle<Statement>(handle, HandleKind::Statement,
                               [&](Statement& stmt) { return Statistics(stmt, table, tableLength, unique); });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLStatisticsW(SQLHSTMT handle, SQLWCHAR*, SQLSMALLINT, SQLWCHAR*, SQLSMALLINT,
                                                SQLWCHAR* table, SQLSMALLINT tableLength, SQLUSMALLINT unique,
                                                SQLUSMALLINT) {
  return WithHandle<Statement>(handle, HandleKind::Statement,
                               [&](Statement& stmt) { return Statistics(stmt, table, tableLength, unique); });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLPrimaryKeys(SQLHSTMT handle, SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT,
                                                SQLCHAR* table, SQLSMALLINT tableLength) {
  return WithHandle<Statement>(handle, HandleKind::Statement,
                               [&](Statement& stmt) { return PrimaryKeys(stmt, table, tableLength); });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLPrimaryKeysW(SQLHSTMT handle, SQLWCHAR*, SQLSMALLINT, SQLWCHAR*, SQLSMALLINT,
                                                 SQLWCHAR* table, SQLSMALLINT tableLength) {
  return WithHandle<Statement>(handle, HandleKind::Statement,
                               [&](Statement& stmt) { return PrimaryKeys(stmt, table, tableLength); });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLForeignKeys(SQLHSTMT handle, SQLCHAR* primaryCatalog, SQLSMALLINT primaryCatalogLength,
                                                SQLCHAR* primarySchema, SQLSMALLINT primarySchemaLength,
                                                SQLCHAR* primaryTable, SQLSMALLINT primaryTableLength,
                                                SQLCHAR* foreignCatalog, SQLSMALLINT foreignCatalogLength,
                                                SQLCHAR* foreignSchema, SQLSMALLINT foreignSchemaLength,
                                                SQLCHAR* foreignTable, SQLSMALLINT foreignTableLength) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement& stmt) {
    return ForeignKeys(stmt, primaryCatalog, primaryCatalogLength, primarySchema, primarySchemaLength, primaryTable,
                       primaryTableLength, foreignCatalog, foreignCatalogLength, foreignSchema, foreignSchemaLength,
                       foreignTable, foreignTableLength);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLForeignKeysW(SQLHSTMT handle, SQLWCHAR* primaryCatalog,
                                                 SQLSMALLINT primaryCatalogLength, SQLWCHAR* primarySchema,
                                                 SQLSMALLINT primarySchemaLength, SQLWCHAR* primaryTable,
                                                 SQLSMALLINT primaryTableLength, SQLWCHAR* foreignCatalog,
                                                 SQLSMALLINT foreignCatalogLength, SQLWCHAR* foreignSchema,
                                                 SQLSMALLINT foreignSchemaLength, SQLWCHAR* foreignTable,
                                                 SQLSMALLINT foreignTableLength) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement& stmt) {
    return ForeignKeys(stmt, primaryCatalog, primaryCatalogLength, primarySchema, primarySchemaLength, primaryTable,
                       primaryTableLength, foreignCatalog, foreignCatalogLength, foreignSchema, foreignSchemaLength,
                       foreignTable, foreignTableLength);
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLSpecialColumns(SQLHSTMT handle, SQLUSMALLINT identifier, SQLCHAR*, SQLSMALLINT,
                                                   SQLCHAR*, SQLSMALLINT, SQLCHAR* table, SQLSMALLINT tableLength,
                                                   SQLUSMALLINT, SQLUSMALLINT) {
  return WithHandle<Statement>(handle, HandleKind::Statement,
                               [&](Statement& stmt) { return SpecialColumns(stmt, identifier, table, tableLength); });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLSpecialColumnsW(SQLHSTMT handle, SQLUSMALLINT identifier, SQLWCHAR*, SQLSMALLINT,
                                                    SQLWCHAR*, SQLSMALLINT, SQLWCHAR* table, SQLSMALLINT tableLength,
                                                    SQLUSMALLINT, SQLUSMALLINT) {
  return WithHandle<Statement>(handle, HandleKind::Statement,
                               [&](Statement& stmt) { return SpecialColumns(stmt, identifier, table, tableLength); });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLGetTypeInfo(SQLHSTMT handle, SQLSMALLINT type) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement& stmt) {
    return Open(stmt, sql::TypeInfoResult(type, stmt.connection->env->odbcVersion));
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLGetTypeInfoW(SQLHSTMT handle, SQLSMALLINT type) {
  return WithHandle<Statement>(handle, HandleKind::Statement, [&](Statement& stmt) {
    return Open(stmt, sql::TypeInfoResult(type, stmt.connection->env->odbcVersion));
  });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLProcedures(SQLHSTMT handle, SQLCHAR*, SQLSMALLINT, SQLCHAR*, SQLSMALLINT,
                                               SQLCHAR* procedure, SQLSMALLINT procedureLength) {
  return WithHandle<Statement>(handle, HandleKind::Statement,
                               [&](Statement& stmt) { return Procedures(stmt, procedure, procedureLength); });
}

MDBODBC_EXPORT SQLRETURN SQL_API SQLProceduresW(SQLHSTMT handle, SQLWCHAR*, SQLSMALLINT, SQLWCHAR*, SQLSMALLINT,
                                                SQLWCHAR* procedure, SQLSMALLINT procedureLength) {
  return WithHandle<Statement>(handle, HandleKind::Statement,
                               [&](Statement& stmt) { return Procedures(stmt, procedure, procedureLength); });
}
