#include "row_encoder.h"

#include <cassert>
#include <cstring>

#include "jet_format.h"

namespace mkmdb {

void EncodeRow(const TableLayout& layout, std::span<const Cell> cells,
               std::vector<std::uint8_t>& row) {
  assert(cells.size() == layout.columns.size());
  const std::size_t column_count = layout.columns.size();
  const std::size_t fixed_start = 2;

  row.clear();
  jet::AppendU16(row, static_cast<std::uint16_t>(column_count));
  jet::AppendZeros(row, layout.fixed_size);

  // Variable data in slot order; slots follow column order, so one pass places them.
  std::vector<std::uint16_t> starts;
  starts.reserve(layout.variable_count);
  std::vector<std::uint8_t> mask((column_count + 7) / 8, 0);
  for (std::size_t i = 0; i < column_count; ++i) {
    const PhysicalColumn& column = layout.columns[i];
    const Cell& cell = cells[i];
    if (cell.present) {
      mask[column.number / 8] = static_cast<std::uint8_t>(mask[column.number / 8] |
                                                          (1u << (column.number % 8)));
    }
    if (column.fixed()) {
      if (cell.present && column.length > 0) {
        assert(cell.bytes.size() == column.length);
        std::memcpy(row.data() + fixed_start + column.fixed_offset, cell.bytes.data(),
                    column.length);
      }
    } else {
      starts.push_back(static_cast<std::uint16_t>(row.size()));
      if (cell.present) row.insert(row.end(), cell.bytes.begin(), cell.bytes.end());
    }
  }
  if (layout.variable_count > 0) {
    const auto end_of_data = static_cast<std::uint16_t>(row.size());
    jet::AppendU16(row, end_of_data);
    for (auto slot = starts.rbegin(); slot != starts.rend(); ++slot) jet::AppendU16(row, *slot);
    jet::AppendU16(row, layout.variable_count);
  }
  row.insert(row.end(), mask.begin(), mask.end());
}

}  // namespace mkmdb
