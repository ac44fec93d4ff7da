// A data page being filled: rows packed back to back downwards from the end of the page, with
// the row offset table growing upwards after the header. Rows carry no length of their own;
// a reader derives each from where the previous row starts, so no gap may separate them.
#pragma once

#include <cstdint>
#include <span>

#include "jet/format.h"

namespace mkmdb {

class DataPage {
 public:
  // The owner field of pages holding memo values.
  static constexpr std::uint32_t kLongValueOwner = 0x4C41564C;  // the bytes "LVAL"

  // `owner`: the table definition page of the table the rows belong to.
  explicit DataPage(std::uint32_t owner);

  bool empty() const { return rows_ == 0; }
  std::uint16_t row_count() const { return rows_; }
  // Whether a row of `size` bytes still fits (room and a free row number).
  bool HasRoomFor(std::size_t size) const;
  // Adds a row that fits and returns its row number.
  std::uint16_t Add(std::span<const std::uint8_t> row);
  // The page bytes with the header completed.
  const jet::Page& Finish();
  // Empties the page for reuse.
  void Clear();

 private:
  std::size_t FreeBytes() const;

  jet::Page bytes_{};
  std::uint32_t owner_;
  std::uint16_t rows_ = 0;
  std::size_t low_ = jet::kPageSize;  // start of the lowest row
};

}  // namespace mkmdb
