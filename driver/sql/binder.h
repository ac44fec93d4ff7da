// The binder: finds what every name of a parsed statement names (tables and saved queries of
// the file, their columns, aliases, parameters), expands * and saved queries, checks grouping,
// and gives every expression its Access type.
#pragma once

#include "ast.h"
#include "result.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace mdbodbc::sql {

class Engine;

struct SourceColumn {
  std::string name;  // UTF-8
  Type type;
  SQLSMALLINT nullable = SQL_NULLABLE_UNKNOWN;
  std::string baseTable, baseColumn;  // where its values come from, when from a table's column
  bool autoUnique = false;
};

// One table, saved query or derived table in a FROM clause.
struct Source {
  std::string name;      // how the statement qualifies it: its alias, or its own name
  int id = 0;            // unique in the statement: the engine knows it as t<id>
  bool isTable = false;  // a table of the file (else a derived table or saved query)
  std::size_t catalogIndex = 0;
  ast::Query* query = nullptr;  // a derived table's or saved query's query
  // A saved crosstab read as a table: its engine SQL, made when it is bound (its columns are
  // the values its data holds), and the file's tables that SQL reads.
  std::string sql;
  std::vector<std::size_t> tables;
  std::vector<SourceColumn> columns;
};

// A column of a select's result.
struct Output {
  std::string label;
  Type type;
  SourceColumn origin;  // where it comes from, when it names a column
};

struct SelectInfo {
  std::vector<Source> sources;
  std::vector<Output> outputs;
  bool grouped = false;  // GROUP BY, or aggregates without it: one row per group
};

struct ParameterInfo {
  std::string name;  // empty for a ? marker
  Type type;         // declared, or taken from where it is used (Text when nothing says)
  bool declared = false;
};

struct BoundStatement {
  std::unique_ptr<ast::Statement> statement;
  // The saved queries the statement reads, parsed; their selects are bound like the
  // statement's own.
  std::vector<std::unique_ptr<ast::Statement>> expansions;
  std::map<const ast::Select*, SelectInfo> selects;
  // Of each query (the statement's, each derived table's and subquery's): its result columns,
  // with the types common to all members of a UNION.
  std::map<const ast::Query*, std::vector<Output>> queries;
  std::vector<ParameterInfo> parameters;  // in ODBC's order
  int nextSourceId = 0;
  // The saved queries being read around this statement (a saved crosstab is bound as a
  // statement of its own inside another): a query met again reads itself.
  std::vector<std::string> expanding;
  bool accessWildcards = false;  // LIKE patterns use * ? # (saved queries) instead of % _
};

// Binds a parsed statement. False with `error` set (42S02 for an unknown table, 42S22 for an
// unknown column, 42000 for what does not fit Access's rules, 07002-style problems later).
bool Bind(Engine& engine, BoundStatement& bound, SqlError& error);

}  // namespace mdbodbc::sql
