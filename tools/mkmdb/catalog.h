// MSysObjects, the catalog every Jet file starts from: its definition always sits on page 2 and
// its rows name each object, a table's row carrying the page of the table's definition.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "table_layout.h"

namespace mkmdb {

inline constexpr std::uint32_t kCatalogDefinitionPage = 2;

struct CatalogTable {
  std::string name;
  std::uint32_t definition_page;
};

TableLayout CatalogLayout();

// The catalog rows: the Tables, Databases and Relationships containers, MSysObjects itself and
// one row per user table. `now` is the creation time to record, as a day number.
std::vector<std::vector<std::uint8_t>> BuildCatalogRows(const std::vector<CatalogTable>& tables,
                                                        double now);

}  // namespace mkmdb
