#include "value_parser.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>
#include <string>

namespace mkmdb {
namespace {

std::string Quoted(std::string_view text) {
  constexpr std::size_t kShown = 40;
  std::string shown(text.substr(0, kShown));
  if (text.size() > kShown) shown += "...";
  return "\"" + shown + "\"";
}

// Reads exactly `width` digits at `pos`.
bool Digits(std::string_view text, std::size_t pos, std::size_t width, unsigned& value) {
  if (pos + width > text.size()) return false;
  value = 0;
  for (std::size_t i = pos; i < pos + width; ++i) {
    char c = text[i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  return true;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (x != b[i]) return false;
  }
  return true;
}

void CheckNumberLength(std::string_view text) {
  if (text.size() > kLongestNumberText) {
    throw ValueError(Quoted(text) + " is longer than " + std::to_string(kLongestNumberText) +
                     " characters, more than any number needs");
  }
}

}  // namespace

namespace {

// A whole number of type T in its full range; `type` names it for messages.
template <typename T>
T ParseWhole(std::string_view text, const char* type) {
  CheckNumberLength(text);
  T value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc::result_out_of_range) {
    throw ValueError(Quoted(text) + " is outside the " + type + " range " +
                     std::to_string(+std::numeric_limits<T>::min()) + ".." +
                     std::to_string(+std::numeric_limits<T>::max()));
  }
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    throw ValueError(Quoted(text) + " is not a whole number");
  }
  return value;
}

// A finite number in decimal or exponent form, of type T.
template <typename T>
T ParseReal(std::string_view text, const char* type) {
  CheckNumberLength(text);
  T value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value,
                                      std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    throw ValueError(Quoted(text) + " is outside the range of a " + type);
  }
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    throw ValueError(Quoted(text) + " is not a number");
  }
  if (!std::isfinite(value)) throw ValueError(Quoted(text) + " is not a finite number");
  return value;
}

// A number written [-]digits[.digits] with at most `most_fraction` digits after the point,
// as its sign and its value times 10^scale (scale >= most_fraction). Refuses values of
// `most_digits` or more digits before the point (leading zeros aside) with `range`.
struct ScaledNumber {
  bool negative = false;
  unsigned __int128 scaled = 0;
};
ScaledNumber ParseScaled(std::string_view text, int scale, int most_integer_digits,
                         const std::string& range, const std::string& type) {
  CheckNumberLength(text);
  ScaledNumber out;
  std::size_t at = 0;
  if (at < text.size() && text[at] == '-') {
    out.negative = true;
    ++at;
  }
  const auto digits_from = [&](std::size_t from) {
    std::size_t end = from;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    return end;
  };
  const std::size_t integer_end = digits_from(at);
  std::size_t fraction_begin = integer_end, fraction_end = integer_end;
  if (integer_end < text.size() && text[integer_end] == '.') {
    fraction_begin = integer_end + 1;
    fraction_end = digits_from(fraction_begin);
    if (fraction_end == fraction_begin) fraction_end = text.size() + 1;  // "1." is refused
  }
  if (integer_end == at || fraction_end != text.size()) {
    throw ValueError(Quoted(text) + " is not a " + type + " value ([-]digits[.digits])");
  }
  const std::size_t fraction_digits = fraction_end - fraction_begin;
  if (fraction_digits > static_cast<std::size_t>(scale)) {
    throw ValueError(Quoted(text) + " has " + std::to_string(fraction_digits) +
                     " digits after the point; a " + type + " value keeps at most " +
                     std::to_string(scale));
  }
  std::size_t first = at;  // the first significant digit before the point
  while (first < integer_end && text[first] == '0') ++first;
  if (integer_end - first > static_cast<std::size_t>(most_integer_digits)) {
    throw ValueError(Quoted(text) + " is outside the " + type + " range " + range);
  }
  for (std::size_t i = first; i < integer_end; ++i) {
    out.scaled = out.scaled * 10 + static_cast<unsigned>(text[i] - '0');
  }
  for (std::size_t i = fraction_begin; i < fraction_end; ++i) {
    out.scaled = out.scaled * 10 + static_cast<unsigned>(text[i] - '0');
  }
  for (std::size_t i = fraction_digits; i < static_cast<std::size_t>(scale); ++i) out.scaled *= 10;
  if (out.scaled == 0) out.negative = false;
  return out;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::uint8_t ParseByte(std::string_view text) {
  return ParseWhole<std::uint8_t>(text, "Byte");
}

std::int16_t ParseInteger(std::string_view text) {
  return ParseWhole<std::int16_t>(text, "Integer");
}

std::int32_t ParseLong(std::string_view text) {
  return ParseWhole<std::int32_t>(text, "Long Integer");
}

float ParseSingle(std::string_view text) { return ParseReal<float>(text, "Single"); }

double ParseDouble(std::string_view text) { return ParseReal<double>(text, "Double"); }

std::int64_t ParseCurrency(std::string_view text) {
  const std::string range = "-922337203685477.5808..922337203685477.5807";
  const ScaledNumber number = ParseScaled(text, 4, 15, range, "Currency");
  const unsigned __int128 limit =
      static_cast<unsigned __int128>(std::numeric_limits<std::int64_t>::max()) +
      (number.negative ? 1 : 0);
  if (number.scaled > limit) {
    throw ValueError(Quoted(text) + " is outside the Currency range " + range);
  }
  return number.negative ? static_cast<std::int64_t>(-static_cast<__int128>(number.scaled))
                         : static_cast<std::int64_t>(number.scaled);
}

DecimalValue ParseDecimal(std::string_view text, int precision, int scale) {
  const std::string range = "of at most " + std::to_string(precision - scale) +
                            " digits before the point";
  const ScaledNumber number =
      ParseScaled(text, scale, precision - scale, range,
                  "Decimal(" + std::to_string(precision) + "," + std::to_string(scale) + ")");
  return DecimalValue{number.negative, number.scaled};
}

std::array<std::uint8_t, 16> ParseGuid(std::string_view text) {
  const std::string_view shape = "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX";
  std::string_view inner = text;
  if (inner.size() == shape.size() + 2 && inner.front() == '{' && inner.back() == '}') {
    inner = inner.substr(1, shape.size());
  }
  std::array<std::uint8_t, 16> written{};
  std::size_t count = 0;
  bool good = inner.size() == shape.size();
  for (std::size_t i = 0; good && i < shape.size(); i += 2) {
    if (shape[i] == '-') {
      good = inner[i] == '-';
      --i;  // the next pair starts after the dash
      continue;
    }
    const int high = HexDigit(inner[i]), low = HexDigit(inner[i + 1]);
    good = high >= 0 && low >= 0;
    written[count++] = static_cast<std::uint8_t>(high * 16 + low);
  }
  if (!good) {
    throw ValueError(Quoted(text) + " is not a GUID ({XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX})");
  }
  // The first group is a 32-bit number and the next two 16-bit numbers, stored little-endian.
  std::array<std::uint8_t, 16> stored = written;
  std::reverse(stored.begin(), stored.begin() + 4);
  std::reverse(stored.begin() + 4, stored.begin() + 6);
  std::reverse(stored.begin() + 6, stored.begin() + 8);
  return stored;
}

void ParseHex(std::string_view text, std::size_t most, std::vector<std::uint8_t>& out) {
  out.clear();
  if (text.size() % 2 != 0) {
    throw ValueError(Quoted(text) + " has an odd number of hexadecimal digits");
  }
  if (text.size() / 2 > most) {
    throw ValueError("the value has " + std::to_string(text.size() / 2) +
                     " bytes; the column holds at most " + std::to_string(most));
  }
  out.reserve(text.size() / 2);
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) {
      throw ValueError(Quoted(text) + " holds a character that is not a hexadecimal digit at " +
                       std::to_string(high < 0 ? i + 1 : i + 2));
    }
    out.push_back(static_cast<std::uint8_t>(high * 16 + low));
  }
}

