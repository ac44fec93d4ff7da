// The translator: a bound statement as the engine's SQL, in which every value keeps its Access
// type's form (Yes/No as -1 and 0, Currency as scaled integers, Decimal as exact text, dates
// as linear day numbers), every operator and function computes as Access computes, and text
// compares, groups and sorts in Access's order.
#pragma once

#include "binder.h"

#include <string>
#include <vector>

namespace mdbodbc::sql {

class Engine;

struct Translation {
  std::string sql;
  std::vector<Output> outputs;       // the result columns
  std::vector<std::size_t> tables;   // the file's tables the statement reads (catalog positions)
  // Rows come straight from the tables, one result row per source row (no grouping, sorting,
  // DISTINCT or UNION): a value that cannot be read can fail its row alone.
  bool streaming = false;
};

// Translates a bound statement. A crosstab's columns are found by running a query on the
// engine. False with `error` set when the statement cannot be expressed.
bool Translate(Engine& engine, BoundStatement& bound, Translation& out, SqlError& error);

// Engine SQL that turns a value of type `from` into one of type `to`.
std::string ConvertValue(const std::string& sql, const Type& from, const Type& to);

// The collation the engine compares values of this type with ("" for the engine's own order).
const char* CollationOf(const Type& t);

}  // namespace mdbodbc::sql
