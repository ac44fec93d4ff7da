// The SQL functions a statement may call: the driver's own library and the engine's plain
// functions on values. Everything else the engine offers (functions that reach the process,
// its files, its settings or its extensions) stays out of reach of a statement's author.
#pragma once

#include <string_view>

namespace mdbodbc::sql {

// The name compared without regard to ASCII case, as the engine finds functions.
bool IsAllowedFunction(std::string_view name);

}  // namespace mdbodbc::sql
