#include "access_format.h"

#include "access_dates.h"
#include "calendar.h"
#include "text/utf.h"
#include "runtime_arguments.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace mdbodbc::sql {

// ---- The parts of a format ----

struct DisplayFormat::Token {
  enum class Kind : unsigned char {
    Literal,
    // Numbers.
    Zero, Hash, Point, Exponent,
    // Texts.
    CharOrBlank, CharOrNothing,
    // Dates.
    Day, Day2, DayAbbreviation, DayName, ShortDate, LongDate, WeekdayNumber, WeekOfYear,
    Month, Month2, MonthAbbreviation, MonthName, Quarter, DayOfYear, Year2, Year4,
    Hour, Hour2, Minute, Minute2, Second, Second2, LongTime, GeneralDate, AmPm,
  } kind;
  std::string text;  // Literal: the text; Exponent: "E" or "e"; AmPm: the AM and PM words, "AM/PM"
  bool sign = false;  // Exponent: E+ (a sign always) rather than E- (a minus only)
};

struct DisplayFormat::Section {
  std::vector<Token> tokens;
  bool empty = true;  // nothing was written for this section
  // Numbers.
  int integerPlaces = 0;
  int fractionPlaces = 0;
  int exponentZeros = 0;
  bool group = false;
  int thousands = 0;  // each one divides by 1000
  int percents = 0;   // each one multiplies by 100
  bool scientific = false;
  // Dates.
  bool twelveHours = false;
  // Texts.
  bool fromLeft = false;
  int letterCase = 0;  // -1 lower, 1 upper
  int textPlaces = 0;
};

