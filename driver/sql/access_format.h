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
