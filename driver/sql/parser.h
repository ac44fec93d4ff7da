// The parser of Access SQL: the SELECT statements Access reads (with TOP, DISTINCTROW, joins in
// parentheses, UNION, PARAMETERS, TRANSFORM ... PIVOT), ODBC's escape clauses and ? markers,
// into the tree of ast.h.
#pragma once

#include "ast.h"
#include "result.h"

#include <string_view>

namespace mdbodbc::sql {

// Parses one whole statement (a final ; is allowed). Null with `error` set (42000 naming the
// offset and the token, or the statement kind that the driver does not run) otherwise.
// `savedQuery`: the text is a query the file keeps, whose LIKE patterns use Access's wildcards.
std::unique_ptr<ast::Statement> ParseStatement(std::string_view text, SqlError& error, bool savedQuery = false);

// The ODBC escape clauses of a statement turned into Access SQL, everything else kept as
// written: what SQLNativeSql answers.
bool NativeStatement(std::string_view text, std::string& out, SqlError& error);

}  // namespace mdbodbc::sql
