// Reading the text form of numbers, dates, Yes/No values, GUIDs and bytes (see mdb_writer.h).
// Each function throws ValueError saying what is wrong with the text.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace mkmdb {

// A value that does not fit its column; the caller adds where it came from.
class ValueError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The longest text a Long or a Double may be written with; any number fits in far less, even
// with leading zeros or every digit of the smallest Double.
inline constexpr std::size_t kLongestNumberText = 1024;

std::uint8_t ParseByte(std::string_view text);
std::int16_t ParseInteger(std::string_view text);
std::int32_t ParseLong(std::string_view text);
float ParseSingle(std::string_view text);
double ParseDouble(std::string_view text);
bool ParseYesNo(std::string_view text);

// Currency: the value in ten-thousandths, read digit by digit (never through a double).
std::int64_t ParseCurrency(std::string_view text);

// A Decimal(precision, scale) value: its sign and the value times 10^scale.
struct DecimalValue {
  bool negative = false;  // never set for zero
  unsigned __int128 scaled = 0;
};
DecimalValue ParseDecimal(std::string_view text, int precision, int scale);

// A GUID as Jet stores it: the first three groups little-endian, the last two as written.
std::array<std::uint8_t, 16> ParseGuid(std::string_view text);

// Hexadecimal digits, two a byte, into `out`; at most `most` bytes.
void ParseHex(std::string_view text, std::size_t most, std::vector<std::uint8_t>& out);

// Returns the date as days since 1899-12-30 with the time of day (milliseconds included) as the
// fraction. Before that day the day count is negative and the fraction still counts forward from
// midnight, as the format wants: 1899-12-29 06:00 is -1.25.
double ParseDateTime(std::string_view text);

struct CivilDate {
  int year;
  unsigned month;
  unsigned day;
};
// The day number of a valid calendar date counted from 1899-12-30 (negative before it).
double DaysSinceEpoch(CivilDate date);

}  // namespace mkmdb