namespace {

using Token = DisplayFormat::Token;
using Section = DisplayFormat::Section;
using TK = Token::Kind;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

void AddLiteral(Section& s, std::string_view text) {
  if (!s.tokens.empty() && s.tokens.back().kind == TK::Literal) {
    s.tokens.back().text += text;
  } else {
    s.tokens.push_back({TK::Literal, std::string(text)});
  }
}

// The sections of a custom format: split at each ';' outside quotes and after no backslash.
std::vector<std::string> SplitSections(std::string_view format) {
  std::vector<std::string> sections(1);
  for (std::size_t i = 0; i < format.size(); ++i) {
    char c = format[i];
    if (c == '"') {
      std::size_t end = format.find('"', i + 1);
      if (end == std::string_view::npos) end = format.size() - 1;
      sections.back() += format.substr(i, end - i + 1);
      i = end;
    } else if (c == '\\' && i + 1 < format.size()) {
      sections.back() += format.substr(i, 2);
      ++i;
    } else if (c == ';') {
      sections.emplace_back();
    } else {
      sections.back() += c;
    }
  }
  return sections;
}

// Reads a quoted text or an escaped character at `i`; false when there is none there.
bool ReadLiteral(std::string_view text, std::size_t& i, Section& s) {
  if (text[i] == '"') {
    std::size_t end = text.find('"', i + 1);
    if (end == std::string_view::npos) end = text.size();
    AddLiteral(s, text.substr(i + 1, end - i - 1));
    i = end;
    return true;
  }
  if (text[i] == '\\') {
    if (i + 1 < text.size()) {
      // One whole character, which may take several bytes.
      const std::size_t length = std::max<std::size_t>(1, textconv::WellFormedUtf8Length(text, i + 1));
      AddLiteral(s, text.substr(i + 1, length));
      i += length;
    }
    return true;
  }
  return false;
}

// What a custom format formats, by the characters of its first written section.
DisplayFormat::Kind KindOf(const std::vector<std::string>& sections) {
  std::string_view first;
  for (const std::string& s : sections) {
    if (!s.empty()) {
      first = s;
      break;
    }
  }
  bool number = false, date = false, text = false;
  for (std::size_t i = 0; i < first.size(); ++i) {
    char c = Lower(first[i]);
    if (c == '"') {
      std::size_t end = first.find('"', i + 1);
      i = end == std::string_view::npos ? first.size() : end;
    } else if (c == '\\') {
      ++i;
    } else if (c == '@' || c == '&' || c == '<' || c == '>' || c == '!') {
      text = true;
    } else if (c == '0' || c == '#') {
      number = true;
    } else if (c == 'd' || c == 'm' || c == 'y' || c == 'h' || c == 'n' || c == 's' || c == 'w' || c == 'q' ||
               c == 'c' || (c == 't' && SameWord(first.substr(i, 5), "ttttt")) ||
               (c == 'a' && (SameWord(first.substr(i, 5), "am/pm") || SameWord(first.substr(i, 3), "a/p")))) {
      date = true;
    }
  }
  if (text) return DisplayFormat::Kind::Text;
  if (number) return DisplayFormat::Kind::Number;
  if (date) return DisplayFormat::Kind::Date;
  return DisplayFormat::Kind::Number;
}

// ---- Reading the sections ----

Section NumberSection(std::string_view text) {
  Section s;
  s.empty = text.empty();
  bool point = false, exponent = false, placeBefore = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (ReadLiteral(text, i, s)) continue;
    if (c == '0' || c == '#') {
      s.tokens.push_back({c == '0' ? TK::Zero : TK::Hash, {}});
      if (exponent) {
        s.exponentZeros += c == '0';
      } else if (point) {
        ++s.fractionPlaces;
      } else {
        ++s.integerPlaces;
      }
      placeBefore = true;
    } else if (c == '.' && !point && !exponent) {
      s.tokens.push_back({TK::Point, {}});
      point = true;
    } else if (c == ',' && !point && !exponent) {
      std::size_t run = 1;
      while (i + run < text.size() && text[i + run] == ',') ++run;
      char next = i + run < text.size() ? text[i + run] : '\0';
      if (placeBefore && (next == '0' || next == '#')) {
        s.group = true;
      } else if (placeBefore) {
        s.thousands += static_cast<int>(run);
      } else {
        AddLiteral(s, text.substr(i, run));
      }
      i += run - 1;
    } else if ((c == 'E' || c == 'e') && !exponent && i + 1 < text.size() && (text[i + 1] == '+' || text[i + 1] == '-')) {
      s.tokens.push_back({TK::Exponent, std::string(1, c), text[i + 1] == '+'});
      s.scientific = exponent = true;
      ++i;
    } else {
      if (c == '%') ++s.percents;
      AddLiteral(s, text.substr(i, 1));
    }
  }
  return s;
}

Section TextSection(std::string_view text) {
  Section s;
  s.empty = text.empty();
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (ReadLiteral(text, i, s)) continue;
    if (c == '@' || c == '&') {
      s.tokens.push_back({c == '@' ? TK::CharOrBlank : TK::CharOrNothing, {}});
      ++s.textPlaces;
    } else if (c == '<' || c == '>') {
      s.letterCase = c == '<' ? -1 : 1;
    } else if (c == '!') {
      s.fromLeft = true;
    } else {
      AddLiteral(s, text.substr(i, 1));
    }
  }
  return s;
}

bool IsHour(const Section& s) {
  for (auto t = s.tokens.rbegin(); t != s.tokens.rend(); ++t) {
    if (t->kind == TK::Literal) continue;
    return t->kind == TK::Hour || t->kind == TK::Hour2;
  }
  return false;
}

