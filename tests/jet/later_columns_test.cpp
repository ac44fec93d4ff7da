// The kinds of column later Access files hold, set byte by byte into writer-made rows:
// calculated columns with their stored results, Date/Time Extended values, and complex columns
// whose values live in a flat table that MSysComplexColumns names.
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/file_edit.h"
#include "jet/calculated_value.h"
#include "jet/complex_values.h"
#include "jet/extended_date.h"
#include "later_column_files.h"
#include "sample_files.h"
#include "value_text.h"

namespace jettest {
namespace {

using testsupport::FileEdit;
using testsupport::Stored;

std::string Wrapped(const std::string& value) { return WrappedCalculated(value); }

std::string Utf16(const std::string& ascii) {
  std::string out;
  for (char c : ascii) out += std::string{c, '\0'};
  return out;
}

mkmdb::TableSpec Doubles(const std::string& name, int count) {
  mkmdb::TableSpec table{name, {}, {{}}};
  for (int i = 0; i < count; ++i) {
    table.columns.push_back({std::string(1, static_cast<char>('a' + i)), mkmdb::ColumnType::Double});
    table.rows[0].push_back("1");
  }
  return table;
}

// The first column's value of the first row once the column is retyped to `type`, given
// `length` stored bytes (and the calculated flag when `calculated`) and `bytes` in its field.
std::string FirstValue(const std::string& base, std::uint8_t type, std::uint8_t scale,
                       bool calculated, std::uint16_t length, const std::string& bytes) {
  FileEdit edit(base);
  edit.RetypeFixed("t", 0, type, 0, scale, calculated, length, bytes);
  const auto rows = TableTextOf(edit.bytes(), "t");
  return rows.empty() ? "no row" : rows[0][0];
}

struct FixedCase {
  const char* name;
  std::uint8_t type;
  std::uint8_t scale;
  std::string bytes;
  std::string expected;
};

TEST(CalculatedColumnTest, FixedResultsReadAsTheirType) {
  const std::string prefix = "error/damaged:table \"t\": column \"a\": ";
  const FixedCase cases[] = {
      {"long", 0x04, 0, Wrapped(Stored(std::int32_t{12})), "int:12"},
      {"double", 0x07, 0, Wrapped(Stored(83333.3333)), "real:83333.3333"},
      {"currency", 0x05, 0, Wrapped(Stored(std::int64_t{-123456})), "money:-12.3456"},
      {"date", 0x08, 0, Wrapped(Stored(36527.5)), "date:2000-01-02 12:00:00"},
      {"yes", 0x01, 0, Wrapped("\x01"), "bool:1"},
      {"no", 0x01, 0, Wrapped(std::string(1, '\0')), "bool:0"},
      {"decimal", 0x10, 3, Wrapped(AutomationDecimal(3, false, 0, 50325)), "decimal:50.325"},
      {"decimal below its column's scale", 0x10, 4,
       Wrapped(AutomationDecimal(2, true, 0, 1250)), "decimal:-12.5000"},
      {"decimal of 96 bits", 0x10, 0, Wrapped(AutomationDecimal(0, false, 1, 0)),
       "decimal:18446744073709551616"},
      {"decimal scale past 28", 0x10, 0, Wrapped(AutomationDecimal(29, false, 0, 1)),
       prefix + "its calculated decimal has scale 29, beyond the 28 a decimal can have"},
      {"value shorter than its type", 0x07, 0, Wrapped(Stored(std::int32_t{1})),
       prefix + "its calculated value holds 4 bytes, fewer than the 8 its type needs"},
      {"length past the field", 0x04, 0,
       std::string(16, '\0') + Stored(std::uint32_t{100}),
       prefix + "its calculated value declares 100 bytes, but 19 follow its header"},
  };
  const std::string base = DatabaseBytes({Doubles("t", 5)});
  for (const FixedCase& test : cases) {
    EXPECT_EQ(FirstValue(base, test.type, test.scale, true, jet::kCalculatedFixedSize, test.bytes),
              test.expected)
        << test.name;
  }
}

TEST(CalculatedColumnTest, TextResultReadsFromTheVariableArea) {
  const std::string base = DatabaseBytes(
      {{"t", {{"a", mkmdb::ColumnType::Text, 100}}, {{std::string(60, 'x')}}}});
  struct TextCase {
    const char* name;
    std::string bytes;
    std::string expected;
  } cases[] = {
      {"text", Wrapped(Utf16("Smith, John")), "text:Smith, John"},
      {"empty text", Wrapped(""), "text:"},
      // '#': the bytes the field holds after the header.
      {"length past the field", std::string(16, '\0') + Stored(std::uint32_t{1000}),
       "error/damaged:table \"t\": column \"a\": its calculated value declares 1000 bytes, "
       "but # follow its header"},
  };
  for (const TextCase& test : cases) {
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
  const FixedCase cases[] = {
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
  const std::string base = DatabaseBytes({Doubles("t", 6)});
  for (const FixedCase& test : cases) {
    ASSERT_EQ(test.bytes.size(), 42u) << test.name;
    EXPECT_EQ(FirstValue(base, test.type, 0, false, 42, test.bytes), test.expected) << test.name;
  }
}

TEST(ComplexColumnTest, ValuesReadJoinedAndTheOtherColumnsStayReadable) {
  const std::string missing =
      "error/damaged:table \"owners\": column \"colors\": MSysComplexColumns has no row for "
      "ComplexID 9";
  struct ComplexCase {
    const char* name;
    std::uint32_t colorsId;
    std::vector<std::vector<std::string>> rows;
  } cases[] = {
      {"values of both kinds",
       7,
       {{"text:one", "text:Red; Blue", "text:a.txt; b.png"},
        {"text:two", "text:Green", "text:"},
        {"text:three", "NULL", "text:"}}},
      {"a column MSysComplexColumns does not know",
       9,
       {{"text:one", missing, "text:a.txt; b.png"},
        {"text:two", missing, "text:"},
        {"text:three", "NULL", "text:"}}},
  };
  for (const ComplexCase& test : cases) {
    EXPECT_EQ(TableTextOf(ComplexDatabase(test.colorsId), "owners"), test.rows) << test.name;
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
      {"0001-01-01", 0},
      {"0001-01-01 00:00:00", 0},
      {"0001-01-01T00:00:00.0000001", 1},
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
    jet::Value v;
    v.kind = kind;
    v.integer = integer;
    v.real = real;
    v.bytes = std::move(bytes);
    return v;
  };
  std::string guid;
  for (int i = 0; i < 16; ++i) guid += static_cast<char>(i == 15 ? 0xAB : i);
  const struct {
    jet::Value value;
    const char* text;
  } cases[] = {
      {value(jet::ValueKind::Null, 0), ""},
      {value(jet::ValueKind::Bool, 1), "True"},
      {value(jet::ValueKind::Bool, 0), "False"},
      {value(jet::ValueKind::Integer, -32768), "-32768"},
      {value(jet::ValueKind::Real, 0, 0.1), "0.1"},
      {value(jet::ValueKind::Real, 0, 1e20), "1e+20"},
      {value(jet::ValueKind::Money, 12345000), "1234.5"},
      {value(jet::ValueKind::Money, -10001), "-1.0001"},
      {value(jet::ValueKind::Money, -9999), "-0.9999"},
      {value(jet::ValueKind::Money, 20000), "2"},
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

}  // namespace
}  // namespace jettest
