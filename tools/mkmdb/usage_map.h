// Usage maps: the rows that list the pages belonging to a table (or to a memo column).
//
// A map whose pages all lie within 512 pages of the first is an inline bitmap (type 0).
// Larger spans use the indirect form (type 1): the row names bitmap pages (type 0x05), entry k
// covering the absolute pages k*32736 .. k*32736+32735.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "page_file.h"

namespace mkmdb {

inline constexpr std::size_t kUsageMapRowSize = 69;
inline constexpr std::uint32_t kInlineMapPages = 64 * 8;
inline constexpr std::uint32_t kBitmapPageSpan = (jet::kPageSize - 4) * 8;

// Returns the map row listing `pages` (ascending, no duplicates). Bitmap pages needed by the
// indirect form are allocated from `file` and written to it.
std::vector<std::uint8_t> BuildUsageMap(std::span<const std::uint32_t> pages, PageFile& file);

}  // namespace mkmdb