Section DateSection(std::string_view text) {
  Section s;
  s.empty = text.empty();
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = Lower(text[i]);
    if (ReadLiteral(text, i, s)) continue;
    std::size_t run = 1;
    while (i + run < text.size() && Lower(text[i + run]) == c) ++run;
    auto add = [&](TK kind, std::size_t used) {
      s.tokens.push_back({kind, {}});
      i += used - 1;
    };
    switch (c) {
      case 'd': {
        static constexpr TK kDays[] = {TK::Day, TK::Day2, TK::DayAbbreviation, TK::DayName, TK::ShortDate, TK::LongDate};
        std::size_t used = run < 6 ? run : 6;
        add(kDays[used - 1], used);
        break;
      }
      case 'm': {
        if (run <= 2 && IsHour(s)) {
          add(run == 1 ? TK::Minute : TK::Minute2, run);
          break;
        }
        static constexpr TK kMonths[] = {TK::Month, TK::Month2, TK::MonthAbbreviation, TK::MonthName};
        std::size_t used = run < 4 ? run : 4;
        add(kMonths[used - 1], used);
        break;
      }
      case 'y':
        if (run >= 4) add(TK::Year4, 4);
        else if (run >= 2) add(TK::Year2, 2);
        else add(TK::DayOfYear, 1);
        break;
      case 'h': add(run >= 2 ? TK::Hour2 : TK::Hour, run >= 2 ? 2 : 1); break;
      case 'n': add(run >= 2 ? TK::Minute2 : TK::Minute, run >= 2 ? 2 : 1); break;
      case 's': add(run >= 2 ? TK::Second2 : TK::Second, run >= 2 ? 2 : 1); break;
      case 'w': add(run >= 2 ? TK::WeekOfYear : TK::WeekdayNumber, run >= 2 ? 2 : 1); break;
      case 'q': add(TK::Quarter, 1); break;
      case 'c': add(TK::GeneralDate, 1); break;
      case 't':
        if (run >= 5) {
          add(TK::LongTime, 5);
        } else {
          AddLiteral(s, text.substr(i, 1));
        }
        break;
      case 'a':
        if (SameWord(text.substr(i, 5), "am/pm")) {
          s.tokens.push_back({TK::AmPm, std::string(text.substr(i, 2)) + "/" + std::string(text.substr(i + 3, 2))});
          s.twelveHours = true;
          i += 4;
        } else if (SameWord(text.substr(i, 3), "a/p")) {
          s.tokens.push_back({TK::AmPm, std::string(text.substr(i, 1)) + "/" + std::string(text.substr(i + 2, 1))});
          s.twelveHours = true;
          i += 2;
        } else if (SameWord(text.substr(i, 4), "ampm")) {
          s.tokens.push_back({TK::AmPm, "AM/PM"});
          s.twelveHours = true;
          i += 3;
        } else {
          AddLiteral(s, text.substr(i, 1));
        }
        break;
      default: AddLiteral(s, text.substr(i, 1));
    }
  }
  return s;
}

// ---- Numbers as decimal digits ----

// |value| = 0.d1 d2 d3 ... x 10^exponent; no leading or trailing zeros; empty for 0.
struct Digits {
  std::string digits;
  int exponent = 0;
  bool negative = false;
};

void Trim(Digits& d) {
  std::size_t lead = d.digits.find_first_not_of('0');
  if (lead == std::string::npos) {
    d.digits.clear();
    d.exponent = 0;
    return;
  }
  d.digits.erase(0, lead);
  d.exponent -= static_cast<int>(lead);
  while (d.digits.back() == '0') d.digits.pop_back();
}

// From plain notation, "-123.4500".
Digits FromPlain(std::string_view text) {
  Digits d;
  if (!text.empty() && text[0] == '-') {
    d.negative = true;
    text.remove_prefix(1);
  }
  std::size_t point = text.find('.');
  std::string_view whole = text.substr(0, point);
  d.digits = std::string(whole);
  if (point != std::string_view::npos) d.digits += text.substr(point + 1);
  d.exponent = static_cast<int>(whole.size());
  Trim(d);
  return d;
}

// A double by its first `significant` digits, as Access displays it.
bool FromReal(double v, int significant, Digits& out) {
  if (!std::isfinite(v)) return false;
  char text[64];
  std::snprintf(text, sizeof text, "%.*e", significant - 1, v);
  std::string_view s = text;
  out = Digits{};
  if (s[0] == '-') {
    out.negative = true;
    s.remove_prefix(1);
  }
  std::size_t e = s.find('e');
  for (char c : s.substr(0, e)) {
    if (c != '.') out.digits += c;
  }
  out.exponent = std::atoi(std::string(s.substr(e + 1)).c_str()) + 1;
  Trim(out);
  return true;
}

