// The statement forms that ODBC clients and Access users send, turned into the SQL that the
// engine reads: ODBC escape clauses ({fn}, {d}, {t}, {ts}, {oj}, {escape}), TOP n, #date#
// literals and [bracketed] names. Everything else passes through unchanged.
#pragma once

#include <string>
#include <string_view>

namespace mdbodbc::sql {

struct Rewritten {
  bool ok = false;
  std::string text;   // the engine's statement when ok
  std::string error;  // what is wrong with the statement otherwise
};

// Reads the whole text, by its length: a NUL character in it is an error, not its end.
Rewritten RewriteStatement(std::string_view text);

}  // namespace mdbodbc::sql
