// Where memo values go. A memo column's place in the row holds a 12-byte header
//   u24 stored length | u8 kind | u32 row pointer | u32 0
// followed by the value itself when small (kind 0x80, inline). Larger values go to separate
// "LVAL" pages: whole in one row (kind 0x40) or, past one page, as a chain of rows each starting
// with the pointer to the next (kind 0x00).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "data_page.h"
#include "page_file.h"

namespace mkmdb {

inline constexpr std::size_t kMemoHeaderSize = 12;
inline constexpr std::size_t kMemoInlineLimit = 256;            // stored bytes kept in the row
inline constexpr std::size_t kMemoSingleRowLimit = jet::kMaxRowBytes;  // 4080
inline constexpr std::size_t kMemoChunkSize = jet::kMaxRowBytes - 4;   // 4076
inline constexpr std::size_t kMemoMaxStoredSize = 0xFFFFFF;

class MemoStore {
 public:
  explicit MemoStore(PageFile& file);

  // Stores one value given in its stored form (at most kMemoMaxStoredSize bytes) and sets
  // `field` to the bytes for the row: the value itself when small, else a pointer to LVAL rows.
  void Store(std::span<const std::uint8_t> stored, std::vector<std::uint8_t>& field);
  // The same, always on LVAL pages: for a small value whose row would not fit a page with it.
  void StoreApart(std::span<const std::uint8_t> stored, std::vector<std::uint8_t>& field);
  // Writes the page still being filled.
  void Finish();
  // The LVAL pages used, ascending.
  const std::vector<std::uint32_t>& pages() const { return pages_; }

 private:
  std::uint32_t AddRow(std::span<const std::uint8_t> row);

  PageFile& file_;
  DataPage page_{DataPage::kLongValueOwner};
  std::uint32_t page_number_ = 0;
  std::vector<std::uint32_t> pages_;
  std::vector<std::uint8_t> chunk_;
};

}  // namespace mkmdb
