// Assembling one Jet 4 row from its column values:
//
//   u16 column count | fixed area | variable data | u16 end of data |
//   u16 variable offsets, last slot first | u16 variable count | null mask
//
// The offset table and the end-of-data word are left out when the table has no variable
// column. Null mask bit n (byte n/8, bit n%8) belongs to column number n: 1 = a value.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "table_layout.h"

namespace mkmdb {

struct Cell {
  bool present = false;  // a value (for Yes/No: the value itself)
  // Fixed columns: exactly the column's length (or empty when absent).
  // Variable columns: the stored bytes.
  std::span<const std::uint8_t> bytes;
};

// Builds the row for `cells` (one per column, in column order) into `row`.
void EncodeRow(const TableLayout& layout, std::span<const Cell> cells,
               std::vector<std::uint8_t>& row);

}  // namespace mkmdb
