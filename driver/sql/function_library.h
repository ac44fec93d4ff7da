// The functions a statement may call: Access's functions and the ODBC scalar functions of
// {fn ...}. Each one says how many arguments it takes, what type its result has for the types
// of its arguments, and how the engine computes it.
#pragma once

#include "jet_types.h"

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mdbodbc::sql {

// A call as the translator emits it: its arguments, already in the engine's form of their
// own types.
struct CallSite {
  std::vector<std::string> args;  // engine SQL of each argument
  std::vector<Type> argTypes;
  Type result;
  bool distinct = false;  // an aggregate's DISTINCT
  // Converts engine SQL of type `from` into engine SQL of type `to`.
  std::string (*convert)(const std::string& sql, const Type& from, const Type& to) = nullptr;
  // Engine SQL of argument `i` converted to `to`.
  std::string Arg(std::size_t i, const Type& to) const { return convert(args[i], argTypes[i], to); }
};

struct FunctionDef {
  std::string_view name;  // lower case
  int minArgs;
  int maxArgs;            // -1: any number from minArgs
  bool aggregate;
  // The result type for these argument types; false with `error` set when they do not fit.
  bool (*type)(std::span<const Type> args, Type& result, std::string& error);
  // The engine SQL of the call.
  std::string (*emit)(const CallSite& call);
};

// The function named `name` (without regard to case; a trailing $ names the same function).
// ODBC's {fn} names are looked up among the ODBC functions first, plain names among Access's.
const FunctionDef* FindFunction(std::string_view name, bool odbc);

// The engine functions that the driver registers for the library and the operators, and the
// engine's own functions the translator emits: the only functions a statement can reach.
bool IsEngineFunctionAllowed(std::string_view name);

// Access functions that exist but are not built yet: their calls are refused naming them.
bool IsKnownUnsupported(std::string_view name);

// The argument of `def` that is a keyword rather than a value (0-based), or -1: the type of
// {fn CONVERT(value, SQL_INTEGER)} and the interval of {fn TIMESTAMPADD(SQL_TSI_DAY, n, t)}. A
// bare word there is not a column; the binder passes it on as a text literal of its name.
int KeywordArgument(const FunctionDef& def);
// The result type of a call of such a function, for its keyword (empty when the argument was
// no bare word or text); false with `error` set for a keyword the function does not know.
bool KeywordCallType(const FunctionDef& def, std::string_view keyword, std::span<const Type> args, Type& result,
                     std::string& error);

// The type code passed to engine functions that take a value of any type.
int TypeCode(const Type& t);
Type TypeFromCode(int code);

}  // namespace mdbodbc::sql
