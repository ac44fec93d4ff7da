#include "index_pages.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "jet/format.h"

namespace mkmdb {
namespace {

constexpr std::size_t kEntryRoom = jet::kPageSize - jet::kIndexPageEntries;  // 3616

using Bytes = std::vector<std::uint8_t>;

void AppendRowPointer(std::uint32_t row, Bytes& out) {
  const std::uint32_t page = row >> 8;
  out.push_back(static_cast<std::uint8_t>(page >> 16));
  out.push_back(static_cast<std::uint8_t>(page >> 8));
  out.push_back(static_cast<std::uint8_t>(page));
  out.push_back(static_cast<std::uint8_t>(row));
}

void AppendBigEndian32(std::uint32_t value, Bytes& out) {
  for (int shift = 24; shift >= 0; shift -= 8) {
    out.push_back(static_cast<std::uint8_t>(value >> shift));
  }
}

// The entries of one index page, before it has a number.
struct PageContent {
  std::vector<Bytes> entries;
  std::size_t size = 0;
};

// Packs entries in order onto as few pages as they fill.
std::vector<PageContent> Pack(std::vector<Bytes> entries) {
  std::vector<PageContent> pages(1);
  for (Bytes& entry : entries) {
    assert(entry.size() <= kEntryRoom);
    if (pages.back().size + entry.size() > kEntryRoom) pages.emplace_back();
    pages.back().size += entry.size();
    pages.back().entries.push_back(std::move(entry));
  }
  return pages;
}

struct Links {
  std::uint32_t previous = 0;
  std::uint32_t next = 0;
  std::uint32_t tail = 0;
};

jet::Page BuildPage(std::uint8_t type, std::uint32_t table_page, const Links& links,
                    const PageContent& content) {
  jet::Page page{};
  page[0] = type;
  page[1] = 0x01;
  jet::PutU32(page.data() + jet::kIndexPageTable, table_page);
  jet::PutU32(page.data() + jet::kIndexPagePrevious, links.previous);
  jet::PutU32(page.data() + jet::kIndexPageNext, links.next);
  jet::PutU32(page.data() + jet::kIndexPageTail, links.tail);
  jet::PutU16(page.data() + jet::kIndexPagePrefixLength, 0);
  std::size_t at = jet::kIndexPageEntries;
  for (std::size_t i = 0; i < content.entries.size(); ++i) {
    const Bytes& entry = content.entries[i];
    std::memcpy(page.data() + at, entry.data(), entry.size());
    at += entry.size();
    // Bit k marks position kIndexPageEntries + k: where each later entry starts, and where
    // the last one ends.
    const std::size_t bit = at - jet::kIndexPageEntries;
    page[jet::kIndexPageEntryMask + bit / 8] |= static_cast<std::uint8_t>(1u << (bit % 8));
  }
  jet::PutU16(page.data() + jet::kIndexPageFreeSpace,
              static_cast<std::uint16_t>(jet::kPageSize - at));
  return page;
}

}  // namespace

std::vector<std::uint32_t> WriteIndex(PageFile& file, std::uint32_t table_page,
                                      std::uint32_t root_page, std::vector<IndexEntry> entries) {
  std::vector<Bytes> leaf_entries;
  leaf_entries.reserve(entries.size());
  for (IndexEntry& entry : entries) {
    Bytes bytes = std::move(entry.key);
    AppendRowPointer(entry.row, bytes);
    leaf_entries.push_back(std::move(bytes));
  }
  std::sort(leaf_entries.begin(), leaf_entries.end());

  std::vector<PageContent> level = Pack(std::move(leaf_entries));
  std::vector<std::uint32_t> used;
  if (level.size() == 1) {
    file.Write(root_page, BuildPage(jet::kPageIndexLeaf, table_page, {}, level[0]));
    return {root_page};
  }

  // Leaves on pages of their own, then levels of node pages until one holds its level.
  std::uint8_t type = jet::kPageIndexLeaf;
  std::uint32_t tail = 0;
  for (;;) {
    std::vector<std::uint32_t> numbers;
    for (std::size_t i = 0; i < level.size(); ++i) numbers.push_back(file.Allocate());
    if (type == jet::kPageIndexLeaf) tail = numbers.back();
    for (std::size_t i = 0; i < level.size(); ++i) {
      Links links;
      links.previous = i > 0 ? numbers[i - 1] : 0;
      links.next = i + 1 < level.size() ? numbers[i + 1] : 0;
      links.tail = type == jet::kPageIndexNode ? tail : 0;
      file.Write(numbers[i], BuildPage(type, table_page, links, level[i]));
      used.push_back(numbers[i]);
    }
    // The level above: an entry per page, the last entry of that page and its number; of the
    // leaves, all but the tail.
    const std::size_t covered = type == jet::kPageIndexLeaf ? level.size() - 1 : level.size();
    std::vector<Bytes> above;
    for (std::size_t i = 0; i < covered; ++i) {
      Bytes entry = level[i].entries.back();
      if (type == jet::kPageIndexLeaf) {
        AppendBigEndian32(numbers[i], entry);
      } else {
        entry.resize(entry.size() - jet::kIndexChildPointerSize);
        AppendBigEndian32(numbers[i], entry);
      }
      above.push_back(std::move(entry));
    }
    level = Pack(std::move(above));
    type = jet::kPageIndexNode;
    if (level.size() == 1) {
      file.Write(root_page, BuildPage(jet::kPageIndexNode, table_page, {0, 0, tail}, level[0]));
      used.push_back(root_page);
      std::sort(used.begin(), used.end());
      return used;
    }
  }
}

}  // namespace mkmdb
