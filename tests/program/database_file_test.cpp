// Runs where the connection cannot be made: a file that is not a database, and the program
// started from a directory that is not two levels below the file (no file at all is the
// refused_connection scenario). The run ends with status 1, writes nothing on standard output,
// shows no box, and writes one line on standard error that names the failure and carries the
// driver's own message.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "tests/program/listing_expectations.h"
#include "tests/program/listing_folder.h"

namespace e2e {
namespace {

struct BrokenPlace {
  const char* name;
  // Lays the folder out and returns the directory to start the program from.
  std::function<std::string(const ListingFolder&)> prepare;
};
void PrintTo(const BrokenPlace& place, std::ostream* os) { *os << place.name; }

std::string WithBrands(const ListingFolder& folder, const std::string& directory) {
  folder.WriteDatabase({BrandTable({"Airbus", "Boeing", "Cessna"})});
  return directory;
}

const BrokenPlace kPlaces[] = {
    {"text_file", [](const ListingFolder& folder) {
       std::string text;
       while (text.size() < 8192) text += "marque\nAirbus\nBoeing\nCessna\n";
       folder.WriteRawFile(text);
       return folder.bay();
     }},
    {"empty_file", [](const ListingFolder& folder) {
       folder.WriteRawFile("");
       return folder.bay();
     }},
    // The first page of a real database is not a database.
    {"cut_database", [](const ListingFolder& folder) {
       WithBrands(folder, "");
       std::filesystem::resize_file(folder.database(), 4096);
       return folder.bay();
     }},
    {"one_level_below", [](const ListingFolder& folder) {
       return WithBrands(folder, folder.hangar());
     }},
    {"three_levels_below", [](const ListingFolder& folder) {
       std::filesystem::create_directory(folder.bay() + "/deck");
       return WithBrands(folder, folder.bay() + "/deck");
     }},
};

class DatabaseFile : public testing::TestWithParam<BrokenPlace> {};

TEST_P(DatabaseFile, RefusedWithTheDriversMessage) {
  ListingFolder folder;
  const std::string directory = GetParam().prepare(folder);
  ExpectRefusedWithDriverMessage(RunBrandListing(directory), directory);
}

INSTANTIATE_TEST_SUITE_P(Places, DatabaseFile, testing::ValuesIn(kPlaces),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace e2e
