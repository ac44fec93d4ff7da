// One page of an index tree, read and checked: its kind, its links to the pages beside and below
// it, and its entries with their shared prefix put back.
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
  bool leaf() const { return leaf_; }
  std::uint32_t previous() const { return previous_; }
  std::uint32_t next() const { return next_; }
  std::uint32_t tail() const { return tail_; }

  std::size_t size() const { return ends_.size(); }
  // The whole entry; its key (without row pointer and lower page); its row pointer
  // (page << 8 | row); on node pages, its lower page.
  std::string_view Entry(std::size_t i) const;
  std::string_view Key(std::size_t i) const;
  std::uint32_t RowPointer(std::size_t i) const;
  std::uint32_t Child(std::size_t i) const;

 private:
  std::vector<std::uint8_t> page_;
  std::string bytes_;               // the entries, whole, one after another
  std::vector<std::uint32_t> ends_;  // where each entry ends in bytes_
  std::uint32_t number_ = 0;
  bool leaf_ = false;
  std::uint32_t previous_ = 0, next_ = 0, tail_ = 0;
};

}  // namespace jet
