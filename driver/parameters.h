// The values bound to a statement's ? markers (SQLBindParameter), handed to the engine.
#pragma once

#include "convert.h"
#include "handles.h"

namespace mdbodbc {

// Binds every marker of the prepared statement from the application's buffers. A marker
// without a bound buffer is an error (07002).
Outcome BindParameters(Statement& stmt, sql::Query& query);

}  // namespace mdbodbc
