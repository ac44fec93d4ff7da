// Our reader against mdbtools' libmdb on the same files, value by value and index by index:
// writer-made files of every type and memo kind, plain and with their pages encoded (which
// libmdb decodes too), the Access-made Jet 4 fixture and the Jet 3 one. (The fixtures encoded
// are compared through mdb-export in protection_test.cpp: libmdb takes minutes over them under
// the sanitizers.) Where libmdb is
// wrong the difference is listed below and checked to be exactly that:
//
// 1. Dates before 1899-12-30 or after day 1,000,000 (4637-11-25): libmdb leaves them
//    unconverted and gives "1900-01-00 00:00:00".
// 2. Characters outside the Basic Multilingual Plane: libmdb gives "?" for each UTF-16 unit.
// 3. Numbers of Single and Double columns: libmdb gives 8 and 16 significant digits, so it
//    rounds; the largest double 1.7976931348623157e308 comes out as 1.797693134862316e+308,
//    beyond the largest double. Our values are compared in libmdb's rounding.
// 4. Foreign key indexes: libmdb gives them no key columns and no flags; ours carry the keys
//    and flags of the index data they use, as every other index does.
// 5. Replication IDs: libmdb leaves out the dash before the last group of digits
//    ({01234567-89AB-CDEF-0123456789ABCDEF}).
// 6. Binary values: libmdb cuts them at their first zero byte, as if they were text.
#include <algorithm>
#include <cstdio>

#include <mdbtools.h>

#include <gtest/gtest.h>

#include "jet/database.h"
#include "jet/date_time.h"
#include "sample_files.h"
#include "value_text.h"
#include "tests/support/fixtures.h"
#include "tests/support/libmdb_oracle.h"
#include "tests/support/temp_folder.h"

namespace jettest {
namespace {

using testsupport::OracleCell;

constexpr char kUnconvertedDate[] = "1900-01-00 00:00:00";

// Text as libmdb gives it: each character outside the BMP as two question marks.
std::string WithoutAstralCharacters(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((static_cast<unsigned char>(text[i]) & 0xF8) == 0xF0) {
      out += "??";
      i += 3;
    } else {
      out.push_back(text[i]);
    }
  }
  return out;
}

// An index as one line: "name: primary key, unique (column, column desc)", naming the kinds
// that apply (primary key, foreign key, unique).
std::string IndexText(const std::string& name, bool primaryKey, bool foreignKey, bool unique,
                      const std::vector<std::string>& keys) {
  std::string kinds;
  for (const auto& [applies, kind] : {std::pair{primaryKey, "primary key"},
                                      std::pair{foreignKey, "foreign key"},
                                      std::pair{unique, "unique"}}) {
    if (applies) kinds += (kinds.empty() ? "" : ", ") + std::string(kind);
  }
  std::string text = name + ":" + (kinds.empty() ? "" : " " + kinds) + " (";
  for (std::size_t i = 0; i < keys.size(); ++i) text += (i > 0 ? ", " : "") + keys[i];
  return text + ")";
}

// Whether libmdb's `cell` says the same as our `value`; `why` tells what was compared.
bool Same(const jet::Value& value, int type, const OracleCell& cell, std::string& why) {
  if (value.kind == jet::ValueKind::Null || cell.is_null) {
    why = "NULL";
    return value.kind == jet::ValueKind::Null && cell.is_null;
  }
  char text[64];
  switch (value.kind) {
    case jet::ValueKind::Bool:
    case jet::ValueKind::Integer:
      why = std::to_string(value.integer);
      return cell.text == why;
    case jet::ValueKind::Money:
      why = ValueText(value).substr(std::string_view("money:").size());  // libmdb's form too
      return cell.text == why;
    case jet::ValueKind::Real:
      std::snprintf(text, sizeof text, "%.*g", type == MDB_FLOAT ? 8 : 16, value.real);
      why = text;
      return cell.text == why;
    case jet::ValueKind::DateTime:
      why = value.real < 0 || value.real > 1e6 ? kUnconvertedDate : jet::DateTimeText(value.real);
      return cell.text == why;
    case jet::ValueKind::Text:
      why = WithoutAstralCharacters(value.bytes);
      return cell.text == why;
    case jet::ValueKind::Binary:
      why = std::to_string(value.bytes.size()) + " bytes";
      return type == MDB_BINARY ? cell.text == value.bytes.substr(0, value.bytes.find('\0'))
                                : std::string(cell.raw.begin(), cell.raw.end()) == value.bytes;
    case jet::ValueKind::Decimal:
      why = value.bytes;
      return cell.text == why;
    case jet::ValueKind::Guid: {
      const auto* b = reinterpret_cast<const unsigned char*>(value.bytes.data());
      if (value.bytes.size() != 16) return false;
      std::snprintf(text, sizeof text,
                    "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X%02X%02X}", b[3],
                    b[2], b[1], b[0], b[5], b[4], b[7], b[6], b[8], b[9], b[10], b[11], b[12],
                    b[13], b[14], b[15]);
      why = text;
      return cell.text == why;
    }
    default:
      why = "a value libmdb has no form for";
      return false;
  }
}

struct File {
  std::string name;
  std::string path;
};

class DifferentialTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& bytes) {
    const std::string path = folder_.Path(std::to_string(written_++) + ".mdb");
    testsupport::WriteFile(path, bytes);
    return path;
  }
  testsupport::TempFolder folder_{"jet-differential"};
  int written_ = 0;
};

