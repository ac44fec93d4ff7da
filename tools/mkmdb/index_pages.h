// Writing an index as a tree of index pages.
//
// Entries are sorted by their bytes and packed in order onto leaf pages, chained through their
// previous and next fields. One leaf is the whole index. With more, node pages above them hold
// one entry per lower page (that page's last entry followed by the page number), every leaf but
// the last one, which node pages name as their tail instead; levels are added until one page
// holds them all. No shared prefix is used.
//
// Seen in files Access wrote: single leaf pages (entries, bitmask, header fields), including an
// empty one. Inferred: the node pages, from the older format's files and their description.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "page_file.h"

namespace mkmdb {

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
// (allocated already) and further pages allocated from `file`. Returns every page used,
// ascending.
std::vector<std::uint32_t> WriteIndex(PageFile& file, std::uint32_t table_page,
                                      std::uint32_t root_page, std::vector<IndexEntry> entries);

}  // namespace mkmdb
