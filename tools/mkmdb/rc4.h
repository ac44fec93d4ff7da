// The RC4 stream cipher, which Jet uses to mask the settings block of the file header.
#pragma once

#include <cstdint>
#include <span>

namespace mkmdb {

// XORs `data` with the RC4 keystream for `key`; applying it twice restores the data.
void Rc4Apply(std::span<const std::uint8_t> key, std::span<std::uint8_t> data);

}  // namespace mkmdb