// The digits of a value that is a number, a Yes/No or a date (its stored day number); a text
// that holds a number is read as a Double. False for anything else.
bool NumberDigits(const Variant& v, Digits& out) {
  switch (v.type.kind) {
    case JetType::Bool:
    case JetType::Byte:
    case JetType::Integer:
    case JetType::Long:
    case JetType::BigInt: out = FromPlain(std::to_string(v.integer)); return true;
    case JetType::Currency: out = FromPlain(CurrencyText(v.integer, 0)); return true;
    case JetType::Decimal: out = FromPlain(DecimalText(v.decimal)); return true;
    case JetType::Single: return FromReal(static_cast<float>(v.real), 7, out);
    case JetType::Double: return FromReal(v.real, 15, out);
    case JetType::DateTime: return FromReal(StoredFromLinear(v.real), 15, out);
    case JetType::Text:
    case JetType::Memo: {
      double value = 0;
      return ParseNumberText(v.text, value) && FromReal(value, 15, out);
    }
    default: return false;
  }
}

// Half away from zero, keeping `decimals` digits after the point.
void RoundAt(Digits& d, int decimals) {
  int keep = d.exponent + decimals;
  if (keep >= static_cast<int>(d.digits.size())) return;
  if (keep < 0) {
    d.digits.clear();
    d.exponent = 0;
    return;
  }
  bool up = d.digits[static_cast<std::size_t>(keep)] >= '5';
  d.digits.resize(static_cast<std::size_t>(keep));
  if (up) {
    int i = keep - 1;
    while (i >= 0 && d.digits[static_cast<std::size_t>(i)] == '9') d.digits[static_cast<std::size_t>(i--)] = '0';
    if (i < 0) {
      d.digits.insert(d.digits.begin(), '1');
      ++d.exponent;
    } else {
      ++d.digits[static_cast<std::size_t>(i)];
    }
  }
  bool negative = d.negative;
  Trim(d);
  d.negative = negative;
}

std::string IntegerDigits(const Digits& d) {
  if (d.exponent <= 0 || d.digits.empty()) return {};
  std::string out = d.digits.substr(0, static_cast<std::size_t>(d.exponent));
  out.resize(static_cast<std::size_t>(d.exponent), '0');
  return out;
}

std::string FractionDigits(const Digits& d, int count) {
  std::string out;
  for (int k = 0; k < count; ++k) {
    int at = d.exponent + k;
    out += at >= 0 && at < static_cast<int>(d.digits.size()) ? d.digits[static_cast<std::size_t>(at)] : '0';
  }
  return out;
}

