// Which shared libraries this process has mapped: the tests check that a library is loaded
// only when it must be.
#pragma once

#include <string>

namespace testsupport {

// Whether a file whose path contains `part` ("libcrypto", "libodbccr") is mapped into this
// process.
bool LibraryMapped(const std::string& part);

}  // namespace testsupport
