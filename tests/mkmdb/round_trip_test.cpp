// Files written by the library read back through libmdb and the mdbtools programs exactly as
// written: values, NULLs, types, row counts and table lists. The checks catch damage: a file
// with one byte changed in the header block, in a null mask or in a page map no longer passes
// (each such test first shows the intact file passes).
#include <gtest/gtest.h>
#include "tests/support/fixtures.h"

#include <sys/stat.h>

#include <charconv>
#include <string>
#include <string_view>
#include <vector>

#include "generated_rows.h"
#include "tests/support/file_edit.h"
#include "tests/support/libmdb_oracle.h"
#include "mdb_writer.h"
#include "program_environment.h"
#include "round_trip.h"
#include "tests/support/temp_folder.h"

namespace {

using mkmdb::ColumnSpec;
using mkmdb::ColumnType;
using mkmdb::TableSpec;
using mkmdb::Value;
using mkmdb_test::CompareAll;
using mkmdb_test::CompareThroughLibmdb;
using testsupport::FileEdit;
using testsupport::TempFolder;

std::string Repeat(const std::string& piece, std::size_t times) {
  std::string out;
  out.reserve(piece.size() * times);
  for (std::size_t i = 0; i < times; ++i) out += piece;
  return out;
}

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
  void ExpectRoundTrip(const std::vector<TableSpec>& tables) {
    const std::string path = Write(tables);
    EXPECT_EQ(CompareAll(path, tables), "");
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
  TableSpec table{"avion",
                  {{"marque", ColumnType::Text, 20}, {"notes", ColumnType::Memo},
                   {"rang", ColumnType::Long}, {"poids", ColumnType::Double},
                   {"vol", ColumnType::DateTime}},
                  {}};
  table.rows = {
      {"", "", "1", "1.5", "2001-01-01"},
      {std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt},
      {"Airbus", "notes", "0", "0", "1899-12-30"},
      {"", std::nullopt, "2", std::nullopt, "2001-01-02"},
      {std::nullopt, "", std::nullopt, "-2", std::nullopt},
  };
  ExpectRoundTrip({table});
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
  const std::string all_bytes = [] {
    std::string hex;
    for (int b = 0; b < 256; ++b) {
      char pair[3];
      std::snprintf(pair, sizeof pair, "%02x", b);
      hex += pair;
    }
    return hex;
  }();
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
  TableSpec table{"Avions français",
                  {{"Marque déposée", ColumnType::Text, 50}, {"Год", ColumnType::Long}},
                  {{"Dassault", "1929"}, {"Сухой", "1939"}}};
  ExpectRoundTrip({table});
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
  const std::string path = Write({table});
  EXPECT_EQ(CompareAll(path, {table}), "");

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
  std::uint64_t n = 0;
  std::uint64_t mismatches = 0;
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
  const std::vector<TableSpec> tables = {Brands(3)};
  mkmdb::WriteDatabase(path, tables);
  EXPECT_EQ(CompareAll(path, tables), "");
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
  void Save() { file_.Save(path_); }

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
