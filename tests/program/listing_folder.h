// A fresh temporary folder laid out the way the program expects to find its database: the file
// <root>/bd2.mdb and the working directory <root>/hangar/bay, two levels below it, from which
// "../../bd2.mdb" names the file.
#pragma once

#include <mdb_writer.h>

#include <string>
#include <vector>

#include "tests/program/listing_scenarios.h"
#include "tests/support/temp_folder.h"

namespace e2e {

class ListingFolder {
 public:
  ListingFolder();

  const std::string& root() const { return folder_.path(); }
  std::string database() const { return folder_.Path("bd2.mdb"); }
  std::string hangar() const { return folder_.Path("hangar"); }      // one level below the file
  std::string bay() const { return folder_.Path("hangar/bay"); }     // two levels below the file

  // Writes bd2.mdb with the project's writer.
  void WriteDatabase(const std::vector<mkmdb::TableSpec>& tables) const;
  // Writes bd2.mdb with exactly these bytes.
  void WriteRawFile(const std::string& bytes) const;

 private:
  testsupport::TempFolder folder_{"brand-listing-e2e"};
};

// The table `avion` with the one column `marque` of the given type and a row for each value.
mkmdb::TableSpec BrandTable(const std::vector<mkmdb::Value>& brands,
                            mkmdb::ColumnType type = mkmdb::ColumnType::Text, int size = 255);

// Writes the scenario's database: its rows in avion.marque, a table without that column, a
// file without that table, or no file for a refused connection.
void WriteScenarioDatabase(const ListingFolder& folder, const listing::Scenario& scenario);

}  // namespace e2e
