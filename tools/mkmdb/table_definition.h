// Table definition (TDEF) pages: the header with the row count and the page-map pointers, the
// index statistics, a 25-byte descriptor per column, the column names, the physical and the
// logical indexes with the names of the latter, and the page maps of memo columns. A system
// table lists its column descriptors and its logical indexes sorted by name, as Access does.
// A definition longer than a page continues on further pages chained through the next-page
// field; a continuation page carries an 8-byte header and then the rest of the bytes.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "page_file.h"
#include "table_layout.h"

namespace mkmdb {

// Where each index of a table is, and how many distinct keys it holds.
struct IndexPlacement {
  std::uint32_t usage = 0;       // row pointer of the map of its pages
  std::uint32_t root = 0;        // page of its root
  std::uint32_t distinct = 0;    // distinct keys
};

struct TableMaps {
  std::uint32_t usage = 0;  // row pointers of the table's usage and free-space maps
  std::uint32_t free = 0;
  // For each memo/OLE column in column-number order: its usage and free-space map row pointers.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> long_values;
  std::vector<IndexPlacement> indexes;  // one per index of the layout, in index order
};

// The definition as one byte sequence, as if pages had no size limit.
std::vector<std::uint8_t> BuildTableDefinition(const TableLayout& layout, std::uint32_t rows,
                                               const TableMaps& maps);

// Writes `definition` starting on the allocated page `first_page`, taking continuation pages
// from `file` when it does not fit.
void WriteTableDefinition(PageFile& file, std::uint32_t first_page,
                          const std::vector<std::uint8_t>& definition);

}  // namespace mkmdb
