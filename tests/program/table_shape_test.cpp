// Databases whose tables differ from the simplest: a file that Access made without the table
// the program reads, and tables that match the statement in other ways than the simplest.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/program/listing_expectations.h"
#include "tests/program/listing_folder.h"
#include "tests/support/fixtures.h"

namespace e2e {
namespace {

using mkmdb::ColumnType;

// A file that Access itself made, without the table the program reads.
TEST(TableShape, AccessMadeFileWithoutTheTable) {
  SKIP_WITHOUT_FIXTURE("access-made-jet4.mdb");
  ListingFolder folder;
  std::filesystem::create_symlink(testsupport::FixturePath("access-made-jet4.mdb"), folder.database());
  EXPECT_TRUE(CompletedListing(RunBrandListing(folder.bay()),
                               {{}, "avion is not a table or query in this database (at offset 19)\n"}));
}

// The statement names its column: its values come whatever the column's place in the table,
// and other tables of the file do not matter.
TEST(TableShape, ColumnAmongOthersInAFileOfSeveralTables) {
  ListingFolder folder;
  mkmdb::TableSpec first{"marque", {{"avion", ColumnType::Text, 20}}, {{"not this one"}}};
  mkmdb::TableSpec planes{"avion",
                          {{"id", ColumnType::Long},
                           {"modele", ColumnType::Text, 30},
                           {"marque", ColumnType::Text, 40},
                           {"prix", ColumnType::Double}},
                          {{"1", "A320", "Airbus", "98.5"},
                           {"2", "737", "Boeing", std::nullopt},
                           {"3", "172", "Cessna", "0.4"},
                           {"4", "Falcon", "Dassault", "50"}}};
  folder.WriteDatabase({first, planes});
  EXPECT_TRUE(
      CompletedListing(RunBrandListing(folder.bay()), {{"Airbus", "Boeing", "Cessna"}, {}}));
}

// Access matches names in any letter case.
TEST(TableShape, NamesInAnotherLetterCase) {
  ListingFolder folder;
  mkmdb::TableSpec planes{"AVION", {{"Marque", ColumnType::Text, 50}},
                          {{"Airbus"}, {"Boeing"}, {"Cessna"}}};
  folder.WriteDatabase({planes});
  EXPECT_TRUE(
      CompletedListing(RunBrandListing(folder.bay()), {{"Airbus", "Boeing", "Cessna"}, {}}));
}

}  // namespace
}  // namespace e2e
