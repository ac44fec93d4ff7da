#include "index_page.h"

#include <cstdio>
#include <cstring>

namespace jet {
namespace {

std::uint32_t BigEndian(const char* at, std::size_t size) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < size; ++i) value = (value << 8) | static_cast<std::uint8_t>(at[i]);
  return value;
}

}  // namespace

bool IndexPage::Read(const FileContext& file, std::uint32_t number, std::uint32_t tablePage,
                     std::string& error) {
  const FileLayout& layout = *file.layout;
  const std::string where = "index page " + std::to_string(number);
  page_.resize(file.PageSize());
  bytes_.clear();
  ends_.clear();
  number_ = number;
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
  const std::size_t prefix = layout.indexPrefixLengthSize == 1 ? p[kIndexPagePrefixLength]
                                                               : GetU16(p + kIndexPagePrefixLength);
  // Entries: each must hold a row pointer, and on node pages a lower page after it.
  const std::size_t tailBytes = kIndexRowPointerSize + (leaf_ ? 0 : kIndexChildPointerSize);
  const std::size_t area = layout.pageSize - layout.indexEntries;
  std::size_t start = 0;
  std::string shared;  // the prefix, from the first entry
  for (std::size_t bit = 1; bit <= area; ++bit) {
    if ((p[layout.indexEntryMask + bit / 8] & (1u << (bit % 8))) == 0) continue;
    const bool first = ends_.empty();
    const std::size_t stored = bit - start;
    const char* data = reinterpret_cast<const char*>(p + layout.indexEntries + start);
    const std::size_t entryStart = bytes_.size();
    if (first) {
      if (prefix > stored) {
        error = where + " shares a prefix of " + std::to_string(prefix) +
                " bytes, longer than its first entry (" + std::to_string(stored) + ")";
        return false;
      }
      bytes_.append(data, stored);
      shared.assign(data, prefix);
    } else {
      bytes_.append(shared);
      bytes_.append(data, stored);
    }
    const std::size_t size = bytes_.size() - entryStart;
    if (size < tailBytes + 1) {
      error = where + ": entry " + std::to_string(ends_.size()) + " takes " +
              std::to_string(size) + " bytes, too few for a key and its pointers";
      return false;
    }
    ends_.push_back(static_cast<std::uint32_t>(bytes_.size()));
    if (!first) {
      const std::string_view before = Entry(ends_.size() - 2);
      const std::string_view now(bytes_.data() + entryStart, size);
      if (!(before.substr(0, before.size() - (leaf_ ? 0 : kIndexChildPointerSize)) <
            now.substr(0, now.size() - (leaf_ ? 0 : kIndexChildPointerSize)))) {
        error = where + ": entry " + std::to_string(ends_.size() - 1) +
                " does not sort after the one before it";
        return false;
      }
    }
    start = bit;
  }
  // The mask's marks must lie in the entry area; a mark past the page would be unread above.
  for (std::size_t bit = area + 1; bit < (layout.indexEntries - layout.indexEntryMask) * 8; ++bit) {
    if (p[layout.indexEntryMask + bit / 8] & (1u << (bit % 8))) {
      error = where + " marks an entry ending past the page";
      return false;
    }
  }
  return true;
}

std::string_view IndexPage::Entry(std::size_t i) const {
  const std::size_t begin = i == 0 ? 0 : ends_[i - 1];
  return std::string_view(bytes_).substr(begin, ends_[i] - begin);
}

std::string_view IndexPage::Key(std::size_t i) const {
  const std::string_view entry = Entry(i);
  return entry.substr(0, entry.size() - kIndexRowPointerSize -
                             (leaf_ ? 0 : kIndexChildPointerSize));
}

std::uint32_t IndexPage::RowPointer(std::size_t i) const {
  const std::string_view entry = Entry(i);
  const char* at = entry.data() + Key(i).size();
  return (BigEndian(at, 3) << 8) | static_cast<std::uint8_t>(at[3]);
}

std::uint32_t IndexPage::Child(std::size_t i) const {
  const std::string_view entry = Entry(i);
  return BigEndian(entry.data() + entry.size() - kIndexChildPointerSize, 4);
}

}  // namespace jet
