// The XML descriptor of the agile form of Office encryption: the keyData element (how the pages
// are enciphered) and the password's encryptedKey element (how the key that enciphers them is
// kept). Only what those two elements say is read; the rest of the descriptor is passed over.
#pragma once

#include <string>
#include <string_view>

#include "crypto_library.h"
#include "encryption_info.h"

namespace jet {

// The most rounds of password hashing a descriptor may ask for.
inline constexpr std::uint32_t kMaxSpinCount = 10'000'000;

// Reads the descriptor. False with `error` saying what is missing or wrong in it.
bool ParseAgileDescriptor(std::string_view xml, const CryptoLibrary& crypto,
                          AgileEncryption& out, std::string& error);

}  // namespace jet
