#include "row_count.h"

#include <algorithm>
#include <vector>

#include "data_page.h"
#include "usage_map.h"

namespace jet {

bool CountTableRows(const FileContext& file, const TableDefinition& table, std::uint64_t& count,
                    std::string& error) {
  const FileLayout& layout = *file.layout;
  const std::string prefix = "table " + Quoted(table.name) + ": ";
  count = 0;
  PageBuffer mapPage(file.PageSize());
  RowPlace place;
  std::string why;
  if (!LoadRow(file, table.usageMap, 0, mapPage, place, why)) {
    error = prefix + "its usage map at " + RowPointerText(table.usageMap) + ": " + why;
    return false;
  }
  UsageMap map(file);
  if (!map.Start(mapPage.data() + place.start, place.size(), why)) {
    error = prefix + why;
    return false;
  }
  // The header and the offset table: most pages' fit in the first bytes read; a page listing
  // more rows is read again as far as its table goes.
  const std::size_t firstRead = std::min<std::size_t>(layout.pageSize, 1024);
  std::vector<std::uint8_t> head(layout.pageSize);
  std::uint32_t page = 0;
  while (map.Next(page, why)) {
    const std::uint64_t at = static_cast<std::uint64_t>(page) * layout.pageSize;
    if (!file.source->ReadAt(at, firstRead, head.data())) {
      error = prefix + "page " + std::to_string(page) + " cannot be read";
      return false;
    }
    if (head[0] != kPageData) {
      // DataPageRows says what the page is instead.
      std::uint16_t rows = 0;
      DataPageRows(layout, head.data(), page, rows, why);
      error = prefix + "its usage map lists page " + std::to_string(page) + ": " + why;
      return false;
    }
    const std::uint32_t owner = GetU32(head.data() + layout.dataOwner);
    if (owner != table.definitionPage) {
      error = prefix + "its usage map lists data page " + std::to_string(page) +
              ", which belongs to the table defined on page " + std::to_string(owner);
      return false;
    }
    const std::uint16_t rows = GetU16(head.data() + layout.dataRowCount);
    const std::size_t tableEnd = layout.dataRowCount + 2 + 2 * std::size_t{rows};
    if (tableEnd > layout.pageSize) {
      error = prefix + "data page " + std::to_string(page) + " lists " + std::to_string(rows) +
              " rows, more than a page holds";
      return false;
    }
    if (tableEnd > firstRead && !file.source->ReadAt(at, tableEnd, head.data())) {
      error = prefix + "page " + std::to_string(page) + " cannot be read";
      return false;
    }
    for (std::size_t i = 0; i < rows; ++i) {
      if (!(GetU16(head.data() + layout.dataRowCount + 2 + 2 * i) & kRowDeleted)) ++count;
    }
  }
  if (!why.empty()) {
    error = prefix + why;
    return false;
  }
  return true;
}

}  // namespace jet
