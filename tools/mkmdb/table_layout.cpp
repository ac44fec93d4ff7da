#include "table_layout.h"

#include "jet/format.h"

namespace mkmdb {

bool PhysicalColumn::long_value() const {
  return type == jet::kTypeMemo || type == jet::kTypeOle;
}

bool PhysicalColumn::boolean() const { return type == jet::kTypeBool; }

TableLayout LayOutTable(std::string name, bool system, std::vector<PhysicalColumn> columns) {
  TableLayout layout;
  layout.name = std::move(name);
  layout.system = system;
  std::uint16_t number = 0;
  for (auto& column : columns) {
    column.number = number++;
    if (column.boolean()) {
      column.variable_slot = layout.variable_count;
      column.fixed_offset = 0;
    } else if (column.fixed()) {
      column.variable_slot = layout.variable_count;
      column.fixed_offset = layout.fixed_size;
      layout.fixed_size = static_cast<std::uint16_t>(layout.fixed_size + column.length);
    } else {
      column.variable_slot = layout.variable_count++;
      column.fixed_offset = 0;
    }
    if (column.long_value()) ++layout.long_value_count;
  }
  layout.columns = std::move(columns);
  return layout;
}

PhysicalColumn PhysicalColumnFor(const ColumnSpec& column) {
  PhysicalColumn out;
  out.name = column.name;
  const std::uint8_t fixed = jet::kColumnFixed | jet::kColumnNullable;
  switch (column.type) {
    case ColumnType::Text:
      out.type = jet::kTypeText;
      out.flags = jet::kColumnNullable;
      out.compression = 1;
      out.length = static_cast<std::uint16_t>(2 * column.size);
      break;
    case ColumnType::Memo:
      out.type = jet::kTypeMemo;
      out.flags = jet::kColumnNullable;
      break;
    case ColumnType::Long:
      out.type = jet::kTypeInt32;
      out.flags = fixed;
      out.length = 4;
      break;
    case ColumnType::Double:
      out.type = jet::kTypeDouble;
      out.flags = fixed;
      out.length = 8;
      break;
    case ColumnType::DateTime:
      out.type = jet::kTypeDateTime;
      out.flags = fixed;
      out.length = 8;
      break;
    case ColumnType::YesNo:
      out.type = jet::kTypeBool;
      out.flags = fixed;
      out.length = 0;  // the value lives in the null mask
      break;
  }
  return out;
}

}  // namespace mkmdb
