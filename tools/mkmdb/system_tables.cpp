#include "system_tables.h"

namespace mkmdb {

TableLayout SystemTableLayout(const jet::SystemTable& table) {
  std::vector<PhysicalColumn> columns;
  for (std::size_t i = 0; i < table.column_count; ++i) {
    const jet::SystemColumn& source = table.columns[i];
    PhysicalColumn column;
    column.name = source.name;
    column.type = source.type;
    column.flags = source.flags;
    column.length = source.length;
    columns.push_back(std::move(column));
  }
  TableLayout layout = LayOutTable(table.name, true, std::move(columns));
  for (std::size_t i = 0; i < table.index_count; ++i) {
    const jet::SystemIndex& source = table.indexes[i];
    layout.indexes.push_back(
        {source.name,
         std::vector<std::uint16_t>(source.keys, source.keys + source.key_count),
         source.flags, source.kind});
  }
  return layout;
}

}  // namespace mkmdb
