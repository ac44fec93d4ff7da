// The text of the values: NULL and empty values, and characters beyond ASCII in a UTF-8 locale
// (shown and written exactly) and in the C locale (each such character becomes '?', in the box
// as on the line, since both are written in the locale's encoding).
#include <gtest/gtest.h>

#include "listing_expectations.h"
#include "listing_folder.h"
#include "listing_run.h"

namespace e2e {
namespace {

// Accents, Cyrillic, and CJK with a character outside the Basic Multilingual Plane.
const std::vector<std::string> kInternationalBrands = {"Aérospatiale Ærø Škoda",
                                                       "Сухой Туполев", "三菱航空機 𠀋"};

TEST(ValueText, NullAndEmptyValuesShowAnEmptyBoxAndABareLine) {
  ListingFolder folder;
  folder.WriteDatabase({BrandTable({std::nullopt, "Airbus", ""})});
  EXPECT_TRUE(CompletedListing(RunBrandListing(folder.bay()), {{"", "Airbus", ""}, {}}));
}

TEST(ValueText, NullValueInAMemoColumn) {
  ListingFolder folder;
  folder.WriteDatabase(
      {BrandTable({"Airbus", std::nullopt, "Boeing"}, mkmdb::ColumnType::Memo)});
  EXPECT_TRUE(
      CompletedListing(RunBrandListing(folder.bay()), {{"Airbus", "", "Boeing"}, {}}));
}

TEST(ValueText, UtfEightLocaleShowsAndWritesTheExactText) {
  ListingFolder folder;
  folder.WriteDatabase({BrandTable(AsValues(kInternationalBrands))});
  EXPECT_TRUE(CompletedListing(RunBrandListing(folder.bay(), "C.UTF-8"),
                               {kInternationalBrands, {}}));
}

TEST(ValueText, CLocaleReplacesEachCharacterItCannotWrite) {
  const std::vector<std::string> brands = {"Aérospatiale Ærø Škoda", "Сухой Туполев",
                                           "三菱航空機"};
  ListingFolder folder;
  folder.WriteDatabase({BrandTable(AsValues(brands))});
  ExpectedListing expected;
  for (const std::string& brand : brands) expected.values.push_back(AsCLocaleWrites(brand));
  EXPECT_TRUE(CompletedListing(RunBrandListing(folder.bay(), "C"), expected));
}

TEST(ValueText, MemoColumnKeepsCharactersBeyondAscii) {
  ListingFolder folder;
  folder.WriteDatabase({BrandTable(AsValues(kInternationalBrands),
                                   mkmdb::ColumnType::Memo)});
  EXPECT_TRUE(CompletedListing(RunBrandListing(folder.bay()), {kInternationalBrands, {}}));
}

}  // namespace
}  // namespace e2e
