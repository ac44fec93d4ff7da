// The round-trip checks catch damage: a file with one byte changed in the header block, in a
// null mask or in a page map no longer passes. Each test first shows the intact file passes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "mdb_writer.h"
#include "round_trip.h"
#include "tests/support/file_edit.h"
#include "tests/support/temp_folder.h"

namespace {

using mkmdb::ColumnType;
using mkmdb::TableSpec;
using testsupport::FileEdit;
using mkmdb_test::CompareAll;
using mkmdb_test::CompareThroughLibmdb;

constexpr std::size_t kPage = 4096;
// Where the writer puts things in a one-table file (see mdb_writer.cpp): the first table's
// definition on page 19, its maps on page 20 and its first data page on page 21.
constexpr std::uint32_t kTableDefinitionPage = 19;
constexpr std::uint32_t kFirstDataPage = 21;

// File offset of the usage map row the table's definition names.
std::size_t MapOffset(FileEdit& file) {
  const std::uint32_t pointer = file.U32(kTableDefinitionPage * kPage + 0x37);
  std::size_t size = 0;
  return static_cast<std::size_t>(file.RowBytes(pointer, size) - file.Page(0));
}

class Damage : public testing::Test {
 protected:
  void SetUp() override {
    table_ = {"avion", {{"marque", ColumnType::Text, 50}, {"rang", ColumnType::Long}}, {}};
    for (int i = 1; i <= 400; ++i) {
      table_.rows.push_back({"Brand " + std::to_string(i), std::to_string(i)});
    }
    path_ = folder_.Path("out.mdb");
    mkmdb::WriteDatabase(path_, {table_});
    ASSERT_EQ(CompareAll(path_, {table_}), "") << "the intact file must pass";
    file_ = FileEdit::Load(path_);
  }

  std::uint8_t& Byte(std::size_t offset) { return file_.Byte(offset); }
  void Save() { file_.Save(path_); }

  testsupport::TempFolder folder_;
  TableSpec table_;
  std::string path_;
  FileEdit file_{""};
};

TEST_F(Damage, AChangedByteInTheHeaderBlockIsCaught) {
  // 0x3E is the database key inside the masked settings block; any change makes it non-zero,
  // and a reader then decrypts every page with a wrong key.
  Byte(0x3E) ^= 0x01;
  Save();
  EXPECT_NE(CompareThroughLibmdb(path_, table_), "");
}

TEST_F(Damage, AChangedEngineVersionIsCaught) {
  ASSERT_EQ(Byte(0x14), 0x01);
  Byte(0x14) = 0x00;  // claims the older format with 2 KB pages
  Save();
  EXPECT_NE(CompareThroughLibmdb(path_, table_), "");
}

TEST_F(Damage, AChangedNullMaskIsCaught) {
  const std::size_t page = kFirstDataPage * kPage;
  ASSERT_EQ(Byte(page), 0x01) << "data page";
  ASSERT_EQ(file_.U32(page + 4), kTableDefinitionPage) << "owned by the table";
  // Row 0 ends at the end of the page, and its null mask is its last byte; clearing the bit of
  // column 0 turns "Brand 1" into NULL.
  const std::size_t mask = page + kPage - 1;
  ASSERT_EQ(Byte(mask), 0x03);
  Byte(mask) = 0x02;
  Save();
  const std::string problem = CompareThroughLibmdb(path_, table_);
  EXPECT_NE(problem.find("row 1 column marque"), std::string::npos) << problem;
  EXPECT_NE(mkmdb_test::CompareThroughExport(path_, table_), "");
}

TEST_F(Damage, AChangedUsageMapIsCaught) {
  const std::size_t definition = kTableDefinitionPage * kPage;
  ASSERT_EQ(Byte(definition), 0x02);
  const std::size_t map = MapOffset(file_);
  ASSERT_EQ(Byte(map), 0x00) << "an inline bitmap";
  ASSERT_EQ(file_.U32(map + 1), 0u) << "starting at page 0";
  const std::size_t bit = map + 5 + kFirstDataPage / 8;
  const std::uint8_t first = 1u << (kFirstDataPage % 8);
  ASSERT_EQ(Byte(bit) & first, first);
  Byte(bit) &= static_cast<std::uint8_t>(~first);  // drop the first data page from the map
  Save();
  const std::string problem = CompareThroughLibmdb(path_, table_);
  EXPECT_NE(problem, "");
  EXPECT_NE(mkmdb_test::CompareThroughExport(path_, table_), "");
}

TEST(IndirectMapDamage, AChangedBitmapPageIsCaught) {
  testsupport::TempFolder folder;
  TableSpec table{"avion", {{"marque", ColumnType::Text, 50}}, {}};
  for (int i = 1; i <= 100'000; ++i) table.rows.push_back({"Brand " + std::to_string(i)});
  const std::string path = folder.Path("out.mdb");
  mkmdb::WriteDatabase(path, {table});
  ASSERT_EQ(CompareThroughLibmdb(path, table), "") << "the intact file must pass";

  FileEdit file = FileEdit::Load(path);
  const std::size_t map = MapOffset(file);
  ASSERT_EQ(file.Byte(map), 0x01) << "an indirect map";
  const std::uint32_t bitmap_page = file.U32(map + 1);  // entry 0: pages 0 to 32735
  ASSERT_NE(bitmap_page, 0u);
  const std::size_t bitmap = bitmap_page * kPage;
  ASSERT_EQ(file.Byte(bitmap), 0x05);
  // Bit i stands for page i: drop page 300, in the middle of the table.
  std::uint8_t& byte = file.Byte(bitmap + 4 + 300 / 8);
  ASSERT_NE(byte & (1u << (300 % 8)), 0u);
  byte = static_cast<std::uint8_t>(byte & ~(1u << (300 % 8)));
  file.Save(path);
  EXPECT_NE(CompareThroughLibmdb(path, table), "");
}

}  // namespace
