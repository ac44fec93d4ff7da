// Indexes through libmdb. Those of the system tables are current for every table written: the
// walk of each meets every row once, in key order, for one leaf page, two levels and three;
// text keys fold letter case of every script and keep distinct names apart. Those of user
// tables: libmdb reads their definitions as written, and its walk of each index meets every row
// once, in the order of the key values worked out here from the values alone (NULL first, ties
// in the order the rows were written; a descending column reversed), for every type an index
// can hold, one leaf page and trees of several levels.
#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <compare>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "generated_rows.h"
#include "index_keys.h"
#include "jet/database.h"
#include "jet/format.h"
#include "tests/support/libmdb_oracle.h"
#include "mdb_writer.h"
#include "round_trip.h"
#include "tests/support/temp_folder.h"

namespace {

using mkmdb::ColumnSpec;
using mkmdb::ColumnType;
using mkmdb::IndexSpec;
using mkmdb::TableSpec;
using mkmdb::Value;

// What a value sorts by: a whole number, a real number or a byte string, by type.
struct Order {
  __int128 whole = 0;
  long double real = 0;
  std::string bytes;
  auto operator<=>(const Order&) const = default;
};

struct Sample {
  Value text;   // as written
  Order order;  // how it sorts (when not NULL)
};

// `scaled` / 10^scale as decimal text.
std::string Scaled(__int128 scaled, int scale) {
  const unsigned __int128 magnitude = scaled < 0 ? -static_cast<unsigned __int128>(scaled) : scaled;
  return mkmdb_test::ScaledText(scaled < 0, magnitude, scale);
}

// Random values of one type: few distinct ones, so that keys repeat, and the ends of the range.
Sample Random(const ColumnSpec& column, std::mt19937_64& random) {
  const auto pick = [&](long long low, long long high) {
    return std::uniform_int_distribution<long long>(low, high)(random);
  };
  Sample sample;
  Order& order = sample.order;
  switch (column.type) {
    case ColumnType::Byte:
      order.whole = pick(0, 1) ? pick(0, 255) : pick(0, 3) * 85;
      break;
    case ColumnType::Integer:
      order.whole = pick(0, 1) ? pick(-32768, 32767) : pick(-2, 2) * 16383;
      break;
    case ColumnType::Long:
      order.whole = pick(0, 1) ? pick(-2147483648LL, 2147483647LL) : pick(-3, 3);
      break;
    case ColumnType::Currency:
      order.whole = pick(0, 1) ? pick(-9223372036854775807LL - 1, 9223372036854775807LL)
                               : pick(-20, 20) * 2500;
      sample.text = Scaled(order.whole, 4);
      return sample;
    case ColumnType::Decimal: {
      // Up to 28 digits: two random halves of 14.
      const __int128 high = pick(0, 99999999999999LL), low = pick(0, 99999999999999LL);
      order.whole = pick(0, 2) == 0 ? pick(-5, 5) : (high * 100000000000000LL + low);
      if (pick(0, 1)) order.whole = -order.whole;
      sample.text = Scaled(order.whole, column.scale);
      return sample;
    }
    case ColumnType::Single:
    case ColumnType::Double: {
      const double value = pick(0, 2) == 0 ? static_cast<double>(pick(-3, 3)) / 2
                                           : std::ldexp(static_cast<double>(pick(-1000000, 1000000)),
                                                        static_cast<int>(pick(-60, 60)));
      const auto write = [&](auto number) {  // a Single's text and order as the float it is
        char text[40];
        sample.text = std::string(text, std::to_chars(text, text + sizeof text, number).ptr);
        order.real = number;
      };
      column.type == ColumnType::Single ? write(static_cast<float>(value)) : write(value);
      return sample;
    }
    case ColumnType::DateTime: {
      // Days from 0100-01-01 to 9999-12-31 and a time to the millisecond. Keys sort by the
      // stored day number, so before 1899-12-30, where the time counts forward from a
      // negative day number, later times of one day sort first.
      static const char* const kDates[] = {"0100-01-01", "1899-12-29", "1899-12-30",
                                           "1899-12-31", "1970-01-01", "2000-02-29",
                                           "2024-06-30", "9999-12-31"};
      const std::string day = kDates[pick(0, 7)];
      char time[20];
      std::snprintf(time, sizeof time, " %02lld:%02lld:%02lld.%03lld", pick(0, 23),
                    pick(0, 1) * 59, pick(0, 59), pick(0, 2) * 499);
      sample.text = day + time;
      order.real = mkmdb_test::ExpectedDayNumber(*sample.text);
      return sample;
    }
    case ColumnType::YesNo:
      order.whole = pick(0, 1) ? -1 : 0;  // Yes is -1 and sorts first
      sample.text = order.whole ? "yes" : "no";
      return sample;
    case ColumnType::Text: {
      static const char kLetters[] = "aAbBkKqQzZ09 _.";
      std::string text;
      const long long length = pick(0, 4);
      for (long long i = 0; i < length; ++i) text.push_back(kLetters[pick(0, 14)]);
      sample.text = text;
      for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      // The sort codes put blank, '.', '_', digits and letters in this order.
      for (char& c : text) {
        c = c == ' ' ? '\x01' : c == '.' ? '\x02' : c == '_' ? '\x03' : c;
      }
      order.bytes = text;
      return sample;
    }
    case ColumnType::Guid: {
      std::uint8_t bytes[16];
      for (auto& b : bytes) b = static_cast<std::uint8_t>(pick(0, 3) * 85);
      char text[40];
      std::snprintf(text, sizeof text,
                    "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                    bytes[0], bytes[1], bytes[2], bytes[3], bytes[4], bytes[5], bytes[6],
                    bytes[7], bytes[8], bytes[9], bytes[10], bytes[11], bytes[12], bytes[13],
                    bytes[14], bytes[15]);
      sample.text = text;
      // Stored (and sorted) with the first three groups byte-swapped.
      const int stored[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
      for (int i : stored) order.bytes.push_back(static_cast<char>(bytes[i]));
      return sample;
    }
    default:
      ADD_FAILURE() << "no samples for " << mkmdb::ColumnTypeName(column);
      return sample;
  }
  sample.text = Scaled(order.whole, 0);
  return sample;
}

struct TypeCase {
  const char* title;
  ColumnSpec column;
};

std::ostream& operator<<(std::ostream& out, const TypeCase& c) { return out << c.title; }

class KeyOrder : public testing::TestWithParam<TypeCase> {
 protected:
  testsupport::TempFolder folder_;
};

// A table of the case's column `v` and a Long `n`, with indexes on v, v descending, and (v, n
// descending); rows enough for several leaves, a tenth of the values NULL.
TEST_P(KeyOrder, LibmdbWalksEveryRowOnceInTheOrderOfTheValues) {
  const ColumnSpec& column = GetParam().column;
  const bool nullable = column.type != ColumnType::YesNo;
  std::mt19937_64 random(std::hash<std::string>()(GetParam().title));
  TableSpec table{"t", {column, {"n", ColumnType::Long}}, {}};
  table.indexes = {IndexSpec{"up", {{column.name, false}}},
                   IndexSpec{"down", {{column.name, true}}},
                   IndexSpec{"both", {{column.name, false}, {"n", true}}}};
  std::vector<Sample> samples;
  std::vector<long long> numbers;
  for (int i = 0; i < 3000; ++i) {
    Sample sample = Random(column, random);
    if (nullable && std::uniform_int_distribution<int>(0, 9)(random) == 0) sample.text.reset();
    numbers.push_back(std::uniform_int_distribution<long long>(-5, 5)(random));
    table.rows.push_back({sample.text, std::to_string(numbers.back())});
    samples.push_back(std::move(sample));
  }
  const std::string path = folder_.Path("keys.mdb");
  mkmdb::WriteDatabase(path, {table});
  testsupport::LibmdbOracle reader(path);
  ASSERT_EQ(reader.error(), "");
  const std::vector<std::uint32_t> rows = reader.RowPointers("t");
  ASSERT_EQ(rows.size(), samples.size());

  // -1, 0, 1 as row a's key sorts before, with or after row b's on the value column.
  const auto compare = [&](std::size_t a, std::size_t b) {
    const bool null_a = !samples[a].text, null_b = !samples[b].text;
    if (null_a || null_b) return null_a == null_b ? 0 : (null_a ? -1 : 1);
    if (samples[a].order == samples[b].order) return 0;
    return samples[a].order < samples[b].order ? -1 : 1;
  };
  const std::vector<std::pair<const char*, std::function<int(std::size_t, std::size_t)>>> orders = {
      {"up", compare}, {"down", [&](std::size_t a, std::size_t b) { return -compare(a, b); }},
      {"both", [&](std::size_t a, std::size_t b) {
         const int first = compare(a, b);
         if (first != 0) return first;
         return numbers[a] == numbers[b] ? 0 : (numbers[a] > numbers[b] ? -1 : 1);
       }}};
  for (const auto& [name, order] : orders) {
    std::vector<std::size_t> expected(samples.size());
    std::iota(expected.begin(), expected.end(), std::size_t{0});
    std::stable_sort(expected.begin(), expected.end(),
                     [&](std::size_t a, std::size_t b) { return order(a, b) < 0; });
    std::vector<std::uint32_t> expected_rows;
    for (std::size_t i : expected) expected_rows.push_back(rows[i]);
    EXPECT_EQ(reader.IndexOrder("t", name), expected_rows) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Types, KeyOrder,
    testing::Values(
        TypeCase{"Byte", {"v", ColumnType::Byte}}, TypeCase{"Integer", {"v", ColumnType::Integer}},
        TypeCase{"Long", {"v", ColumnType::Long}}, TypeCase{"Double", {"v", ColumnType::Double}},
        TypeCase{"Currency", {"v", ColumnType::Currency}},
        TypeCase{"Decimal", {"v", ColumnType::Decimal, 0, 28, 10}},
        TypeCase{"Guid", {"v", ColumnType::Guid}},
        TypeCase{"Single", {"v", ColumnType::Single}}, TypeCase{"YesNo", {"v", ColumnType::YesNo}},
        TypeCase{"DateTime", {"v", ColumnType::DateTime}},
        TypeCase{"Text", {"v", ColumnType::Text, 10}}),
    [](const auto& info) { return std::string(info.param.title); });

TEST(UserIndexDefinitions, LibmdbReadsNamesKindsKeysAndFlags) {
  testsupport::TempFolder folder;
  TableSpec table{"vols",
                  {{"id", ColumnType::AutoNumber}, {"marque", ColumnType::Text, 50},
                   {"Date du vol", ColumnType::DateTime}},
                  {{std::nullopt, "Airbus", "2001-01-01"}, {std::nullopt, "Boeing", std::nullopt}}};
  table.indexes = {IndexSpec{"PrimaryKey", {{"ID"}}, true, true},
                   IndexSpec{"par_marque", {{"marque"}, {"date du vol", true}}, true},
                   IndexSpec{"Par date", {{"Date du vol"}}}};
  const std::string path = folder.Path("out.mdb");
  mkmdb::WriteDatabase(path, {table});
  EXPECT_EQ(mkmdb_test::CompareAll(path, {table}), "");
  testsupport::LibmdbOracle reader(path);
  // libmdb lists them by name; flags: 1 unique, 8 required, 0x80 on every index.
  const std::vector<testsupport::OracleIndex> expected = {
      {"Par date", 0, {"Date du vol"}, 0x80},
      {"par_marque", 0, {"marque", "Date du vol desc"}, 0x81}, {"PrimaryKey", 1, {"id"}, 0x89},
  };
  EXPECT_EQ(reader.Indexes("vols"), expected);
}

// A million rows take a tree of three levels; libmdb's walk still meets every row in order.
TEST(UserIndexSizes, AMillionRowsTakeSeveralLevelsAndWalkInOrder) {
  testsupport::TempFolder folder;
  const std::vector<ColumnSpec> columns = {{"id", ColumnType::Long},
                                           {"marque", ColumnType::Text, 50}};
  mkmdb::GeneratedRows rows(columns, 1'000'000);
  const std::string path = folder.Path("big.mdb");
  mkmdb::WriteDatabaseFromSources(
      path, {{"avion", columns, &rows, "",
              {IndexSpec{"PrimaryKey", {{"id"}}, true, true},
               IndexSpec{"par_marque", {{"marque", true}}}}}});
  testsupport::LibmdbOracle reader(path);
  ASSERT_EQ(reader.error(), "");
  const std::vector<std::uint32_t> pointers = reader.RowPointers("avion");
  ASSERT_EQ(pointers.size(), 1'000'000u);
  // The ids are the row numbers: the primary key walks the rows as written.
  EXPECT_TRUE(reader.IndexOrder("avion", "PrimaryKey") == pointers);
  // "marque <n>" descending: the numbers' texts in reverse order of their digits.
  std::vector<std::string> numbers(pointers.size());
  for (std::uint32_t i = 0; i < numbers.size(); ++i) numbers[i] = std::to_string(i + 1);
  std::vector<std::uint32_t> order(pointers.size());
  std::iota(order.begin(), order.end(), 0u);
  std::sort(order.begin(), order.end(),
            [&](std::uint32_t a, std::uint32_t b) { return numbers[a] > numbers[b]; });
  std::vector<std::uint32_t> expected;
  for (std::uint32_t i : order) expected.push_back(pointers[i]);
  EXPECT_TRUE(reader.IndexOrder("avion", "par_marque") == expected);
}

// Writes table "t" with its one index at `path`, and reads back its definition and the bytes.
void WriteIndexedTable(const std::string& path, const TableSpec& table, jet::TableDefinition& definition,
                       std::string& file) {
  mkmdb::WriteDatabase(path, {table});
  std::string error;
  const auto database = jet::Database::Open(path, error);
  ASSERT_NE(database, nullptr) << error;
  ASSERT_TRUE(database->ReadDefinition("t", definition, error)) << error;
  ASSERT_EQ(definition.indexes.size(), 1u);
  file = testsupport::ReadFile(path);
}

// Entries of two Byte keys take 8 bytes (a flag and a byte each, then the row pointer): 452 fill
// a leaf's 3,616 bytes whole, and the last leaf is then written whole, without the prefix its
// entries share, as Access leaves it; with one entry more the leaf holds them only shared.
TEST(UserIndexSizes, TheLastLeafIsWholeWhenItsEntriesFitWhole) {
  testsupport::TempFolder folder;
  for (const int count : {452, 453}) {
    TableSpec table{"t", {{"a", ColumnType::Byte}, {"b", ColumnType::Byte}}, {}};
    for (int i = 0; i < count; ++i) table.rows.push_back({"7", std::to_string(i % 200)});
    table.indexes = {IndexSpec{"ab", {{"a"}, {"b"}}}};
    jet::TableDefinition definition;
    std::string file;
    WriteIndexedTable(folder.Path("leaf" + std::to_string(count) + ".mdb"), table, definition, file);
    if (HasFatalFailure()) return;
    const std::size_t at = std::size_t{definition.indexes[0].firstPage} * jet::kPageSize;
    ASSERT_LE(at + jet::kPageSize, file.size());
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(file.data() + at);
    EXPECT_EQ(bytes[0], 0x04) << count << " entries: one leaf";
    EXPECT_EQ(jet::GetU16(bytes + jet::kIndexPagePrefixLength), count == 452 ? 0 : 3) << count << " entries";
  }
}

// The pages of a tree: each level a chain linked both ways, the root alone on its level and
// pointing to the last leaf, every page naming its table.
TEST(UserIndexSizes, PagesOfATreeLinkTheirLevelBothWays) {
  testsupport::TempFolder folder;
  TableSpec table{"t", {{"n", ColumnType::Long}}, {}};
  for (int i = 0; i < 3000; ++i) table.rows.push_back({std::to_string(i)});
  table.indexes = {IndexSpec{"by_n", {{"n"}}}};
  jet::TableDefinition definition;
  std::string file;
  WriteIndexedTable(folder.Path("tree.mdb"), table, definition, file);
  if (HasFatalFailure()) return;
  const auto field = [&](std::uint32_t page, std::size_t at) {
    return jet::GetU32(reinterpret_cast<const std::uint8_t*>(file.data()) + std::size_t{page} * jet::kPageSize + at);
  };
  // Every index page of the table, by level: next and previous links of each.
  std::map<std::uint32_t, std::pair<std::uint32_t, std::uint32_t>> leaves, nodes;
  for (std::uint32_t page = 1; page < file.size() / jet::kPageSize; ++page) {
    const auto type = static_cast<std::uint8_t>(file[std::size_t{page} * jet::kPageSize]);
    if ((type != jet::kPageIndexLeaf && type != jet::kPageIndexNode) ||
        field(page, jet::kIndexPageTable) != definition.definitionPage) {
      continue;
    }
    (type == jet::kPageIndexLeaf ? leaves : nodes)[page] = {field(page, jet::kIndexPagePrevious),
                                                            field(page, jet::kIndexPageNext)};
    if (type == jet::kPageIndexLeaf) {
      EXPECT_EQ(field(page, jet::kIndexPageTail), 0u) << "leaf " << page;
    }
  }
  ASSERT_GT(leaves.size(), 2u);
  const std::uint32_t root = definition.indexes.at(0).firstPage;
  ASSERT_TRUE(nodes.count(root));
  EXPECT_EQ(nodes[root], std::make_pair(0u, 0u));
  std::uint32_t tail = 0;
  for (const auto* level : {&leaves, &nodes}) {
    std::size_t met = 0;
    std::uint32_t previous = 0;
    for (auto at = std::find_if(level->begin(), level->end(), [](const auto& p) { return p.second.first == 0; });
         at != level->end(); at = level->find(at->second.second)) {
      EXPECT_EQ(at->second.first, previous) << "page " << at->first;
      previous = at->first;
      ++met;
      if (at->second.second == 0) break;
    }
    EXPECT_EQ(met, level->size()) << "a level's chain misses pages";
    if (level == &leaves) tail = previous;
  }
  EXPECT_EQ(field(root, jet::kIndexPageTail), tail);
}

TEST(UserIndexErrors, RefusedIndexesAndKeysSayWhy) {
  testsupport::TempFolder folder;
  const std::vector<ColumnSpec> columns = {{"id", ColumnType::Long},
                                           {"nom", ColumnType::Text, 255},
                                           {"notes", ColumnType::Memo},
                                           {"code", ColumnType::Binary, 4}};
  const auto table = [&](std::vector<IndexSpec> indexes, std::vector<std::vector<Value>> rows) {
    return TableSpec{"t", columns, std::move(rows), "", std::move(indexes)};
  };
  std::vector<IndexSpec> many;
  for (int i = 0; i < 33; ++i) many.push_back({"i" + std::to_string(i), {{"id"}}});
  // Keys of up to 1024 bytes: four Text(255) columns of letters beyond ASCII take 3 bytes a
  // character in the key.
  TableSpec wide{"w", {}, {{}}};
  std::vector<mkmdb::IndexColumn> keys;
  for (int i = 0; i < 4; ++i) {
    wide.columns.push_back({"c" + std::to_string(i), ColumnType::Text, 255});
    keys.push_back({"c" + std::to_string(i)});
    wide.rows[0].push_back(mkmdb_test::Repeat("é", 100));
  }
  wide.indexes = {{"large", keys}};
  const struct {
    TableSpec table;
    std::string message;
  } cases[] = {
      {table({{"u", {{"id"}}, true}}, {{"1", "a", "", ""}, {"2", "b", "", ""}, {"1", "c", "", ""}}),
       "table t: index \"u\" is unique, but rows 1 and 3 have the same key"},
      {table({{"PrimaryKey", {{"nom"}}, true, true}}, {{"1", std::nullopt, "", ""}}),
       "column \"nom\" is part of the primary key \"PrimaryKey\" and cannot be NULL"},
      {table({{"i", {{"nom", false}, {"nom", true}}}}, {}), "column \"nom\" is named twice"},
      {table({{"i", {{"absent"}}}}, {}), "the table has no column \"absent\""},
      {table({{"i", {{"notes"}}}}, {}), "column \"notes\" is of type memo"},
      {table({{"i", {{"code"}}}}, {}), "column \"code\" is of type binary(4)"},
      {table({{"i", {}}}, {}), "an index has 1 to 10 columns, not 0"},
      {table({{"i", {{"id"}}}, {"I", {{"nom"}}}}, {}), "index name \"I\" is used twice"},
      {table({{"a", {{"id"}}, true, true}, {"b", {{"nom"}}, true, true}}, {}),
       "has more than one primary key"},
      {table(many, {}), "t has 33 indexes; a table has at most 32"},
      {table({{"bad.name", {{"id"}}}}, {}), "holds one of the characters"},
      {wide, "takes 1212 bytes; an index key holds at most 1024"},
  };
  for (const auto& c : cases) {
    const std::string message = mkmdb_test::MessageOf<mkmdb::WriterError>(
        [&] { mkmdb::WriteDatabase(folder.Path("out.mdb"), {c.table}); });
    EXPECT_NE(message.find(c.message), std::string::npos) << message << " lacks " << c.message;
  }
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{});
}

struct TableSet {
  std::string title;
  std::string prefix;  // table i is named prefix + i, zero-padded to four digits
  int count;
};

std::ostream& operator<<(std::ostream& out, const TableSet& set) { return out << set.title; }

std::int32_t Long(const testsupport::OracleCell& cell) {
  std::int32_t value = 0;
  if (cell.raw.size() == sizeof value) std::memcpy(&value, cell.raw.data(), sizeof value);
  return value;
}

std::vector<std::uint32_t> Sorted(std::vector<std::uint32_t> pointers) {
  std::sort(pointers.begin(), pointers.end());
  return pointers;
}

class SystemIndexes : public testing::TestWithParam<TableSet> {};

TEST_P(SystemIndexes, MeetEveryRowOnceInKeyOrder) {
  testsupport::TempFolder folder;
  std::vector<TableSpec> tables;
  for (int i = 1; i <= GetParam().count; ++i) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%04d", i);
    tables.push_back({GetParam().prefix + digits, {{"c", ColumnType::Long}}, {}});
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
    EXPECT_EQ(Sorted(walked), Sorted(rows)) << index << ": not every row once";
    if (Sorted(walked) != Sorted(rows)) continue;
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
  const std::vector<std::uint32_t> access = Sorted(reader.IndexOrder("MSysACEs", "ObjectId"));
  EXPECT_EQ(access, Sorted(reader.RowPointers("MSysACEs")));
  EXPECT_EQ(access.size(), 49u + 3 * tables.size());
}

// 16 catalog rows fit one leaf page; 2000 short names need leaves under a node page; 400 names
// of 64 Cyrillic letters, whose keys take 3 bytes a letter, need two levels of node pages.
INSTANTIATE_TEST_SUITE_P(
    Tables, SystemIndexes,
    testing::Values(TableSet{"None", "t", 0}, TableSet{"One", "t", 1},
                    TableSet{"TwoThousand", "table number ", 2000},
                    TableSet{"FourHundredLongCyrillicNames", mkmdb_test::Repeat("Ж", 60), 400}),
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
