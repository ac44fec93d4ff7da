// The round-trip checks catch damage: a file with one byte changed in the header block, in a
// null mask or in a page map no longer passes. Each test first shows the intact file passes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>

#include "mdb_writer.h"
#include "round_trip.h"
#include "tests/support/temp_folder.h"

namespace {

using mkmdb::ColumnType;
using mkmdb::TableSpec;
using mkmdb_test::CompareAll;
using mkmdb_test::CompareThroughLibmdb;

constexpr std::size_t kPage = 4096;
// Where the writer puts things in a one-table file (see mdb_writer.cpp): the first table's
// definition on page 19, its maps on page 20 and its first data page on page 21.
constexpr std::uint32_t kTableDefinitionPage = 19;
constexpr std::uint32_t kFirstDataPage = 21;

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
    bytes_ = testsupport::ReadFile(path_);
  }

  std::uint8_t& Byte(std::size_t offset) { return reinterpret_cast<std::uint8_t&>(bytes_.at(offset)); }
  std::uint32_t U32(std::size_t offset) {
    std::uint32_t v = 0;
    std::memcpy(&v, bytes_.data() + offset, 4);
    return v;
  }
  std::uint16_t U16(std::size_t offset) {
    std::uint16_t v = 0;
    std::memcpy(&v, bytes_.data() + offset, 2);
    return v;
  }
  // File offset of the row a row pointer names.
  std::size_t RowOffset(std::uint32_t pointer) {
    const std::size_t page = pointer >> 8;
    const std::size_t row = pointer & 0xFF;
    return page * kPage + (U16(page * kPage + 14 + 2 * row) & 0x1FFF);
  }
  void Save() { testsupport::WriteFile(path_, bytes_); }

  testsupport::TempFolder folder_;
  TableSpec table_;
  std::string path_;
  std::string bytes_;
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
  ASSERT_EQ(U32(page + 4), kTableDefinitionPage) << "owned by the table";
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
  const std::size_t map = RowOffset(U32(definition + 0x37));
  ASSERT_EQ(Byte(map), 0x00) << "an inline bitmap";
  ASSERT_EQ(U32(map + 1), 0u) << "starting at page 0";
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

  std::string bytes = testsupport::ReadFile(path);
  auto u32 = [&](std::size_t at) {
    std::uint32_t v = 0;
    std::memcpy(&v, bytes.data() + at, 4);
    return v;
  };
  auto u16 = [&](std::size_t at) {
    std::uint16_t v = 0;
    std::memcpy(&v, bytes.data() + at, 2);
    return v;
  };
  const std::uint32_t pointer = u32(kTableDefinitionPage * kPage + 0x37);
  const std::size_t map =
      (pointer >> 8) * kPage + (u16((pointer >> 8) * kPage + 14 + 2 * (pointer & 0xFF)) & 0x1FFF);
  ASSERT_EQ(static_cast<std::uint8_t>(bytes[map]), 0x01) << "an indirect map";
  const std::uint32_t bitmap_page = u32(map + 1);  // entry 0: pages 0 to 32735
  ASSERT_NE(bitmap_page, 0u);
  const std::size_t bitmap = bitmap_page * kPage;
  ASSERT_EQ(static_cast<std::uint8_t>(bytes[bitmap]), 0x05);
  // Bit i stands for page i: drop page 300, in the middle of the table.
  auto& byte = reinterpret_cast<std::uint8_t&>(bytes[bitmap + 4 + 300 / 8]);
  ASSERT_NE(byte & (1u << (300 % 8)), 0u);
  byte = static_cast<std::uint8_t>(byte & ~(1u << (300 % 8)));
  testsupport::WriteFile(path, bytes);
  EXPECT_NE(CompareThroughLibmdb(path, table), "");
}

}  // namespace
