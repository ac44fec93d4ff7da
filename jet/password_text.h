// A password as the files compare it: the UTF-8 text a user gives, as UTF-16 code units (Jet 4
// password fields and the key derivations of encrypted files take UTF-16LE bytes).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace jet {

// The UTF-16LE bytes of `text`; false when `text` is not UTF-8.
bool PasswordBytes(std::string_view text, std::vector<std::uint8_t>& out);

}  // namespace jet
