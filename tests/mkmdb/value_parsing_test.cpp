// The writer's text: values and column types read from their text forms, rows read from
// tab-separated text, and text stored checked as UTF-8 and written compressed or as UTF-16.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <sstream>
#include <streambuf>
#include <string>
#include <tuple>
#include <vector>

#include "jet_text.h"
#include "mdb_writer.h"
#include "round_trip.h"
#include "tsv_rows.h"
#include "value_parser.h"

namespace {

using mkmdb::ColumnType;
using mkmdb::Value;
using mkmdb::ValueError;
using mkmdb_test::MessageOf;

// Each text of `good` reads as the value beside it; each text of `bad` is refused.
template <typename T, typename Parse>
void ExpectReads(Parse parse, std::initializer_list<std::pair<const char*, T>> good,
                 std::initializer_list<const char*> bad) {
  for (const auto& [text, expected] : good) EXPECT_EQ(parse(text), expected) << text;
  for (const char* text : bad) EXPECT_THROW(parse(text), ValueError) << text;
}

TEST(LongValues, ReadsTheWholeRangeAndRefusesAnythingElse) {
  ExpectReads<std::int32_t>(
      mkmdb::ParseLong,
      {{"0", 0}, {"-42", -42}, {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1}},
      {"", "2147483648", "-2147483649", "12x", " 1", "1 ", "+1", "1.0", "0x10", "--1"});
}

TEST(DoubleValues, ReadsDecimalAndExponentFormsButOnlyFiniteNumbers) {
  ExpectReads<double>(mkmdb::ParseDouble,
                      {{"3.25", 3.25}, {"-1e-3", -0.001}, {"12", 12.0},
                       {"1.7976931348623157e308", 1.7976931348623157e308}, {"0.1", 0.1}},
                      {"", "abc", "1e999", "nan", "inf", "-inf", "1,5", " 1", "1.5x", "+2"});
}

// Whole numbers of every width: both ends of the range read, one past either end is refused,
// and so are other shapes.
TEST(WholeNumbers, EachWidthReadsItsWholeRangeAndNothingElse) {
  ExpectReads<int>(mkmdb::ParseByte, {{"0", 0}, {"255", 255}}, {"256", "-1", "1.0", ""});
  ExpectReads<int>(mkmdb::ParseInteger, {{"-32768", -32768}, {"32767", 32767}},
                   {"32768", "-32769", " 1", "+1"});
}

TEST(SingleValues, ReadAsTheNearestFloatWithinItsRange) {
  ExpectReads<float>(
      mkmdb::ParseSingle,
      {{"3.25", 3.25f}, {"0.1", 0.1f}, {"-3.4028235e38", -3.4028235e38f}, {"1e-45", 1e-45f}},
      {"3.5e38", "1e39", "nan", "inf", "", "1,5", "+2"});
}

// Currency and Decimal keep every digit: the largest values differ from their neighbours only
// in the last digit, which a double could not hold.
TEST(ExactNumbers, CurrencyKeepsTenThousandthsToTheEndsOfItsRange) {
  ExpectReads<std::int64_t>(mkmdb::ParseCurrency,
                            {{"0", 0}, {"-0", 0}, {"12.5", 125000}, {"-0.0001", -1},
                             {"00012.3400", 123400}, {"922337203685477.5807", 9223372036854775807},
                             {"922337203685477.5806", 9223372036854775806},
                             {"-922337203685477.5808", -9223372036854775807 - 1}},
                            {"922337203685477.5808", "-922337203685477.5809", "1000000000000000",
                             "0.00001", "1e3", "1.", ".5", "", "-", "1.2.3", "+1", "1,000",
                             " 1"});
}

TEST(ExactNumbers, DecimalKeepsItsPrecisionAndScale) {
  const auto scaled = [](const char* text, int precision, int scale) {
    const mkmdb::DecimalValue value = mkmdb::ParseDecimal(text, precision, scale);
    return mkmdb_test::ScaledText(value.negative, value.scaled, 0);
  };
  EXPECT_EQ(scaled("-123.456", 18, 6), "-123456000");
  EXPECT_EQ(scaled("9999999999999999999999999999", 28, 0), "9999999999999999999999999999");
  EXPECT_EQ(scaled("-0.9999999999999999999999999999", 28, 28),
            "-9999999999999999999999999999");
  EXPECT_EQ(scaled("-0.000", 5, 3), "0");
  EXPECT_EQ(scaled("000123", 3, 0), "123");
  const struct {
    const char* text;
    int precision, scale;
  } bad[] = {{"10000000000000000000000000000", 28, 0}, {"1.5", 28, 28}, {"0.12345", 10, 4},
             {"1000", 5, 2}, {"1e5", 10, 0}, {"", 5, 0}, {"12a", 5, 0}};
  for (const auto& c : bad) {
    EXPECT_THROW(mkmdb::ParseDecimal(c.text, c.precision, c.scale), ValueError) << c.text;
  }
}

TEST(GuidValues, StoreTheFirstThreeGroupsLittleEndian) {
  const std::array<std::uint8_t, 16> expected = {0x67, 0x45, 0x23, 0x01, 0xAB, 0x89, 0xEF, 0xCD,
                                                 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
  ExpectReads<std::array<std::uint8_t, 16>>(
      mkmdb::ParseGuid,
      {{"{01234567-89AB-CDEF-0123-456789ABCDEF}", expected},
       {"01234567-89ab-cdef-0123-456789abcdef", expected}},
      {"", "{01234567-89AB-CDEF-0123-456789ABCDEF", "01234567-89AB-CDEF-0123",
       "{0123456789AB-CDEF-0123-456789ABCDEF0}", "{01234567-89AB-CDEF-0123-456789ABCDEG}",
       "{01234567+89AB-CDEF-0123-456789ABCDEF}"});
}

TEST(HexValues, TwoDigitsAByteUpToTheColumnSize) {
  std::vector<std::uint8_t> bytes;
  mkmdb::ParseHex("00fF10", 3, bytes);
  EXPECT_EQ(bytes, (std::vector<std::uint8_t>{0x00, 0xFF, 0x10}));
  mkmdb::ParseHex("", 3, bytes);
  EXPECT_TRUE(bytes.empty());
  const std::pair<const char*, const char*> bad[] = {
      {"0", "\"0\" has an odd number of hexadecimal digits"},
      {" 00", "\" 00\" has an odd number of hexadecimal digits"},
      {"0g", "\"0g\" holds a character that is not a hexadecimal digit at 2"},
      {"g0", "\"g0\" holds a character that is not a hexadecimal digit at 1"},
      {"00112233", "the value has 4 bytes; the column holds at most 3"}};
  for (const auto& [text, message] : bad) {
    EXPECT_EQ(MessageOf<ValueError>([&] { mkmdb::ParseHex(text, 3, bytes); }), message);
  }
}

TEST(YesNoValues, AcceptsDigitsAndWordsInAnyCase) {
  for (const char* yes : {"1", "true", "TRUE", "Yes", "yes"}) EXPECT_TRUE(mkmdb::ParseYesNo(yes));
  for (const char* no : {"0", "false", "False", "NO", "no"}) EXPECT_FALSE(mkmdb::ParseYesNo(no));
  for (const char* bad : {"", "2", "y", "oui", "-1", "truex"}) {
    EXPECT_THROW(mkmdb::ParseYesNo(bad), ValueError) << bad;
  }
}

// Anchors of the day count: day 0 is 1899-12-30, 1900-01-01 is day 2, 2000-01-01 is day 36526
// (100 years of 365 days plus 25 leap days, plus the 2 days of 1899), and 1800-01-01 is 36522
// days before day 0 (36524 days from 1800-01-01 to 1900-01-01, less 2).
TEST(DateTimeValues, CountDaysFrom1899December30WithTheTimeAsFraction) {
  ExpectReads<double>(
      mkmdb::ParseDateTime,
      {{"1899-12-30", 0.0}, {"1900-01-01", 2.0}, {"2000-01-01", 36526.0},
       {"2000-01-01 12:00:00", 36526.5}, {"2000-01-01T18:00:00", 36526.75},
       {"1800-01-01", -36522.0},
       // Milliseconds: one to three digits of the second's fraction.
       {"2000-01-01 00:00:00.5", 36526.0 + 500 / 86400000.0},
       {"2000-01-01 00:00:00.05", 36526.0 + 50 / 86400000.0},
       {"2000-01-01 00:00:00.005", 36526.0 + 5 / 86400000.0},
       {"9999-12-31 23:59:59.999", 2958465.0 + 86399999 / 86400000.0},
       {"1899-12-29 06:00:00.250", -1.0 - 21600250 / 86400000.0}},
      {});
  EXPECT_DOUBLE_EQ(mkmdb::ParseDateTime("2000-01-01 00:00:01"), 36526.0 + 1.0 / 86400.0);
}

TEST(DateTimeValues, BeforeDayZeroTheFractionStillCountsForward) {
  EXPECT_EQ(mkmdb::ParseDateTime("1899-12-29 06:00:00"), -1.25);
  EXPECT_EQ(mkmdb::ParseDateTime("1899-12-28 18:00:00"), -2.75);
}

TEST(DateTimeValues, RefusesImpossibleDatesAndOtherShapes) {
  ExpectReads<double>(mkmdb::ParseDateTime, {},
                      {"", "2021-02-29", "2000-13-01", "2000-00-10", "2000-01-32", "2000-1-1",
                       "21-01-01", "2000-01-01 24:00:00", "2000-01-01 12:60:00",
                       "2000-01-01 12:00:60", "2000-01-01 12:00", "2000/01/01", "0099-12-31",
                       "2000-01-01  12:00:00", "10000-01-01", "2000-01-01 12:00:00.",
                       "2000-01-01 12:00:00.1234", "2000-01-01 12:00:00,5",
                       "2000-01-01 12:00:00.5x", "2000-01-01.5"});
  EXPECT_NO_THROW(mkmdb::ParseDateTime("2000-02-29"));
  EXPECT_NO_THROW(mkmdb::ParseDateTime("0100-01-01"));
  EXPECT_NO_THROW(mkmdb::ParseDateTime("9999-12-31 23:59:59"));
}

// A column's name, type, size, precision and scale.
auto Parts(const mkmdb::ColumnSpec& c) {
  return std::tuple(c.name, c.type, c.size, c.precision, c.scale);
}

TEST(ColumnSpecs, ReadNameAndTypeInAnyLetterCase) {
  EXPECT_EQ(Parts(mkmdb::ParseColumnSpec("marque:text(50)")),
            Parts({"marque", ColumnType::Text, 50}));
  EXPECT_EQ(mkmdb::ParseColumnSpec("a:TEXT(255)").size, 255);
  const struct {
    const char* text;
    ColumnType type;
  } plain[] = {{"n:Long", ColumnType::Long},           {"m:memo", ColumnType::Memo},
               {"d:double", ColumnType::Double},       {"t:datetime", ColumnType::DateTime},
               {"b:yesno", ColumnType::YesNo},         {"b:boolean", ColumnType::YesNo},
               {"a:byte", ColumnType::Byte},           {"a:Integer", ColumnType::Integer},
               {"a:short", ColumnType::Integer},       {"a:single", ColumnType::Single},
               {"a:CURRENCY", ColumnType::Currency},   {"a:guid", ColumnType::Guid},
               {"a:ReplicationID", ColumnType::Guid},  {"a:ole", ColumnType::Ole},
               {"a:autonumber", ColumnType::AutoNumber}, {"a:counter", ColumnType::AutoNumber},
               {"a:hyperlink", ColumnType::Hyperlink}};
  for (const auto& c : plain) EXPECT_EQ(mkmdb::ParseColumnSpec(c.text).type, c.type) << c.text;
  EXPECT_EQ(Parts(mkmdb::ParseColumnSpec("d:Decimal(18,6)")),
            Parts({"d", ColumnType::Decimal, 0, 18, 6}));
  EXPECT_EQ(Parts(mkmdb::ParseColumnSpec("b:binary(510)")), Parts({"b", ColumnType::Binary, 510}));
  // The name runs up to the last colon.
  EXPECT_EQ(mkmdb::ParseColumnSpec("heure:minute:long").name, "heure:minute");
}

TEST(ColumnSpecs, TypeNamesReadBackAsTheSameType) {
  for (const char* written :
       {"a:text(1)", "a:text(255)", "a:memo", "a:long", "a:double", "a:datetime", "a:yesno",
        "a:byte", "a:integer", "a:single", "a:currency", "a:decimal(28,0)", "a:decimal(5,5)",
        "a:guid", "a:binary(1)", "a:ole", "a:autonumber", "a:hyperlink"}) {
    const auto column = mkmdb::ParseColumnSpec(written);
    EXPECT_EQ(Parts(mkmdb::ParseColumnSpec("a:" + mkmdb::ColumnTypeName(column))), Parts(column))
        << written;
  }
}

TEST(ColumnSpecs, RefuseUnknownTypesAndBadSizes) {
  for (const char* bad : {"marque", "marque:", "marque:varchar(5)", "marque:text", "marque:text()",
                          "marque:text(0)", "marque:text(256)", "marque:text(5", "marque:text(x)",
                          "marque:int", "m:binary(0)", "m:binary(511)", "m:binary", "m:decimal",
                          "m:decimal(29,0)", "m:decimal(5,6)", "m:decimal(0,0)", "m:decimal(5)",
                          "m:decimal(5,2,1)", "m:decimal(5,-1)", "m:numeric(5, 2)"}) {
    EXPECT_THROW(mkmdb::ParseColumnSpec(bad), mkmdb::WriterError) << bad;
  }
  const std::string message =
      MessageOf<mkmdb::WriterError>([] { mkmdb::ParseColumnSpec("marque:varchar(5)"); });
  EXPECT_NE(message.find("marque"), std::string::npos) << message;
  EXPECT_NE(message.find("varchar(5)"), std::string::npos) << message;
}

const std::vector<mkmdb::ColumnSpec> kTwo = {{"marque", ColumnType::Text, 50},
                                             {"pays", ColumnType::Text, 50}};

using Rows = std::vector<std::vector<Value>>;

Rows ReadAll(const std::string& text, const std::vector<mkmdb::ColumnSpec>& columns = kTwo) {
  std::istringstream input(text);
  mkmdb::TsvRows rows(input, "rows.tsv", columns);
  Rows out;
  std::vector<Value> row;
  while (rows.Next(row)) out.push_back(row);
  return out;
}

TEST(TsvRows, SplitsOnTabsAndTellsNullFromEmpty) {
  EXPECT_EQ(ReadAll("Airbus\tFrance\n\\N\t\n\t\\N\n"),
            (Rows{{"Airbus", "France"}, {std::nullopt, ""}, {"", std::nullopt}}));
}

TEST(TsvRows, UnescapesBackslashSequences) {
  // An escaped backslash before N is text, not NULL.
  EXPECT_EQ(ReadAll("a\\tb\\nc\\rd\\\\e\t\\\\N\n"), (Rows{{"a\tb\nc\rd\\e", "\\N"}}));
}

TEST(TsvRows, ToleratesCrLfAMissingLastLineFeedAndALeadingByteOrderMark) {
  EXPECT_EQ(ReadAll("\xEF\xBB\xBF" "Airbus\tFrance\r\nBoeing\tUSA"),
            (Rows{{"Airbus", "France"}, {"Boeing", "USA"}}));
  // Only at the very start: later it is text.
  EXPECT_EQ(ReadAll("a\tb\n\xEF\xBB\xBFx\ty\n"), (Rows{{"a", "b"}, {"\xEF\xBB\xBFx", "y"}}));
}

TEST(TsvRows, AnEmptyLineIsOneEmptyFieldAndALoneByteOrderMarkIsNoLine) {
  const std::vector<mkmdb::ColumnSpec> one = {{"marque", ColumnType::Text, 50}};
  EXPECT_EQ(ReadAll("\n\nx\n", one), (Rows{{""}, {""}, {"x"}}));
  EXPECT_EQ(ReadAll("", one), Rows{});
  EXPECT_EQ(ReadAll("\xEF\xBB\xBF", one), Rows{});
  EXPECT_EQ(ReadAll("\xEF\xBB\xBF\n", one), Rows{{""}});
  EXPECT_EQ(ReadAll("\xEF\xBB\xBF\r\n", one), Rows{{""}});
}

// An endless line without a line feed, counting what is read of it.
class EndlessLine : public std::streambuf {
 public:
  std::size_t consumed() const { return consumed_; }

 protected:
  int_type underflow() override {
    if (consumed_ > (std::size_t{1} << 32)) return traits_type::eof();  // a bound for a fault
    buffer_.fill('7');
    consumed_ += buffer_.size();
    setg(buffer_.data(), buffer_.data(), buffer_.data() + buffer_.size());
    return traits_type::to_int_type(buffer_[0]);
  }

 private:
  std::array<char, 4096> buffer_;
  std::size_t consumed_ = 0;
};

// A line is refused once it passes the longest line the columns can hold, without reading on.
TEST(TsvRows, AnOverlongLineIsRefusedAsSoonAsItPassesTheLargestRow) {
  struct Case {
    std::vector<mkmdb::ColumnSpec> columns;
    std::size_t longest;  // bytes of the largest line the columns can hold
  };
  constexpr std::size_t kMemoText = 3 * (0xFFFFFF / 2);  // 3 bytes per unit, 2 bytes stored
  for (const Case& c : {
           Case{{{"t", ColumnType::Text, 5}}, 3 + 15 + 2},
           Case{{{"n", ColumnType::Long}, {"x", ColumnType::Double}}, 3 + 1024 * 2 + 3},
           Case{{{"m", ColumnType::Memo}, {"d", ColumnType::DateTime}, {"b", ColumnType::YesNo}},
                3 + kMemoText + 23 + 5 + 4},
           Case{{{"g", ColumnType::Guid}, {"o", ColumnType::Binary, 10}}, 3 + 38 + 20 + 3},
       }) {
    EndlessLine endless;
    std::istream input(&endless);
    mkmdb::TsvRows rows(input, "rows.tsv", c.columns);
    std::vector<Value> row;
    const std::string message = MessageOf<mkmdb::WriterError>([&] { rows.Next(row); });
    EXPECT_NE(message.find("rows.tsv line 1"), std::string::npos) << message;
    EXPECT_NE(message.find(std::to_string(c.longest) + " bytes"), std::string::npos) << message;
    EXPECT_GT(endless.consumed(), c.longest);
    EXPECT_LT(endless.consumed(), c.longest + 2 * 64 * 1024) << "read on past the limit";
  }
}

TEST(TsvRows, ErrorsNameTheLineAndTheColumn) {
  for (const auto& [text, pieces] : std::vector<std::pair<std::string, std::vector<std::string>>>{
           {"a\tb\nc\n", {"rows.tsv line 2", "expected 2", "found 1"}},
           {"a\tb\nc\td\te\n", {"line 2", "found 3"}},
           {"a\tb\nc\td\ne\tf\\x\n", {"line 3", "\"pays\""}},
           {"a\tb\\\n", {"\"pays\""}}}) {
    const std::string error = MessageOf<mkmdb::WriterError>([&] { ReadAll(text); });
    for (const auto& piece : pieces) EXPECT_NE(error.find(piece), std::string::npos) << error;
  }
}

using Bytes = std::vector<std::uint8_t>;

Bytes Encoded(std::u16string_view text, bool allow = true) {
  Bytes out;
  EXPECT_TRUE(mkmdb::EncodeJetText(text, allow, out));
  return out;
}

TEST(JetText, AsciiIsStoredCompressedAfterTheMarker) {
  EXPECT_EQ(Encoded(u"Boeing"), (Bytes{0xFF, 0xFE, 'B', 'o', 'e', 'i', 'n', 'g'}));
}

TEST(JetText, CompressedTextSwitchesToWideModeWithAZeroByte) {
  // Narrow "abcd", then a zero byte and U+0436 as two bytes: 9 bytes against 10.
  EXPECT_EQ(Encoded(u"abcdж"), (Bytes{0xFF, 0xFE, 'a', 'b', 'c', 'd', 0x00, 0x36, 0x04}));
  // Back to narrow for the last character.
  EXPECT_EQ(Encoded(u"abcdжe"),
            (Bytes{0xFF, 0xFE, 'a', 'b', 'c', 'd', 0x00, 0x36, 0x04, 0x00, 'e'}));
  // "abcж" would take 8 bytes either way, so it stays plain.
  EXPECT_EQ(Encoded(u"abcж"), (Bytes{'a', 0, 'b', 0, 'c', 0, 0x36, 0x04}));
}

TEST(JetText, CharactersWithALowZeroByteForbidCompression) {
  EXPECT_FALSE(mkmdb::CompressionAllowed(u"x一y"));
  EXPECT_FALSE(mkmdb::CompressionAllowed(u"xĀyz"));
  EXPECT_TRUE(mkmdb::CompressionAllowed(u"Туполев"));
  EXPECT_EQ(Encoded(u"x一y"), (Bytes{'x', 0x00, 0x00, 0x4E, 'y', 0x00}));
  EXPECT_EQ(Encoded(u"xĀyz"), (Bytes{'x', 0x00, 0x00, 0x01, 'y', 0x00, 'z', 0x00}));
}

TEST(JetText, CompressionIsUsedOnlyWhenShorter) {
  // All wide: the marker and switch make the compressed form longer.
  EXPECT_EQ(Encoded(u"Ту"), (Bytes{0x22, 0x04, 0x43, 0x04}));
  EXPECT_EQ(Encoded(u""), Bytes{});
  EXPECT_EQ(Encoded(u"a"), (Bytes{'a', 0x00}));  // 3 bytes compressed against 2
  EXPECT_EQ(Encoded(u"abc", false), (Bytes{'a', 0, 'b', 0, 'c', 0}));
}

TEST(JetText, TextStartingWithAByteOrderMarkNeverLooksLikeTheMarker) {
  // Plain UTF-16 would begin FF FE and read as compressed; it is compressed instead.
  const Bytes bom = Encoded(u"\uFEFF");
  ASSERT_GE(bom.size(), 2u);
  EXPECT_EQ(bom, (Bytes{0xFF, 0xFE, 0x00, 0xFF, 0xFE}));
  Bytes out;
  EXPECT_FALSE(mkmdb::EncodeJetText(u"\uFEFFĀ", true, out));
  EXPECT_FALSE(mkmdb::EncodeJetText(u"\uFEFFa", false, out));
}

}  // namespace
