#include "index_page.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace jet {

bool IndexPage::Read(const FileContext& file, std::uint32_t number, std::uint32_t tablePage,
                     std::string& error) {
  const FileLayout& layout = *file.layout;
  const std::string where = "index page " + std::to_string(number);
  page_.resize(file.PageSize());
  starts_.clear();
  ends_.clear();
  number_ = number;
  tablePage_ = tablePage;
  std::string why;
  if (!file.ReadPage(number, page_.data(), why)) {
    error = where + ": " + why;
    return false;
  }
  const std::uint8_t* p = page_.data();
  if (p[0] != kPageIndexNode && p[0] != kPageIndexLeaf) {
    char type[8];
    std::snprintf(type, sizeof type, "0x%02X", p[0]);
    error = "page " + std::to_string(number) + " is not an index page (type " + type + ")";
    return false;
  }
  leaf_ = p[0] == kPageIndexLeaf;
  const std::uint32_t owner = GetU32(p + kIndexPageTable);
  if (owner != tablePage) {
    error = where + " belongs to the table defined on page " + std::to_string(owner);
    return false;
  }
  previous_ = GetU32(p + kIndexPagePrevious);
  next_ = GetU32(p + kIndexPageNext);
  tail_ = leaf_ ? 0 : GetU32(p + kIndexPageTail);
  prefix_ = layout.indexPrefixLengthSize == 1 ? p[kIndexPagePrefixLength]
                                              : GetU16(p + kIndexPagePrefixLength);
  // Entries: each must hold a row pointer, and on node pages a lower page after it; the
  // shared prefix lies within their keys and row pointers.
  const std::size_t child = leaf_ ? 0 : kIndexChildPointerSize;
  const std::size_t tailBytes = kIndexRowPointerSize + child;
  const std::size_t area = layout.pageSize - layout.indexEntries;
  const std::size_t maskBytes = layout.indexEntries - layout.indexEntryMask;
  std::size_t start = 0;
  for (std::size_t byte = 0; byte < maskBytes; ++byte) {
    std::uint8_t bits = p[layout.indexEntryMask + byte];
    if (byte == 0) bits &= 0xFE;  // bit 0 would mark an entry ending before it starts
    while (bits != 0) {
      const std::size_t bit = byte * 8 + static_cast<std::size_t>(__builtin_ctz(bits));
      bits = static_cast<std::uint8_t>(bits & (bits - 1));
      if (bit > area) {
        error = where + " marks an entry ending past the page";
        return false;
      }
      const std::size_t i = starts_.size();
      starts_.push_back(static_cast<std::uint16_t>(layout.indexEntries + start));
      ends_.push_back(static_cast<std::uint16_t>(layout.indexEntries + bit));
      if (i == 0 && prefix_ > stored(0)) {
        error = where + " shares a prefix of " + std::to_string(prefix_) +
                " bytes, longer than its first entry (" + std::to_string(stored(0)) + ")";
        return false;
      }
      const std::size_t size = EntrySize(i);
      if (size < tailBytes + 1 || prefix_ > size - child) {
        error = where + ": entry " + std::to_string(i) + " takes " + std::to_string(size) +
                " bytes, too few for its key, its pointers and the shared prefix";
        return false;
      }
      if (i > 0) {
        // Both entries begin with the prefix: the rest of them decides, lower pages aside.
        const std::size_t skip = i == 1 ? prefix_ : 0;
        const std::uint8_t* a = p + starts_[i - 1] + skip;
        const std::size_t aSize = EntrySize(i - 1) - child - prefix_;
        const std::uint8_t* b = p + starts_[i];
        const std::size_t bSize = size - child - prefix_;
        const int order = std::memcmp(a, b, std::min(aSize, bSize));
        if (order > 0 || (order == 0 && aSize >= bSize)) {
          error = where + ": entry " + std::to_string(i) + " does not sort after the one before it";
          return false;
        }
      }
      start = bit;
    }
  }
  return true;
}

std::size_t IndexPage::KeySize(std::size_t i) const {
  return EntrySize(i) - kIndexRowPointerSize - (leaf_ ? 0 : kIndexChildPointerSize);
}

std::uint8_t IndexPage::Byte(std::size_t i, std::size_t at) const {
  if (at < prefix(i)) return page_[starts_[0] + at];
  return page_[starts_[i] + at - prefix(i)];
}

std::uint32_t IndexPage::BigEndian(std::size_t i, std::size_t at, std::size_t size) const {
  std::uint32_t value = 0;
  for (std::size_t k = 0; k < size; ++k) value = (value << 8) | Byte(i, at + k);
  return value;
}

void IndexPage::Entry(std::size_t i, std::string& out) const {
  const auto* bytes = reinterpret_cast<const char*>(page_.data());
  out.assign(bytes + starts_[0], prefix(i));
  out.append(bytes + starts_[i], stored(i));
}

void IndexPage::Key(std::size_t i, std::string& out) const {
  Entry(i, out);
  out.resize(KeySize(i));
}

int IndexPage::CompareKey(std::size_t i, std::string_view bound) const {
  // The key is the prefix (from the first entry) followed by the entry's own bytes.
  const std::size_t key = KeySize(i);
  const std::size_t shared = std::min(prefix(i), key);
  const auto* bytes = reinterpret_cast<const char*>(page_.data());
  const std::size_t first = std::min(shared, bound.size());
  int order = first == 0 ? 0 : std::memcmp(bytes + starts_[0], bound.data(), first);
  if (order != 0) return order;
  if (shared < bound.size()) {
    const std::size_t rest = std::min(key - shared, bound.size() - shared);
    order = rest == 0 ? 0 : std::memcmp(bytes + starts_[i], bound.data() + shared, rest);
    if (order != 0) return order;
  }
  return key < bound.size() ? -1 : 0;
}

std::uint32_t IndexPage::RowPointer(std::size_t i) const {
  const std::size_t at = KeySize(i);
  return (BigEndian(i, at, 3) << 8) | Byte(i, at + 3);
}

std::uint32_t IndexPage::Child(std::size_t i) const {
  return BigEndian(i, EntrySize(i) - kIndexChildPointerSize, 4);
}

}  // namespace jet