bool ParseYesNo(std::string_view text) {
  if (text == "1" || EqualsIgnoringCase(text, "true") || EqualsIgnoringCase(text, "yes")) {
    return true;
  }
  if (text == "0" || EqualsIgnoringCase(text, "false") || EqualsIgnoringCase(text, "no")) {
    return false;
  }
  throw ValueError(Quoted(text) + " is not a Yes/No value (1, 0, true, false, yes, no)");
}

double DaysSinceEpoch(CivilDate date) {
  using namespace std::chrono;
  const sys_days epoch = year{1899} / December / 30;
  const sys_days day = year{date.year} / month{date.month} / std::chrono::day{date.day};
  return static_cast<double>((day - epoch).count());
}

double ParseDateTime(std::string_view text) {
  const std::string expected =
      " is not a date (YYYY-MM-DD, YYYY-MM-DD HH:MM:SS or YYYY-MM-DD HH:MM:SS.fff)";
  unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, fraction = 0;
  bool shape = (text.size() == 10 || (text.size() >= 19 && text.size() <= 23 &&
                                      text.size() != 20)) &&
               Digits(text, 0, 4, year) && text[4] == '-' && Digits(text, 5, 2, month) &&
               text[7] == '-' && Digits(text, 8, 2, day);
  if (shape && text.size() >= 19) {
    shape = (text[10] == ' ' || text[10] == 'T') && Digits(text, 11, 2, hour) &&
            text[13] == ':' && Digits(text, 14, 2, minute) && text[16] == ':' &&
            Digits(text, 17, 2, second);
  }
  unsigned millisecond = 0;
  if (shape && text.size() > 19) {
    const std::size_t digits = text.size() - 20;
    shape = text[19] == '.' && Digits(text, 20, digits, fraction);
    millisecond = fraction * (digits == 1 ? 100 : digits == 2 ? 10 : 1);
  }
  if (!shape) throw ValueError(Quoted(text) + expected);

  using namespace std::chrono;
  const year_month_day ymd{std::chrono::year{static_cast<int>(year)}, std::chrono::month{month},
                           std::chrono::day{day}};
  if (!ymd.ok()) throw ValueError(Quoted(text) + " is not a calendar date");
  if (year < 100) throw ValueError(Quoted(text) + " is before the year 100");
  if (hour > 23 || minute > 59 || second > 59) {
    throw ValueError(Quoted(text) + " has no valid time of day");
  }
  const double days = DaysSinceEpoch({static_cast<int>(year), month, day});
  // Milliseconds of the day over those of a whole day: both exact, so the quotient is the
  // double nearest the time, the same as seconds over 86400 for whole seconds.
  const double time = ((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond;
  const double part = time / 86400000.0;
  return days >= 0 ? days + part : days - part;
}

}  // namespace mkmdb
