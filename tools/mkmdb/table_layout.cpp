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
  const auto fixed_type = [&](std::uint8_t type, std::uint16_t length) {
    out.type = type;
    out.flags = fixed;
    out.length = length;
  };
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
    case ColumnType::Hyperlink:
      out.type = jet::kTypeMemo;
      out.flags = jet::kColumnNullable | jet::kColumnHyperlink;
      break;
    case ColumnType::Binary:
      out.type = jet::kTypeBinary;
      out.flags = jet::kColumnNullable;
      out.length = static_cast<std::uint16_t>(column.size);
      break;
    case ColumnType::Ole:
      out.type = jet::kTypeOle;
      out.flags = jet::kColumnNullable;
      break;
    case ColumnType::Byte: fixed_type(jet::kTypeByte, 1); break;
    case ColumnType::Integer: fixed_type(jet::kTypeInt16, 2); break;
    case ColumnType::Long: fixed_type(jet::kTypeInt32, 4); break;
    case ColumnType::AutoNumber:
      fixed_type(jet::kTypeInt32, 4);
      out.flags |= jet::kColumnAutoNumber;
      break;
    case ColumnType::Single: fixed_type(jet::kTypeSingle, 4); break;
    case ColumnType::Double: fixed_type(jet::kTypeDouble, 8); break;
    case ColumnType::Currency: fixed_type(jet::kTypeMoney, jet::kMoneySize); break;
    case ColumnType::Decimal:
      fixed_type(jet::kTypeNumeric, jet::kNumericSize);
      out.precision = static_cast<std::uint8_t>(column.precision);
      out.scale = static_cast<std::uint8_t>(column.scale);
      break;
    case ColumnType::Guid: fixed_type(jet::kTypeGuid, jet::kGuidSize); break;
    case ColumnType::DateTime: fixed_type(jet::kTypeDateTime, 8); break;
    case ColumnType::YesNo:
      fixed_type(jet::kTypeBool, 0);  // the value lives in the null mask
      break;
  }
  return out;
}

IndexLayout IndexLayoutFor(const IndexSpec& index, const std::vector<std::size_t>& positions) {
  IndexLayout out;
  out.name = index.name;
  for (std::size_t i = 0; i < positions.size(); ++i) {
    out.keys.push_back(static_cast<std::uint16_t>(positions[i]));
    out.descending.push_back(index.columns[i].descending);
  }
  // As Access marks them: a primary key is unique and required, every index has the top bit.
  out.flags = jet::kIndexFlagAlwaysSet;
  if (index.unique || index.primary_key) out.flags |= jet::kIndexUnique;
  if (index.primary_key) out.flags |= jet::kIndexRequired;
  out.kind = index.primary_key ? jet::kLogicalIndexPrimaryKey : jet::kLogicalIndexPlain;
  return out;
}

}  // namespace mkmdb
