// Access's Format function and its relatives (FormatNumber, FormatCurrency, FormatPercent,
// FormatDateTime), with US English regional settings: decimal point '.', thousands separator
// ',', currency '$' with negative amounts in parentheses, dates m/d/yyyy, AM and PM.
//
// A format is read once (see DisplayFormat) and then applied to values. It is one of the named
// formats (General Date, Long Date, Medium Date, Short Date, Long Time, Medium Time, Short
// Time, General Number, Currency, Fixed, Standard, Percent, Scientific, Yes/No, True/False,
// On/Off) or a custom one of up to four sections separated by ';' (positive; negative; zero;
// Null for numbers, text; Null-or-empty for texts) made of
//   numbers: 0 # . , % E+ E- e+ e- (a ',' between digit placeholders groups thousands, one
//            just left of the point divides by 1000);
//   dates:   c d dd ddd dddd ddddd dddddd w ww m mm mmm mmmm q y yy yyyy h hh n nn s ss ttttt
//            AM/PM am/pm A/P a/p AMPM (m after h is minutes);
//   texts:   @ (a character or a blank) & (a character or nothing) < (lower case) > (upper
//            case) ! (fill from the left);
// and literal text anywhere: "quoted", \ before one character, and every other character.
// Numbers round half away from zero at the format's last digit, as Access displays them.
#pragma once

#include "variant.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace mdbodbc::sql {

// A text the formats write, on the stack while it is short (a date's usually is).
class FormattedText {
 public:
  [[gnu::always_inline]] void Add(char c) {
    if (size_ < kSize) {
      buffer_[size_++] = c;
    } else {
      Spill(std::string_view(&c, 1));
    }
  }
  [[gnu::always_inline]] void Add(std::string_view text) {
    if (text.size() <= kSize - size_) {
      for (char c : text) buffer_[size_++] = c;
    } else {
      Spill(text);
    }
  }
  // A number of 0..9999 with at least `width` digits (up to 4).
  [[gnu::always_inline]] void Number(std::int64_t v, int width = 1) {
    auto n = static_cast<unsigned>(v);
    if (size_ + 4 > kSize) {
      std::string digits = std::to_string(n);
      if (static_cast<int>(digits.size()) < width) digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
      return Add(digits);
    }
    char* p = buffer_ + size_;
    if (n >= 1000 || width >= 4) {
      *p++ = static_cast<char>('0' + n / 1000 % 10);
      n %= 1000;
      width = 3;
    }
    if (n >= 100 || width >= 3) {
      *p++ = static_cast<char>('0' + n / 100);
      n %= 100;
      width = 2;
    }
    if (n >= 10 || width >= 2) {
      *p++ = static_cast<char>('0' + n / 10);
      n %= 10;
    }
    *p++ = static_cast<char>('0' + n);
    size_ = static_cast<std::size_t>(p - buffer_);
  }
  // The whole text, in one piece.
  std::string_view View() const { return rest_.empty() ? std::string_view(buffer_, size_) : std::string_view(rest_); }
  std::string Take() const { return std::string(View()); }

 private:
  void Spill(std::string_view text) {
    if (rest_.empty()) rest_.assign(buffer_, size_);
    rest_ += text;
    size_ = kSize;
  }

  static constexpr std::size_t kSize = 64;
  char buffer_[kSize];
  std::size_t size_ = 0;
  std::string rest_;  // the whole text, once it outgrew the buffer
};

class DisplayFormat {
 public:
  explicit DisplayFormat(std::string_view format);
  ~DisplayFormat();
  DisplayFormat(const DisplayFormat&) = delete;
  DisplayFormat& operator=(const DisplayFormat&) = delete;

  // The text of `v` in this format; nothing for a Null the format shows as Null. A value the
  // format cannot apply to (a text that is no number under a number format, a number outside
  // the dates under a date format) is shown as its own text.
  std::optional<std::string> Apply(const Variant& v, int firstDayOfWeek = 1, int firstWeekOfYear = 1) const;
  // The same for a date (linear, not Null) under a date format, written to `out`; false when
  // the format is not a date's or the date lies outside the range (Apply answers then).
  bool ApplyToDate(double linear, int firstDayOfWeek, int firstWeekOfYear, FormattedText& out) const;

  struct Token;
  struct Section;
  enum class Kind { Plain, GeneralDate, GeneralNumber, Boolean, Number, Date, Text };

 private:
  Kind kind_ = Kind::Plain;
  std::vector<Section> sections_;
  const char* booleanWords_[2] = {nullptr, nullptr};  // Yes/No and its kind: the words for true and false
};

// FormatNumber, FormatCurrency and FormatPercent of a number: `digits` decimals (-1: the
// regional two), a 0 before the point of a value below 1, parentheses instead of a minus,
// thousands grouped.
enum class NumberStyle { Number, Currency, Percent };
struct NumberLayout {
  NumberStyle style = NumberStyle::Number;
  int digits = 2;
  bool leadingZero = true;
  bool parentheses = false;
  bool group = true;
};
// False when `v` is no number and no text of one.
bool FormatAsNumber(const Variant& v, const NumberLayout& layout, std::string& out);

// The date and time forms of FormatDateTime: 0 General Date, 1 Long Date, 2 Short Date, 3 Long
// Time, 4 Short Time. `linear` is a date in linear form within the range.
std::string FormatDateTime(double linear, int form);

}  // namespace mdbodbc::sql
