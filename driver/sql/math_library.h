// The C math library, opened at the first call of a function that needs it. A process in which
// it cannot be opened gets an error from the SQL function that needed it, never a stop.
#pragma once

#include "jet/loaded_library.h"

namespace mdbodbc::sql {

// libm, opened the first time this is called (from any thread) and closed as the driver is
// unloaded.
const jet::LoadedLibrary& MathLibrary();

}  // namespace mdbodbc::sql
