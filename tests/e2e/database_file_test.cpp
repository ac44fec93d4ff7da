// Runs where the connection cannot be made: no file where the connect string points, a file that
// is not a database, and the program started from a directory that is not two levels below the
// file. The run ends with status 1, writes nothing on standard output, shows no box, and writes
// one line on standard error that names the failure and carries the driver's own message.
#include <gtest/gtest.h>

#include <filesystem>

#include "driver_message.h"
#include "listing_expectations.h"
#include "listing_folder.h"
#include "listing_run.h"

namespace e2e {
namespace {

// The run from `directory` is refused with the message the driver gives for that directory.
void ExpectRefusedWithDriverMessage(const std::string& directory) {
  const std::string driverMessage = DriverConnectMessage(directory);
  ASSERT_NE(driverMessage, "") << "the driver accepted the connection";
  EXPECT_NE(driverMessage.find("bd2.mdb"), std::string::npos) << driverMessage;

  std::string line;
  ASSERT_TRUE(RefusedRun(RunBrandListing(directory), line));
  EXPECT_NE(line.find("cannot open the database"), std::string::npos) << line;
  EXPECT_NE(line.find(driverMessage), std::string::npos)
      << line << "\ndoes not carry the driver's message:\n" << driverMessage;
}

TEST(DatabaseFile, MissingFile) {
  ListingFolder folder;
  ExpectRefusedWithDriverMessage(folder.bay());
}

TEST(DatabaseFile, TextFileIsNotADatabase) {
  ListingFolder folder;
  std::string text;
  while (text.size() < 8192) text += "marque\nAirbus\nBoeing\nCessna\n";
  folder.WriteRawFile(text);
  ExpectRefusedWithDriverMessage(folder.bay());
}

TEST(DatabaseFile, EmptyFileIsNotADatabase) {
  ListingFolder folder;
  folder.WriteRawFile("");
  ExpectRefusedWithDriverMessage(folder.bay());
}

// The first page of a real database is not a database.
TEST(DatabaseFile, CutDatabaseIsNotADatabase) {
  ListingFolder folder;
  folder.WriteDatabase({BrandTable({"Airbus", "Boeing", "Cessna"})});
  std::filesystem::resize_file(folder.database(), 4096);
  ExpectRefusedWithDriverMessage(folder.bay());
}

TEST(DatabaseFile, RunOneLevelBelowTheFile) {
  ListingFolder folder;
  folder.WriteDatabase({BrandTable({"Airbus", "Boeing", "Cessna"})});
  ExpectRefusedWithDriverMessage(folder.hangar());
}

TEST(DatabaseFile, RunThreeLevelsBelowTheFile) {
  ListingFolder folder;
  folder.WriteDatabase({BrandTable({"Airbus", "Boeing", "Cessna"})});
  const std::string deck = folder.bay() + "/deck";
  std::filesystem::create_directory(deck);
  ExpectRefusedWithDriverMessage(deck);
}

}  // namespace
}  // namespace e2e
