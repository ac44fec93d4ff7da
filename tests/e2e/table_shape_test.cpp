// Databases whose table or column does not match the statement: the driver's message in one box
// and nothing written; and tables that do match in other ways than the simplest.
#include <gtest/gtest.h>

#include <filesystem>

#include "listing_expectations.h"
#include "listing_folder.h"
#include "listing_run.h"

namespace e2e {
namespace {

using mkmdb::ColumnType;

TEST(TableShape, MissingTableShowsTheDriversMessage) {
  ListingFolder folder;
  mkmdb::TableSpec helicopters{"helicoptere", {{"marque", ColumnType::Text, 50}}, {{"Bell"}}};
  folder.WriteDatabase({helicopters});
  EXPECT_TRUE(CompletedListing(RunBrandListing(folder.bay()),
                               {{}, "avion is not a table or query in this database (at offset 19)\n"}));
}

TEST(TableShape, MissingColumnShowsTheDriversMessage) {
  ListingFolder folder;
  mkmdb::TableSpec planes{"avion", {{"nom", ColumnType::Text, 50}}, {{"Airbus"}, {"Boeing"}}};
  folder.WriteDatabase({planes});
  EXPECT_TRUE(
      CompletedListing(RunBrandListing(folder.bay()), {{}, "Column marque not found (at offset 7)\n"}));
}

// A file that Access itself made, without the table the program reads.
TEST(TableShape, AccessMadeFileWithoutTheTable) {
  if (!std::filesystem::exists(std::string(FIXTURES_DIR) + "/access-made-jet4.mdb")) {
    GTEST_SKIP() << "access-made-jet4.mdb not found in \"" FIXTURES_DIR
                    "\"; configure with -DDRAVON_FIXTURES_DIR=<folder>";
  }
  ListingFolder folder;
  std::filesystem::create_symlink(FIXTURES_DIR "/access-made-jet4.mdb", folder.database());
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
