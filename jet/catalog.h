// The catalog, MSysObjects: the tables of a file (user, system and linked) with the pages of
// their definitions.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "database.h"
#include "file_context.h"

namespace jet {

// Reads the catalog rows that name tables. False with `error` set when the catalog is broken.
bool ReadCatalog(const std::shared_ptr<const OpenFile>& file, std::vector<CatalogTable>& out,
                 std::string& error);

}  // namespace jet
