// MSysObjects, the catalog every Jet file starts from: its definition always sits on page 2 and
// its rows name each object, a table's row carrying the page of the table's definition.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "index_pages.h"
#include "mdb_writer.h"
#include "page_file.h"

namespace mkmdb {

struct CatalogTable {
  std::string name;  // UTF-8
  std::uint32_t definition_page;
  std::vector<std::uint8_t> properties;  // the LvProp blob; empty: none
};

// One row of the catalog.
struct CatalogObject {
  std::uint32_t id;
  std::uint32_t parent;
  std::u16string name;
  std::int16_t type;
  std::uint32_t flags;
  bool engine_owned;  // owned by the engine rather than by the user who made the file
  std::vector<std::uint8_t> properties = {};  // LvProp
  // Links: the other file (Database), the ODBC connect string (Connect) and the table's name
  // there (ForeignName).
  std::u16string database = {};
  std::u16string connect = {};
  std::u16string foreign_name = {};
};

// The objects of a new file, as Access creates them: the Tables, Databases and Relationships
// containers, MSysDb, the four system tables, the containers of the Access application (forms,
// reports, modules, ...), the SummaryInfo and UserDefined documents; then one row per user table
// and one per link (numbered after the application's objects).
std::vector<CatalogObject> CatalogObjects(const std::vector<CatalogTable>& tables,
                                          const std::vector<LinkSpec>& links = {});

// The rows of `objects`, all created and updated at `now` (a day number). Their long values
// (Database, Connect, LvProp) go on long value pages of `file` when large; `memo_pages` gets
// those pages for each long value column of the catalog, in column order.
std::vector<std::vector<std::uint8_t>> EncodeCatalogRows(const std::vector<CatalogObject>& objects,
                                                         double now, PageFile& file,
                                                         std::vector<std::vector<std::uint32_t>>& memo_pages);

// The entries of the catalog's two indexes, given where each row went: (ParentId, Name), which
// is index 0, and Id, index 1.
std::vector<IndexEntry> CatalogNameIndex(const std::vector<CatalogObject>& objects,
                                         const std::vector<std::uint32_t>& rows);
std::vector<IndexEntry> CatalogIdIndex(const std::vector<CatalogObject>& objects,
                                       const std::vector<std::uint32_t>& rows);

}  // namespace mkmdb
