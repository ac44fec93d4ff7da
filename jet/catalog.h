// The catalog, MSysObjects: the tables of a file (user, system and linked) with the pages of
// their definitions or the places their links lead to, and the properties of each.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "database.h"
#include "file_context.h"
#include "properties.h"

namespace jet {

// Reads the catalog rows that name tables. False with `error` set when the catalog is broken.
bool ReadCatalog(const std::shared_ptr<const OpenFile>& file, std::vector<CatalogTable>& out,
                 std::string& error);

// Reads the properties (LvProp) of the table or link named `table`, letter case ignored; a table
// without any has none. False with `error` set when there is no such table or its properties
// are broken.
bool ReadCatalogProperties(const std::shared_ptr<const OpenFile>& file, std::string_view table,
                           ObjectProperties& out, std::string& error);

}  // namespace jet
