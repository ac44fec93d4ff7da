// The engine functions a translated statement may call: the driver's own (the Access function
// library and its operators) and the engine's aggregates. Everything else the engine offers
// (functions that reach the process, its files, its settings or its extensions) stays out of
// reach, whatever a statement's author writes.
#pragma once

#include <string_view>

namespace mdbodbc::sql {

// The name compared without regard to ASCII case, as the engine finds functions.
bool IsAllowedFunction(std::string_view name);

}  // namespace mdbodbc::sql
