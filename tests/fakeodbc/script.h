// The line format of FAKEODBC_SCRIPT and fakeodbc::loadScript (described in fake_odbc.h).
#pragma once

#include <string_view>

#include "state.h"

namespace fakeodbc::detail {

// Applies the script to the state; throws std::invalid_argument naming the line at fault.
// A malformed script changes nothing.
void applyScript(State& state, std::string_view scriptText);

}  // namespace fakeodbc::detail
