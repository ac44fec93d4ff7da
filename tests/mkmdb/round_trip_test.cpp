// Files written by the library read back through libmdb and the mdbtools programs exactly as
// written: values, NULLs, types, row counts and table lists. The checks catch damage: a file
// with one byte changed in the header block, in a null mask or in a page map no longer passes
// (each such test first shows the intact file passes). And a database the writer makes against
// the database Access made (the fixture), structure by structure: the catalog's objects, the
// definitions of the system tables and of their indexes, the keys of the catalog's name index,
// page 0 and page 1. A failure names both sides; the differences that are meant are listed
// here, and any other fails.
#include <gtest/gtest.h>
#include "tests/support/fixtures.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <ctime>
#include <map>
#include <numeric>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "generated_rows.h"
#include "jet/rc4.h"
#include "tests/support/file_edit.h"
#include "tests/support/libmdb_oracle.h"
#include "mdb_writer.h"
#include "round_trip.h"
#include "tests/support/temp_folder.h"

namespace {

using mkmdb::ColumnSpec;
using mkmdb::ColumnType;
using mkmdb::TableSpec;
using mkmdb::Value;
using mkmdb_test::CompareAll;
using mkmdb_test::CompareThroughLibmdb;
using mkmdb_test::HexText;
using mkmdb_test::Repeat;
using testsupport::FileEdit;
using testsupport::TempFolder;

class RoundTrip : public testing::Test {
 protected:
  std::string Write(const std::vector<TableSpec>& tables) {
    const std::string path = folder_.Path("out.mdb");
    mkmdb::WriteDatabase(path, tables);
    struct stat info {};
    EXPECT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_size % 4096, 0) << "the file is not a whole number of pages";
    return path;
  }
  std::string ExpectRoundTrip(const std::vector<TableSpec>& tables) {
    const std::string path = Write(tables);
    EXPECT_EQ(CompareAll(path, tables), "");
    return path;
  }

  TempFolder folder_;
};

TableSpec Brands(std::size_t rows) {
  TableSpec table{"avion", {{"marque", ColumnType::Text, 50}, {"rang", ColumnType::Long}}, {}};
  for (std::size_t i = 1; i <= rows; ++i) {
    table.rows.push_back({"Brand " + std::to_string(i), std::to_string(i)});
  }
  return table;
}

class RowCounts : public RoundTrip, public testing::WithParamInterface<std::size_t> {};

TEST_P(RowCounts, EveryRowComesBackInOrder) { ExpectRoundTrip({Brands(GetParam())}); }

INSTANTIATE_TEST_SUITE_P(Tables, RowCounts, testing::Values(0, 1, 5, 2000));

