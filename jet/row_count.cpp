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
  // Pages are read in runs of consecutive pages, a few reads for a whole table; each page's
  // header and offset table are all that is looked at.
  constexpr std::size_t kRunPages = 64;
  std::vector<std::uint8_t> run(kRunPages * layout.pageSize);
  const auto countRun = [&](std::uint32_t first, std::size_t pages) {
    const std::uint64_t at = static_cast<std::uint64_t>(first) * layout.pageSize;
    if (!file.source->ReadAt(at, pages * layout.pageSize, run.data())) {
      error = prefix + "pages " + std::to_string(first) + " to " +
              std::to_string(first + pages - 1) + " cannot be read";
      return false;
    }
    for (std::size_t k = 0; k < pages; ++k) {
      const std::uint32_t page = first + static_cast<std::uint32_t>(k);
      const std::uint8_t* head = run.data() + k * layout.pageSize;
      std::uint16_t rows = 0;
      std::string problem;
      if (!DataPageRows(layout, head, page, rows, problem)) {
        error = prefix + "its usage map lists page " + std::to_string(page) + ": " + problem;
        return false;
      }
      const std::uint32_t owner = GetU32(head + layout.dataOwner);
      if (owner != table.definitionPage) {
        error = prefix + "its usage map lists data page " + std::to_string(page) +
                ", which belongs to the table defined on page " + std::to_string(owner);
        return false;
      }
      for (std::size_t i = 0; i < rows; ++i) {
        if (!(GetU16(head + layout.dataRowCount + 2 + 2 * i) & kRowDeleted)) ++count;
      }
    }
    return true;
  };
  std::uint32_t page = 0, first = 0;
  std::size_t pages = 0;
  while (map.Next(page, why)) {
    if (pages > 0 && (page != first + pages || pages == kRunPages)) {
      if (!countRun(first, pages)) return false;
      pages = 0;
    }
    if (pages == 0) first = page;
    ++pages;
  }
  if (why.empty() && pages > 0 && !countRun(first, pages)) return false;
  if (!why.empty()) {
    error = prefix + why;
    return false;
  }
  return true;
}

}  // namespace jet
