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

// Page 1, the global page map, for a file of `page_count` pages: a data page owned by page 1
// holding two map rows, as in files Access writes. The first is an inline map from page 0 whose
// bits mark free pages; Access sets them for pages past the end of its file, and so does this
// for the pages from `page_count` on (pages in the file are never marked free). The second row
// is empty, as Access leaves it. Inferred: the meaning of the bits, from the older format's
// files, where they also mark unused pages inside the file.
jet::Page BuildGlobalPageMap(std::uint32_t page_count);

inline constexpr std::uint32_t kGlobalMapPage = 1;

}  // namespace mkmdb
