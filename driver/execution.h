// Running a prepared statement once its parameters have their values.
#pragma once

#include "handles.h"

namespace mdbodbc {

// Binds the parameters from their buffers, runs the statement and opens its cursor on the
// first row.
SQLRETURN RunWithBoundValues(Statement& stmt);

}  // namespace mdbodbc
