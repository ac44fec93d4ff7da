// Values as the reader decodes them: every type and memo kind the writer stores, read back
// whole; and the types only other writers store, set byte by byte in a row.
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <limits>

#include <gtest/gtest.h>

#include "tests/support/file_edit.h"
#include "round_trip.h"
#include "jet/text_decoding.h"
#include "sample_files.h"
#include "value_text.h"

namespace jettest {
namespace {

using testsupport::FileEdit;

// What the reader must give for one value the writer was handed (AutoNumber NULLs resolved).
std::string Expected(const mkmdb::ColumnSpec& column, const mkmdb::Value& value) {
  if (!value) return "NULL";
  const std::string& v = *value;
  char text[40];
  switch (column.type) {
    case mkmdb::ColumnType::Text:
    case mkmdb::ColumnType::Memo:
    case mkmdb::ColumnType::Hyperlink:
      return "text:" + v;
    case mkmdb::ColumnType::Byte:
    case mkmdb::ColumnType::Integer:
    case mkmdb::ColumnType::Long:
    case mkmdb::ColumnType::AutoNumber:
      return "int:" + v;
    case mkmdb::ColumnType::Double: {
      const auto end = std::to_chars(text, text + sizeof text, std::strtod(v.c_str(), nullptr));
      return "real:" + std::string(text, end.ptr);
    }
    case mkmdb::ColumnType::Single: {
      const double widened = std::strtof(v.c_str(), nullptr);
      const auto end = std::to_chars(text, text + sizeof text, widened);
      return "real:" + std::string(text, end.ptr);
    }
    case mkmdb::ColumnType::Currency:
      return "money:" + mkmdb_test::DecimalText(v, 4);
    case mkmdb::ColumnType::Decimal:
      return "decimal:" + mkmdb_test::DecimalText(v, column.scale);
    case mkmdb::ColumnType::Guid: {
      const std::vector<std::uint8_t> bytes = mkmdb_test::GuidBytes(v);
      jet::Value guid;
      guid.kind = jet::ValueKind::Guid;
      guid.bytes.assign(bytes.begin(), bytes.end());
      return ValueText(guid);
    }
    case mkmdb::ColumnType::Binary:
    case mkmdb::ColumnType::Ole: {
      std::string hex;
      for (char c : v) hex.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
      return "binary:" + hex;
    }
    case mkmdb::ColumnType::DateTime:
      return "date:" + (v.size() == 10 ? v + " 00:00:00" : v);
    case mkmdb::ColumnType::YesNo:
      return v == "1" || v == "true" || v == "yes" ? "bool:1" : "bool:0";
  }
  return "?";
}

TEST(WriterValuesTest, EveryTypeAndMemoKindReadsBackAsWritten) {
  for (const mkmdb::TableSpec& table : {EveryTypeTable(), MemoTable()}) {
    const auto rows = TableTextOf(DatabaseBytes({table}), table.name);
    ASSERT_EQ(rows.size(), table.rows.size()) << table.name;
    const mkmdb::TableSpec expected = mkmdb_test::WithAutoNumbers(table);
    for (std::size_t r = 0; r < rows.size(); ++r) {
      for (std::size_t c = 0; c < table.columns.size(); ++c) {
        EXPECT_EQ(rows[r].at(c), Expected(table.columns[c], expected.rows[r][c]))
            << table.name << " row " << r << " column " << table.columns[c].name;
      }
    }
  }
}

// The definition keeps the largest AutoNumber given, which Access counts on from; Hyperlink
// and AutoNumber columns are marked as such.
TEST(WriterValuesTest, DefinitionKeepsTheLastAutoNumberAndTheColumnKinds) {
  using mkmdb::ColumnType;
  const struct {
    std::vector<mkmdb::Value> numbers;
    std::uint32_t last;
  } cases[] = {{{}, 0}, {{std::nullopt, std::nullopt}, 2}, {{"10", std::nullopt, "4"}, 11},
               {{"-5"}, 0}, {{"2147483647"}, 2147483647}};
  for (const auto& c : cases) {
    mkmdb::TableSpec table{"t", {{"n", ColumnType::AutoNumber}, {"h", ColumnType::Hyperlink}}, {}};
    for (const auto& number : c.numbers) table.rows.push_back({number, "a#b#"});
    std::string error;
    auto database = jet::Database::OpenBytes(DatabaseBytes({table}), error);
    ASSERT_NE(database, nullptr) << error;
    jet::TableDefinition definition;
    ASSERT_TRUE(database->ReadDefinition("t", definition, error)) << error;
    EXPECT_EQ(definition.lastAutoNumber, c.last) << c.numbers.size();
    EXPECT_TRUE(definition.columns[0].autoNumber);
    EXPECT_FALSE(definition.columns[0].hyperlink);
    EXPECT_TRUE(definition.columns[1].hyperlink);
    EXPECT_FALSE(definition.columns[1].autoNumber);
  }
}

using testsupport::Stored;

std::string Decimal(std::uint8_t sign, std::uint32_t high, std::uint32_t low) {
  return std::string(1, static_cast<char>(sign)) + Stored(high) + Stored(std::uint32_t{0}) +
         Stored(std::uint32_t{0}) + Stored(low);
}

struct StoredCase {
  const char* name;
  std::uint8_t type;
  std::uint8_t scale;
  std::string bytes;  // the stored value, set into the row's fixed area
  std::string expected;
};

// A table whose first column is retyped and given the case's stored bytes: 16 bytes of two
// Double columns and a Long make room for the largest fixed type (a 17-byte decimal).
TEST(StoredValuesTest, FixedSizeTypesOfOtherWritersDecode) {
  const std::string outOfRange = "error/out-of-range:table \"fixed\": column \"a\": stored date ";
  const StoredCase cases[] = {
      {"byte", 0x02, 0, "\xFF", "int:255"},
      {"integer", 0x03, 0, Stored(std::int16_t{-2}), "int:-2"},
      {"long", 0x04, 0, Stored(std::int32_t{-2147483647 - 1}), "int:-2147483648"},
      {"big integer", 0x13, 0, Stored(std::int64_t{9223372036854775807}),
       "int:9223372036854775807"},
      {"currency", 0x05, 0, Stored(std::int64_t{-12345678}), "money:-1234.5678"},
      {"single", 0x06, 0, Stored(1.5f), "real:1.5"},
      {"double", 0x07, 0, Stored(-0.125), "real:-0.125"},
      {"date and time", 0x08, 0, Stored(36527.5), "date:2000-01-02 12:00:00"},
      {"noon of the first day", 0x08, 0, Stored(-657434.5), "date:0100-01-01 12:00:00"},
      {"last second", 0x08, 0, Stored(2958465.999988426), "date:9999-12-31 23:59:59"},
      {"date after 9999", 0x08, 0, Stored(2958466.0),
       outOfRange + "2958466 is outside 0100-01-01..9999-12-31"},
      {"date before 0100", 0x08, 0, Stored(-657435.0),
       outOfRange + "-657435 is outside 0100-01-01..9999-12-31"},
      {"huge date", 0x08, 0, Stored(1e300),
       outOfRange + "1.0000000000000001e+300 is outside 0100-01-01..9999-12-31"},
      {"date not a number", 0x08, 0, Stored(std::numeric_limits<double>::quiet_NaN()),
       outOfRange + "is not a number"},
      {"replication id", 0x0F, 0, "0123456789abcdef", "guid:30313233343536373839616263646566"},
      {"decimal", 0x10, 2, Decimal(0x80, 0, 1250), "decimal:-12.50"},
      {"decimal, high word first", 0x10, 0, Decimal(0, 1, 0),
       "decimal:79228162514264337593543950336"},
      {"decimal below one", 0x10, 4, Decimal(0, 0, 5), "decimal:0.0005"},
      {"negative zero", 0x10, 2, Decimal(0x80, 0, 0), "decimal:0.00"},
      {"complex column without its values' table", 0x12, 0, "",
       "error/damaged:table \"fixed\": column \"a\": the file has no MSysComplexColumns to "
       "find its values in"},
      {"unknown type", 0x11, 0, "", "error/unsupported:table \"fixed\": column \"a\": its type "
       "0x11 is not one this reader reads"},
  };
  const std::string base = DatabaseBytes({{"fixed",
                                           {{"a", mkmdb::ColumnType::Double},
                                            {"b", mkmdb::ColumnType::Double},
                                            {"c", mkmdb::ColumnType::Long}},
                                           {{"1", "2", "3"}}}});
  for (const StoredCase& test : cases) {
    FileEdit edit(base);
    edit.RetypeFixed("fixed", 0, test.type, 0, test.scale, false, 8, test.bytes);
    const auto rows = TableTextOf(edit.bytes(), "fixed");
    ASSERT_EQ(rows.size(), 1u) << test.name << ": " << rows.back().front();
    EXPECT_EQ(rows[0][0], test.expected) << test.name;
  }
}

struct TextCase {
  const char* name;
  std::string stored;
  std::string expected;  // empty with ok false: not text
  bool ok = true;
};

TEST(StoredTextTest, Jet4TextDecodesFromUtf16AndTheCompressedForm) {
  const TextCase cases[] = {
      {"UTF-16", std::string("A\0\xE9\0\x16\x04", 6), "AéЖ"},
      {"surrogate pair", std::string("\x3D\xD8\x00\xDE", 4), "😀"},
      {"lone high surrogate", std::string("\x3D\xD8" "A\0", 4), "\xEF\xBF\xBD" "A"},
      {"lone low surrogate at the end", std::string("A\0\x00\xDE", 4), "A\xEF\xBF\xBD"},
      {"odd length", std::string("A\0B", 3), "", false},
      {"compressed, narrow", "\xFF\xFE" "Boeing\xE9", "Boeingé"},
      {"compressed, switching to wide and back",
       std::string("\xFF\xFE" "a\0\x16\x04\x3D\xD8\x0E\xDE\0b", 12), "aЖ😎b"},
      {"compressed, half a wide character", std::string("\xFF\xFE" "a\0\x16", 5), "", false},
      {"compressed, empty", "\xFF\xFE", ""},
      // Eight bytes and more are checked a word at a time: a wide switch or a byte above 7F
      // anywhere in the first word, and in the tail behind it.
      {"compressed, long, é in the first word", "\xFF\xFE" "Bo\xE9ingBoeing", "BoéingBoeing"},
      {"compressed, long, é in the tail", "\xFF\xFE" "BoeingBoeing\xE9", "BoeingBoeingé"},
      {"compressed, long, switching to wide in the first word",
       std::string("\xFF\xFE" "abc\0\x16\x04\0defghij", 16), "abcЖdefghij"},
  };
  for (const TextCase& test : cases) {
    std::string out = "kept:";
    const bool ok = jet::AppendJet4Text(reinterpret_cast<const std::uint8_t*>(test.stored.data()),
                                        test.stored.size(), out);
    EXPECT_EQ(ok, test.ok) << test.name;
    EXPECT_EQ(out, "kept:" + test.expected) << test.name;
  }
}

TEST(StoredTextTest, Jet3TextDecodesFromItsCodePage) {
  const struct {
    int codePage;
    std::string stored;
    std::string expected;
  } cases[] = {
      {1252, "Ums\xE4tze \x80", "Umsätze €"},
      {1252, "\x81", "\xEF\xBF\xBD"},  // a byte the code page leaves undefined
      {1251, "\xC0\xED\xF2\xEE\xED\xEE\xE2", "Антонов"},
      {932, "\x82\xA0\x82\xA2", "あい"},
      {932, "a\x82", "a\xEF\xBF\xBD"},  // a cut-off double-byte character
  };
  for (const auto& test : cases) {
    std::string error;
    auto text = jet::CodePageText::Make(test.codePage, error);
    ASSERT_NE(text, nullptr) << error;
    std::string out;
    text->Append(reinterpret_cast<const std::uint8_t*>(test.stored.data()), test.stored.size(),
                 out);
    EXPECT_EQ(out, test.expected) << "code page " << test.codePage;
  }
}

}  // namespace
}  // namespace jettest
