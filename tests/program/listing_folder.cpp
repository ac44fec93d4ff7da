#include "tests/program/listing_folder.h"

#include <filesystem>

namespace e2e {

ListingFolder::ListingFolder() { std::filesystem::create_directories(bay()); }

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

void WriteScenarioDatabase(const ListingFolder& folder, const listing::Scenario& scenario) {
  using listing::Disturbance;
  using mkmdb::ColumnType;
  switch (scenario.disturbance) {
    case Disturbance::MissingTable:
      folder.WriteDatabase({{"helicoptere", {{"marque", ColumnType::Text, 50}}, {{"Bell"}}}});
      return;
    case Disturbance::MissingColumn:
      folder.WriteDatabase({{"avion", {{"nom", ColumnType::Text, 50}}, {{"Airbus"}, {"Boeing"}}}});
      return;
    case Disturbance::RefusedConnection:
      return;
    default:
      folder.WriteDatabase({BrandTable(scenario.rows,
                                       scenario.memo ? ColumnType::Memo : ColumnType::Text,
                                       scenario.size)});
  }
}

}  // namespace e2e
