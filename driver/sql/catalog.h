// The result sets of the catalog functions, in the shapes the ODBC 3 reference gives them,
// built from the file's catalog and table definitions.
#pragma once

#include "engine.h"
#include "result.h"

#include <memory>
#include <optional>
#include <string>

namespace mdbodbc::sql {

// A name argument of a catalog function: nothing for a null pointer.
using NameArgument = std::optional<std::string>;

// SQLTables. `types` is the comma-separated list of table types ('TABLE','SYSTEM TABLE',
// 'VIEW','LINK','PASS-THROUGH'); the file's saved queries that return rows are its views, its
// links to tables of other Access files LINK and its links to ODBC data sources PASS-THROUGH.
// REMARKS is a table's Description.
std::unique_ptr<ResultSource> TablesResult(Engine& engine, const NameArgument& catalog,
                                           const NameArgument& schema, const NameArgument& table,
                                           const NameArgument& types);
// SQLColumns: the columns of tables, of links (as the file they lead to defines them) and of
// the saved queries that are views. NULLABLE also from the Required property, COLUMN_DEF from
// DefaultValue and REMARKS from Description.
std::unique_ptr<ResultSource> ColumnsResult(Engine& engine, const NameArgument& table,
                                            const NameArgument& column, SQLINTEGER odbcVersion);
// SQLProcedures: the saved queries that change data (listed, refused when run).
std::unique_ptr<ResultSource> ProceduresResult(const Engine& engine, const NameArgument& procedure);
// SQLStatistics: the table's row count, then its indexes (only unique ones when `uniqueOnly`).
std::unique_ptr<ResultSource> StatisticsResult(Engine& engine, const NameArgument& table,
                                               bool uniqueOnly);
// SQLPrimaryKeys.
std::unique_ptr<ResultSource> PrimaryKeysResult(Engine& engine, const NameArgument& table);
// SQLSpecialColumns: the primary key (or first unique index) as the best row identifier;
// nothing changes a row here, so there are no row version columns.
std::unique_ptr<ResultSource> SpecialColumnsResult(Engine& engine, SQLUSMALLINT identifier,
                                                   const NameArgument& table, SQLINTEGER odbcVersion);
// SQLForeignKeys: the relationships the file enforces whose primary table is `primaryTable`
// and/or whose foreign table is `foreignTable` (at least one is given), a row per pair of
// columns. The file has no catalogs or schemas: one named gives no rows.
std::unique_ptr<ResultSource> ForeignKeysResult(Engine& engine, const NameArgument& primaryCatalog,
                                                const NameArgument& primarySchema,
                                                const NameArgument& primaryTable,
                                                const NameArgument& foreignCatalog,
                                                const NameArgument& foreignSchema,
                                                const NameArgument& foreignTable, SQLINTEGER odbcVersion);
// SQLGetTypeInfo for one type, or every type for SQL_ALL_TYPES.
std::unique_ptr<ResultSource> TypeInfoResult(SQLSMALLINT type, SQLINTEGER odbcVersion);

}  // namespace mdbodbc::sql