TEST_F(RoundTrip, NullsStayDistinctFromEmptyValues) {
  ExpectRoundTrip({{"avion",
                    {{"marque", ColumnType::Text, 20}, {"notes", ColumnType::Memo},
                     {"rang", ColumnType::Long}, {"poids", ColumnType::Double},
                     {"vol", ColumnType::DateTime}},
                    {{"", "", "1", "1.5", "2001-01-01"},
                     {std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
                     {"Airbus", "notes", "0", "0", "1899-12-30"},
                     {"", std::nullopt, "2", std::nullopt, "2001-01-02"},
                     {std::nullopt, "", std::nullopt, "-2", std::nullopt}}}});
}

TEST_F(RoundTrip, NonAsciiTextIsStoredExactly) {
  TableSpec table{"avion", {{"marque", ColumnType::Text, 60}, {"notes", ColumnType::Memo}}, {}};
  for (const char* text :
       {"Aérospatiale", "Société Européenne", "Туполев", "Ильюшин Ил-96", "三菱重工業", "川崎",
        "Ā", "一", "x一y", "xĀyz", "a一b", "一abc", "abc一", "Āé Ж 一 z", "Ελληνικά", "שלום",
        "ÿ", "ÀÁÂÃÄÅÆÇÈÉÊËÌÍÎÏ", "Ĉ", "ĀĀĀĀ", "a\tb\nc\r\\d \"quoted\", comma"}) {
    table.rows.push_back({text, text});
  }
  ExpectRoundTrip({table});
}

TEST_F(RoundTrip, ValuesOfExactlyTheColumnSizeFit) {
  TableSpec table{"tailles",
                  {{"un", ColumnType::Text, 1}, {"cinq", ColumnType::Text, 5},
                   {"ascii", ColumnType::Text, 255}, {"cyrillique", ColumnType::Text, 255},
                   {"chinois", ColumnType::Text, 255}, {"large", ColumnType::Text, 10}},
                  {}};
  table.rows.push_back({"é", "abcde", Repeat("x", 255), Repeat("Ж", 255), Repeat("一", 255),
                        "ĀĀĀĀĀĀĀĀĀĀ"});
  table.rows.push_back({"一", "Ā一Ā一Ā", Repeat("ab", 127) + "c", Repeat("я", 254) + "z",
                        Repeat("三", 254) + "a", "0123456789"});
  ExpectRoundTrip({table});
}

class MemoLengths : public RoundTrip, public testing::WithParamInterface<std::size_t> {};

// Lengths around the limits of each storage form: inline up to 256 stored bytes, one separate
// row up to 4080 bytes, a chain of 4076-byte pieces beyond; compression only up to 1024
// characters. Each length is tried in ASCII, in Cyrillic (compressible, wide) and with U+4E00
// (never compressed).
TEST_P(MemoLengths, ComeBackWhole) {
  const std::size_t length = GetParam();
  TableSpec table{"memos", {{"id", ColumnType::Long}, {"texte", ColumnType::Memo}}, {}};
  table.rows.push_back({"1", Repeat("a", length)});
  table.rows.push_back({"2", Repeat("ж", length)});
  table.rows.push_back({"3", Repeat("一", length)});
  std::string mixed;
  for (std::size_t i = 0; i < length; ++i) mixed += (i % 3 == 0) ? "Ā" : (i % 3 == 1 ? "b" : "é");
  table.rows.push_back({"4", mixed});
  table.rows.push_back({"5", std::nullopt});
  ExpectRoundTrip({table});
}

INSTANTIATE_TEST_SUITE_P(Memos, MemoLengths,
                         testing::Values(0, 1, 127, 128, 129, 200, 254, 255, 256, 1024, 1025,
                                         2037, 2038, 2039, 2040, 2041, 4000, 4076, 4077, 8153,
                                         20000));

// Rows that fit a page only once their memo values leave it: sixteen memos of 254 characters
// (256 stored bytes each, kept in the row when alone), and full text columns beside memos.
TEST_F(RoundTrip, MemoValuesMoveOutOfARowThatWouldNotFitOtherwise) {
  TableSpec memos{"memos", {}, {}};
  for (int i = 0; i < 16; ++i) memos.columns.push_back({"m" + std::to_string(i), ColumnType::Memo});
  for (int r = 0; r < 3; ++r) {
    std::vector<Value> row;
    for (int i = 0; i < 16; ++i) row.push_back(Repeat(std::string(1, 'a' + (r + i) % 26), 254));
    memos.rows.push_back(row);
  }
  memos.rows.push_back(std::vector<Value>(16, Repeat("ж", 120)));
  // Seven full Text(255) values of a character never compressed take 3570 bytes; with two memo
  // values of 268 bytes each in the row it would take 4132.
  TableSpec mixed{"mixte", {{"m1", ColumnType::Memo}, {"m2", ColumnType::Memo}}, {}};
  for (int i = 0; i < 7; ++i) {
    mixed.columns.push_back({"t" + std::to_string(i), ColumnType::Text, 255});
  }
  std::vector<Value> full = {Repeat("b", 254), Repeat("c", 254)};
  full.resize(9, Repeat("一", 255));
  mixed.rows.push_back(full);
  mixed.rows.push_back({"court", "", "x", "y", "z", std::nullopt, "", "一", "t"});
  ExpectRoundTrip({memos, mixed});
}

TEST_F(RoundTrip, AMemoOfAboutOneMegabyteComesBackWhole) {
  TableSpec table{"memos", {{"texte", ColumnType::Memo}}, {}};
  std::string big;
  for (int i = 0; big.size() < 1'000'000; ++i) big += "ligne " + std::to_string(i) + " é\n";
  table.rows.push_back({big});
  table.rows.push_back({"petit"});
  table.rows.push_back({Repeat("一", 400'000)});
  const std::string path = Write({table});
  // mdb-export cuts values at its own buffer size, so the values are checked through libmdb.
  EXPECT_EQ(CompareThroughLibmdb(path, table, 4 << 20), "");
  EXPECT_EQ(mkmdb_test::CompareSchemaAndCount(path, table), "");
}

TEST_F(RoundTrip, SeveralColumnsOfEveryType) {
  TableSpec table{"tous",
                  {{"texte1", ColumnType::Text, 30}, {"entier1", ColumnType::Long},
                   {"memo1", ColumnType::Memo}, {"reel1", ColumnType::Double},
                   {"date1", ColumnType::DateTime}, {"oui1", ColumnType::YesNo},
                   {"texte2", ColumnType::Text, 255}, {"entier2", ColumnType::Long},
                   {"memo2", ColumnType::Memo}, {"reel2", ColumnType::Double},
                   {"date2", ColumnType::DateTime}, {"oui2", ColumnType::YesNo}},
                  {}};
  const std::vector<std::string> longs = {"0", "1", "-1", "2147483647", "-2147483648", "65536",
                                          "-300"};
  const std::vector<std::string> doubles = {"0", "2.5", "-0.001", "3.141592653589793",
                                            "1.7976931348623157e308", "5e-324", "123456789.125",
                                            "0.1"};
  const std::vector<std::string> dates = {
      "1899-12-30", "1900-01-01", "2021-12-02 13:45:10", "1999-12-31 23:59:59", "2000-02-29",
      "1970-01-01 00:00:01", "1800-06-15 12:30:00", "9999-12-31 23:59:59", "0100-01-01"};
  const std::vector<std::string> bools = {"1", "0", "true", "false", "yes", "NO"};
  for (std::size_t i = 0; i < 60; ++i) {
    auto pick = [i](const std::vector<std::string>& values, std::size_t step) -> Value {
      if ((i + step) % 7 == 3) return std::nullopt;
      return values[(i * step + step) % values.size()];
    };
    table.rows.push_back({pick({"Airbus", "", "Ильюшин", "x一y"}, 1), pick(longs, 2),
                          pick({"memo", Repeat("m", 300 + i), "", Repeat("Ж", 3000)}, 3),
                          pick(doubles, 4), pick(dates, 5), bools[i % bools.size()],
                          pick({Repeat("z", 255), "deux", "三菱"}, 6), pick(longs, 7),
                          pick({"", "court", Repeat("一", 2500)}, 8), pick(doubles, 9),
                          pick(dates, 10), bools[(i / 2) % bools.size()]});
  }
  ExpectRoundTrip({table});
}

// Each type at both ends of its range and in between, NULLs and empty values; AutoNumber
// numbers its NULL rows after the largest number given so far.
TEST_F(RoundTrip, EachTypeKeepsTheValuesAtTheEndsOfItsRange) {
  TableSpec table{"limites",
                  {{"octet", ColumnType::Byte}, {"entier", ColumnType::Integer},
                   {"simple", ColumnType::Single}, {"monnaie", ColumnType::Currency},
                   {"decimal", ColumnType::Decimal, 0, 28, 0},
                   {"fraction", ColumnType::Decimal, 0, 28, 28},
                   {"mixte", ColumnType::Decimal, 0, 18, 6}, {"guid", ColumnType::Guid},
                   {"binaire", ColumnType::Binary, 510}, {"objet", ColumnType::Ole},
                   {"numero", ColumnType::AutoNumber}, {"lien", ColumnType::Hyperlink},
                   {"instant", ColumnType::DateTime}},
                  {}};
  std::uint8_t bytes[256];
  std::iota(std::begin(bytes), std::end(bytes), 0);
  const std::string all_bytes = mkmdb_test::HexText(bytes, sizeof bytes);
  table.rows = {
      {"0", "-32768", "-3.4028235e38", "-922337203685477.5808",
       "-9999999999999999999999999999", "-0.9999999999999999999999999999",
       "-999999999999.999999", "{00000000-0000-0000-0000-000000000000}", "", "", "7",
       "Airbus#https://www.airbus.com#", "0100-01-01 00:00:00.000"},
      {"255", "32767", "3.4028235e38", "922337203685477.5807", "9999999999999999999999999999",
       "0.9999999999999999999999999999", "999999999999.999999",
       "{FFFFFFFF-FFFF-FFFF-FFFF-FFFFFFFFFFFF}", Repeat(all_bytes, 2).substr(0, 1020),
       Repeat(all_bytes, 40), std::nullopt, "#mailto:a@b.c#", "9999-12-31 23:59:59.999"},
      {"1", "-1", "1.4e-45", "0.0001", "0", "0.0000000000000000000000000001", "-0.000001",
       "{01234567-89ab-cdef-0123-456789abcdef}", "00", "ff", std::nullopt, "", "1899-12-29 06:00:00.001"},
      {std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt,
       std::nullopt, std::nullopt, std::nullopt, std::nullopt, "3", std::nullopt, std::nullopt},
      {"128", "0", "0.1", "-12.5", "1234567890123456789012345678", "0.5", "123.456",
       "{4B1D2A3C-0000-1111-2222-333344445555}", "00ff10", Repeat("00", 5000), std::nullopt,
       Repeat("lien ", 300), "2000-02-29 12:34:56.789"},
  };
  ExpectRoundTrip({table});
}

TEST_F(RoundTrip, SeveralTablesAreListedAndReadSeparately) {
  TableSpec avion = Brands(300);
  TableSpec pays{"pays", {{"nom", ColumnType::Text, 40}, {"fondation", ColumnType::DateTime}}, {}};
  pays.rows = {{"France", "1792-09-22"}, {"Россия", "1991-12-25"}, {"日本", std::nullopt}};
  TableSpec vide{"vide", {{"rien", ColumnType::Memo}}, {}};
  TableSpec notes{"notes", {{"texte", ColumnType::Memo}, {"actif", ColumnType::YesNo}}, {}};
  for (int i = 0; i < 40; ++i) {
    notes.rows.push_back({Repeat("note " + std::to_string(i) + " ", 50 * i), i % 2 ? "1" : "0"});
  }
  ExpectRoundTrip({avion, pays, vide, notes});
}

TEST_F(RoundTrip, NonAsciiTableAndColumnNames) {
  ExpectRoundTrip({{"Avions français",
                    {{"Marque déposée", ColumnType::Text, 50}, {"Год", ColumnType::Long}},
                    {{"Dassault", "1929"}, {"Сухой", "1939"}}}});
}

TEST_F(RoundTrip, TableDefinitionsLongerThanAPage) {
  // 255 columns with 64-character names take about 40 KB of definition: ten pages.
  TableSpec table{"large", {}, {}};
  for (int i = 0; i < 255; ++i) {
    std::string name = "colonne_" + std::to_string(i) + "_";
    name += Repeat("n", 64 - name.size());
    const ColumnType type = i % 3 == 0 ? ColumnType::Long
                                       : (i % 3 == 1 ? ColumnType::YesNo : ColumnType::Text);
    table.columns.push_back({name, type, type == ColumnType::Text ? 5 : 0});
  }
  for (int r = 0; r < 20; ++r) {
    std::vector<Value> row;
    for (int i = 0; i < 255; ++i) {
      const ColumnType type = table.columns[i].type;
      if ((r + i) % 11 == 0 && type != ColumnType::YesNo) {
        row.push_back(std::nullopt);
      } else if (type == ColumnType::Long) {
        row.push_back(std::to_string(r * 1000 + i));
      } else if (type == ColumnType::YesNo) {
        row.push_back((r + i) % 2 ? "1" : "0");
      } else {
        row.push_back(std::to_string(r % 10) + "é" + std::to_string(i % 100));
      }
    }
    table.rows.push_back(std::move(row));
  }
  const std::string path = ExpectRoundTrip({table});

  // The last page of the chain counts as free what follows the definition's end marker
  // (0xFFFF), and those bytes are zero.
  testsupport::FileEdit file = testsupport::FileEdit::Load(path);
  const std::size_t size = file.PageSize();
  std::uint32_t page = file.DefinitionPage("large");
  int pages = 1;
  for (; file.U32(page * size + 4) != 0 && pages < 64; ++pages) page = file.U32(page * size + 4);
  EXPECT_GE(pages, 2);
  const std::size_t end = size - file.U16(page * size + 2);
  ASSERT_GE(end, 10u);
  EXPECT_EQ(file.U16(page * size + end - 2), 0xFFFF);
  for (std::size_t at = end; at < size; ++at) ASSERT_EQ(file.Byte(page * size + at), 0) << at;
}

TEST_F(RoundTrip, RowsFillingAWholePage) {
  // Seven full Text(255) values that cannot be compressed: 3570 bytes, one row per page.
  TableSpec table{"larges", {}, {}};
  for (int i = 0; i < 7; ++i) {
    table.columns.push_back({"t" + std::to_string(i), ColumnType::Text, 255});
  }
  for (int r = 0; r < 5; ++r) {
    std::vector<Value> row;
    for (int i = 0; i < 7; ++i) row.push_back(Repeat(r % 2 ? "一" : "Ā", 255));
    table.rows.push_back(row);
  }
  ExpectRoundTrip({table});
}

TEST_F(RoundTrip, AMillionGeneratedRowsSpanningTheIndirectPageMap) {
  const std::vector<ColumnSpec> columns = {{"marque", ColumnType::Text, 50},
                                           {"rang", ColumnType::Long}};
  const std::uint64_t count = 1'000'000;
  mkmdb::GeneratedRows rows(columns, count);
  const std::string path = folder_.Path("big.mdb");
  mkmdb::WriteDatabaseFromSources(path, {{"avion", columns, &rows}});

  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_GT(info.st_size / 4096, 4 * 512) << "the table should span more than 512 pages";

  const auto count_run = mkmdb_test::RunProgram({"/usr/bin/mdb-count", path, "avion"});
  EXPECT_EQ(count_run.out, "1000000\n");

  // Every row through libmdb against the generated values, "marque <n>" and <n>, built in a
  // buffer to keep the million comparisons cheap.
  testsupport::LibmdbOracle reader(path);
  ASSERT_EQ(reader.error(), "");
  std::vector<testsupport::OracleColumn> read_columns;
  unsigned declared = 0;
  std::uint64_t n = 0, mismatches = 0;
  std::string first_mismatch;
  char expected[32] = "marque ";
  ASSERT_TRUE(reader.ForEachRow("avion", read_columns, declared, [&](const auto& row) {
    ++n;
    char* digits = expected + 7;
    char* end = std::to_chars(digits, expected + sizeof expected, n).ptr;
    const std::string_view marque(expected, static_cast<std::size_t>(end - expected));
    const std::string_view rang(digits, static_cast<std::size_t>(end - digits));
    if (row[0].is_null || row[1].is_null || row[0].text != marque || row[1].text != rang) {
      if (mismatches++ == 0) {
        first_mismatch = "row " + std::to_string(n) + ": " + row[0].text + ", " + row[1].text;
      }
    }
  }));
  EXPECT_EQ(n, count);
  EXPECT_EQ(declared, count);
  EXPECT_EQ(mismatches, 0u) << first_mismatch;
  // The generator's own definition agrees with the values checked above.
  EXPECT_EQ(*mkmdb::GeneratedValue(columns[0], 1), "marque 1");
  EXPECT_EQ(*mkmdb::GeneratedValue(columns[0], 1'000'000), "marque 1000000");
  EXPECT_EQ(*mkmdb::GeneratedValue(columns[1], 42), "42");
}

TEST_F(RoundTrip, GeneratedValuesOfEveryTypeAreValid) {
  const std::vector<ColumnSpec> columns = {
      {"marque", ColumnType::Text, 50},   {"court", ColumnType::Text, 3},
      {"notes", ColumnType::Memo},        {"rang", ColumnType::Long},
      {"poids", ColumnType::Double},      {"vol", ColumnType::DateTime},
      {"actif", ColumnType::YesNo},       {"octet", ColumnType::Byte},
      {"entier", ColumnType::Integer},    {"simple", ColumnType::Single},
      {"prix", ColumnType::Currency},     {"montant", ColumnType::Decimal, 0, 5, 1},
      {"taux", ColumnType::Decimal, 0, 3, 3}, {"guid", ColumnType::Guid},
      {"code", ColumnType::Binary, 3},    {"objet", ColumnType::Ole},
      {"numero", ColumnType::AutoNumber}, {"site", ColumnType::Hyperlink}};
  TableSpec table{"gen", columns, {}};
  for (std::uint64_t n = 1; n <= 3000; ++n) {
    std::vector<Value> row;
    for (const auto& column : columns) row.push_back(mkmdb::GeneratedValue(column, n));
    table.rows.push_back(row);
  }
  EXPECT_EQ(*table.rows[0][1], "t 1");
  EXPECT_EQ(*table.rows[2999][1], "000");
  EXPECT_EQ(*table.rows[1][5], "2000-01-01 00:02:00");
  EXPECT_EQ(*table.rows[1][4], "2.25");
  EXPECT_EQ(*table.rows[299][7], "44");
  EXPECT_EQ(*table.rows[2999][11], "3000.2");
  EXPECT_EQ(*table.rows[9][13], "{00000000-0000-0000-0000-00000000000A}");
  EXPECT_EQ(*table.rows[2999][14], "000BB8");
  EXPECT_FALSE(table.rows[5][16].has_value());
  EXPECT_EQ(*table.rows[0][17], "site 1#https://example.org/1#");
  mkmdb::GeneratedRows generated(columns, 3000);
  const std::string path = folder_.Path("gen.mdb");
  mkmdb::WriteDatabaseFromSources(path, {{"gen", columns, &generated}});
  EXPECT_EQ(CompareAll(path, {table}), "");
}

TEST_F(RoundTrip, ReplacesAnExistingFile) {
  const std::string path = folder_.Path("out.mdb");
  testsupport::WriteFile(path, "old content");
  chmod(path.c_str(), 0640);
  ExpectRoundTrip({Brands(3)});
  struct stat info {};
  ASSERT_EQ(stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0640u) << "the replaced file keeps its mode";
  EXPECT_EQ(folder_.Entries(), std::vector<std::string>{"out.mdb"});
}

// The checker itself on a file made by Access: libmdb's rows agree with mdb-export's.
TEST(RealAccessFile, LibmdbReaderAgreesWithMdbExport) {
  SKIP_WITHOUT_FIXTURE("access-made-jet4.mdb");
  const std::string path = testsupport::FixturePath("access-made-jet4.mdb");
  testsupport::LibmdbOracle reader(path);
  ASSERT_EQ(reader.error(), "");
  EXPECT_EQ(reader.UserTables(), std::vector<std::string>{"DateTest"});
  auto table = reader.Read("DateTest");
  ASSERT_TRUE(table.has_value());
  ASSERT_EQ(table->columns.size(), 6u);
  const auto run = mkmdb_test::RunProgram({"/usr/bin/mdb-export", "-H", path, "DateTest"});
  ASSERT_EQ(run.exitCode, 0);
  const auto exported = mkmdb_test::ParseCsv(run.out);
  ASSERT_EQ(exported.size(), table->rows.size());
  EXPECT_EQ(table->declared_rows, table->rows.size());
  for (std::size_t r = 0; r < exported.size(); ++r) {
    EXPECT_FALSE(table->rows[r][0].is_null);
    EXPECT_EQ(table->rows[r][0].text, exported[r][0]);  // IDCol
    EXPECT_EQ(table->rows[r][4].text, exported[r][4]);  // LongTextCol (memo)
    EXPECT_EQ(table->rows[r][5].text, exported[r][5]);  // ShortTextCol
  }
}

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

class Damage : public RoundTrip {
 protected:
  void SetUp() override {
    table_ = Brands(400);
    path_ = Write({table_});
    ASSERT_EQ(CompareAll(path_, {table_}), "") << "the intact file must pass";
    file_ = FileEdit::Load(path_);
  }

  std::uint8_t& Byte(std::size_t offset) { return file_.Byte(offset); }
  std::string Saved() {
    file_.Save(path_);
    return CompareThroughLibmdb(path_, table_);
  }

  TableSpec table_;
  std::string path_;
  FileEdit file_{""};
};

TEST_F(Damage, AChangedByteInTheHeaderBlockIsCaught) {
  // 0x3E is the database key inside the masked settings block; any change makes it non-zero,
  // and a reader then decrypts every page with a wrong key.
  Byte(0x3E) ^= 0x01;
  EXPECT_NE(Saved(), "");
}

TEST_F(Damage, AChangedEngineVersionIsCaught) {
  ASSERT_EQ(Byte(0x14), 0x01);
  Byte(0x14) = 0x00;  // claims the older format with 2 KB pages
  EXPECT_NE(Saved(), "");
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
  const std::string problem = Saved();
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
  EXPECT_NE(Saved(), "");
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
