// Refused input: the error names the row and the column, no file is left behind, and a file
// already at the destination stays as it was.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mdb_writer.h"
#include "tests/support/temp_folder.h"

namespace {

using mkmdb::ColumnSpec;
using mkmdb::ColumnType;
using mkmdb::TableSpec;
using mkmdb::Value;

struct BadCase {
  std::string title;
  std::vector<ColumnSpec> columns;
  Value bad;                          // placed in row 3 of the column named "cible"
  std::vector<std::string> expected;  // pieces the message must contain
};

std::ostream& operator<<(std::ostream& out, const BadCase& c) { return out << c.title; }

TableSpec TableWith(const BadCase& c) {
  TableSpec table{"avion", c.columns, {}};
  for (int r = 1; r <= 4; ++r) {
    std::vector<Value> row;
    for (const ColumnSpec& column : c.columns) {
      if (r == 3 && column.name == "cible") {
        row.push_back(c.bad);
      } else if (column.type == ColumnType::Long || column.type == ColumnType::Double ||
                 column.type == ColumnType::YesNo) {
        row.push_back("1");
      } else if (column.type == ColumnType::DateTime) {
        row.push_back("2020-01-01");
      } else {
        row.push_back("a");
      }
    }
    table.rows.push_back(row);
  }
  return table;
}

const ColumnSpec kOther{"autre", ColumnType::Text, 10};

std::vector<BadCase> Cases() {
  return {
      {"TextLongerThanItsColumn", {kOther, {"cible", ColumnType::Text, 5}}, "abcdef",
       {"6 characters", "at most 5"}},
      {"AccentedTextLongerThanItsColumn", {{"cible", ColumnType::Text, 3}}, "éèêë",
       {"4 characters"}},
      {"SurrogatePairsCountAsTwo", {{"cible", ColumnType::Text, 5}}, "😀😀😀", {"6 characters"}},
      {"LongThatDoesNotParse", {kOther, {"cible", ColumnType::Long}}, "12x", {"\"12x\""}},
      {"LongOutOfRange", {{"cible", ColumnType::Long}}, "2147483648", {"range"}},
      {"NumberWithMoreDigitsThanAnyNeeds", {{"cible", ColumnType::Double}},
       std::string(1025, '0'), {"longer than 1024"}},
      {"TextFarLongerThanItsColumnUnread", {{"cible", ColumnType::Text, 5}}, std::string(100, 'x'),
       {"at least 33 characters", "at most 5"}},
      {"EmptyLong", {{"cible", ColumnType::Long}}, "", {"not a whole number"}},
      {"DoubleThatDoesNotParse", {{"cible", ColumnType::Double}}, "1,5", {"\"1,5\""}},
      {"DoubleOutOfRange", {{"cible", ColumnType::Double}}, "1e400", {"range"}},
      {"DoubleNotFinite", {{"cible", ColumnType::Double}}, "nan", {"finite"}},
      {"DateThatDoesNotExist", {{"cible", ColumnType::DateTime}}, "2021-02-29",
       {"calendar date"}},
      {"DateInAnotherShape", {{"cible", ColumnType::DateTime}}, "02/12/2021", {"YYYY-MM-DD"}},
      {"YesNoThatDoesNotParse", {{"cible", ColumnType::YesNo}}, "peut-être", {"Yes/No"}},
      {"NullYesNo", {{"cible", ColumnType::YesNo}}, std::nullopt, {"NULL"}},
      {"InvalidUtf8InText", {kOther, {"cible", ColumnType::Text, 50}}, "caf\xC3", {"UTF-8"}},
      {"InvalidUtf8InMemo", {{"cible", ColumnType::Memo}}, "\xFF\xFE", {"UTF-8"}},
      {"EncodedSurrogateInText", {{"cible", ColumnType::Text, 50}}, "\xED\xA0\x80", {"UTF-8"}},
      {"NulCharacter", {{"cible", ColumnType::Text, 50}}, std::string("a\0b", 3), {"U+0000"}},
      {"UnstorableByteOrderMark", {{"cible", ColumnType::Text, 50}}, "\xEF\xBB\xBF\xC4\x80",
       {"U+FEFF"}},
  };
}

class BadValues : public testing::TestWithParam<BadCase> {
 protected:
  testsupport::TempFolder folder_;
};

TEST_P(BadValues, AreRefusedNamingRowAndColumnAndLeaveNoFile) {
  const std::string path = folder_.Path("out.mdb");
  try {
    mkmdb::WriteDatabase(path, {TableWith(GetParam())});
    FAIL() << "no error";
  } catch (const mkmdb::WriterError& e) {
    const std::string message = e.what();
    EXPECT_NE(message.find("row 3"), std::string::npos) << message;
    EXPECT_NE(message.find("\"cible\""), std::string::npos) << message;
    for (const auto& piece : GetParam().expected) {
      EXPECT_NE(message.find(piece), std::string::npos) << message << " lacks " << piece;
    }
  }
  EXPECT_TRUE(folder_.Entries().empty());
}

TEST_P(BadValues, LeaveAnExistingFileUntouched) {
  const std::string path = folder_.Path("out.mdb");
  testsupport::WriteFile(path, "precious");
  EXPECT_THROW(mkmdb::WriteDatabase(path, {TableWith(GetParam())}), mkmdb::WriterError);
  EXPECT_EQ(testsupport::ReadFile(path), "precious");
  EXPECT_EQ(folder_.Entries(), std::vector<std::string>{"out.mdb"});
}

INSTANTIATE_TEST_SUITE_P(Values, BadValues, testing::ValuesIn(Cases()),
                         [](const auto& info) { return info.param.title; });

class BadTables : public testing::Test {
 protected:
  std::string Refusal(const std::vector<TableSpec>& tables) {
    const std::string path = folder_.Path("out.mdb");
    testsupport::WriteFile(path, "precious");
    std::string message;
    try {
      mkmdb::WriteDatabase(path, tables);
    } catch (const mkmdb::WriterError& e) {
      message = e.what();
    }
    EXPECT_EQ(testsupport::ReadFile(path), "precious");
    EXPECT_EQ(folder_.Entries(), std::vector<std::string>{"out.mdb"});
    return message;
  }
  testsupport::TempFolder folder_;
};

// A row may fill its page to the last byte: the first length refused is one byte over. So also
// when the row fits only once its memo is stored apart.
TEST_F(BadTables, ARowUpToTheLastByteOfItsPageIsWrittenAndOneMoreIsRefused) {
  for (const bool memo : {false, true}) {
    std::vector<ColumnSpec> columns;
    std::vector<Value> row;
    if (memo) {
      columns.push_back({"notes", ColumnType::Memo});
      row.push_back(std::string(300, 'x'));
    }
    for (int i = 0; i < 16; ++i) {
      columns.push_back({"b" + std::to_string(i), ColumnType::Binary, 255});
      row.push_back(std::string(510, 'A'));
    }
    std::string refusal;
    std::size_t length = 0;
    for (; length <= 255 && refusal.empty(); ++length) {
      row.back() = std::string(2 * length, 'A');
      try {
        mkmdb::WriteDatabase(folder_.Path("out.mdb"), {{"avion", columns, {row}}});
      } catch (const mkmdb::WriterError& e) {
        refusal = e.what();
      }
    }
    EXPECT_GT(length, 1u) << memo;  // the row with an empty last value fits
    EXPECT_NE(refusal.find("the row takes 4081 bytes"), std::string::npos) << memo << ": " << refusal;
  }
}

TEST_F(BadTables, BadNamesAreRefused) {
  const std::vector<ColumnSpec> one = {{"marque", ColumnType::Long}};
  for (const std::string& name : {std::string(""), std::string("a.b"), std::string("a!b"),
                                  std::string("[x]"), std::string("a`b"), std::string(" a"),
                                  std::string("tab\there"), std::string(65, 'n'),
                                  std::string("\xC3"), std::string("msysobjects")}) {
    EXPECT_NE(Refusal({{name, one, {}}}), "") << "table " << testing::PrintToString(name);
    if (name != "msysobjects") {
      EXPECT_NE(Refusal({{"avion", {{name, ColumnType::Long}}, {}}}), "")
          << "column " << testing::PrintToString(name);
    }
  }
  EXPECT_NO_THROW(mkmdb::WriteDatabase(folder_.Path("ok.mdb"), {{std::string(64, 'n'), one, {}}}))
      << "64 characters are allowed";
}

// Pairs of names that differ only in letter case, in Latin, Greek and Cyrillic letters: as
// table names and as column names of one table, the second is refused.
TEST_F(BadTables, DuplicateNamesAreRefusedInAnyLetterCaseOfAnyScript) {
  const std::vector<std::pair<std::string, std::string>> pairs = {
      {"Marque", "marque"}, {"é", "É"},         {"Été", "ÉTÉ"},   {"λόγος", "ΛΌΓΟΣ"},
      {"Πτήση", "πτήση"},   {"Самолёт", "САМОЛЁТ"}, {"Ёж", "ёЖ"},
  };
  for (const auto& [first, second] : pairs) {
    const std::string columns = Refusal(
        {{"avion", {{first, ColumnType::Long}, {second, ColumnType::Text, 5}}, {}}});
    EXPECT_NE(columns.find("used twice"), std::string::npos) << first << " / " << second;
    const std::string tables = Refusal({{first, {{"a", ColumnType::Long}}, {}},
                                        {second, {{"a", ColumnType::Long}}, {}}});
    EXPECT_NE(tables.find("used twice"), std::string::npos) << first << " / " << second;
  }
  for (const std::string name : {"msysobjects", "MSYSACES", "MSysQueries", "msysRELATIONSHIPS"}) {
    EXPECT_NE(Refusal({{name, {{"a", ColumnType::Long}}, {}}}).find("reserved"),
              std::string::npos)
        << name;
  }
}

TEST_F(BadTables, NamesThatDifferBeyondLetterCaseAreDistinct) {
  for (const auto& [first, second] : std::vector<std::pair<std::string, std::string>>{
           {"Été", "Ete"}, {"Straße", "STRASSE"}, {"Ёж", "Еж"}, {"Λόγος", "Λογος"}}) {
    const std::string path = folder_.Path("ok.mdb");
    const TableSpec table{first, {{first, ColumnType::Long}, {second, ColumnType::Long}}, {}};
    const TableSpec other{second, {{"a", ColumnType::Long}}, {}};
    EXPECT_NO_THROW(mkmdb::WriteDatabase(path, {table, other})) << first << " / " << second;
  }
}

struct RefusedTables {
  std::string title;
  std::vector<TableSpec> tables;
  std::vector<std::string> expected;  // pieces the message must contain (any message if none)
};

std::ostream& operator<<(std::ostream& out, const RefusedTables& c) { return out << c.title; }

class RefusedTableSets : public BadTables, public testing::WithParamInterface<RefusedTables> {};

TEST_P(RefusedTableSets, AreRefusedSayingWhy) {
  const std::string message = Refusal(GetParam().tables);
  EXPECT_NE(message, "");
  for (const auto& piece : GetParam().expected) {
    EXPECT_NE(message.find(piece), std::string::npos) << message << " lacks " << piece;
  }
}

std::vector<RefusedTables> RefusedTableCases() {
  TableSpec wide{"avion", {}, {}};
  for (int i = 0; i < 256; ++i) wide.columns.push_back({"c" + std::to_string(i), ColumnType::Long});
  // Nine full Text(255) values of a character never compressed: more than a page.
  TableSpec large{"avion", {}, {{}}};
  for (int i = 0; i < 9; ++i) {
    large.columns.push_back({"t" + std::to_string(i), ColumnType::Text, 255});
    std::string text;
    for (int k = 0; k < 255; ++k) text += "一";
    large.rows[0].push_back(text);
  }
  return {
      {"AWrongNumberOfValuesNamesTheRow",
       {{"avion",
         {{"marque", ColumnType::Text, 10}, {"rang", ColumnType::Long}},
         {{"a", "1"}, {"b"}}}},
       {"row 2", "expected 2 values, found 1"}},
      {"AnUnknownType", {{"avion", {{"marque", static_cast<ColumnType>(17)}}, {}}},
       {"unknown type", "marque"}},
      {"TextSizeZero", {{"avion", {{"marque", ColumnType::Text, 0}}, {}}}, {}},
      {"TextSize256", {{"avion", {{"marque", ColumnType::Text, 256}}, {}}}, {}},
      {"NoColumns", {{"avion", {}, {}}}, {}},
      {"TooManyColumns", {wide}, {}},
      {"ARowLargerThanAPage", {large}, {"row 1", "4080"}},
      {"AnErrorInALaterTableStillLeavesNoFile",
       {{"avion", {{"marque", ColumnType::Text, 10}}, {{"Airbus"}, {"Boeing"}}},
        {"pays", {{"rang", ColumnType::Long}}, {{"1"}, {"deux"}}}},
       {"table pays row 2"}},
  };
}

INSTANTIATE_TEST_SUITE_P(Tables, RefusedTableSets, testing::ValuesIn(RefusedTableCases()),
                         [](const auto& info) { return info.param.title; });

TEST(OutputPath, AFolderOrAMissingFolderIsRefused) {
  testsupport::TempFolder folder;
  const std::vector<TableSpec> tables = {{"avion", {{"a", ColumnType::Long}}, {}}};
  EXPECT_THROW(mkmdb::WriteDatabase(folder.path(), tables), mkmdb::WriterError);
  EXPECT_THROW(mkmdb::WriteDatabase(folder.Path("absent/out.mdb"), tables), mkmdb::WriterError);
  EXPECT_TRUE(folder.Entries().empty());
}

}  // namespace
