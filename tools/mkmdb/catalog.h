// MSysObjects, the catalog every Jet file starts from: its definition always sits on page 2 and
// its rows name each object, a table's row carrying the page of the table's definition.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "index_pages.h"

namespace mkmdb {

struct CatalogTable {
  std::string name;  // UTF-8
  std::uint32_t definition_page;
};

// One row of the catalog.
struct CatalogObject {
  std::uint32_t id;
  std::uint32_t parent;
  std::u16string name;
  std::int16_t type;
  std::uint32_t flags;
  bool engine_owned;  // owned by the engine rather than by the user who made the file
};

// The objects of a new file, as Access creates them: the Tables, Databases and Relationships
// containers, MSysDb, the four system tables, the containers of the Access application (forms,
// reports, modules, ...), the SummaryInfo and UserDefined documents; then one row per user table.
std::vector<CatalogObject> CatalogObjects(const std::vector<CatalogTable>& tables);

// The rows of `objects`, all created and updated at `now` (a day number).
std::vector<std::vector<std::uint8_t>> EncodeCatalogRows(const std::vector<CatalogObject>& objects,
                                                         double now);

// The entries of the catalog's two indexes, given where each row went: (ParentId, Name), which
// is index 0, and Id, index 1.
std::vector<IndexEntry> CatalogNameIndex(const std::vector<CatalogObject>& objects,
                                         const std::vector<std::uint32_t>& rows);
std::vector<IndexEntry> CatalogIdIndex(const std::vector<CatalogObject>& objects,
                                       const std::vector<std::uint32_t>& rows);

}  // namespace mkmdb
