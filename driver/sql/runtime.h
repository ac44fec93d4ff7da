// The engine functions behind the translated statements: Access's operators and conversions
// (runtime_operators.cpp) and its function library: text (runtime_library.cpp), numbers
// (runtime_numbers.cpp), dates (runtime_dates.cpp), formats (runtime_format.cpp) and tests of
// values (runtime_predicates.cpp), money (runtime_finance.cpp). Each is registered
// under the jet_ prefix with the engine as its user data, so that a failure reports its
// SQLSTATE.
#pragma once

#include "result.h"
#include "variant.h"

#include <span>

struct sqlite3;
struct sqlite3_context;
struct sqlite3_value;

namespace mdbodbc::sql {

class Engine;

struct RuntimeFunction {
  const char* name;
  int arguments;  // -1: any number
  void (*scalar)(sqlite3_context*, int, sqlite3_value**);
  void (*step)(sqlite3_context*, int, sqlite3_value**);
  void (*final)(sqlite3_context*);
  bool deterministic;
};

std::span<const RuntimeFunction> OperatorFunctions();
std::span<const RuntimeFunction> TextFunctions();
std::span<const RuntimeFunction> NumberFunctions();
std::span<const RuntimeFunction> DateFunctions();
std::span<const RuntimeFunction> FormatFunctions();
std::span<const RuntimeFunction> PredicateFunctions();
std::span<const RuntimeFunction> FinanceFunctions();
// Rnd and {fn RAND}: one generator per connection, which needs its own registration.
bool RegisterRandom(sqlite3* db, Engine* engine);

// Fails the call: the statement stops with `error`'s message and SQLSTATE.
void Raise(sqlite3_context* context, const SqlError& error);

// The type whose code an argument holds (see TypeCode).
Type ArgumentType(sqlite3_value* code);

// An argument of a typed call: the value, read as the type its code gives.
Variant TypedArgument(sqlite3_value** argv, int index);

// Writes `v` converted to `to`, or raises the conversion's failure.
void ResultAs(sqlite3_context* context, const Variant& v, const Type& to);

}  // namespace mdbodbc::sql
