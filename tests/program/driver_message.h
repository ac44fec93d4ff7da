// What the driver itself says when the program's connection cannot be made, asked directly
// through the driver manager with the program's connect string from the program's directory.
#pragma once

#include <string>

namespace e2e {

// Connects from `workingDirectory` (the process's directory is restored afterwards) and returns
// the message of the first diagnostic record without its bracketed origins, or an empty text
// when the connection succeeds.
std::string DriverConnectMessage(const std::string& workingDirectory);

}  // namespace e2e
