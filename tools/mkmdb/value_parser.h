// Reading the text form of Long, Double, Date/Time and Yes/No values (see mdb_writer.h).
// Each function throws ValueError saying what is wrong with the text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>

namespace mkmdb {

// A value that does not fit its column; the caller adds where it came from.
class ValueError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The longest text a Long or a Double may be written with; any number fits in far less, even
// with leading zeros or every digit of the smallest Double.
inline constexpr std::size_t kLongestNumberText = 1024;

std::int32_t ParseLong(std::string_view text);
double ParseDouble(std::string_view text);
bool ParseYesNo(std::string_view text);

// Returns the date as days since 1899-12-30 with the time of day as the fraction. Before that
// day the day count is negative and the fraction still counts forward from midnight, as the
// format wants: 1899-12-29 06:00 is -1.25.
double ParseDateTime(std::string_view text);

struct CivilDate {
  int year;
  unsigned month;
  unsigned day;
};
// The day number of a valid calendar date counted from 1899-12-30 (negative before it).
double DaysSinceEpoch(CivilDate date);

}  // namespace mkmdb
