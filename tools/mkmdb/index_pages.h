// Writing an index as a tree of index pages.
//
// Leaf entries (a key, then the row's page as 3 big-endian bytes and its row number) are sorted
// by their bytes and packed in order onto leaf pages, chained through their previous and next
// fields. A leaf but the last stores the bytes all its entries begin with once, in its first
// entry; the other entries leave them out and the page header gives their number (at most
// 255). The last leaf, where Access adds rows, keeps its entries whole when they fit. One leaf
// is the whole index. With more, node pages above them hold one entry per lower page (that page's last
// entry, uncompressed, followed by the page number, big-endian): every leaf but the last, which
// node pages name as their tail instead; levels are added until one page holds them all.
//
// Seen in files Access wrote: single leaf pages (entries, bitmask, header fields), including an
// empty one; in Access 97 files, leaves that share a prefix and one node page over them naming
// the last leaf as its tail. Inferred: the trees of more levels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "page_file.h"

namespace mkmdb {

// The longest key an index entry may carry here: node pages keep room for two entries.
inline constexpr std::size_t kMaxIndexKeySize = 1024;

// The entries of one index in a single buffer: each its key, the row pointer it leads to, the
// number of the row in the order the rows were added (for messages) and whether a key column
// is NULL.
class IndexEntryList {
 public:
  // `key` takes at most kMaxIndexKeySize bytes.
  void Add(std::string_view key, std::uint32_t row_pointer, std::uint32_t ordinal,
           bool has_null = false);
  // Puts the entries in index order: by key, then by row pointer.
  void Sort();
  std::size_t size() const { return items_.size(); }
  // The whole entry (key and row pointer) and its key alone.
  std::string_view Entry(std::size_t i) const;
  std::string_view Key(std::size_t i) const;
  std::uint32_t Ordinal(std::size_t i) const { return items_[i].ordinal; }
  bool HasNull(std::size_t i) const { return items_[i].has_null; }

 private:
  struct Item {
    std::uint64_t offset;
    std::uint16_t size;
    bool has_null;
    std::uint32_t ordinal;
  };
  std::string bytes_;
  std::vector<Item> items_;
};

struct IndexEntry {
  std::vector<std::uint8_t> key;  // the key columns' bytes (index_keys.h)
  std::uint32_t row = 0;          // row pointer (page << 8 | row)
};

// One entry per item, its row pointer from `rows` (in the items' order) and its key written by
// `appendKey(item, key)`.
template <typename Item, typename AppendKey>
std::vector<IndexEntry> IndexEntries(const std::vector<Item>& items, const std::vector<std::uint32_t>& rows,
                                     AppendKey appendKey) {
  std::vector<IndexEntry> entries;
  entries.reserve(items.size());
  for (std::size_t i = 0; i < items.size(); ++i) {
    IndexEntry entry;
    appendKey(items[i], entry.key);
    entry.row = rows.at(i);
    entries.push_back(std::move(entry));
  }
  return entries;
}

// Writes the index of the table whose definition is on `table_page`, its root on `root_page`
// (allocated already) and further pages allocated from `file`, from entries in index order.
// Returns every page used, ascending.
std::vector<std::uint32_t> WriteIndex(PageFile& file, std::uint32_t table_page,
                                      std::uint32_t root_page, const IndexEntryList& sorted);
// The same for entries in any order.
std::vector<std::uint32_t> WriteIndex(PageFile& file, std::uint32_t table_page,
                                      std::uint32_t root_page, std::vector<IndexEntry> entries);

}  // namespace mkmdb
