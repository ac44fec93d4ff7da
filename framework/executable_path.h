// The running executable's own file.
#pragma once

#include <string>

// The full path of the running executable as the system names it (symbolic links resolved);
// empty when it cannot be read.
std::string ExecutablePath();
