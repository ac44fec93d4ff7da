#include "access_dates.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace mdbodbc::sql {
namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;
// Day numbers of 0100-01-01 and 9999-12-31.
constexpr std::int64_t kFirstDay = -657'434;
constexpr std::int64_t kLastDay = 2'958'465;
// Beyond this a double is far outside the range and its day number would not fit an int.
constexpr double kFarOutside = 1e9;
// From 2^52 on every double is a whole number.
constexpr double kWholeFrom = 4503599627370496.0;

// Floor and truncation of a double below 2^52 in magnitude, and rounding of a nonnegative one
// half away from zero, by integer conversion: the driver maps no libm for them.
double Floor(double v) {
  const auto t = static_cast<double>(static_cast<std::int64_t>(v));
  return t > v ? t - 1 : t;
}
double Truncate(double v) { return static_cast<double>(static_cast<std::int64_t>(v)); }
std::int64_t RoundHalfUp(double v) {
  const auto t = static_cast<std::int64_t>(v);
  return v - static_cast<double>(t) >= 0.5 ? t + 1 : t;  // the subtraction is exact
}

bool IsLeapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

bool ValidDate(int y, int m, int d) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  return d <= kDays[m - 1] + (m == 2 && IsLeapYear(y) ? 1 : 0);
}

// Days from 1899-12-30 to a valid proleptic Gregorian date.
std::int64_t DayNumber(int y, int m, int d) {
  y -= m <= 2 ? 1 : 0;
  const int era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const auto mp = static_cast<unsigned>(m > 2 ? m - 3 : m + 9);
  const unsigned doy = (153 * mp + 2) / 5 + static_cast<unsigned>(d) - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  // 719468 days from 0000-03-01 to 1970-01-01, 25569 from 1899-12-30 to 1970-01-01.
  return static_cast<std::int64_t>(era) * 146097 + doe - 719468 + 25569;
}

void CivilDate(std::int64_t dayNumber, int& y, int& m, int& d) {
  const std::int64_t z = dayNumber - 25569 + 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2 ? 1 : 0));
}

// The day number and the millisecond of the day of a finite value, rounded to the millisecond.
// False when the value is too far outside the range to split.
bool SplitMilliseconds(double linear, std::int64_t& day, std::int64_t& ms) {
  if (!std::isfinite(linear) || std::fabs(linear) > kFarOutside) return false;
  const double whole = Floor(linear);
  day = static_cast<std::int64_t>(whole);
  ms = RoundHalfUp((linear - whole) * static_cast<double>(kMsPerDay));  // the subtraction is exact
  if (ms >= kMsPerDay) {
    ++day;
    ms -= kMsPerDay;
  }
  return true;
}

double Linear(std::int64_t day, std::int64_t ms) {
  return static_cast<double>(day) + static_cast<double>(ms) / static_cast<double>(kMsPerDay);
}

std::optional<double> InRange(double linear) {
  if (!InDateRange(linear)) return std::nullopt;
  return linear;
}

// A fraction of a second written with `digits` digits, in milliseconds rounded half up
// (1000 when it rounds up to a whole second).
std::int64_t FractionMilliseconds(std::int64_t value, int digits) {
  std::int64_t power = 1;
  for (int i = 0; i < digits; ++i) power *= 10;
  return (value * 2000 + power) / (2 * power);
}

// ---- Access's forms, read as tokens ----

struct Token {
  enum class Kind { Number, Word, Mark } kind = Kind::Mark;
  std::int64_t value = 0;  // a number's value
  int digits = 0;          // a number's digit count
  std::string_view word;   // a word's letters
  char mark = 0;           // one of / - , : .
};

// Longest form: "January 31, 2000 12:59:59.999 PM" has 12 tokens.
constexpr std::size_t kMaxTokens = 16;
constexpr int kMaxNumberDigits = 9;

