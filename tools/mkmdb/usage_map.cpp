#include "usage_map.h"

#include <cassert>

#include "data_page.h"
#include "mdb_writer.h"

namespace mkmdb {
namespace {

constexpr std::size_t kIndirectEntries = (kUsageMapRowSize - 1) / 4;  // 17

void SetBit(std::uint8_t* bitmap, std::uint32_t bit) {
  bitmap[bit / 8] = static_cast<std::uint8_t>(bitmap[bit / 8] | (1u << (bit % 8)));
}

}  // namespace

std::vector<std::uint8_t> BuildUsageMap(std::span<const std::uint32_t> pages, PageFile& file) {
  std::vector<std::uint8_t> row(kUsageMapRowSize, 0);
  if (pages.empty() || pages.back() - pages.front() < kInlineMapPages) {
    row[0] = 0x00;
    // Counted from page 0 while the pages allow it, as Access does.
    const std::uint32_t start =
        pages.empty() || pages.back() < kInlineMapPages ? 0 : pages.front();
    jet::PutU32(row.data() + 1, start);
    for (std::uint32_t page : pages) SetBit(row.data() + 5, page - start);
    return row;
  }

  row[0] = 0x01;
  std::size_t i = 0;
  while (i < pages.size()) {
    std::uint32_t entry = pages[i] / kBitmapPageSpan;
    if (entry >= kIndirectEntries) {
      throw WriterError("the database is too large for a table's page map");
    }
    jet::Page bitmap{};
    bitmap[0] = jet::kPageUsageBitmap;
    bitmap[1] = 0x01;
    for (; i < pages.size() && pages[i] / kBitmapPageSpan == entry; ++i) {
      SetBit(bitmap.data() + 4, pages[i] - entry * kBitmapPageSpan);
    }
    std::uint32_t bitmap_page = file.Allocate();
    file.Write(bitmap_page, bitmap);
    jet::PutU32(row.data() + 1 + 4 * entry, bitmap_page);
  }
  return row;
}

jet::Page BuildGlobalPageMap(std::uint32_t page_count) {
  DataPage page(kGlobalMapPage);
  std::vector<std::uint8_t> row(kUsageMapRowSize, 0);
  for (std::uint32_t p = page_count; p < kInlineMapPages; ++p) SetBit(row.data() + 5, p);
  page.Add(row);
  page.Add(std::vector<std::uint8_t>(kUsageMapRowSize, 0));
  return page.Finish();
}

}  // namespace mkmdb
