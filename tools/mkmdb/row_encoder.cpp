#include "row_encoder.h"

#include <array>
#include <cassert>
#include <cstring>

#include "jet/format.h"

namespace mkmdb {

void EncodeRow(const TableLayout& layout, std::span<const Cell> cells,
               std::vector<std::uint8_t>& row) {
  assert(cells.size() == layout.columns.size() && cells.size() <= jet::kMaxColumns);
  const std::size_t column_count = layout.columns.size();
  const std::size_t fixed_start = 2;

  row.clear();
  jet::AppendU16(row, static_cast<std::uint16_t>(column_count));
  jet::AppendZeros(row, layout.fixed_size);

  // Variable data in slot order; slots follow column order, so one pass places them.
  std::array<std::uint16_t, jet::kMaxColumns> starts;
  std::size_t variables = 0;
  std::array<std::uint8_t, (jet::kMaxColumns + 7) / 8> mask{};
  const std::size_t mask_size = (column_count + 7) / 8;
  for (std::size_t i = 0; i < column_count; ++i) {
    const PhysicalColumn& column = layout.columns[i];
    const Cell& cell = cells[i];
    if (cell.present) {
      mask[column.number / 8] = static_cast<std::uint8_t>(mask[column.number / 8] |
                                                          (1u << (column.number % 8)));
    }
    if (column.boolean()) continue;  // its value is its bit in the null mask
    if (column.fixed()) {
      if (cell.present && column.length > 0) {
        assert(cell.bytes.size() == column.length);
        std::memcpy(row.data() + fixed_start + column.fixed_offset, cell.bytes.data(),
                    column.length);
      }
    } else {
      starts[variables++] = static_cast<std::uint16_t>(row.size());
      if (cell.present) row.insert(row.end(), cell.bytes.begin(), cell.bytes.end());
    }
  }
  if (layout.variable_count > 0) {
    const auto end_of_data = static_cast<std::uint16_t>(row.size());
    jet::AppendU16(row, end_of_data);
    for (std::size_t slot = variables; slot-- > 0;) jet::AppendU16(row, starts[slot]);
    jet::AppendU16(row, layout.variable_count);
  }
  row.insert(row.end(), mask.begin(), mask.begin() + static_cast<std::ptrdiff_t>(mask_size));
}

}  // namespace mkmdb
