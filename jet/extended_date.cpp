#include "extended_date.h"

#include <cstdio>

namespace jet {
namespace {

// The digits of `field` as a number; false when it is empty, holds anything else or needs
// more than 18 digits.
bool FieldNumber(std::string_view field, std::int64_t& out) {
  if (field.empty() || field.size() > 18) {
    // Leading zeros may make a field long; what counts are the digits after them.
    while (field.size() > 1 && field.front() == '0') field.remove_prefix(1);
    if (field.empty() || field.size() > 18) return false;
  }
  out = 0;
  for (char c : field) {
    if (c < '0' || c > '9') return false;
    out = out * 10 + (c - '0');
  }
  return true;
}

bool LeapYear(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(std::int64_t year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && LeapYear(year) ? 29 : kDays[month - 1];
}

}  // namespace

std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
  // Counted in 400-year eras from 0000-03-01, then shifted to 0001-01-01.
  const std::int64_t y = month <= 2 ? year - 1 : year;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const std::int64_t yoe = y - era * 400;
  const std::int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 306;
}

ExtendedDateParts SplitTicks(std::int64_t ticks) {
  ExtendedDateParts p;
  const std::int64_t days = ticks / kTicksPerDay;
  std::int64_t rest = ticks % kTicksPerDay;
  p.fraction = rest % kTicksPerSecond;
  rest /= kTicksPerSecond;
  p.hour = static_cast<int>(rest / 3600);
  p.minute = static_cast<int>(rest / 60 % 60);
  p.second = static_cast<int>(rest % 60);
  // The inverse of DaysFromCivil.
  const std::int64_t z = days + 306;
  const std::int64_t era = z / 146097;
  const std::int64_t doe = z - era * 146097;
  const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const std::int64_t mp = (5 * doy + 2) / 153;
  p.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  p.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  p.year = static_cast<int>(yoe + era * 400 + (p.month <= 2 ? 1 : 0));
  return p;
}

std::optional<std::int64_t> TicksFromParts(const ExtendedDateParts& p) {
  if (p.year < 1 || p.year > 9999 || p.month < 1 || p.month > 12 || p.day < 1 ||
      p.day > DaysInMonth(p.year, p.month) || p.hour < 0 || p.hour > 23 || p.minute < 0 ||
      p.minute > 59 || p.second < 0 || p.second > 59 || p.fraction < 0 ||
      p.fraction >= kTicksPerSecond) {
    return std::nullopt;
  }
  const std::int64_t seconds = p.hour * 3600 + p.minute * 60 + p.second;
  return DaysFromCivil(p.year, p.month, p.day) * kTicksPerDay + seconds * kTicksPerSecond +
         p.fraction;
}

std::optional<std::int64_t> ParseExtendedDate(const std::uint8_t* data, std::size_t size,
                                              std::string& error, bool& outOfRange) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  while (!text.empty() && (text.back() == '\0' || text.back() == ' ')) text.remove_suffix(1);
  std::string_view fields[3];
  std::size_t count = 0;
  while (count < 3) {
    const std::size_t colon = text.find(':');
    fields[count++] = text.substr(0, colon);
    if (colon == std::string_view::npos) {
      text = {};
      break;
    }
    text.remove_prefix(colon + 1);
  }
  std::int64_t days = 0, seconds = 0, fraction = 0;
  outOfRange = false;
  if (count != 3 || !text.empty() || !FieldNumber(fields[0], days) ||
      !FieldNumber(fields[1], seconds) || fields[2].size() > 7 ||
      !FieldNumber(fields[2], fraction)) {
    error = "its " + std::to_string(size) +
            " stored bytes are not a Date/Time Extended value (days:seconds:fraction)";
    return std::nullopt;
  }
  if (days > kExtendedLastDay || seconds >= 86400) {
    outOfRange = true;
    error = "its stored value (day " + std::to_string(days) + ", second " +
            std::to_string(seconds) + ") lies outside 0001-01-01..9999-12-31";
    return std::nullopt;
  }
  for (std::size_t digits = fields[2].size(); digits < 7; ++digits) fraction *= 10;
  return days * kTicksPerDay + seconds * kTicksPerSecond + fraction;
}

std::string StoredExtendedDate(std::int64_t ticks) {
  char text[64];
  std::snprintf(text, sizeof text, "%020lld:%013lld:%07lld",
                static_cast<long long>(ticks / kTicksPerDay),
                static_cast<long long>(ticks % kTicksPerDay / kTicksPerSecond),
                static_cast<long long>(ticks % kTicksPerSecond));
  return std::string(text, kExtendedDateSize);
}

std::string ExtendedDateText(std::int64_t ticks) {
  const ExtendedDateParts p = SplitTicks(ticks);
  char text[40];
  int n = std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day,
                        p.hour, p.minute, p.second);
  if (p.fraction != 0) {
    char digits[8];
    std::snprintf(digits, sizeof digits, "%07lld", static_cast<long long>(p.fraction));
    int last = 7;
    while (last > 0 && digits[last - 1] == '0') --last;
    n += std::snprintf(text + n, sizeof text - static_cast<std::size_t>(n), ".%.*s", last, digits);
  }
  return std::string(text, static_cast<std::size_t>(n));
}

std::optional<std::int64_t> ParseExtendedDateText(std::string_view text) {
  ExtendedDateParts p;
  std::size_t at = 0;
  auto number = [&](std::size_t digits, int& out) {
    if (at + digits > text.size()) return false;
    out = 0;
    for (std::size_t i = 0; i < digits; ++i) {
      const char c = text[at + i];
      if (c < '0' || c > '9') return false;
      out = out * 10 + (c - '0');
    }
    at += digits;
    return true;
  };
  auto separator = [&](char c) { return at < text.size() && text[at++] == c; };
  if (!number(4, p.year) || !separator('-') || !number(2, p.month) || !separator('-') ||
      !number(2, p.day)) {
    return std::nullopt;
  }
  if (at < text.size()) {
    if (text[at] != ' ' && text[at] != 'T') return std::nullopt;
    ++at;
    if (!number(2, p.hour) || !separator(':') || !number(2, p.minute) || !separator(':') ||
        !number(2, p.second)) {
      return std::nullopt;
    }
    if (at < text.size()) {
      if (text[at++] != '.') return std::nullopt;
      const std::size_t digits = text.size() - at;
      if (digits < 1 || digits > 7) return std::nullopt;
      int fraction = 0;
      if (!number(digits, fraction)) return std::nullopt;
      p.fraction = fraction;
      for (std::size_t d = digits; d < 7; ++d) p.fraction *= 10;
    }
  }
  return TicksFromParts(p);
}

}  // namespace jet
