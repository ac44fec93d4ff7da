#include "listing_folder.h"

#include <filesystem>

namespace e2e {

namespace fs = std::filesystem;

ListingFolder::ListingFolder() { fs::create_directories(bay()); }

void ListingFolder::WriteDatabase(const std::vector<mkmdb::TableSpec>& tables) const {
  mkmdb::WriteDatabase(database(), tables);
}

void ListingFolder::WriteRawFile(const std::string& bytes) const {
  testsupport::WriteFile(database(), bytes);
}

mkmdb::TableSpec BrandTable(const std::vector<mkmdb::Value>& brands, mkmdb::ColumnType type,
                            int size) {
  mkmdb::TableSpec table;
  table.name = "avion";
  table.columns = {{"marque", type, size}};
  for (const mkmdb::Value& brand : brands) table.rows.push_back({brand});
  return table;
}

std::vector<mkmdb::Value> AsValues(const std::vector<std::string>& texts) {
  return std::vector<mkmdb::Value>(texts.begin(), texts.end());
}

}  // namespace e2e
