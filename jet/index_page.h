// One page of an index tree, read and checked: its kind, its links to the pages beside and below
// it, and its entries, compared and copied out with their shared prefix put back.
//
// A page starts with its type (kPageIndexNode or kPageIndexLeaf), the table definition page it
// belongs to, the pages before and after it on its level and, on node pages, the tail (the
// last leaf, which no entry names). Then the length of a prefix every entry begins with, stored
// once in the first entry; a bitmask marking where each entry after the first starts (and where
// the last one ends); and the entries: a key (index_key.h), the row pointer as 3 big-endian
// bytes of page and a byte of row, and on node pages the big-endian number of the lower page
// whose last entry this is.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "file_context.h"

namespace jet {

class IndexPage {
 public:
  // Reads page `number` of the index of the table defined on `tablePage`. False with `error`
  // saying what is wrong: not an index page, another table's, entries that overrun the page or
  // are not in ascending order.
  bool Read(const FileContext& file, std::uint32_t number, std::uint32_t tablePage,
            std::string& error);

  std::uint32_t number() const { return number_; }
  std::uint32_t tablePage() const { return tablePage_; }
  bool leaf() const { return leaf_; }
  std::uint32_t previous() const { return previous_; }
  std::uint32_t next() const { return next_; }
  std::uint32_t tail() const { return tail_; }

  std::size_t size() const { return starts_.size(); }
  // Entry `i` whole, into `out`.
  void Entry(std::size_t i, std::string& out) const;
  // How entry `i`'s key (without row pointer and lower page) sorts against `bound`, the key
  // bytes of the index's first columns: as CompareKeyPrefix does.
  int CompareKey(std::size_t i, std::string_view bound) const;
  // Entry `i`'s key, into `out`.
  void Key(std::size_t i, std::string& out) const;
  // Its row pointer (page << 8 | row) and, on node pages, its lower page.
  std::uint32_t RowPointer(std::size_t i) const;
  std::uint32_t Child(std::size_t i) const;

 private:
  std::size_t EntrySize(std::size_t i) const { return prefix(i) + stored(i); }
  std::size_t KeySize(std::size_t i) const;
  std::size_t prefix(std::size_t i) const { return i == 0 ? 0 : prefix_; }
  std::size_t stored(std::size_t i) const { return ends_[i] - starts_[i]; }
  // Byte `at` of entry `i`.
  std::uint8_t Byte(std::size_t i, std::size_t at) const;
  std::uint32_t BigEndian(std::size_t i, std::size_t at, std::size_t size) const;

  std::vector<std::uint8_t> page_;
  std::vector<std::uint16_t> starts_;  // where each entry's stored bytes lie in page_
  std::vector<std::uint16_t> ends_;
  std::size_t prefix_ = 0;  // bytes of the first entry every later one begins with
  std::uint32_t number_ = 0;
  std::uint32_t tablePage_ = 0;
  bool leaf_ = false;
  std::uint32_t previous_ = 0, next_ = 0, tail_ = 0;
};

}  // namespace jet
