// Reading rows from tab-separated text.
#include <gtest/gtest.h>

#include <sstream>

#include "tsv_rows.h"

namespace {

using mkmdb::ColumnType;
using mkmdb::Value;

const std::vector<mkmdb::ColumnSpec> kTwo = {{"marque", ColumnType::Text, 50},
                                             {"pays", ColumnType::Text, 50}};

std::vector<std::vector<Value>> ReadAll(const std::string& text,
                                        const std::vector<mkmdb::ColumnSpec>& columns = kTwo) {
  std::istringstream input(text);
  mkmdb::TsvRows rows(input, "rows.tsv", columns);
  std::vector<std::vector<Value>> out;
  std::vector<Value> row;
  while (rows.Next(row)) out.push_back(row);
  return out;
}

std::string ErrorOf(const std::string& text) {
  try {
    ReadAll(text);
  } catch (const mkmdb::WriterError& e) {
    return e.what();
  }
  return "";
}

TEST(TsvRows, SplitsOnTabsAndTellsNullFromEmpty) {
  const auto rows = ReadAll("Airbus\tFrance\n\\N\t\n\t\\N\n");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (std::vector<Value>{"Airbus", "France"}));
  EXPECT_EQ(rows[1], (std::vector<Value>{std::nullopt, ""}));
  EXPECT_EQ(rows[2], (std::vector<Value>{"", std::nullopt}));
}

TEST(TsvRows, UnescapesBackslashSequences) {
  const auto rows = ReadAll("a\\tb\\nc\\rd\\\\e\t\\\\N\n");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "a\tb\nc\rd\\e");
  EXPECT_EQ(rows[0][1], "\\N") << "an escaped backslash before N is text, not NULL";
}

TEST(TsvRows, ToleratesCrLfAMissingLastLineFeedAndALeadingByteOrderMark) {
  const auto rows = ReadAll("\xEF\xBB\xBF" "Airbus\tFrance\r\nBoeing\tUSA");
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (std::vector<Value>{"Airbus", "France"}));
  EXPECT_EQ(rows[1], (std::vector<Value>{"Boeing", "USA"}));
  // Only at the very start: later it is text.
  EXPECT_EQ(ReadAll("a\tb\n\xEF\xBB\xBFx\ty\n")[1][0], "\xEF\xBB\xBFx");
}

TEST(TsvRows, AnEmptyLineIsOneEmptyField) {
  const auto one = ReadAll("\n\nx\n", {{"marque", ColumnType::Text, 50}});
  EXPECT_EQ(one, (std::vector<std::vector<Value>>{{""}, {""}, {"x"}}));
  EXPECT_EQ(ReadAll(""), std::vector<std::vector<Value>>{});
}

TEST(TsvRows, ErrorsNameTheLineAndTheColumn) {
  const std::string count = ErrorOf("a\tb\nc\n");
  EXPECT_NE(count.find("rows.tsv line 2"), std::string::npos) << count;
  EXPECT_NE(count.find("expected 2"), std::string::npos) << count;
  EXPECT_NE(count.find("found 1"), std::string::npos) << count;
  const std::string extra = ErrorOf("a\tb\nc\td\te\n");
  EXPECT_NE(extra.find("line 2"), std::string::npos) << extra;
  EXPECT_NE(extra.find("found 3"), std::string::npos) << extra;
  const std::string escape = ErrorOf("a\tb\nc\td\ne\tf\\x\n");
  EXPECT_NE(escape.find("line 3"), std::string::npos) << escape;
  EXPECT_NE(escape.find("\"pays\""), std::string::npos) << escape;
  const std::string trailing = ErrorOf("a\tb\\\n");
  EXPECT_NE(trailing.find("\"pays\""), std::string::npos) << trailing;
}

}  // namespace
