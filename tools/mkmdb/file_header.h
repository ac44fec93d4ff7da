// Page 0 of a Jet 4 file: the signature, the engine version and the masked settings block.
#pragma once

#include "jet/format.h"

namespace mkmdb {

// Offsets of the parts of page 0 that readers check.
inline constexpr std::size_t kHeaderVersionOffset = 0x14;
inline constexpr std::size_t kHeaderSettingsOffset = 0x18;
inline constexpr std::size_t kHeaderSettingsSize = 128;
inline constexpr std::size_t kHeaderDatabaseKeyOffset = 0x3E;  // inside the settings block

jet::Page BuildFileHeader();

}  // namespace mkmdb
