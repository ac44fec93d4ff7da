#include "listing_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace e2e {

namespace fs = std::filesystem;

ListingFolder::ListingFolder() {
  std::string pattern = (fs::temp_directory_path() / "brand-listing-e2e-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  root_ = pattern;
  fs::create_directories(bay());
}

ListingFolder::~ListingFolder() {
  std::error_code ignored;
  fs::remove_all(root_, ignored);
}

void ListingFolder::WriteDatabase(const std::vector<mkmdb::TableSpec>& tables) const {
  mkmdb::WriteDatabase(database(), tables);
}

void ListingFolder::WriteRawFile(const std::string& bytes) const {
  std::ofstream out(database(), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) throw std::runtime_error("cannot write " + database());
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
