// Long values: texts around the length where the program's narrow copy of a value stops fitting
// its inline buffer (31 and 32 UTF-16 units), a text column filled to its size, and memo values
// far longer than any first read of a long column, all written whole.
#include <gtest/gtest.h>

#include "listing_expectations.h"
#include "listing_folder.h"
#include "listing_run.h"

namespace e2e {
namespace {

// A text of `units` characters of the Basic Multilingual Plane (one UTF-16 unit each), cycling
// through ASCII, Latin, Cyrillic and CJK so that the UTF-8 form runs from 1 to 3 bytes a unit.
std::string TextOfUnits(size_t units) {
  static const std::vector<std::string> kCycle = {"A", "é", "Ж", "語", " ", "z", "Ø", "航"};
  std::string text;
  for (size_t i = 0; i < units; ++i) text += kCycle[i % kCycle.size()];
  return text;
}

size_t CharacterCount(const std::string& utf8) {
  size_t count = 0;
  for (unsigned char c : utf8) count += (c & 0xC0) != 0x80;
  return count;
}

// A memo value of exactly `characters` characters of the Basic Multilingual Plane: numbered
// pieces "<n> Zlín Жуковский 三菱 ✈ ", so that a piece lost or read twice changes the text.
std::string LongMemo(size_t characters) {
  std::string memo;
  size_t count = 0;
  for (size_t n = 0; count < characters; ++n) {
    const std::string piece = std::to_string(n) + " Zlín Жуковский 三菱 ✈ ";
    for (size_t at = 0; at < piece.size() && count < characters; ++count) {
      size_t length = 1;
      while (at + length < piece.size() && (piece[at + length] & 0xC0) == 0x80) ++length;
      memo.append(piece, at, length);
      at += length;
    }
  }
  return memo;
}

TEST(LongValue, TextsAroundTheInlineBufferAndAFullColumn) {
  const std::vector<std::string> brands = {TextOfUnits(31), TextOfUnits(32), TextOfUnits(255)};
  ListingFolder folder;
  folder.WriteDatabase({BrandTable(AsValues(brands), mkmdb::ColumnType::Text, 255)});
  EXPECT_TRUE(CompletedListing(RunBrandListing(folder.bay()), {brands, {}}));
}

TEST(LongValue, TextsAroundTheInlineBufferInTheCLocale) {
  const std::vector<std::string> brands = {TextOfUnits(31), TextOfUnits(32), TextOfUnits(255)};
  ListingFolder folder;
  folder.WriteDatabase({BrandTable(AsValues(brands), mkmdb::ColumnType::Text, 255)});
  ExpectedListing expected;
  for (const std::string& brand : brands) expected.values.push_back(AsCLocaleWrites(brand));
  EXPECT_TRUE(CompletedListing(RunBrandListing(folder.bay(), "C"), expected));
}

TEST(LongValue, MemoOfTwentyThousandCharactersIsWrittenWhole) {
  const std::string memo = LongMemo(20000);
  ASSERT_EQ(CharacterCount(memo), 20000u);
  const std::vector<std::string> brands = {memo, "Piper", LongMemo(5000)};
  ListingFolder folder;
  folder.WriteDatabase({BrandTable(AsValues(brands), mkmdb::ColumnType::Memo)});
  EXPECT_TRUE(CompletedListing(RunBrandListing(folder.bay()), {brands, {}}));
}

// A long column is first read into a small buffer, so a character outside the Basic
// Multilingual Plane at the start has its two UTF-16 units delivered by different reads.
TEST(LongValue, MemoStartingWithASurrogatePair) {
  const std::vector<std::string> brands = {"✈", "𠀋 Fuji", "😀😀😀"};
  ListingFolder folder;
  folder.WriteDatabase({BrandTable(AsValues(brands), mkmdb::ColumnType::Memo)});
  EXPECT_TRUE(CompletedListing(RunBrandListing(folder.bay()), {brands, {}}));
}

}  // namespace
}  // namespace e2e
