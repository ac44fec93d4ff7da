// Values as the reader decodes them: every type and memo kind the writer stores, read back
// whole; the types only other writers store, set byte by byte in a row; and the kinds of column
// later Access files hold, set the same way: calculated columns with their stored results,
// Date/Time Extended values, and complex columns whose values live in a flat table that
// MSysComplexColumns names. How rows are stored and found: deleted rows, rows moved to another
// page, rows written before a column was added, broken offsets; and files of other versions or
// kinds.
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>

#include <gtest/gtest.h>

#include "jet/calculated_value.h"
#include "jet/complex_values.h"
#include "jet/extended_date.h"
#include "jet/rc4.h"
#include "jet/row_layout.h"
#include "jet/text_decoding.h"
#include "later_column_files.h"
#include "round_trip.h"
#include "sample_files.h"
#include "tests/support/file_edit.h"
#include "read_everything.h"

namespace jettest {
namespace {

using testsupport::FileEdit;
using testsupport::Stored;

using Rows = std::vector<std::vector<std::string>>;

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

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
    case mkmdb::ColumnType::Double:
    case mkmdb::ColumnType::Single: {
      const char* digits = v.c_str();
      const bool single = column.type == mkmdb::ColumnType::Single;
      const double real = single ? std::strtof(digits, nullptr) : std::strtod(digits, nullptr);
      return "real:" + std::string(text, std::to_chars(text, text + sizeof text, real).ptr);
    }
    case mkmdb::ColumnType::Currency:
      return "money:" + mkmdb_test::DecimalText(v, 4);
    case mkmdb::ColumnType::Decimal:
      return "decimal:" + mkmdb_test::DecimalText(v, column.scale);
    case mkmdb::ColumnType::Guid: {
      const std::vector<std::uint8_t> bytes = mkmdb_test::GuidBytes(v);
      return "guid:" + Upper(mkmdb_test::HexText(bytes.data(), bytes.size()));
    }
    case mkmdb::ColumnType::Binary:
    case mkmdb::ColumnType::Ole:
      return "binary:" + Upper(v);
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

std::string Decimal(std::uint8_t sign, std::uint32_t high, std::uint32_t low) {
  return std::string(1, static_cast<char>(sign)) + Stored(high) + Stored(std::uint32_t{0}) +
         Stored(std::uint32_t{0}) + Stored(low);
}

std::string Utf16(const std::string& ascii) {
  std::string out;
  for (char c : ascii) out += std::string{c, '\0'};
  return out;
}

// A table "t" of `count` Double columns a, b, c, ... and one row.
mkmdb::TableSpec Doubles(int count) {
  mkmdb::TableSpec table{"t", {}, {{}}};
  for (int i = 0; i < count; ++i) {
    table.columns.push_back({std::string(1, static_cast<char>('a' + i)),
                             mkmdb::ColumnType::Double});
    table.rows[0].push_back("1");
  }
  return table;
}

struct StoredCase {
  const char* name;
  std::uint8_t type;
  std::uint8_t scale;
  std::string bytes;  // the stored value, set into the row's fixed area
  std::string expected;
};

// The first column's value of the one row once the column is retyped to the case's type, given
// `length` stored bytes (and the calculated flag when `calculated`) and the case's bytes.
std::string FirstValue(const std::string& base, const StoredCase& test, bool calculated,
                       std::uint16_t length) {
  FileEdit edit(base);
  edit.RetypeFixed("t", 0, test.type, 0, test.scale, calculated, length, test.bytes);
  const auto rows = TableTextOf(edit.bytes(), "t");
  return rows.size() == 1 ? rows[0][0] : std::to_string(rows.size()) + " rows: " + rows.back()[0];
}

// Five Doubles make room for the largest fixed type (a 17-byte decimal) and for a calculated
// field of 39 bytes.
TEST(StoredValuesTest, FixedSizeTypesOfOtherWritersDecode) {
  const std::string outOfRange = "error/out-of-range:table \"t\": column \"a\": stored date ";
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
       "error/damaged:table \"t\": column \"a\": the file has no MSysComplexColumns to "
       "find its values in"},
      {"unknown type", 0x11, 0, "", "error/unsupported:table \"t\": column \"a\": its type "
       "0x11 is not one this reader reads"},
  };
  const std::string base = DatabaseBytes({Doubles(5)});
  for (const StoredCase& test : cases) {
    EXPECT_EQ(FirstValue(base, test, false, 8), test.expected) << test.name;
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
      {1251, "\xC0\xED\xF2\xEE\xED\xEE\xE2", "Антонов"}, {932, "\x82\xA0\x82\xA2", "あい"},
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

TEST(CalculatedColumnTest, FixedResultsReadAsTheirType) {
  const std::string prefix = "error/damaged:table \"t\": column \"a\": ";
  const StoredCase cases[] = {
      {"long", 0x04, 0, WrappedCalculated(Stored(std::int32_t{12})), "int:12"},
      {"double", 0x07, 0, WrappedCalculated(Stored(83333.3333)), "real:83333.3333"},
      {"currency", 0x05, 0, WrappedCalculated(Stored(std::int64_t{-123456})), "money:-12.3456"},
      {"date", 0x08, 0, WrappedCalculated(Stored(36527.5)), "date:2000-01-02 12:00:00"},
      {"yes", 0x01, 0, WrappedCalculated("\x01"), "bool:1"},
      {"no", 0x01, 0, WrappedCalculated(std::string(1, '\0')), "bool:0"},
      {"decimal", 0x10, 3, WrappedCalculated(AutomationDecimal(3, false, 0, 50325)),
       "decimal:50.325"},
      {"decimal below its column's scale", 0x10, 4,
       WrappedCalculated(AutomationDecimal(2, true, 0, 1250)), "decimal:-12.5000"},
      {"decimal of 96 bits", 0x10, 0, WrappedCalculated(AutomationDecimal(0, false, 1, 0)),
       "decimal:18446744073709551616"},
      {"decimal scale past 28", 0x10, 0, WrappedCalculated(AutomationDecimal(29, false, 0, 1)),
       prefix + "its calculated decimal has scale 29, beyond the 28 a decimal can have"},
      {"value shorter than its type", 0x07, 0, WrappedCalculated(Stored(std::int32_t{1})),
       prefix + "its calculated value holds 4 bytes, fewer than the 8 its type needs"},
      {"length past the field", 0x04, 0,
       std::string(16, '\0') + Stored(std::uint32_t{100}),
       prefix + "its calculated value declares 100 bytes, but 19 follow its header"},
  };
  const std::string base = DatabaseBytes({Doubles(5)});
  for (const StoredCase& test : cases) {
    EXPECT_EQ(FirstValue(base, test, true, jet::kCalculatedFixedSize), test.expected) << test.name;
  }
}

TEST(CalculatedColumnTest, TextResultReadsFromTheVariableArea) {
  const std::string base = DatabaseBytes(
      {{"t", {{"a", mkmdb::ColumnType::Text, 100}}, {{std::string(60, 'x')}}}});
  struct CalculatedText {
    const char* name;
    std::string bytes;
    std::string expected;
  } cases[] = {
      {"text", WrappedCalculated(Utf16("Smith, John")), "text:Smith, John"},
      {"empty text", WrappedCalculated(""), "text:"},
      // '#': the bytes the field holds after the header.
      {"length past the field", std::string(16, '\0') + Stored(std::uint32_t{1000}),
       "error/damaged:table \"t\": column \"a\": its calculated value declares 1000 bytes, "
       "but # follow its header"},
  };
  for (const CalculatedText& test : cases) {
    FileEdit edit(base);
    edit.ColumnDescriptor("t", 0)[jet::kColumnExtraFlags] |= jet::kCalculatedFlags;
    std::size_t size = 0;
    std::uint8_t* field = edit.VariableValue("t", 0, 0, size);
    ASSERT_GE(size, test.bytes.size()) << test.name;
    std::memset(field, 0, size);
    std::memcpy(field, test.bytes.data(), test.bytes.size());
    const auto rows = TableTextOf(edit.bytes(), "t");
    ASSERT_FALSE(rows.empty());
    std::string expected = test.expected;
    const std::size_t mark = expected.find('#');
    if (mark != std::string::npos) {
      expected.replace(mark, 1, std::to_string(size - jet::kCalculatedValueOffset));
    }
    EXPECT_EQ(rows[0][0], expected) << test.name;
  }
}

TEST(ExtendedDateTest, StoredTextReadsToTheTick) {
  const std::string prefix = "error/damaged:table \"t\": column \"a\": its 42 stored bytes are "
                             "not a Date/Time Extended value (days:seconds:fraction)";
  const StoredCase cases[] = {
      {"first moment", 0x14, 0, "00000000000000000000:0000000000000:0000000",
       "date7:0001-01-01 00:00:00"},
      {"day 0 of Date/Time", 0x14, 0, "00000000000000693593:0000000000000:0000000",
       "date7:1899-12-30 00:00:00"},
      {"noon and a fraction", 0x14, 0, "00000000000000730119:0000000043200:1234500",
       "date7:2000-01-01 12:00:00.12345"},
      {"leap day", 0x14, 0, "00000000000000730178:0000000000001:0000001",
       "date7:2000-02-29 00:00:01.0000001"},
      {"last tick", 0x14, 0, "00000000000003652058:0000000086399:9999999",
       "date7:9999-12-31 23:59:59.9999999"},
      {"day after the last", 0x14, 0, "00000000000003652059:0000000000000:0000000",
       "error/out-of-range:table \"t\": column \"a\": its stored value (day 3652059, second 0) "
       "lies outside 0001-01-01..9999-12-31"},
      {"second past the day", 0x14, 0, "00000000000000000001:0000000086400:0000000",
       "error/out-of-range:table \"t\": column \"a\": its stored value (day 1, second 86400) "
       "lies outside 0001-01-01..9999-12-31"},
      {"letters", 0x14, 0, "0000000000000000000x:0000000000000:0000000", prefix},
      {"missing field", 0x14, 0, "00000000000000000001:0000000000000" + std::string(8, '\0'),
       prefix},
      {"fraction of 8 digits", 0x14, 0, "0000000000000000001:0000000000000:00000000", prefix},
  };
  const std::string base = DatabaseBytes({Doubles(6)});
  for (const StoredCase& test : cases) {
    ASSERT_EQ(test.bytes.size(), 42u) << test.name;
    EXPECT_EQ(FirstValue(base, test, false, 42), test.expected) << test.name;
  }
}

TEST(ComplexColumnTest, ValuesReadJoinedAndTheOtherColumnsStayReadable) {
  const std::string missing =
      "error/damaged:table \"owners\": column \"colors\": MSysComplexColumns has no row for "
      "ComplexID 9";
  // Values of both kinds, then a colors column whose ComplexID MSysComplexColumns does not know.
  const std::tuple<std::uint32_t, std::string, std::string> cases[] = {
      {7, "text:Red; Blue", "text:Green"}, {9, missing, missing}};
  for (const auto& [id, one, two] : cases) {
    EXPECT_EQ(TableTextOf(ComplexDatabase(id), "owners"),
              (Rows{{"text:one", one, "text:a.txt; b.png"}, {"text:two", two, "text:"},
                    {"text:three", "NULL", "text:"}}))
        << "ComplexID " << id;
  }
}

// Text read as a Date/Time Extended value (as statements compare one with text): every field
// at both ends of its range, and each one just past them.
TEST(ExtendedDateTest, TextReadsToTheTickWithinEachFieldsRange) {
  constexpr std::int64_t kDay = 864000000000;
  const struct {
    const char* text;
    std::int64_t ticks;
  } cases[] = {
      {"0001-01-01", 0}, {"0001-01-01 00:00:00", 0}, {"0001-01-01T00:00:00.0000001", 1},
      {"0001-01-02 00:00:00.5", kDay + 5000000},
      {"2000-02-29 23:59:59.9999999", 730178 * kDay + kDay - 1},
      {"9999-12-31 23:59:59.9999999", 3652059 * kDay - 1},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(jet::ParseExtendedDateText(test.text), test.ticks) << test.text;
  }
  for (const char* bad : {"0000-12-31", "2000-00-01", "2000-13-01", "2000-01-00", "2001-02-29",
                          "2000-01-01 24:00:00", "2000-01-01 00:60:00", "2000-01-01 00:00:60",
                          "2000-01-01 00:00:00.", "2000-01-01 00:00:00.12345678",
                          "2000-01-01 0:00:00", "2000/01/01", "2000-01-01x"}) {
    EXPECT_EQ(jet::ParseExtendedDateText(bad), std::nullopt) << bad;
  }
}

// A multi-value column's values are joined as text, each kind written as Access shows it.
TEST(ComplexColumnTest, EachKindOfValueAsText) {
  const auto value = [](jet::ValueKind kind, std::int64_t integer, double real = 0,
                        std::string bytes = {}) {
    return jet::Value{kind, jet::ValueError::None, integer, real, std::move(bytes)};
  };
  std::string guid;
  for (int i = 0; i < 16; ++i) guid += static_cast<char>(i == 15 ? 0xAB : i);
  const struct {
    jet::Value value;
    const char* text;
  } cases[] = {
      {value(jet::ValueKind::Null, 0), ""}, {value(jet::ValueKind::Bool, 1), "True"},
      {value(jet::ValueKind::Bool, 0), "False"}, {value(jet::ValueKind::Integer, -32768), "-32768"},
      {value(jet::ValueKind::Real, 0, 0.1), "0.1"}, {value(jet::ValueKind::Real, 0, 1e20), "1e+20"},
      {value(jet::ValueKind::Money, 12345000), "1234.5"},
      {value(jet::ValueKind::Money, -10001), "-1.0001"},
      {value(jet::ValueKind::Money, -9999), "-0.9999"}, {value(jet::ValueKind::Money, 20000), "2"},
      {value(jet::ValueKind::DateTime, 0, 36526.75), "2000-01-01 18:00:00"},
      {value(jet::ValueKind::DateTimeExtended, 630822816001234567), "2000-01-01 00:00:00.1234567"},
      {value(jet::ValueKind::Guid, 0, 0, guid), "{03020100-0504-0706-0809-0A0B0C0D0EAB}"},
      {value(jet::ValueKind::Decimal, 0, 0, "-12.50"), "-12.50"},
      {value(jet::ValueKind::Text, 0, 0, "Red"), "Red"},
  };
  for (const auto& test : cases) {
    EXPECT_EQ(jet::ComplexValueText(test.value), test.text) << test.text;
  }
}

// The file the driver's tests read: each kind beside the others in one row.
TEST(LaterColumnsTest, KindsSideBySideReadInOneRow) {
  const auto rows = TableTextOf(LaterColumnsDatabase(), "later");
  ASSERT_EQ(rows.size(), 1u);
  ASSERT_GT(rows[0].size(), 15u) << rows[0][0];
  EXPECT_EQ((std::vector<std::string>{rows[0][0], rows[0][5], rows[0][10], rows[0][15]}),
            (std::vector<std::string>{"int:12", "decimal:50.325", "real:83333.3333",
                                      "date7:2000-01-01 12:00:00.12345"}));
}

std::string ThreeRows() {
  return DatabaseBytes({{"t",
                         {{"name", mkmdb::ColumnType::Text, 20}, {"n", mkmdb::ColumnType::Long}},
                         {{"a", "1"}, {"b", "2"}, {"c", "3"}}}});
}

void SetFlags(FileEdit& edit, std::size_t row, std::uint16_t flags) {
  std::uint8_t* entry = edit.RowEntry(edit.RowPointer("t", row));
  jet::PutU16(entry, static_cast<std::uint16_t>(jet::GetU16(entry) | flags));
}

// Makes row `row` a pointer to `target` (its bytes stay, the pointer in the first four).
void PointRowTo(FileEdit& edit, std::size_t row, std::uint32_t target) {
  const std::uint32_t pointer = edit.RowPointer("t", row);
  SetFlags(edit, row, jet::kRowOverflow);
  std::size_t size = 0;
  jet::PutU32(edit.RowBytes(pointer, size), target);
}

// Moves the body of row `row` to a new page, as Access does when an update no longer fits.
void MoveRow(FileEdit& edit, std::size_t row) {
  const std::uint32_t pointer = edit.RowPointer("t", row);
  const std::uint32_t owner = edit.DefinitionPage("t");
  std::size_t size = 0;
  const std::uint8_t* bytes = edit.RowBytes(pointer, size);
  const std::string body(bytes, bytes + size);
  const std::uint32_t page = edit.AddPage();
  std::uint8_t* p = edit.Page(page);
  const std::size_t start = edit.PageSize() - size;
  p[0] = jet::kPageData;
  jet::PutU32(p + jet::kJet4Layout.dataOwner, owner);
  jet::PutU16(p + jet::kJet4Layout.dataRowCount, 1);
  jet::PutU16(p + jet::kJet4Layout.dataRowCount + 2,
              static_cast<std::uint16_t>(start | jet::kRowDeleted));
  std::memcpy(p + start, body.data(), size);
  PointRowTo(edit, row, jet::PageRow(page, 0));
}

void SetRowU16(FileEdit& edit, std::size_t row, std::size_t offset, std::uint16_t value) {
  std::size_t size = 0;
  std::uint8_t* bytes = edit.RowBytes(edit.RowPointer("t", row), size);
  jet::PutU16(bytes + (offset < size ? offset : size + offset), value);
}

// Edits the file and returns the rows a scan must then give.
struct RowCase {
  const char* name;
  std::function<Rows(FileEdit&)> edit;
};

TEST(RowStorageTest, RowsAreFoundWhereverTheyAreStored) {
  const std::vector<std::string> a = {"text:a", "int:1"}, b = {"text:b", "int:2"},
                                 c = {"text:c", "int:3"};
  // The start of a scan error about the second row.
  const auto second = [](FileEdit& e) {
    const std::uint32_t pointer = e.RowPointer("t", 1);
    return "scan error: table \"t\": data page " + std::to_string(pointer >> 8) + " row " +
           std::to_string(pointer & 0xFF);
  };
  // An edit whose expected rows do not depend on the file.
  const auto then = [](std::function<void(FileEdit&)> edit, Rows rows) {
    return [edit, rows](FileEdit& e) {
      edit(e);
      return rows;
    };
  };
  const RowCase cases[] = {
      {"untouched", then([](FileEdit&) {}, {a, b, c})},
      {"deleted row skipped", then([](FileEdit& e) { SetFlags(e, 1, jet::kRowDeleted); }, {a, c})},
      {"deleted pointer skipped",
       then([](FileEdit& e) { SetFlags(e, 1, jet::kRowDeleted | jet::kRowOverflow); }, {a, c})},
      {"moved row read at its new place", then([](FileEdit& e) { MoveRow(e, 1); }, {a, b, c})},
      {"row written before its second column was added",
       then([](FileEdit& e) { SetRowU16(e, 1, 0, 1); }, {a, {"text:b", "NULL"}, c})},
      {"moved row pointing to itself",
       [&](FileEdit& e) {
         const std::string error = second(e) + " is moved more than 8 times (its pointers loop)";
         PointRowTo(e, 1, e.RowPointer("t", 1));
         return Rows{a, {error}};
       }},
      {"moved row pointing past the file",
       [&](FileEdit& e) {
         const std::uint32_t past = e.PageCount() + 10;
         const std::string error = second(e) + " is moved to page " + std::to_string(past) +
                                   " row 0: page " + std::to_string(past) +
                                   " is past the end of the file (" +
                                   std::to_string(e.PageCount()) + " pages)";
         PointRowTo(e, 1, jet::PageRow(past, 0));
         return Rows{a, {error}};
       }},
      {"moved row pointing to another table's page",
       [&](FileEdit& e) {
         const std::uint32_t catalog = e.RowPointer("MSysObjects", 0) >> 8;
         const std::string error =
             second(e) + " is moved to page " + std::to_string(catalog) + " row 0: page " +
             std::to_string(catalog) + " holds rows of the table defined on page 2, not of the "
             "table defined on page " + std::to_string(e.DefinitionPage("t"));
         PointRowTo(e, 1, jet::PageRow(catalog, 0));
         return Rows{a, {error}};
       }},
      {"row offset past the page",
       [&](FileEdit& e) {
         const std::uint32_t first = e.RowPointer("t", 0);
         const std::string error =
             second(e) + " lies at offset 8191.." +
             std::to_string(jet::GetU16(e.RowEntry(first)) & jet::kRowOffsetMask) +
             ", past the page";
         jet::PutU16(e.RowEntry(e.RowPointer("t", 1)), 0x1FFF);
         return Rows{a, {error}};
       }},
      {"row count beyond the page",
       [&](FileEdit& e) {
         const std::string page = std::to_string(e.RowPointer("t", 0) >> 8);
         jet::PutU16(e.Page(e.RowPointer("t", 0) >> 8) + jet::kJet4Layout.dataRowCount, 0xFFFF);
         return Rows{{"scan error: table \"t\": its usage map lists page " + page +
                      ": data page " + page + " lists 65535 rows, more than a page holds"}};
       }},
      {"column count beyond the row",
       [&](FileEdit& e) {
         const std::string error =
             second(e) + ": its row of 15 bytes cannot hold the null mask of 65535 columns";
         SetRowU16(e, 1, 0, 0xFFFF);
         return Rows{a, {error}};
       }},
      {"variable area offsets out of order",
       then([](FileEdit& e) { SetRowU16(e, 1, -5, 200); },
            {a,
             {"error/damaged:table \"t\": column \"name\": the row's variable area offsets for it "
              "are out of order or out of the row",
              "int:2"},
             c})},
  };
  const std::string base = ThreeRows();
  for (const RowCase& test : cases) {
    FileEdit edit(base);
    const Rows expected = test.edit(edit);
    EXPECT_EQ(TableTextOf(edit.bytes(), "t"), expected) << test.name;
  }
}

void SetHeaderSetting(FileEdit& edit, std::size_t offset, std::uint32_t value) {
  std::uint8_t* settings = edit.Page(0) + jet::kHeaderSettingsOffset;
  const std::span<std::uint8_t> block(settings, jet::kHeaderSettingsSize);
  jet::Rc4Apply(jet::kHeaderSettingsKey, block);
  jet::PutU32(settings + offset - jet::kHeaderSettingsOffset, value);
  jet::Rc4Apply(jet::kHeaderSettingsKey, block);
}

struct FileCase {
  const char* name;
  std::function<void(FileEdit&)> edit;
  std::string openError;  // empty: opens and reads as the untouched file
};

TEST(FileKindTest, AccdbFilesReadAndOtherKindsAreRefusedSayingWhy) {
  const auto ace = [](std::uint8_t version) {
    return [version](FileEdit& e) {
      std::memcpy(e.Page(0) + 4, "Standard ACE DB", 16);
      e.Page(0)[jet::kHeaderVersionOffset] = version;
    };
  };
  const FileCase cases[] = {
      {"Access 2007", ace(2), ""}, {"Access 2016", ace(5), ""},
      {"Access 2007 with a stray password field",
       [&](FileEdit& e) {
         ace(2)(e);
         SetHeaderSetting(e, jet::kHeaderPasswordOffset, 0x41414141);
       },
       ""},
      {"encrypted without saying how",
       [&](FileEdit& e) {
         ace(2)(e);
         SetHeaderSetting(e, jet::kHeaderDatabaseKeyOffset, 0x1234);
       },
       "the file is encrypted, but its header describes no encryption this reader knows"},
      {"unknown version", [](FileEdit& e) { e.Page(0)[jet::kHeaderVersionOffset] = 9; },
       "the file's engine version 0x9 is not one this reader knows"},
      {"not a database", [](FileEdit& e) { std::memcpy(e.Page(0), "Hello, world", 12); },
       "the file is not an Access database (no database signature on its first page)"},
      {"catalog page overwritten",
       [](FileEdit& e) { std::memset(e.Page(jet::kCatalogDefinitionPage), 0, jet::kPageSize); },
       "the catalog's definition is broken: page 2 is not a table definition page (type 0x00)"},
  };
  const std::string base = ThreeRows();
  const Rows untouched = TableTextOf(base, "t");
  for (const FileCase& test : cases) {
    FileEdit edit(base);
    test.edit(edit);
    EXPECT_EQ(TableTextOf(edit.bytes(), "t"),
              test.openError.empty() ? untouched : Rows{{"open error: " + test.openError}})
        << test.name;
  }
  EXPECT_EQ(TableTextOf(base.substr(0, 100), "t"),
            Rows{{"open error: the file is too short to be a database (100 bytes)"}});
}

TEST(FileKindTest, LinkedTablesAreListedButNotRead) {
  FileEdit edit(ThreeRows());
  jet::PutU16(edit.FixedValue("MSysObjects", edit.RowWithText("MSysObjects", "Name", "t"),
                              edit.ColumnNamed("MSysObjects", "Type")),
              jet::kObjectLinkedTable);
  std::string error;
  auto database = jet::Database::OpenBytes(edit.bytes(), error);
  ASSERT_NE(database, nullptr) << error;
  ASSERT_EQ(database->Tables().back().name, "t");
  EXPECT_TRUE(database->Tables().back().linked);
  jet::TableDefinition definition;
  EXPECT_FALSE(database->ReadDefinition("T", definition, error));
  EXPECT_EQ(error,
            "table \"t\" is a link to a table in another database, whose definition is kept there");
}

// A Jet 3 row: count byte, a 4-byte fixed value, variable values of `sizes`, then the 1-byte
// offsets (end of data first), the jump table `jumps` (nearest the count first), the variable
// count and a one-byte null mask.
std::vector<std::uint8_t> Jet3Row(const std::vector<std::size_t>& sizes,
                                  const std::vector<std::uint8_t>& jumps) {
  std::vector<std::uint8_t> row = {4, 0, 0, 0, 0};
  std::vector<std::size_t> offsets;
  for (std::size_t size : sizes) {
    offsets.push_back(row.size());
    row.insert(row.end(), size, 'v');
  }
  offsets.push_back(row.size());
  for (std::size_t i = offsets.size(); i-- > 0;) row.push_back(offsets[i] & 0xFF);
  for (std::size_t i = jumps.size(); i-- > 0;) row.push_back(jumps[i]);
  row.push_back(static_cast<std::uint8_t>(sizes.size()));
  row.push_back(0x0F);
  return row;
}

TEST(RowLayoutTest, Jet3OffsetsPastAByteComeFromTheJumpTable) {
  const struct {
    const char* name;
    std::vector<std::uint8_t> row;
    std::vector<std::pair<std::size_t, std::size_t>> expected;  // each slot's start and end
  } cases[] = {
      // Slot 2 starts at 405 and the data ends at 605: the jumps name slot 2 and the end.
      {"two jumps", Jet3Row({200, 200, 200}, {2, 3}), {{5, 205}, {205, 405}, {405, 605}}},
      // A row just over 256 bytes whose data ends below 256: its jump is a dummy.
      {"dummy jump", Jet3Row({250}, {1}), {{5, 255}}},
      {"short row", Jet3Row({3, 0}, {}), {{5, 8}, {8, 8}}},
  };
  for (const auto& test : cases) {
    jet::RowLayout layout;
    std::string error;
    ASSERT_TRUE(layout.Parse(jet::kJet3Layout, test.row.data(), test.row.size(), true, error))
        << test.name << ": " << error;
    std::size_t start = 0, end = 0;
    EXPECT_TRUE(layout.Fixed(0, 4, start) && start == 1) << test.name;
    for (std::size_t slot = 0; slot < test.expected.size(); ++slot) {
      bool stored = false;
      EXPECT_TRUE(layout.Variable(static_cast<std::uint16_t>(slot), stored, start, end) &&
                  stored)
          << test.name << " slot " << slot;
      EXPECT_EQ(std::pair(start, end), test.expected[slot]) << test.name << " slot " << slot;
    }
  }
}

}  // namespace
}  // namespace jettest
