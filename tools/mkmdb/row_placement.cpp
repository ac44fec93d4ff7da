#include "row_placement.h"

#include "data_page.h"
#include "mdb_writer.h"

namespace mkmdb {

PlacedRows PlaceRows(PageFile& file, std::uint32_t first_page, std::uint32_t owner,
                     const std::vector<std::vector<std::uint8_t>>& rows) {
  PlacedRows placed;
  DataPage page(owner);
  std::uint32_t page_number = first_page;
  placed.pages.push_back(page_number);
  for (const auto& row : rows) {
    if (row.size() > jet::kMaxRowBytes) throw WriterError("internal row too large for a page");
    if (!page.HasRoomFor(row.size())) {
      file.Write(page_number, page.Finish());
      page.Clear();
      page_number = file.Allocate();
      placed.pages.push_back(page_number);
    }
    std::uint16_t row_number = page.Add(row);
    placed.pointers.push_back(jet::PageRow(page_number, row_number));
  }
  file.Write(page_number, page.Finish());
  return placed;
}

}  // namespace mkmdb
