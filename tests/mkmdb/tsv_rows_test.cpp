// Reading rows from tab-separated text.
#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <streambuf>

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

TEST(TsvRows, AnEmptyLineIsOneEmptyFieldAndALoneByteOrderMarkIsNoLine) {
  const std::vector<mkmdb::ColumnSpec> one = {{"marque", ColumnType::Text, 50}};
  using Rows = std::vector<std::vector<Value>>;
  EXPECT_EQ(ReadAll("\n\nx\n", one), (Rows{{""}, {""}, {"x"}}));
  EXPECT_EQ(ReadAll("", one), Rows{});
  EXPECT_EQ(ReadAll("\xEF\xBB\xBF", one), Rows{});
  EXPECT_EQ(ReadAll("\xEF\xBB\xBF\n", one), Rows{{""}});
  EXPECT_EQ(ReadAll("\xEF\xBB\xBF\r\n", one), Rows{{""}});
}

// An endless line without a line feed, counting what is read of it.
class EndlessLine : public std::streambuf {
 public:
  std::size_t consumed() const { return consumed_; }

 protected:
  int_type underflow() override {
    if (consumed_ > (std::size_t{1} << 32)) return traits_type::eof();  // a bound for a fault
    buffer_.fill('7');
    consumed_ += buffer_.size();
    setg(buffer_.data(), buffer_.data(), buffer_.data() + buffer_.size());
    return traits_type::to_int_type(buffer_[0]);
  }

 private:
  std::array<char, 4096> buffer_;
  std::size_t consumed_ = 0;
};

// A line is refused once it passes the longest line the columns can hold, without reading on.
TEST(TsvRows, AnOverlongLineIsRefusedAsSoonAsItPassesTheLargestRow) {
  struct Case {
    std::vector<mkmdb::ColumnSpec> columns;
    std::size_t longest;  // bytes of the largest line the columns can hold
  };
  constexpr std::size_t kMemoText = 3 * (0xFFFFFF / 2);  // 3 bytes per unit, 2 bytes stored
  for (const Case& c : {
           Case{{{"t", ColumnType::Text, 5}}, 3 + 15 + 2},
           Case{{{"n", ColumnType::Long}, {"x", ColumnType::Double}}, 3 + 1024 * 2 + 3},
           Case{{{"m", ColumnType::Memo}, {"d", ColumnType::DateTime}, {"b", ColumnType::YesNo}},
                3 + kMemoText + 23 + 5 + 4},
           Case{{{"g", ColumnType::Guid}, {"o", ColumnType::Binary, 10}}, 3 + 38 + 20 + 3},
       }) {
    EndlessLine endless;
    std::istream input(&endless);
    mkmdb::TsvRows rows(input, "rows.tsv", c.columns);
    std::vector<Value> row;
    try {
      rows.Next(row);
      ADD_FAILURE() << "no error";
    } catch (const mkmdb::WriterError& e) {
      const std::string message = e.what();
      EXPECT_NE(message.find("rows.tsv line 1"), std::string::npos) << message;
      EXPECT_NE(message.find(std::to_string(c.longest) + " bytes"), std::string::npos) << message;
    }
    EXPECT_GT(endless.consumed(), c.longest);
    EXPECT_LT(endless.consumed(), c.longest + 2 * 64 * 1024) << "read on past the limit";
  }
}

TEST(TsvRows, ErrorsNameTheLineAndTheColumn) {
  for (const auto& [text, pieces] : std::vector<std::pair<std::string, std::vector<std::string>>>{
           {"a\tb\nc\n", {"rows.tsv line 2", "expected 2", "found 1"}},
           {"a\tb\nc\td\te\n", {"line 2", "found 3"}},
           {"a\tb\nc\td\ne\tf\\x\n", {"line 3", "\"pays\""}},
           {"a\tb\\\n", {"\"pays\""}}}) {
    const std::string error = ErrorOf(text);
    for (const auto& piece : pieces) EXPECT_NE(error.find(piece), std::string::npos) << error;
  }
}

}  // namespace
