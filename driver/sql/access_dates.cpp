#include "access_dates.h"

#include "date_text.h"

#include <cmath>
#include <cstdio>

namespace mdbodbc::sql {
namespace {

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, int& year, int& month, int& day) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0));
}

constexpr std::int64_t kEpochShift = 25569;  // 1899-12-30 to 1970-01-01
constexpr double kFirst = -657434.0;         // 0100-01-01
constexpr double kLast = 2958466.0;          // 10000-01-01

std::optional<double> FromDateTime(const DateTime& d) {
  return LinearFromParts({d.year, d.month, d.day, d.hour, d.minute, d.second, 0});
}

}  // namespace

double LinearFromStored(double stored) {
  if (stored >= 0 || !std::isfinite(stored)) return stored;
  double day = std::trunc(stored);
  return day + (day - stored);
}

double StoredFromLinear(double linear) {
  if (linear >= 0 || !std::isfinite(linear)) return linear;
  double day = std::floor(linear);
  double time = linear - day;
  if (day == 0) return time;
  return day - time;
}

bool InDateRange(double linear) { return std::isfinite(linear) && linear >= kFirst && linear < kLast; }

std::optional<DateParts> SplitLinear(double linear) {
  if (!InDateRange(linear)) return std::nullopt;
  double day = std::floor(linear);
  auto ms = static_cast<std::int64_t>(std::llround((linear - day) * 86400000.0));
  auto whole = static_cast<std::int64_t>(day);
  if (ms >= 86400000) {
    if (whole + 1 < static_cast<std::int64_t>(kLast)) {
      ms -= 86400000;
      whole += 1;
    } else {
      ms = 86399999;
    }
  }
  DateParts p;
  CivilFromDays(whole - kEpochShift, p.year, p.month, p.day);
  p.hour = static_cast<int>(ms / 3600000);
  p.minute = static_cast<int>(ms / 60000 % 60);
  p.second = static_cast<int>(ms / 1000 % 60);
  p.millisecond = static_cast<int>(ms % 1000);
  return p;
}

std::optional<double> LinearFromParts(const DateParts& p) {
  if (p.year < 100 || p.year > 9999 || p.month < 1 || p.month > 12 || p.day < 1) return std::nullopt;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (p.year % 4 == 0 && p.year % 100 != 0) || p.year % 400 == 0;
  if (p.day > kDays[p.month - 1] + (p.month == 2 && leap ? 1 : 0)) return std::nullopt;
  if (p.hour < 0 || p.hour > 23 || p.minute < 0 || p.minute > 59 || p.second < 0 || p.second > 59 ||
      p.millisecond < 0 || p.millisecond > 999) {
    return std::nullopt;
  }
  double day = static_cast<double>(DaysFromCivil(p.year, static_cast<unsigned>(p.month), static_cast<unsigned>(p.day)) +
                                   kEpochShift);
  double ms = ((p.hour * 60.0 + p.minute) * 60.0 + p.second) * 1000.0 + p.millisecond;
  return day + ms / 86400000.0;
}

std::string DateTimeText(double linear) {
  std::optional<DateParts> p = SplitLinear(linear);
  if (!p) return {};
  char text[40];
  if (p->millisecond != 0) {
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", p->year, p->month, p->day, p->hour,
                  p->minute, p->second, p->millisecond);
  } else {
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", p->year, p->month, p->day, p->hour,
                  p->minute, p->second);
  }
  return text;
}

std::optional<double> ParseAccessDate(std::string_view text) {
  std::optional<DateTime> d = ParseAccessLiteral(text);
  if (!d) return std::nullopt;
  return FromDateTime(*d);
}

std::optional<double> ParseIsoDate(std::string_view text) {
  std::optional<DateTime> d = ParseIso(text);
  if (!d) return std::nullopt;
  return FromDateTime(*d);
}

}  // namespace mdbodbc::sql