struct Tokens {
  std::array<Token, kMaxTokens> items;
  std::size_t count = 0;
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool Tokenize(std::string_view text, Tokens& out) {
  std::size_t i = 0;
  while (i < text.size()) {
    const char c = text[i];
    if (IsBlank(c)) {
      ++i;
      continue;
    }
    if (out.count == kMaxTokens) return false;
    Token& token = out.items[out.count++];
    const std::size_t start = i;
    if (IsDigit(c)) {
      token.kind = Token::Kind::Number;
      while (i < text.size() && IsDigit(text[i])) {
        if (i - start == kMaxNumberDigits) return false;
        token.value = token.value * 10 + (text[i++] - '0');
      }
      token.digits = static_cast<int>(i - start);
    } else if (IsLetter(c)) {
      token.kind = Token::Kind::Word;
      while (i < text.size() && IsLetter(text[i])) ++i;
      token.word = text.substr(start, i - start);
    } else if (c == '/' || c == '-' || c == ',' || c == ':' || c == '.') {
      token.kind = Token::Kind::Mark;
      token.mark = c;
      ++i;
    } else {
      return false;
    }
  }
  return true;
}

bool SameLetters(std::string_view word, std::string_view lower) {
  if (word.size() != lower.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    char c = word[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower[i]) return false;
  }
  return true;
}

// 1..12 for a month's name or its first three letters, 0 otherwise.
int MonthOfName(std::string_view word) {
  static constexpr std::string_view kNames[] = {"january", "february", "march",     "april",   "may",      "june",
                                                "july",    "august",   "september", "october", "november", "december"};
  for (int m = 0; m < 12; ++m) {
    if (SameLetters(word, kNames[m]) || SameLetters(word, kNames[m].substr(0, 3))) return m + 1;
  }
  return 0;
}

// 1 for AM, 2 for PM, 0 otherwise.
int HalfOfDay(const Token& t) {
  if (t.kind != Token::Kind::Word) return 0;
  if (SameLetters(t.word, "am")) return 1;
  if (SameLetters(t.word, "pm")) return 2;
  return 0;
}

bool IsMark(const Tokens& t, std::size_t i, char mark) {
  return i < t.count && t.items[i].kind == Token::Kind::Mark && t.items[i].mark == mark;
}
bool IsSmallNumber(const Tokens& t, std::size_t i) {
  return i < t.count && t.items[i].kind == Token::Kind::Number && t.items[i].digits <= 2;
}

// Where a time starts: a number followed by ':' or by AM/PM.
std::size_t FindTime(const Tokens& t) {
  for (std::size_t i = 0; i + 1 < t.count; ++i) {
    if (IsSmallNumber(t, i) && (IsMark(t, i + 1, ':') || HalfOfDay(t.items[i + 1]) != 0)) return i;
  }
  return t.count;
}

// Reads H[:MM[:SS[.fff]]] [AM|PM] at `i` (the minutes required unless AM/PM follows the hour);
// `end` is the token after it.
bool ReadTime(const Tokens& t, std::size_t i, std::size_t& end, std::int64_t& ms) {
  int hour = static_cast<int>(t.items[i++].value);
  int minute = 0;
  int second = 0;
  std::int64_t fraction = 0;
  if (IsMark(t, i, ':')) {
    if (!IsSmallNumber(t, i + 1)) return false;
    minute = static_cast<int>(t.items[i + 1].value);
    i += 2;
    if (IsMark(t, i, ':')) {
      if (!IsSmallNumber(t, i + 1)) return false;
      second = static_cast<int>(t.items[i + 1].value);
      i += 2;
      if (IsMark(t, i, '.')) {
        if (i + 1 >= t.count || t.items[i + 1].kind != Token::Kind::Number) return false;
        fraction = FractionMilliseconds(t.items[i + 1].value, t.items[i + 1].digits);
        i += 2;
      }
    }
  } else if (i >= t.count || HalfOfDay(t.items[i]) == 0) {
    return false;
  }
  if (i < t.count && HalfOfDay(t.items[i]) != 0) {
    // 12 AM is midnight and 12 PM noon; 0 AM is also taken as midnight.
    const bool pm = HalfOfDay(t.items[i]) == 2;
    if (hour > 12 || (pm && hour == 0)) return false;
    hour = (hour % 12) + (pm ? 12 : 0);
    ++i;
  }
  if (hour > 23 || minute > 59 || second > 59) return false;
  end = i;
  ms = ((hour * 60 + minute) * 60 + second) * std::int64_t{1000} + fraction;
  return true;
}

// A year as written: one or two digits through Access's pivot, three or four as they are.
bool YearOf(const Token& t, int& year) {
  if (t.kind != Token::Kind::Number || t.digits > 4) return false;
  year = static_cast<int>(t.value);
  if (t.digits <= 2) year += year < 30 ? 2000 : 1900;
  return true;
}

bool DayNumberOf(int y, int m, int d, std::int64_t& day) {
  if (!ValidDate(y, m, d)) return false;
  day = DayNumber(y, m, d);
  return true;
}

// A date written with numbers alone: m/d/y, m-d-y or y-m-d, y/m/d (a year of three or four
// digits first); the tokens [first, last).
bool ReadNumericDate(const Tokens& t, std::size_t first, std::size_t last, std::int64_t& day) {
  if (last - first != 5) return false;
  const Token& a = t.items[first];
  const Token& b = t.items[first + 2];
  const Token& c = t.items[first + 4];
  const char mark = t.items[first + 1].mark;
  if (t.items[first + 1].kind != Token::Kind::Mark || (mark != '/' && mark != '-') ||
      !IsMark(t, first + 3, mark) || a.kind != Token::Kind::Number || b.kind != Token::Kind::Number ||
      b.digits > 2) {
    return false;
  }
  int year = 0;
  if (a.digits >= 3) {
    if (!YearOf(a, year) || c.kind != Token::Kind::Number || c.digits > 2) return false;
    return DayNumberOf(year, static_cast<int>(b.value), static_cast<int>(c.value), day);
  }
  if (!YearOf(c, year)) return false;
  int month = static_cast<int>(a.value);
  int dayOfMonth = static_cast<int>(b.value);
  // Access reads 13/1/2000 as the 13th of January: the first number cannot be the month.
  if (month > 12 && dayOfMonth <= 12) std::swap(month, dayOfMonth);
  return DayNumberOf(year, month, dayOfMonth, day);
}

// A date with a month's name: mmm d y, d mmm y or y mmm d, the three parts apart by blanks or
// by one of - / , each; the tokens [first, last).
bool ReadNamedDate(const Tokens& t, std::size_t first, std::size_t last, std::int64_t& day) {
  std::array<const Token*, 3> parts{};
  std::size_t count = 0;
  bool markAllowed = false;
  for (std::size_t i = first; i < last; ++i) {
    const Token& token = t.items[i];
    if (token.kind == Token::Kind::Mark) {
      if (!markAllowed || (token.mark != '-' && token.mark != '/' && token.mark != ',')) return false;
      markAllowed = false;
      continue;
    }
    if (count == parts.size()) return false;
    parts[count++] = &token;
    markAllowed = true;
  }
  if (count != 3 || !markAllowed) return false;
  int month = 0;
  const Token* dayPart = nullptr;
  const Token* yearPart = nullptr;
  if (parts[0]->kind == Token::Kind::Word) {
    month = MonthOfName(parts[0]->word);
    dayPart = parts[1];
    yearPart = parts[2];
  } else if (parts[1]->kind == Token::Kind::Word) {
    month = MonthOfName(parts[1]->word);
    const bool yearFirst = parts[0]->kind == Token::Kind::Number && parts[0]->digits >= 3;
    dayPart = yearFirst ? parts[2] : parts[0];
    yearPart = yearFirst ? parts[0] : parts[2];
  }
  int year = 0;
  if (month == 0 || dayPart->kind != Token::Kind::Number || dayPart->digits > 2 || !YearOf(*yearPart, year)) {
    return false;
  }
  return DayNumberOf(year, month, static_cast<int>(dayPart->value), day);
}

// ---- ISO forms, read character by character ----

class Cursor {
 public:
  explicit Cursor(std::string_view text) : text_(text) {}
  bool AtEnd() const { return at_ == text_.size(); }
  bool Take(char c) {
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  // Between minDigits and maxDigits digits (no more follow).
  bool Number(int minDigits, int maxDigits, int& value) {
    int count = 0;
    value = 0;
    while (at_ < text_.size() && IsDigit(text_[at_])) {
      if (++count > maxDigits) return false;
      value = value * 10 + (text_[at_++] - '0');
    }
    return count >= minDigits;
  }
  // Digits of a fraction of a second, as milliseconds (the fourth digit rounds half up).
  bool Fraction(std::int64_t& ms) {
    int value = 0;
    int count = 0;
    while (at_ < text_.size() && IsDigit(text_[at_])) {
      if (count < 4) {
        value = value * 10 + (text_[at_] - '0');
        ++count;
      }
      ++at_;
    }
    if (count == 0) return false;
    ms = FractionMilliseconds(value, count);
    return true;
  }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

// HH:MM[:SS[.f...]] at the cursor, as milliseconds of the day.
bool ReadIsoTime(Cursor& c, std::int64_t& ms) {
  int hour = 0;
  int minute = 0;
  int second = 0;
  std::int64_t fraction = 0;
  if (!c.Number(1, 2, hour) || !c.Take(':') || !c.Number(2, 2, minute)) return false;
  if (c.Take(':')) {
    if (!c.Number(2, 2, second)) return false;
    if (c.Take('.') && !c.Fraction(fraction)) return false;
  }
  if (hour > 23 || minute > 59 || second > 59) return false;
  ms = ((hour * 60 + minute) * 60 + second) * std::int64_t{1000} + fraction;
  return true;
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

double LinearFromStored(double jetStored) {
  if (!(jetStored < 0) || jetStored <= -kWholeFrom) return jetStored;
  // Day -d with time f is stored as -(d + f); linear is -d + f.
  const double whole = Truncate(jetStored);
  return whole + (whole - jetStored);
}

double StoredFromLinear(double linear) {
  if (!(linear < 0) || linear <= -kWholeFrom) return linear;
  const double day = Floor(linear);
  return day - (linear - day);  // the inner subtraction is exact
}

bool InDateRange(double linear) {
  std::int64_t day = 0;
  std::int64_t ms = 0;
  return SplitMilliseconds(linear, day, ms) && day >= kFirstDay && day <= kLastDay;
}

std::optional<DateParts> SplitLinear(double linear) {
  std::int64_t day = 0;
  std::int64_t ms = 0;
  if (!SplitMilliseconds(linear, day, ms) || day < kFirstDay || day > kLastDay) return std::nullopt;
  DateParts p{};
  CivilDate(day, p.year, p.month, p.day);
  p.hour = static_cast<int>(ms / 3'600'000);
  p.minute = static_cast<int>(ms / 60'000 % 60);
  p.second = static_cast<int>(ms / 1000 % 60);
  p.millisecond = static_cast<int>(ms % 1000);
  return p;
}

std::optional<double> LinearFromParts(const DateParts& p) {
  if (!ValidDate(p.year, p.month, p.day) || p.hour < 0 || p.hour > 23 || p.minute < 0 || p.minute > 59 ||
      p.second < 0 || p.second > 59 || p.millisecond < 0 || p.millisecond > 999) {
    return std::nullopt;
  }
  const std::int64_t ms = ((p.hour * 60 + p.minute) * 60 + p.second) * std::int64_t{1000} + p.millisecond;
  return Linear(DayNumber(p.year, p.month, p.day), ms);
}

std::string DateTimeText(double linear) {
  const std::optional<DateParts> p = SplitLinear(linear);
  if (!p) return {};
  char text[24];
  const auto put = [&text](int at, int value, int width) {
    for (int i = width - 1; i >= 0; --i) {
      text[at + i] = static_cast<char>('0' + value % 10);
      value /= 10;
    }
  };
  put(0, p->year, 4);
  text[4] = '-';
  put(5, p->month, 2);
  text[7] = '-';
  put(8, p->day, 2);
  text[10] = ' ';
  put(11, p->hour, 2);
  text[13] = ':';
  put(14, p->minute, 2);
  text[16] = ':';
  put(17, p->second, 2);
  if (p->millisecond == 0) return std::string(text, 19);
  text[19] = '.';
  put(20, p->millisecond, 3);
  return std::string(text, 23);
}

std::optional<double> ParseAccessDate(std::string_view text) {
  Tokens t;
  if (!Tokenize(text, t) || t.count == 0) return std::nullopt;
  std::size_t dateFirst = 0;
  std::size_t dateLast = t.count;
  std::int64_t ms = 0;
  const std::size_t timeFirst = FindTime(t);
  if (timeFirst < t.count) {
    std::size_t timeEnd = 0;
    if (!ReadTime(t, timeFirst, timeEnd, ms)) return std::nullopt;
    if (timeFirst == 0) {
      dateFirst = timeEnd;
    } else if (timeEnd == t.count) {
      dateLast = timeFirst;
    } else {
      return std::nullopt;  // a time amid the date
    }
  }
  std::int64_t day = 0;
  if (dateFirst < dateLast && !ReadNumericDate(t, dateFirst, dateLast, day) &&
      !ReadNamedDate(t, dateFirst, dateLast, day)) {
    return std::nullopt;
  }
  return InRange(Linear(day, ms));
}

std::optional<double> ParseIsoDate(std::string_view text) {
  text = Trimmed(text);
  Cursor c(text);
  std::int64_t ms = 0;
  std::size_t leadingDigits = 0;
  while (leadingDigits < text.size() && IsDigit(text[leadingDigits])) ++leadingDigits;
  if (leadingDigits < text.size() && text[leadingDigits] == ':') {
    if (!ReadIsoTime(c, ms) || !c.AtEnd()) return std::nullopt;
    return InRange(Linear(0, ms));
  }
  int year = 0;
  int month = 0;
  int day = 0;
  if (!c.Number(4, 4, year) || !c.Take('-') || !c.Number(1, 2, month) || !c.Take('-') || !c.Number(1, 2, day) ||
      !ValidDate(year, month, day)) {
    return std::nullopt;
  }
  if (!c.AtEnd()) {
    if (c.Take('T')) {
      if (!ReadIsoTime(c, ms)) return std::nullopt;
    } else {
      if (!c.Take(' ')) return std::nullopt;
      while (c.Take(' ')) {
      }
      if (!ReadIsoTime(c, ms)) return std::nullopt;
    }
    if (!c.AtEnd()) return std::nullopt;
  }
  return InRange(Linear(DayNumber(year, month, day), ms));
}

double LinearFromTicks(std::int64_t ticks) {
  return static_cast<double>(ticks - kTicksAtDayZero) / static_cast<double>(kTicksPerDay);
}

std::int64_t TicksFromLinear(double linear) {
  return static_cast<std::int64_t>(std::llround(linear * static_cast<double>(kTicksPerDay))) +
         kTicksAtDayZero;
}

}  // namespace mdbodbc::sql
