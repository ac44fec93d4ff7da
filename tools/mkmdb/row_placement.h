// Packing a list of finished rows onto data pages, for the rows written last: the catalog and
// the usage maps.
#pragma once

#include <cstdint>
#include <vector>

#include "page_file.h"

namespace mkmdb {

struct PlacedRows {
  std::vector<std::uint32_t> pointers;  // row pointer (page << 8 | row) of each row
  std::vector<std::uint32_t> pages;     // the pages used, ascending
};

// Packs `rows` in order onto pages owned by `owner`, beginning with the already allocated
// page `first_page` and allocating more from `file` as pages fill. All pages are written.
PlacedRows PlaceRows(PageFile& file, std::uint32_t first_page, std::uint32_t owner,
                     const std::vector<std::vector<std::uint8_t>>& rows);

}  // namespace mkmdb
