// The driver's answers to SQLGetInfo.
#pragma once

#include "odbc.h"

#include <optional>
#include <span>
#include <string>

namespace mdbodbc {

struct Connection;

struct InfoAnswer {
  enum class Kind { Text, Short, Integer } kind = Kind::Integer;
  std::string text;
  SQLUINTEGER number = 0;
};

// The answer for an information type, or nothing when the driver does not know the type.
std::optional<InfoAnswer> AnswerInfo(const Connection& connection, SQLUSMALLINT infoType);

// The entry points the driver implements, by their SQL_API_ numbers.
bool ImplementsFunction(SQLUSMALLINT function);
std::span<const SQLUSMALLINT> ImplementedFunctions();

}  // namespace mdbodbc
