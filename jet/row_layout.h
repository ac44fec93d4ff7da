// The parts of one stored row, found from its two ends: the column count first; the null
// mask last, before it the variable column count and the offsets of the variable area
// (Jet 3 keeps 1-byte offsets and a jump table adding 256 to the later ones).
//
//   count | fixed area | variable area | [EOD, offsets reversed, (jumps), variable count] | mask
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "format.h"

namespace jet {

class RowLayout {
 public:
  // Takes the `size` bytes of a row. `hasVariableArea`: whether the table's rows carry one.
  // False with `error` set when the row's tail does not fit in its bytes.
  bool Parse(const FileLayout& layout, const std::uint8_t* row, std::size_t size,
             bool hasVariableArea, std::string& error);

  std::uint16_t ColumnCount() const { return columnCount_; }
  // Whether the row stores column `number` at all (columns added later are missing).
  bool Stores(std::uint16_t number) const { return number < columnCount_; }
  // The null mask bit of a stored column: true when it has a value (or a Yes/No is on).
  bool MaskBit(std::uint16_t number) const {
    return (row_[maskStart_ + number / 8] >> (number % 8)) & 1;
  }
  // Where a fixed column's `size` bytes start; false when they lie outside the fixed area.
  bool Fixed(std::uint16_t offset, std::size_t size, std::size_t& start) const;
  // Where slot `index` of the variable area lies. `stored` false: the row has fewer slots.
  // False when the row's offsets for the slot are out of order or outside the area.
  bool Variable(std::uint16_t index, bool& stored, std::size_t& start, std::size_t& end) const;

 private:
  std::size_t Offset(std::size_t i) const {
    return jet3_ ? jet3Offsets_[i] : GetU16(row_ + maskStart_ - 4 - 2 * i);
  }

  const std::uint8_t* row_ = nullptr;
  std::size_t size_ = 0;
  std::size_t countSize_ = 2;
  std::uint16_t columnCount_ = 0;
  std::size_t maskStart_ = 0;
  std::size_t variableCount_ = 0;
  std::size_t tailStart_ = 0;  // where the offsets table (or the mask) begins
  bool jet3_ = false;
  std::array<std::uint16_t, 257> jet3Offsets_{};
};

}  // namespace jet
