#include "date_text.h"

#include <cctype>
#include <cstdio>
#include <tuple>

#include "jet/date_time.h"
#include "jet/value_decoding.h"

namespace mdbodbc::sql {
namespace {

bool ValidDate(int y, int m, int d) {
  if (y < 100 || y > 9999 || m < 1 || m > 12 || d < 1) return false;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return d <= kDays[m - 1] + (m == 2 && leap ? 1 : 0);
}

// A small reader of digits and separators over a text.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}
  bool AtEnd() const { return at_ == text_.size(); }
  void SkipSpaces() {
    while (at_ < text_.size() && text_[at_] == ' ') ++at_;
  }
  bool Number(int& out, std::size_t minDigits, std::size_t maxDigits) {
    std::size_t start = at_;
    int value = 0;
    while (at_ < text_.size() && at_ - start < maxDigits &&
           std::isdigit(static_cast<unsigned char>(text_[at_]))) {
      value = value * 10 + (text_[at_++] - '0');
    }
    out = value;
    return at_ - start >= minDigits;
  }
  bool Char(char c) {
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool Word(std::string_view word) {
    if (text_.size() - at_ < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
      if (std::toupper(static_cast<unsigned char>(text_[at_ + i])) != word[i]) return false;
    }
    at_ += word.size();
    return true;
  }
  std::size_t Position() const { return at_; }
  void Rewind(std::size_t at) { at_ = at; }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

// "H:MM[:SS[.fraction]]" with an optional AM/PM when `meridian`.
bool ReadTime(Reader& r, DateTime& out, bool meridian) {
  int h = 0, mi = 0, s = 0;
  if (!r.Number(h, 1, 2) || !r.Char(':') || !r.Number(mi, 2, 2)) return false;
  if (r.Char(':')) {
    if (!r.Number(s, 2, 2)) return false;
    if (r.Char('.')) {
      int ignored = 0;
      if (!r.Number(ignored, 1, 9)) return false;
    }
  }
  if (meridian) {
    r.SkipSpaces();
    bool pm = r.Word("PM");
    bool am = !pm && r.Word("AM");
    if (am || pm) {
      if (h < 1 || h > 12) return false;
      h = (h % 12) + (pm ? 12 : 0);
    }
  }
  if (h > 23 || mi > 59 || s > 59) return false;
  out.hour = h;
  out.minute = mi;
  out.second = s;
  return true;
}

bool ReadIsoDate(Reader& r, DateTime& out, char separator) {
  int y = 0, m = 0, d = 0;
  if (!r.Number(y, 4, 4) || !r.Char(separator) || !r.Number(m, 1, 2) || !r.Char(separator) ||
      !r.Number(d, 1, 2)) {
    return false;
  }
  if (!ValidDate(y, m, d)) return false;
  out.year = y;
  out.month = m;
  out.day = d;
  return true;
}

}  // namespace

std::optional<DateTime> FromDayNumber(double days) {
  if (!jet::DateInRange(days)) return std::nullopt;
  const jet::DateTimeParts p = jet::SplitDateTime(days);
  return DateTime{p.year,
                  static_cast<int>(p.month),
                  static_cast<int>(p.day),
                  static_cast<int>(p.hour),
                  static_cast<int>(p.minute),
                  static_cast<int>(p.second)};
}

std::string IsoText(const DateTime& v) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d %02d:%02d:%02d", v.year, v.month, v.day,
                v.hour, v.minute, v.second);
  return buffer;
}

std::optional<DateTime> ParseIso(std::string_view text) {
  Reader r(text);
  DateTime out;
  r.SkipSpaces();
  if (ReadIsoDate(r, out, '-')) {
    if (r.Char(' ') || r.Char('T')) {
      r.SkipSpaces();
      if (!ReadTime(r, out, false)) return std::nullopt;
    }
  } else {
    r.Rewind(0);
    r.SkipSpaces();
    if (!ReadTime(r, out, false)) return std::nullopt;
  }
  r.SkipSpaces();
  if (!r.AtEnd()) return std::nullopt;
  return out;
}

std::optional<DateTime> ParseAccessLiteral(std::string_view text) {
  Reader r(text);
  DateTime out;
  r.SkipSpaces();
  std::size_t start = r.Position();
  bool haveDate = ReadIsoDate(r, out, '-');
  if (!haveDate) {
    r.Rewind(start);
    haveDate = ReadIsoDate(r, out, '/');
  }
  if (!haveDate) {
    r.Rewind(start);
    int m = 0, d = 0, y = 0;
    if (r.Number(m, 1, 2) && r.Char('/') && r.Number(d, 1, 2) && r.Char('/') &&
        r.Number(y, 4, 4)) {
      if (!ValidDate(y, m, d)) return std::nullopt;
      out.year = y;
      out.month = m;
      out.day = d;
      haveDate = true;
    } else {
      r.Rewind(start);
    }
  }
  r.SkipSpaces();
  if (!r.AtEnd()) {
    if (!ReadTime(r, out, true)) return std::nullopt;
  } else if (!haveDate) {
    return std::nullopt;
  }
  r.SkipSpaces();
  if (!r.AtEnd()) return std::nullopt;
  return out;
}

int CompareDateTexts(std::string_view a, std::string_view b) {
  std::optional<DateTime> x = ParseIso(a);
  std::optional<DateTime> y = ParseIso(b);
  if (x && y) {
    auto key = [](const DateTime& v) {
      return std::tie(v.year, v.month, v.day, v.hour, v.minute, v.second);
    };
    if (key(*x) < key(*y)) return -1;
    return key(*y) < key(*x) ? 1 : 0;
  }
  if (x) return -1;
  if (y) return 1;
  int c = a.compare(b);
  return c < 0 ? -1 : c > 0 ? 1 : 0;
}

}  // namespace mdbodbc::sql
