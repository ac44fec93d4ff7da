#include "index_pages.h"

#include <algorithm>
#include <cassert>
#include <cstring>

#include "jet/format.h"

namespace mkmdb {
namespace {

constexpr std::size_t kEntryRoom = jet::kPageSize - jet::kIndexPageEntries;  // 3616
constexpr std::size_t kMaxPrefix = 255;

void AppendRowPointer(std::uint32_t row, std::string& out) {
  const std::uint32_t page = row >> 8;
  out.push_back(static_cast<char>(page >> 16));
  out.push_back(static_cast<char>(page >> 8));
  out.push_back(static_cast<char>(page));
  out.push_back(static_cast<char>(row));
}

void AppendBigEndian32(std::uint32_t value, std::string& out) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

std::size_t CommonPrefix(std::string_view a, std::string_view b) {
  const std::size_t most = std::min(a.size(), b.size());
  std::size_t n = 0;
  while (n < most && a[n] == b[n]) ++n;
  return n;
}

// The entries of one index page, before it has a number: each whole, and the length of the
// prefix every entry shares, stored once.
struct PageContent {
  std::vector<std::string> entries;
  std::size_t prefix = 0;
};

// Packs whole entries in order onto as few pages as they fill. Leaves store the prefix their
// entries share once, but for the last leaf when its entries fit whole.
template <typename Entries>
std::vector<PageContent> Pack(std::size_t count, const Entries& entry, bool share_prefix) {
  std::vector<PageContent> pages;
  std::size_t rest = 0;  // bytes of the current page's entries after its first, whole
  for (std::size_t i = 0; i < count; ++i) {
    const std::string_view bytes = entry(i);
    assert(bytes.size() <= kEntryRoom / 2);
    bool fits = !pages.empty();
    std::size_t prefix = 0;
    if (fits) {
      PageContent& page = pages.back();
      if (share_prefix) {
        // The shared prefix stays within the keys, short of any row pointer.
        const std::size_t key = bytes.size() - jet::kIndexRowPointerSize;
        const std::size_t shared = std::min(CommonPrefix(page.entries.front(), bytes), key);
        const std::size_t before =
            page.entries.size() == 1
                ? page.entries.front().size() - jet::kIndexRowPointerSize
                : page.prefix;
        prefix = std::min({before, shared, kMaxPrefix});
      }
      const std::size_t first = page.entries.front().size();
      fits = first + rest + bytes.size() - page.entries.size() * prefix <= kEntryRoom;
    }
    if (!fits) {
      pages.emplace_back();
      rest = 0;
      pages.back().entries.emplace_back(bytes);
      continue;
    }
    PageContent& page = pages.back();
    rest += bytes.size();
    page.prefix = prefix;
    page.entries.emplace_back(bytes);
  }
  if (pages.empty()) return {PageContent{}};
  // As Access leaves the last leaf (where rows are added) whole when it fits.
  if (pages.back().entries.front().size() + rest <= kEntryRoom) pages.back().prefix = 0;
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
  jet::PutU16(page.data() + jet::kIndexPagePrefixLength,
              static_cast<std::uint16_t>(content.entries.size() > 1 ? content.prefix : 0));
  std::size_t at = jet::kIndexPageEntries;
  for (std::size_t i = 0; i < content.entries.size(); ++i) {
    const std::string& entry = content.entries[i];
    const std::size_t skip = i == 0 ? 0 : content.prefix;
    std::memcpy(page.data() + at, entry.data() + skip, entry.size() - skip);
    at += entry.size() - skip;
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

void IndexEntryList::Add(std::string_view key, std::uint32_t row_pointer, std::uint32_t ordinal,
                         bool has_null) {
  assert(key.size() <= kMaxIndexKeySize);
  const std::uint64_t offset = bytes_.size();
  bytes_.append(key);
  AppendRowPointer(row_pointer, bytes_);
  items_.push_back({offset, static_cast<std::uint16_t>(key.size() + jet::kIndexRowPointerSize),
                    has_null, ordinal});
}

std::string_view IndexEntryList::Entry(std::size_t i) const {
  return std::string_view(bytes_).substr(items_[i].offset, items_[i].size);
}

std::string_view IndexEntryList::Key(std::size_t i) const {
  return Entry(i).substr(0, items_[i].size - jet::kIndexRowPointerSize);
}

void IndexEntryList::Sort() {
  const std::string& bytes = bytes_;
  std::sort(items_.begin(), items_.end(), [&bytes](const Item& a, const Item& b) {
    const int order = std::memcmp(bytes.data() + a.offset, bytes.data() + b.offset,
                                  std::min(a.size, b.size));
    return order != 0 ? order < 0 : a.size < b.size;
  });
}

std::vector<std::uint32_t> WriteIndex(PageFile& file, std::uint32_t table_page,
                                      std::uint32_t root_page, const IndexEntryList& sorted) {
  std::vector<PageContent> level =
      Pack(sorted.size(), [&](std::size_t i) { return sorted.Entry(i); }, true);
  if (level.size() == 1) {
    file.Write(root_page, BuildPage(jet::kPageIndexLeaf, table_page, {}, level[0]));
    return {root_page};
  }

  // Leaves on pages of their own, then levels of node pages until one holds its level.
  std::vector<std::uint32_t> used;
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
    std::vector<std::string> above;
    for (std::size_t i = 0; i < covered; ++i) {
      std::string entry = level[i].entries.back();
      if (type == jet::kPageIndexNode) entry.resize(entry.size() - jet::kIndexChildPointerSize);
      AppendBigEndian32(numbers[i], entry);
      above.push_back(std::move(entry));
    }
    level = Pack(above.size(), [&](std::size_t i) { return std::string_view(above[i]); }, false);
    type = jet::kPageIndexNode;
    if (level.size() == 1) {
      file.Write(root_page, BuildPage(jet::kPageIndexNode, table_page, {0, 0, tail}, level[0]));
      used.push_back(root_page);
      std::sort(used.begin(), used.end());
      return used;
    }
  }
}

std::vector<std::uint32_t> WriteIndex(PageFile& file, std::uint32_t table_page,
                                      std::uint32_t root_page, std::vector<IndexEntry> entries) {
  IndexEntryList list;
  for (const IndexEntry& entry : entries) {
    list.Add(std::string_view(reinterpret_cast<const char*>(entry.key.data()), entry.key.size()),
             entry.row, 0);
  }
  list.Sort();
  return WriteIndex(file, table_page, root_page, list);
}

}  // namespace mkmdb
