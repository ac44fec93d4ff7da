// The catalog in full: the properties of tables and columns (as the writer stored them, and as
// mdb-prop reads them from files Access made), property blobs damaged byte by byte, the
// relationships of MSysRelationships (against mdb-export on an Access 97 file, and damaged row
// by row), and where links lead.
#include <map>
#include <sstream>
#include <tuple>

#include <gtest/gtest.h>

#include "tests/support/file_edit.h"
#include "tests/support/fixtures.h"
#include "jet/file_context.h"
#include "jet/relationships.h"
#include "property_blob.h"
#include "round_trip.h"
#include "sample_files.h"
#include "tests/support/temp_folder.h"

namespace jettest {
namespace {

using testsupport::FileEdit;

using Groups = std::map<std::string, std::map<std::string, std::string>>;  // group, name: value

std::unique_ptr<jet::Database> OpenBytes(const std::string& bytes) {
  std::string error;
  auto database = jet::Database::OpenBytes(bytes, error);
  EXPECT_NE(database, nullptr) << error;
  return database;
}

std::vector<mkmdb::TableSpec> RelatedAndPlainTables() {
  std::vector<mkmdb::TableSpec> tables = RelatedTables();
  tables.push_back(EveryTypeTable());  // no properties at all
  return tables;
}

std::string RelatedBytes() { return DatabaseBytes(RelatedAndPlainTables(), RelatedCatalog()); }

TEST(PropertiesTest, WhatTheWriterStoresReadsBack) {
  auto database = OpenBytes(RelatedBytes());
  ASSERT_NE(database, nullptr);
  for (const mkmdb::TableSpec& table : RelatedAndPlainTables()) {
    jet::ObjectProperties read;
    std::string error;
    ASSERT_TRUE(database->ReadProperties(table.name, read, error)) << error;
    EXPECT_EQ(read.object.Text("Description").value_or(""), table.description) << table.name;
    for (const mkmdb::ColumnSpec& column : table.columns) {
      const std::string where = table.name + "." + column.name;
      const jet::PropertyGroup* group = read.Column(column.name);
      const bool any = !column.description.empty() || column.default_value || column.required;
      ASSERT_EQ(group != nullptr, any) << where;
      if (group == nullptr) continue;
      EXPECT_EQ(group->Text("Description").value_or(""), column.description) << where;
      EXPECT_EQ(group->Text("DefaultValue"), column.default_value) << where;
      EXPECT_EQ(group->YesNo("Required").value_or(false), column.required) << where;
    }
  }
}

// mdb-prop's report of an object: "name: GROUP" lines ("(none)" for the object itself), then a
// tab and "Name: value" for each property.
Groups MdbProp(const std::string& path, const std::string& object) {
  const mkmdb_test::ProgramResult run = mkmdb_test::RunProgram({MDB_PROP, path, object});
  Groups groups;
  bool inGroup = false;
  std::string current, line;
  std::istringstream lines(run.out);
  while (std::getline(lines, line)) {
    if (line.rfind("name: ", 0) == 0) {
      current = line.substr(6) == "(none)" ? "" : line.substr(6);
      inGroup = true;
      groups[current];
    } else if (inGroup && line.size() > 1 && line[0] == '\t') {
      const std::size_t colon = line.find(": ");
      if (colon != std::string::npos) groups[current][line.substr(1, colon - 1)] = line.substr(colon + 2);
    }
  }
  return groups;
}

// The properties as mdb-prop shows them; values of kinds it shows otherwise (numbers with a
// fraction, GUIDs, bytes) are left out.
Groups Shown(const jet::ObjectProperties& read) {
  Groups groups;
  auto add = [&](const jet::PropertyGroup& group) {
    auto& shown = groups[group.name];
    for (const jet::Property& p : group.properties) {
      if (p.value.kind == jet::ValueKind::Text) shown[p.name] = p.value.bytes;
      if (p.value.kind == jet::ValueKind::Bool) shown[p.name] = p.value.integer != 0 ? "yes" : "no";
      if (p.value.kind == jet::ValueKind::Integer) shown[p.name] = std::to_string(p.value.integer);
    }
  };
  add(read.object);
  for (const jet::PropertyGroup& group : read.columns) add(group);
  return groups;
}

TEST(PropertiesTest, AgreeWithMdbPropOnAccessMadeAndWriterMadeFiles) {
  if (std::string(MDB_PROP).empty()) GTEST_SKIP() << "mdb-prop (mdbtools) is not installed";
  const testsupport::TempFolder folder("jet-properties");
  const std::string written = folder.Path("related.mdb");
  testsupport::WriteFile(written, RelatedBytes());
  std::vector<std::string> files = {written};
  for (const char* fixture : {"jet3-sample.mdb", "access-made-jet4.mdb"}) {
    if (testsupport::HaveFixture(fixture)) files.push_back(testsupport::FixturePath(fixture));
  }
  int compared = 0;
  for (const std::string& path : files) {
    std::string error;
    auto database = jet::Database::Open(path, error);
    ASSERT_NE(database, nullptr) << error;
    for (const jet::CatalogTable& table : database->Tables()) {
      if (table.system || table.linked) continue;
      jet::ObjectProperties read;
      ASSERT_TRUE(database->ReadProperties(table.name, read, error)) << path << " " << error;
      // mdb-prop shows the first object of the name (a form of the same name has no columns),
      // and for a table without properties, those of the row it read before.
      if (read.object.properties.empty() && read.columns.empty()) continue;
      const Groups oracle = MdbProp(path, table.name);
      if (!read.columns.empty() && oracle.size() <= 1) continue;
      const Groups shown = Shown(read);
      ASSERT_EQ(shown.size(), oracle.size()) << path << " " << table.name;
      for (const auto& [group, properties] : shown) {
        ASSERT_EQ(oracle.count(group), 1u) << path << " " << table.name << " group " << group;
        for (const auto& [name, value] : properties) {
          EXPECT_EQ(oracle.at(group).count(name) ? oracle.at(group).at(name) : "(missing)", value)
              << path << " " << table.name << "." << group << " " << name;
        }
      }
      ++compared;
    }
  }
  std::remove(written.c_str());
  std::printf("mdb-prop agrees on the properties of %d tables of %zu files\n", compared, files.size());
  EXPECT_GE(compared, 3);
}

// The offsets of a blob's parts, found by walking it: its first name, the object's group and
// its first property.
struct BlobParts {
  std::size_t namesBlock = 4, firstName = 10, objectBlock = 0, objectGroup = 0, firstEntry = 0;
  explicit BlobParts(const std::vector<std::uint8_t>& blob) {
    objectBlock = namesBlock + jet::GetU32(blob.data() + namesBlock);
    objectGroup = objectBlock + 6;
    firstEntry = objectGroup + jet::GetU32(blob.data() + objectGroup);
  }
};

std::vector<std::uint8_t> SampleBlob() {
  const std::vector<mkmdb::TableSpec> tables = RelatedTables();
  return mkmdb::BuildPropertyBlob(tables[0].name, tables[0].description, tables[0].columns);
}

TEST(PropertiesTest, DamagedBlobsFailSayingWhatIsBroken) {
  const std::vector<std::uint8_t> good = SampleBlob();
  const BlobParts at(good);
  jet::FileContext file;  // Jet 4: names and text in UTF-16
  const struct {
    const char* title;
    std::size_t offset;
    std::vector<std::uint8_t> bytes;
    const char* expected;
  } cases[] = {
      {"another signature", 0, {'X'}, "does not start with KKD or MR2"},
      {"block past the blob", at.namesBlock, {0xFF, 0xFF, 0, 0}, "declares 65535 bytes"},
      {"block shorter than its header", at.namesBlock, {3, 0, 0, 0}, "declares 3 bytes"},
      {"name past its block", at.firstName, {0xFF, 0x7F}, "past the end of its block"},
      {"group header past its block", at.objectGroup, {0xFF, 0xFF, 0, 0}, "declares a header of 65535"},
      {"group name longer than its header", at.objectGroup + 4, {0x40, 0}, "for a name of 64"},
      {"property shorter than its value", at.firstEntry, {9, 0}, "declares 9 bytes for a value of"},
      {"property naming no name", at.firstEntry + 4, {0xF4, 0x01}, "names property 500 of the"},
      {"block header cut short", good.size(), {6, 0, 0}, "is cut short"},
  };
  for (const auto& c : cases) {
    std::vector<std::uint8_t> blob = good;
    blob.resize(std::max(blob.size(), c.offset + c.bytes.size()));
    std::copy(c.bytes.begin(), c.bytes.end(), blob.begin() + static_cast<std::ptrdiff_t>(c.offset));
    jet::ObjectProperties read;
    std::string error;
    EXPECT_FALSE(jet::ParseProperties(file, blob.data(), blob.size(), read, error)) << c.title;
    EXPECT_NE(error.find(c.expected), std::string::npos) << c.title << ": " << error;
  }
  // Every byte changed three ways, and every length cut short: an answer or a reason, never a
  // read outside the blob (the sanitizers watch).
  int failed = 0, read = 0;
  auto parse = [&](const std::vector<std::uint8_t>& blob, const std::string& what) {
    jet::ObjectProperties out;
    std::string error;
    if (jet::ParseProperties(file, blob.data(), blob.size(), out, error)) {
      ++read;
    } else {
      ++failed;
      EXPECT_FALSE(error.empty()) << what;
    }
  };
  for (std::size_t i = 0; i < good.size(); ++i) {
    for (std::uint8_t change : {std::uint8_t{0x00}, std::uint8_t{0xFF}, static_cast<std::uint8_t>(good[i] ^ 0x80)}) {
      std::vector<std::uint8_t> blob = good;
      blob[i] = change;
      parse(blob, "byte " + std::to_string(i) + " = " + std::to_string(change));
    }
    parse(std::vector<std::uint8_t>(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(i)),
          "cut to " + std::to_string(i));
  }
  EXPECT_GT(failed, 0);
  EXPECT_GT(read, 0);
}

TEST(RelationshipsTest, WhatTheWriterStoresReadsBack) {
  auto database = OpenBytes(RelatedBytes());
  ASSERT_NE(database, nullptr);
  std::vector<jet::Relationship> read;
  std::string error;
  ASSERT_TRUE(jet::ReadRelationships(*database, read, error)) << error;
  const mkmdb::CatalogSpec catalog = RelatedCatalog();
  ASSERT_EQ(read.size(), catalog.relationships.size());
  for (std::size_t i = 0; i < read.size(); ++i) {
    const mkmdb::RelationshipSpec& r = catalog.relationships[i];
    const jet::Relationship& got = read[i];
    EXPECT_EQ(std::tie(got.name, got.foreignTable, got.primaryTable, got.foreignColumns,
                       got.primaryColumns),
              std::tie(r.name, r.foreign_table, r.primary_table, r.foreign_columns,
                       r.primary_columns));
    EXPECT_EQ(std::tuple(got.Enforced(), (got.flags & jet::kRelationshipCascadeUpdates) != 0,
                         (got.flags & jet::kRelationshipCascadeDeletes) != 0),
              std::tuple(r.enforced, r.cascade_updates, r.cascade_deletes));
  }
}

TEST(RelationshipsTest, AgreeWithMdbExportOnAnAccess97File) {
  SKIP_WITHOUT_FIXTURE("jet3-sample.mdb");
  const std::string path = testsupport::FixturePath("jet3-sample.mdb");
  if (std::string(MDB_EXPORT).empty()) GTEST_SKIP() << "mdb-export (mdbtools) is not installed";
  const auto rows =
      mkmdb_test::ParseCsv(mkmdb_test::RunProgram({MDB_EXPORT, path, "MSysRelationships"}).out);
  ASSERT_GT(rows.size(), 1u);
  // name, flags, foreign table and column, primary table and column, by place
  std::map<std::string, std::vector<std::string>> expected;
  for (std::size_t r = 1; r < rows.size(); ++r) {
    const auto& f = rows[r];
    auto& pairs = expected[f[0]];
    if (pairs.empty()) pairs = {f[1], f[4], f[6]};
    pairs.push_back(f[3] + ":" + f[5] + "=" + f[7]);
  }
  std::string error;
  auto database = jet::Database::Open(path, error);
  ASSERT_NE(database, nullptr) << error;
  std::vector<jet::Relationship> read;
  ASSERT_TRUE(jet::ReadRelationships(*database, read, error)) << error;
  std::map<std::string, std::vector<std::string>> got;
  for (const jet::Relationship& r : read) {
    auto& pairs = got[r.name];
    pairs = {std::to_string(r.flags), r.foreignTable, r.primaryTable};
    for (std::size_t i = 0; i < r.foreignColumns.size(); ++i) {
      pairs.push_back(std::to_string(i) + ":" + r.foreignColumns[i] + "=" + r.primaryColumns[i]);
    }
  }
  EXPECT_EQ(got, expected);
  EXPECT_EQ(got.size(), 7u);
}

TEST(RelationshipsTest, DamagedRowsFailNamingTheRelationship) {
  const std::string base = RelatedBytes();
  const std::string table = "MSysRelationships";
  const struct {
    const char* title;
    const char* column;
    std::int32_t value;
    int rows;  // the first `rows` rows of the two-column key
    const char* expected;
  } cases[] = {
      {"no pairs", "ccolumn", 0, 1, "\"makerplane\" declares 0 pairs of columns"},
      {"more pairs than a key has", "ccolumn", 11, 2, "declares 11 pairs of columns"},
      {"a place past the pairs", "icolumn", 5, 1, "pair of columns at place 5 of 2"},
      {"a negative place", "icolumn", -1, 1, "pair of columns at place -1 of 2"},
      {"two pairs in one place", "icolumn", 1, 1, "two pairs of columns at place 1"},
      {"rows that disagree on the count", "ccolumn", 3, 1, "rows that disagree"},
      {"rows that disagree on the flags", "grbit", 0, 1, "rows that disagree"},
      {"a pair missing", "ccolumn", 3, 2, "no pair of columns at place 2 of 3"},
  };
  for (const auto& c : cases) {
    FileEdit edit(base);
    const std::size_t first = edit.RowWithText(table, "szRelationship", "makerplane");
    for (int r = 0; r < c.rows; ++r) {
      jet::PutU32(edit.FixedValue(table, first + static_cast<std::size_t>(r), edit.ColumnNamed(table, c.column)),
                  static_cast<std::uint32_t>(c.value));
    }
    auto database = OpenBytes(edit.bytes());
    ASSERT_NE(database, nullptr) << c.title;
    std::vector<jet::Relationship> read;
    std::string error;
    EXPECT_FALSE(jet::ReadRelationships(*database, read, error)) << c.title;
    EXPECT_EQ(error.rfind("table \"MSysRelationships\": ", 0), 0u) << c.title << ": " << error;
    EXPECT_NE(error.find(c.expected), std::string::npos) << c.title << ": " << error;
  }
}

TEST(LinksTest, TheCatalogSaysWhereEachLinkLeads) {
  auto database = OpenBytes(RelatedBytes());
  ASSERT_NE(database, nullptr);
  for (const mkmdb::LinkSpec& link : RelatedCatalog().links) {
    const jet::CatalogTable* found = nullptr;
    for (const jet::CatalogTable& table : database->Tables()) {
      if (table.name == link.name) found = &table;
    }
    ASSERT_NE(found, nullptr) << link.name;
    EXPECT_EQ(std::tuple(found->linked, found->system, found->link.odbc, found->link.file,
                         found->link.table, found->link.connect),
              std::tuple(true, false, !link.connect.empty(), link.file, link.table, link.connect));
    jet::TableDefinition definition;
    std::string error;
    EXPECT_FALSE(database->ReadDefinition(link.name, definition, error));
    EXPECT_NE(error.find("is a link to table \"" + link.table + "\""), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace jettest