// Thousands separators in a run of digits.
std::string Grouped(const std::string& digits) {
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

// The magnitude `d` laid out by a number section.
std::string RenderNumber(const Section& s, Digits d) {
  if (!d.digits.empty()) d.exponent += 2 * s.percents - 3 * s.thousands;
  int exponent = 0;
  if (s.scientific) {
    int places = s.integerPlaces > 0 ? s.integerPlaces : 1;
    if (!d.digits.empty()) {
      exponent = d.exponent - places;
      d.exponent = places;
      RoundAt(d, s.fractionPlaces);
      if (d.exponent > places) {  // 9.99 rounded to 10.0
        exponent += d.exponent - places;
        d.exponent = places;
      }
    }
  } else {
    RoundAt(d, s.fractionPlaces);
  }
  const std::string whole = IntegerDigits(d);
  const std::string fraction = FractionDigits(d, s.fractionPlaces);
  // Trailing # places show no zeros.
  int fractionShown = s.fractionPlaces;
  {
    std::vector<TK> places;
    bool afterPoint = false;
    for (const Token& t : s.tokens) {
      if (t.kind == TK::Point) afterPoint = true;
      if (t.kind == TK::Exponent) break;
      if (afterPoint && (t.kind == TK::Zero || t.kind == TK::Hash)) places.push_back(t.kind);
    }
    while (fractionShown > 0 && places[static_cast<std::size_t>(fractionShown - 1)] == TK::Hash &&
           fraction[static_cast<std::size_t>(fractionShown - 1)] == '0') {
      --fractionShown;
    }
  }
  std::string out;
  int integerIndex = 0, fractionIndex = 0;
  bool afterPoint = false, inExponent = false, exponentWritten = false;
  const auto wholeSize = static_cast<int>(whole.size());
  for (const Token& t : s.tokens) {
    switch (t.kind) {
      case TK::Literal: out += t.text; break;
      case TK::Point:
        out += '.';
        afterPoint = true;
        break;
      case TK::Exponent: {
        inExponent = true;
        out += t.text;
        if (exponent < 0) out += '-';
        else if (t.sign) out += '+';
        break;
      }
      case TK::Zero:
      case TK::Hash:
        if (inExponent) {
          if (!exponentWritten) {
            std::string e = std::to_string(exponent < 0 ? -exponent : exponent);
            const auto zeros = static_cast<std::size_t>(s.exponentZeros);
            if (e.size() < zeros) e.insert(0, zeros - e.size(), '0');
            out += e;
            exponentWritten = true;
          }
        } else if (afterPoint) {
          if (fractionIndex < fractionShown) out += fraction[static_cast<std::size_t>(fractionIndex)];
          ++fractionIndex;
        } else {
          int position = s.integerPlaces - 1 - integerIndex;  // 0: the units
          if (integerIndex == 0) {
            for (int k = 0; k < wholeSize - s.integerPlaces; ++k) {
              out += whole[static_cast<std::size_t>(k)];
              int at = wholeSize - 1 - k;
              if (s.group && at > 0 && at % 3 == 0) out += ',';
            }
          }
          bool written = false;
          if (position < wholeSize) {
            out += whole[static_cast<std::size_t>(wholeSize - 1 - position)];
            written = true;
          } else if (t.kind == TK::Zero) {
            out += '0';
            written = true;
          }
          if (written && s.group && position > 0 && position % 3 == 0) out += ',';
          ++integerIndex;
        }
        break;
      default: break;
    }
  }
  return out;
}

// ---- Dates ----

std::string TwoDigits(std::int64_t v) {
  return {static_cast<char>('0' + v / 10 % 10), static_cast<char>('0' + v % 10)};
}

std::string ShortDateText(const CivilDay& c) {
  return std::to_string(c.month) + "/" + std::to_string(c.day) + "/" + std::to_string(c.year);
}

std::string LongDateText(const CivilDay& c, std::int64_t day) {
  return std::string(DayName(WeekdayOf(day), false)) + ", " + std::string(MonthName(c.month, false)) + " " +
         std::to_string(c.day) + ", " + std::to_string(c.year);
}

int Hour12(std::int64_t hour) { return static_cast<int>(hour % 12 == 0 ? 12 : hour % 12); }

std::string LongTimeText(const Moment& m) {
  std::int64_t hour = m.ms / 3'600'000;
  return std::to_string(Hour12(hour)) + ":" + TwoDigits(m.ms / 60'000 % 60) + ":" + TwoDigits(m.ms / 1000 % 60) +
         (hour < 12 ? " AM" : " PM");
}

// Access's General Date: the date, the time, or both; day 0 (1899-12-30) shows as its time
// alone, midnight included.
std::string GeneralDateText(const Moment& m) {
  CivilDay c = CivilFromDays(m.day);
  bool time = m.ms / 1000 != 0;
  if (m.day == 0) return LongTimeText(m);
  return time ? ShortDateText(c) + " " + LongTimeText(m) : ShortDateText(c);
}

void RenderDate(const Section& s, const Moment& m, int firstDayOfWeek, int firstWeekOfYear, FormattedText& out) {
  CivilDay c = CivilFromDays(m.day);
  std::int64_t hour = m.ms / 3'600'000;
  std::int64_t shownHour = s.twelveHours ? Hour12(hour) : hour;
  for (const Token& t : s.tokens) {
    switch (t.kind) {
      case TK::Literal: out.Add(t.text); break;
      case TK::Day: out.Number(c.day); break;
      case TK::Day2: out.Number(c.day, 2); break;
      case TK::DayAbbreviation: out.Add(DayName(WeekdayOf(m.day), true)); break;
      case TK::DayName: out.Add(DayName(WeekdayOf(m.day), false)); break;
      case TK::ShortDate: out.Add(ShortDateText(c)); break;
      case TK::LongDate: out.Add(LongDateText(c, m.day)); break;
      case TK::WeekdayNumber: out.Number(DayOfWeek(m.day, firstDayOfWeek)); break;
      case TK::WeekOfYear: out.Number(WeekOfYear(m.day, firstDayOfWeek, firstWeekOfYear)); break;
      case TK::Month: out.Number(c.month); break;
      case TK::Month2: out.Number(c.month, 2); break;
      case TK::MonthAbbreviation: out.Add(MonthName(c.month, true)); break;
      case TK::MonthName: out.Add(MonthName(c.month, false)); break;
      case TK::Quarter: out.Number((c.month - 1) / 3 + 1); break;
      case TK::DayOfYear: out.Number(m.day - DaysFromCivil(c.year, 1, 1) + 1); break;
      case TK::Year2: out.Number(c.year % 100, 2); break;
      case TK::Year4: out.Number(c.year); break;
      case TK::Hour: out.Number(shownHour); break;
      case TK::Hour2: out.Number(shownHour, 2); break;
      case TK::Minute: out.Number(m.ms / 60'000 % 60); break;
      case TK::Minute2: out.Number(m.ms / 60'000 % 60, 2); break;
      case TK::Second: out.Number(m.ms / 1000 % 60); break;
      case TK::Second2: out.Number(m.ms / 1000 % 60, 2); break;
      case TK::LongTime: out.Add(LongTimeText(m)); break;
      case TK::GeneralDate: out.Add(GeneralDateText(m)); break;
      case TK::AmPm: {
        std::string_view words = t.text;
        std::size_t slash = words.find('/');
        out.Add(hour < 12 ? words.substr(0, slash) : words.substr(slash + 1));
        break;
      }
      default: break;
    }
  }
}

std::string RenderDate(const Section& s, const Moment& m, int firstDayOfWeek, int firstWeekOfYear) {
  FormattedText out;
  RenderDate(s, m, firstDayOfWeek, firstWeekOfYear, out);
  return out.Take();
}

// A value as a date: a date, a number (its stored day number) or a text that holds either.
bool AsMoment(const Variant& v, Moment& out) {
  if (v.type.kind == JetType::DateTime) return SplitMoment(v.real, out);
  Variant date;
  SqlError error;
  if (IsBinary(v.type.kind) || v.type.kind == JetType::Guid) return false;
  if (!ConvertVariant(v, MakeType(JetType::DateTime), date, error)) return false;
  return SplitMoment(date.real, out);
}

// ---- Texts ----

std::string RenderText(const Section& s, std::u32string characters) {
  for (char32_t& c : characters) {
    if (s.letterCase > 0) c = UpperCharacter(c);
    if (s.letterCase < 0) c = LowerCharacter(c);
  }
  auto utf8 = [](char32_t c) {
    std::string out;
    textconv::AppendUtf8(out, c);
    return out;
  };
  const auto count = static_cast<std::int64_t>(characters.size());
  const std::int64_t places = s.textPlaces;
  std::string out;
  std::int64_t place = 0;
  for (const Token& t : s.tokens) {
    if (t.kind == TK::Literal) {
      out += t.text;
      continue;
    }
    if (t.kind != TK::CharOrBlank && t.kind != TK::CharOrNothing) continue;
    // Right to left by default: the last place takes the last character, and characters
    // beyond the places come before the first; from the left, after the last.
    std::int64_t index = s.fromLeft ? place : count - places + place;
    if (!s.fromLeft && place == 0) {
      for (std::int64_t k = 0; k < count - places; ++k) out += utf8(characters[static_cast<std::size_t>(k)]);
    }
    if (index >= 0 && index < count) {
      out += utf8(characters[static_cast<std::size_t>(index)]);
    } else if (t.kind == TK::CharOrBlank) {
      out += ' ';
    }
    ++place;
    if (s.fromLeft && place == places) {
      for (std::int64_t k = places; k < count; ++k) out += utf8(characters[static_cast<std::size_t>(k)]);
    }
  }
  if (places == 0) {
    for (char32_t c : characters) out += utf8(c);
  }
  return out;
}

}  // namespace

// ---- The format ----

DisplayFormat::DisplayFormat(std::string_view format) {
  struct Named {
    const char* name;
    Kind kind;
    const char* custom;
  };
  static constexpr Named kNamed[] = {
      {"General Date", Kind::GeneralDate, nullptr},
      {"Long Date", Kind::Date, "dddd, mmmm d, yyyy"},
      {"Medium Date", Kind::Date, "dd-mmm-yy"},
      {"Short Date", Kind::Date, "m/d/yyyy"},
      {"Long Time", Kind::Date, "h:nn:ss AM/PM"},
      {"Medium Time", Kind::Date, "hh:nn AM/PM"},
      {"Short Time", Kind::Date, "hh:nn"},
      {"General Number", Kind::GeneralNumber, nullptr},
      {"Currency", Kind::Number, "$#,##0.00;($#,##0.00)"},
      {"Fixed", Kind::Number, "0.00"},
      {"Standard", Kind::Number, "#,##0.00"},
      {"Percent", Kind::Number, "0.00%"},
      {"Scientific", Kind::Number, "0.00E+00"},
      {"Yes/No", Kind::Boolean, "Yes/No"},
      {"True/False", Kind::Boolean, "True/False"},
      {"On/Off", Kind::Boolean, "On/Off"},
  };
  if (format.empty()) return;
  for (const Named& n : kNamed) {
    if (!SameWord(format, n.name)) continue;
    kind_ = n.kind;
    if (kind_ == Kind::Boolean) {
      static constexpr const char* kWords[][2] = {{"Yes", "No"}, {"True", "False"}, {"On", "Off"}};
      int which = n.custom[0] == 'Y' ? 0 : n.custom[0] == 'T' ? 1 : 2;
      booleanWords_[0] = kWords[which][0];
      booleanWords_[1] = kWords[which][1];
      return;
    }
    if (n.custom == nullptr) return;
    format = n.custom;
    break;
  }
  std::vector<std::string> parts = SplitSections(format);
  if (parts.size() > 4) parts.resize(4);
  if (kind_ == Kind::Plain) kind_ = KindOf(parts);
  for (const std::string& part : parts) {
    switch (kind_) {
      case Kind::Text: sections_.push_back(TextSection(part)); break;
      case Kind::Date: sections_.push_back(DateSection(part)); break;
      default: sections_.push_back(NumberSection(part)); break;
    }
  }
}

DisplayFormat::~DisplayFormat() = default;

std::optional<std::string> DisplayFormat::Apply(const Variant& v, int firstDayOfWeek, int firstWeekOfYear) const {
  const bool isNull = v.IsNull();
  switch (kind_) {
    case Kind::Plain:
      if (isNull) return std::nullopt;
      return VariantText(v);
    case Kind::GeneralDate: {
      if (isNull) return std::nullopt;
      Moment m;
      if (!AsMoment(v, m)) return VariantText(v);
      return GeneralDateText(m);
    }
    case Kind::GeneralNumber:
    case Kind::Boolean: {
      if (isNull) return std::nullopt;
      Digits d;
      if (!NumberDigits(v, d)) return VariantText(v);
      if (kind_ == Kind::Boolean) return std::string(booleanWords_[d.digits.empty() ? 1 : 0]);
      if (v.type.kind == JetType::Bool) return std::string(v.integer != 0 ? "-1" : "0");
      if (IsNumeric(v.type.kind)) return VariantText(v);
      Variant number;
      SqlError error;
      ConvertVariant(v, MakeType(JetType::Double), number, error);
      return VariantText(number);
    }
    case Kind::Date: {
      if (isNull) {
        if (sections_.size() >= 4) return RenderDate(sections_[3], Moment{}, firstDayOfWeek, firstWeekOfYear);
        return std::nullopt;
      }
      Moment m;
      if (!AsMoment(v, m)) return VariantText(v);
      return RenderDate(sections_[0], m, firstDayOfWeek, firstWeekOfYear);
    }
    case Kind::Text: {
      bool blank = isNull || (IsTextual(v.type.kind) && v.text.empty());
      if (blank && sections_.size() >= 2) return RenderText(sections_[1], {});
      if (isNull) return std::nullopt;
      std::u32string characters = Characters(VariantText(v));
      return RenderText(sections_[0], std::move(characters));
    }
    case Kind::Number: {
      if (isNull) {
        if (sections_.size() >= 4) return RenderNumber(sections_[3], Digits{});
        return std::nullopt;
      }
      Digits d;
      if (!NumberDigits(v, d)) return VariantText(v);
      bool negative = d.negative && !d.digits.empty();
      d.negative = false;
      if (d.digits.empty() && sections_.size() >= 3 && !sections_[2].empty) return RenderNumber(sections_[2], d);
      if (negative && sections_.size() >= 2 && !sections_[1].empty) return RenderNumber(sections_[1], d);
      return (negative ? "-" : "") + RenderNumber(sections_[0], d);
    }
  }
  return std::nullopt;
}

bool DisplayFormat::ApplyToDate(double linear, int firstDayOfWeek, int firstWeekOfYear, FormattedText& out) const {
  Moment m;
  if (kind_ != Kind::Date || !SplitMoment(linear, m)) return false;
  RenderDate(sections_[0], m, firstDayOfWeek, firstWeekOfYear, out);
  return true;
}

// ---- FormatNumber, FormatCurrency, FormatPercent, FormatDateTime ----

bool FormatAsNumber(const Variant& v, const NumberLayout& layout, std::string& out) {
  Digits d;
  if (!NumberDigits(v, d)) return false;
  if (layout.style == NumberStyle::Percent && !d.digits.empty()) d.exponent += 2;
  RoundAt(d, layout.digits);
  bool negative = d.negative && !d.digits.empty();
  std::string whole = IntegerDigits(d);
  if (whole.empty() && layout.leadingZero) whole = "0";
  out = layout.group ? Grouped(whole) : whole;
  if (layout.digits > 0) out += "." + FractionDigits(d, layout.digits);
  if (layout.style == NumberStyle::Currency) out.insert(0, "$");
  if (layout.style == NumberStyle::Percent) out += '%';
  if (negative) out = layout.parentheses ? "(" + out + ")" : "-" + out;
  return true;
}

std::string FormatDateTime(double linear, int form) {
  Moment m;
  if (!SplitMoment(linear, m)) return {};
  CivilDay c = CivilFromDays(m.day);
  switch (form) {
    case 1: return LongDateText(c, m.day);
    case 2: return ShortDateText(c);
    case 3: return LongTimeText(m);
    case 4: return TwoDigits(m.ms / 3'600'000) + ":" + TwoDigits(m.ms / 60'000 % 60);
    default: return GeneralDateText(m);
  }
}

}  // namespace mdbodbc::sql