TEST_F(DifferentialTest, EveryValueMatchesLibmdbSaveItsListedMistakes) {
  mkmdb::Protection encoded;
  encoded.encode = true;
  std::vector<File> files = {
      {"writer-made", Write(DatabaseBytes({EveryTypeTable(), MemoTable()}))},
      {"writer-made, encoded", Write(DatabaseBytes({EveryTypeTable(), MemoTable()}, {}, encoded))}};
  for (const char* fixture : {"access-made-jet4.mdb", "jet3-sample.mdb"}) {
    if (testsupport::HaveFixture(fixture)) {
      files.push_back({fixture, testsupport::FixturePath(fixture)});
    } else {
      std::printf("differential test: %s\n", testsupport::MissingFixture(fixture).c_str());
    }
  }
  std::size_t compared = 0;
  for (const File& file : files) {
    testsupport::LibmdbOracle oracle(file.path, 1 << 20);
    ASSERT_EQ(oracle.error(), "") << file.name;
    std::string error;
    auto database = jet::Database::Open(file.path, error);
    ASSERT_NE(database, nullptr) << file.name << ": " << error;

    std::vector<std::string> ours;
    for (const jet::CatalogTable& table : database->Tables()) {
      if (!table.system) ours.push_back(table.name);
    }
    std::vector<std::string> theirs = oracle.UserTables();
    std::sort(ours.begin(), ours.end());
    std::sort(theirs.begin(), theirs.end());
    EXPECT_EQ(ours, theirs) << file.name;

    for (const std::string& name : theirs) {
      const auto read = oracle.Read(name);
      ASSERT_TRUE(read.has_value()) << file.name << " " << name << ": " << oracle.error();
      const testsupport::OracleTable& expected = *read;
      jet::TableDefinition definition;
      ASSERT_TRUE(database->ReadDefinition(name, definition, error)) << error;
      ASSERT_EQ(definition.columns.size(), expected.columns.size()) << name;
      for (std::size_t c = 0; c < expected.columns.size(); ++c) {
        EXPECT_EQ(definition.columns[c].name, expected.columns[c].name) << name;
      }
      std::vector<std::string> indexes, theirs;
      for (const jet::Index& index : definition.indexes) {
        std::vector<std::string> keys;
        for (const jet::IndexKey& key : index.keys) {
          keys.push_back(definition.columns[key.column].name + (key.ascending ? "" : " desc"));
        }
        if (index.foreignKey) keys.clear();  // difference 4
        indexes.push_back(IndexText(index.name, index.primaryKey, index.foreignKey,
                                    index.unique && !index.foreignKey, keys));
      }
      for (const testsupport::OracleIndex& index : oracle.Indexes(name)) {
        theirs.push_back(IndexText(index.name, index.kind == 1, index.kind == 2,
                                   (index.flags & 0x01) != 0, index.keys));
      }
      std::sort(indexes.begin(), indexes.end());
      std::sort(theirs.begin(), theirs.end());
      EXPECT_EQ(indexes, theirs) << file.name << " table " << name;
      compared += indexes.size();
      auto scan = database->StartScan(definition);
      jet::Value value;
      std::size_t row = 0;
      for (; scan->Next(); ++row) {
        if (row >= expected.rows.size()) continue;
        for (std::size_t c = 0; c < expected.columns.size(); ++c) {
          scan->Read(c, value);
          std::string why;
          EXPECT_TRUE(Same(value, expected.columns[c].type, expected.rows[row][c], why))
              << file.name << " table " << name << " row " << row << " column "
              << expected.columns[c].name << ": ours " << why << ", libmdb "
              << (expected.rows[row][c].is_null ? "NULL" : expected.rows[row][c].text);
          ++compared;
        }
      }
      EXPECT_EQ(scan->Error(), "") << name;
      EXPECT_EQ(row, expected.rows.size()) << file.name << " table " << name;
    }
  }
  std::printf("differential test: %zu values and indexes compared in %zu files\n", compared,
              files.size());
}

}  // namespace
}  // namespace jettest
