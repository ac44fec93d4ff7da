#include "value_parser.h"

#include <charconv>
#include <chrono>
#include <cmath>
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

std::int32_t ParseLong(std::string_view text) {
  CheckNumberLength(text);
  std::int32_t value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error == std::errc::result_out_of_range) {
    throw ValueError(Quoted(text) + " is outside the Long Integer range -2147483648..2147483647");
  }
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    throw ValueError(Quoted(text) + " is not a whole number");
  }
  return value;
}

double ParseDouble(std::string_view text) {
  CheckNumberLength(text);
  double value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value,
                                      std::chars_format::general);
  if (error == std::errc::result_out_of_range) {
    throw ValueError(Quoted(text) + " is outside the range of a Double");
  }
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    throw ValueError(Quoted(text) + " is not a number");
  }
  if (!std::isfinite(value)) throw ValueError(Quoted(text) + " is not a finite number");
  return value;
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
  const std::string expected = " is not a date (YYYY-MM-DD or YYYY-MM-DD HH:MM:SS)";
  unsigned year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  bool shape = (text.size() == 10 || text.size() == 19) && Digits(text, 0, 4, year) &&
               text[4] == '-' && Digits(text, 5, 2, month) && text[7] == '-' &&
               Digits(text, 8, 2, day);
  if (shape && text.size() == 19) {
    shape = (text[10] == ' ' || text[10] == 'T') && Digits(text, 11, 2, hour) &&
            text[13] == ':' && Digits(text, 14, 2, minute) && text[16] == ':' &&
            Digits(text, 17, 2, second);
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
  const double fraction = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
  return days >= 0 ? days + fraction : days - fraction;
}

}  // namespace mkmdb
