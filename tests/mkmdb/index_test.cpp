// The indexes of the system tables are current for every table written: libmdb's walk of each
// index meets every row once, in key order, for one leaf page, two levels and three. Text keys
// fold letter case of every script and keep distinct names apart.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "index_keys.h"
#include "tests/support/libmdb_oracle.h"
#include "mdb_writer.h"
#include "tests/support/temp_folder.h"

namespace {

using mkmdb::ColumnType;
using mkmdb::TableSpec;

struct TableSet {
  std::string title;
  std::string prefix;  // table i is named prefix + i, zero-padded to four digits
  int count;
};

std::ostream& operator<<(std::ostream& out, const TableSet& set) { return out << set.title; }

std::string Numbered(const std::string& prefix, int i) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%04d", i);
  return prefix + digits;
}

std::int32_t Long(const testsupport::OracleCell& cell) {
  std::int32_t value = 0;
  if (cell.raw.size() == sizeof value) std::memcpy(&value, cell.raw.data(), sizeof value);
  return value;
}

std::string Cyrillic(int letters) {
  std::string text;
  for (int i = 0; i < letters; ++i) text += "Ж";
  return text;
}

class SystemIndexes : public testing::TestWithParam<TableSet> {};

TEST_P(SystemIndexes, MeetEveryRowOnceInKeyOrder) {
  testsupport::TempFolder folder;
  std::vector<TableSpec> tables;
  for (int i = 1; i <= GetParam().count; ++i) {
    tables.push_back({Numbered(GetParam().prefix, i), {{"c", ColumnType::Long}}, {}});
  }
  const std::string path = folder.Path("out.mdb");
  mkmdb::WriteDatabase(path, tables);
  testsupport::LibmdbOracle reader(path);
  ASSERT_EQ(reader.error(), "");

  const auto catalog = reader.Read("MSysObjects");
  ASSERT_TRUE(catalog.has_value());
  const std::vector<std::uint32_t> rows = reader.RowPointers("MSysObjects");
  ASSERT_EQ(rows.size(), catalog->rows.size()) << reader.error();
  EXPECT_EQ(rows.size(), 16u + tables.size());
  std::map<std::uint32_t, const testsupport::OracleRow*> by_pointer;
  for (std::size_t i = 0; i < rows.size(); ++i) by_pointer[rows[i]] = &catalog->rows[i];

  for (const char* index : {"Id", "ParentIdName"}) {
    std::vector<std::uint32_t> walked = reader.IndexOrder("MSysObjects", index);
    ASSERT_EQ(reader.error(), "");
    std::vector<std::uint32_t> sorted = walked;
    std::sort(sorted.begin(), sorted.end());
    std::vector<std::uint32_t> all = rows;
    std::sort(all.begin(), all.end());
    EXPECT_EQ(sorted, all) << index << ": not every row once";
    if (sorted != all) continue;
    if (std::string(index) == "Id") {
      for (std::size_t i = 1; i < walked.size(); ++i) {
        EXPECT_LT(Long((*by_pointer[walked[i - 1]])[0]), Long((*by_pointer[walked[i]])[0]));
      }
    } else {
      // The user tables, all under Tables, come in the order of their numbers.
      std::vector<std::string> names;
      for (std::uint32_t pointer : walked) {
        const auto& row = *by_pointer[pointer];
        // Columns by number: 1 ParentId, 2 Name, 7 Flags (0 for a user's table).
        if (Long(row[1]) == 0x0F000001 && row[7].raw.size() == 4 && Long(row[7]) == 0) {
          names.push_back(row[2].text);
        }
      }
      std::vector<std::string> expected;
      for (const TableSpec& table : tables) expected.push_back(table.name);
      EXPECT_EQ(names, expected);
    }
  }
  std::vector<std::uint32_t> access = reader.IndexOrder("MSysACEs", "ObjectId");
  std::vector<std::uint32_t> access_rows = reader.RowPointers("MSysACEs");
  std::sort(access.begin(), access.end());
  std::sort(access_rows.begin(), access_rows.end());
  EXPECT_EQ(access, access_rows);
  EXPECT_EQ(access.size(), 49u + 3 * tables.size());
}

// 16 catalog rows fit one leaf page; 2000 short names need leaves under a node page; 400 names
// of 64 Cyrillic letters, whose keys take 3 bytes a letter, need two levels of node pages.
INSTANTIATE_TEST_SUITE_P(
    Tables, SystemIndexes,
    testing::Values(TableSet{"None", "t", 0}, TableSet{"One", "t", 1},
                    TableSet{"TwoThousand", "table number ", 2000},
                    TableSet{"FourHundredLongCyrillicNames", Cyrillic(60), 400}),
    [](const auto& info) { return info.param.title; });

std::vector<std::uint8_t> KeyOf(const std::u16string& name) {
  std::vector<std::uint8_t> key;
  mkmdb::AppendTextKey(name, key);
  return key;
}

TEST(TextKeys, FoldLetterCaseOfEveryScriptAndKeepDistinctNamesApart) {
  for (const auto& [a, b] : std::vector<std::pair<std::u16string, std::u16string>>{
           {u"MSysObjects", u"msysobjects"}, {u"Été", u"ÉTÉ"}, {u"λόγος", u"ΛΌΓΟΣ"},
           {u"Москва", u"МОСКВА"}, {u"Zq_k 9", u"zQ_K 9"}}) {
    EXPECT_EQ(KeyOf(a), KeyOf(b));
  }
  const std::vector<std::u16string> distinct = {
      u"Ete", u"Été", u"Ete ", u"E te", u"E_te", u"Et", u"Eté", u"Ëte", u"Straße", u"Strasse",
      u"a", u"b", u"k", u"q", u"z", u"0", u"9", u"Ё", u"Е", u"一", u"丁", u"a-b", u"a+b", u"ab"};
  std::map<std::vector<std::uint8_t>, std::u16string> seen;
  for (const std::u16string& name : distinct) {
    const auto key = KeyOf(name);
    EXPECT_TRUE(seen.emplace(key, name).second) << "two names, one key";
    // The end markers 01 00 come only at the end.
    ASSERT_GE(key.size(), 3u);
    EXPECT_EQ(key[key.size() - 2], 0x01);
    EXPECT_EQ(key.back(), 0x00);
    for (std::size_t i = 1; i + 2 < key.size(); ++i) EXPECT_GT(key[i], 0x01);
  }
}

}  // namespace
