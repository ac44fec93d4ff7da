// A database the writer makes against the database Access made (the fixture), structure by
// structure: the catalog's objects, the definitions of the system tables and of their indexes,
// the keys of the catalog's name index, page 0 and page 1. A failure names both sides; the
// differences that are meant are listed here, and any other fails.
#include <gtest/gtest.h>
#include "tests/support/fixtures.h"

#include <algorithm>
#include <cstring>
#include <ctime>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/libmdb_oracle.h"
#include "mdb_writer.h"
#include "jet/rc4.h"
#include "round_trip.h"
#include "tests/support/temp_folder.h"

namespace {

using mkmdb::ColumnType;
using mkmdb::TableSpec;
using mkmdb_test::HexText;

constexpr std::size_t kPage = 4096;
const std::string kFixture = testsupport::FixturePath("access-made-jet4.mdb");

// Objects in the fixture's catalog that a new file does not hold: the user's table and what the
// Access application adds for itself when it opens a file (its storage of forms and modules, the
// navigation pane's tables and their two relationships, and a table of the theme it attached).
const std::vector<std::string> kFixtureOnlyTables = {
    "DateTest", "MSysAccessStorage", "MSysNavPaneGroupCategories", "MSysNavPaneGroups",
    "MSysNavPaneGroupToObjects", "MSysNavPaneObjectIDs", "f_75A72A8786B149369D90EB962DAB8A2C_Data"};
const std::set<std::string> kFixtureOnlyRelationships = {
    "MSysNavPaneGroupCategoriesMSysNavPaneGroups", "MSysNavPaneGroupsMSysNavPaneGroupToObjects"};
// Catalog columns left NULL on purpose: the property blobs Access keeps on MSysDb (its own
// version and options) and on SummaryInfo (title, author, company of the fixture's maker).
const std::set<std::string> kPropertiesOnlyInFixture = {"MSysDb", "SummaryInfo"};

std::uint32_t U32(const std::string& bytes, std::size_t at) {
  std::uint32_t value = 0;
  if (at + 4 <= bytes.size()) std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

// One catalog row, as compared: everything but the dates and, for tables, the Id (their
// definition page).
struct CatalogRow {
  std::string name, type, parent, id, flags, owner, properties;
  bool operator==(const CatalogRow&) const = default;
};

std::string Describe(const CatalogRow& row) {
  return row.name + " type " + row.type + " parent " + row.parent + " id " + row.id + " flags " +
         row.flags + " owner " + HexText(row.owner.data(), row.owner.size()) + " properties " +
         row.properties;
}

std::map<std::string, CatalogRow> CatalogOf(const std::string& path) {
  std::map<std::string, CatalogRow> rows;
  testsupport::LibmdbOracle reader(path);
  const auto table = reader.Read("MSysObjects");
  if (!table) return rows;
  auto hex32 = [](const testsupport::OracleCell& cell) {
    std::ostringstream out;
    out << std::hex << U32(std::string(cell.raw.begin(), cell.raw.end()), 0);
    return out.str();
  };
  for (const auto& r : table->rows) {
    // Columns by number: Id, ParentId, Name, Type, DateCreate, DateUpdate, Owner, Flags, ...,
    // LvProp (14).
    CatalogRow row{r[2].text, r[3].text,  hex32(r[1]), r[3].text == "1" ? "(page)" : hex32(r[0]),
                   hex32(r[7]), r[6].text, r[14].is_null ? "none" : "some"};
    rows[row.name] = row;
  }
  return rows;
}

// The entries of a single-leaf index page, without their row pointers.
std::set<std::string> LeafKeys(const std::string& file, std::uint32_t page) {
  std::set<std::string> keys;
  const std::string p = file.substr(page * kPage, kPage);
  std::size_t start = 0x1E0;
  for (std::size_t bit = 0; bit < (0x1E0 - 0x1B) * 8; ++bit) {
    if ((static_cast<unsigned char>(p[0x1B + bit / 8]) >> (bit % 8)) & 1) {
      const std::size_t end = 0x1E0 + bit;
      keys.insert(p.substr(start, end - start - 4));
      start = end;
    }
  }
  return keys;
}

// Indexes as "name(key,key) kind K flags 0xF; " each.
std::string IndexesText(const std::vector<testsupport::OracleIndex>& indexes) {
  std::ostringstream out;
  for (const auto& index : indexes) {
    out << index.name << "(";
    for (const auto& key : index.keys) out << (&key == &index.keys[0] ? "" : ",") << key;
    out << ") kind " << index.kind << " flags 0x" << std::hex << index.flags << std::dec << "; ";
  }
  return out.str();
}

std::string DecodedHeader(const std::string& file) {
  std::string page = file.substr(0, kPage);
  static constexpr std::uint8_t kKey[] = {0xC7, 0xDA, 0x39, 0x6B};
  jet::Rc4Apply(kKey, std::span(reinterpret_cast<std::uint8_t*>(page.data()) + 0x18, 128));
  return page;
}

double CreationDate(const std::string& header) {
  double day = 0;
  std::memcpy(&day, header.data() + 0x72, sizeof day);
  return day;
}

std::string LocalTimeText(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

class AccessLayout : public testing::Test {
 protected:
  void SetUp() override {
    SKIP_WITHOUT_FIXTURE("access-made-jet4.mdb");
    before_ = std::time(nullptr);
    mkmdb::WriteDatabase(Empty(), {});
    after_ = std::time(nullptr);
  }
  std::string Empty() const { return folder_.Path("empty.mdb"); }

  testsupport::TempFolder folder_;
  std::time_t before_ = 0, after_ = 0;
};

TEST_F(AccessLayout, TheCatalogListsTheObjectsAccessCreates) {
  const auto access = CatalogOf(kFixture);
  const auto written = CatalogOf(Empty());
  ASSERT_FALSE(access.empty());
  for (const auto& [name, row] : access) {
    const auto mine = written.find(name);
    if (std::count(kFixtureOnlyTables.begin(), kFixtureOnlyTables.end(), name) ||
        kFixtureOnlyRelationships.count(name)) {
      EXPECT_EQ(mine, written.end()) << name << " is not meant to be in a new file";
      continue;
    }
    ASSERT_NE(mine, written.end()) << "missing: " << Describe(row);
    CatalogRow expected = row;
    if (kPropertiesOnlyInFixture.count(name)) expected.properties = "none";
    EXPECT_EQ(Describe(mine->second), Describe(expected));
  }
  for (const auto& [name, row] : written) {
    EXPECT_TRUE(access.count(name)) << "not in the Access-made file: " << Describe(row);
  }
}

TEST_F(AccessLayout, SystemTablesHaveTheIndexesAccessDefines) {
  testsupport::LibmdbOracle access(kFixture);
  testsupport::LibmdbOracle written(Empty());
  for (const char* table : {"MSysObjects", "MSysACEs", "MSysQueries", "MSysRelationships"}) {
    const auto theirs = access.Indexes(table);
    ASSERT_FALSE(theirs.empty()) << table;
    EXPECT_EQ(IndexesText(written.Indexes(table)), IndexesText(theirs)) << table;
  }
}

// The definition pages of the four system tables are the same bytes, but for the row count and
// each index's count of distinct keys.
TEST_F(AccessLayout, SystemTableDefinitionsAreAccesssOwn) {
  const std::string theirs = testsupport::ReadFile(kFixture);
  const std::string mine = testsupport::ReadFile(Empty());
  for (std::uint32_t page = 2; page <= 5; ++page) {
    const std::string a = theirs.substr(page * kPage, kPage);
    const std::string b = mine.substr(page * kPage, kPage);
    const std::size_t indexes = U32(a, 0x33);
    std::set<std::size_t> counts = {0x10, 0x11, 0x12, 0x13};
    for (std::size_t i = 0; i < indexes; ++i) {
      for (std::size_t k = 0; k < 4; ++k) counts.insert(0x3F + 12 * i + 4 + k);
    }
    std::vector<std::size_t> differ;
    for (std::size_t i = 0; i < kPage; ++i) {
      if (a[i] != b[i] && !counts.count(i)) differ.push_back(i);
    }
    EXPECT_TRUE(differ.empty()) << "page " << page << ", first at 0x" << std::hex
                                << (differ.empty() ? 0 : differ[0]);
  }
}

// A file with user tables named as the fixture's hold, for each name in both, the same entry
// key in the catalog's (ParentId, Name) index.
TEST_F(AccessLayout, CatalogNameKeysAreAccesssOwn) {
  std::vector<TableSpec> tables;
  for (const std::string& name : kFixtureOnlyTables) {
    tables.push_back({name, {{"c", ColumnType::Long}}, {}});
  }
  const std::string path = folder_.Path("named.mdb");
  mkmdb::WriteDatabase(path, tables);
  const auto theirs = LeafKeys(testsupport::ReadFile(kFixture), 7);
  const auto mine = LeafKeys(testsupport::ReadFile(path), 7);
  ASSERT_EQ(mine.size(), 16u + tables.size());
  for (const auto& key : mine) EXPECT_TRUE(theirs.count(key)) << HexText(key.data(), key.size());
  // Only the two relationships of the navigation pane are Access's alone.
  EXPECT_EQ(theirs.size(), mine.size() + 2);
}

TEST_F(AccessLayout, PageZeroIsAccesssButForTheDateAndItsPasswordMask) {
  const std::string theirs = DecodedHeader(testsupport::ReadFile(kFixture));
  const std::string mine = DecodedHeader(testsupport::ReadFile(Empty()));
  const double created = CreationDate(mine);
  const double earliest = mkmdb_test::ExpectedDayNumber(LocalTimeText(before_));
  const double latest = mkmdb_test::ExpectedDayNumber(LocalTimeText(after_));
  EXPECT_GE(created, earliest);
  EXPECT_LE(created, latest + 1.0 / 86400);
  // The empty password, masked with the whole days of the date, in both.
  for (const std::string* header : {&theirs, &mine}) {
    for (std::size_t at = 0x42; at < 0x6A; at += 4) {
      EXPECT_EQ(U32(*header, at), static_cast<std::uint32_t>(CreationDate(*header)))
          << (header == &mine ? "writer-made" : "Access-made") << " at 0x" << std::hex << at;
    }
  }
  std::vector<std::size_t> differ;
  for (std::size_t i = 0; i < kPage; ++i) {
    const bool dated = (i >= 0x42 && i < 0x6A) || (i >= 0x72 && i < 0x7A);
    if (!dated && theirs[i] != mine[i]) differ.push_back(i);
  }
  EXPECT_TRUE(differ.empty()) << "first at 0x" << std::hex << (differ.empty() ? 0 : differ[0]);
}

// Page 1 holds two map rows, as Access lays it out; no page of the file is marked free.
TEST_F(AccessLayout, PageOneHoldsTwoMapRowsAndMarksNoPageOfTheFileFree) {
  for (const std::string& path : {kFixture, Empty()}) {
    const std::string file = testsupport::ReadFile(path);
    const std::string page = file.substr(kPage, kPage);
    const std::size_t pages = file.size() / kPage;
    ASSERT_EQ(page[0], 0x01) << path;
    EXPECT_EQ(U32(page, 4), 1u) << "owner";
    ASSERT_EQ(U32(page, 12) & 0xFFFF, 2u) << "rows";
    const std::size_t first = U32(page, 14) & 0x1FFF;
    const std::size_t second = U32(page, 16) & 0x1FFF;
    EXPECT_EQ(kPage - first, 69u);
    EXPECT_EQ(first - second, 69u);
    EXPECT_EQ(page.substr(first, 5), std::string(5, '\0')) << "inline map from page 0";
    std::size_t lowest_free = 512;
    for (std::size_t p = 0; p < 512; ++p) {
      if ((static_cast<unsigned char>(page[first + 5 + p / 8]) >> (p % 8)) & 1) {
        lowest_free = std::min(lowest_free, p);
      }
    }
    EXPECT_GE(lowest_free, pages) << path;
    EXPECT_EQ(page.substr(second, 69), std::string(69, '\0')) << "the second row is empty";
  }
}

}  // namespace
