// Access's Format, FormatNumber, FormatCurrency, FormatPercent and FormatDateTime as engine
// functions (access_format.h does the formatting). A format that is the same on every row is
// read once per statement: the engine keeps it with the call while the statement runs.
#include "access_format.h"
#include "runtime.h"
#include "runtime_arguments.h"

#include <sqlite3.h>

#include <memory>
#include <string>

namespace mdbodbc::sql {
namespace {

void DropFormat(void* format) { delete static_cast<DisplayFormat*>(format); }

// firstdayofweek 0..7 (0 and 1: Sunday) and firstweekofyear 0..3 (0 and 1: the week of
// January 1), as Format passes them on to its w and ww.
bool WeekArguments(sqlite3_context* context, sqlite3_value** argv, int& firstDay, int& firstWeek) {
  std::int64_t day = 0, week = 0;
  if (!LongArgument(context, argv[0], {"Format", "first day of the week"}, day) ||
      !LongArgument(context, argv[1], {"Format", "first week of the year"}, week)) {
    return false;
  }
  if (day < 0 || day > 7 || week < 0 || week > 3) {
    InvalidArgument(context, "Format takes a first day of the week of 0 to 7 and a first week of the year of 0 to 3");
    return false;
  }
  firstDay = day == 0 ? 1 : static_cast<int>(day);
  firstWeek = week == 0 ? 1 : static_cast<int>(week);
  return true;
}

// jet_format(value, type, format, firstdayofweek, firstweekofyear).
void Format(sqlite3_context* context, int, sqlite3_value** argv) {
  int firstDay = 1, firstWeek = 1;
  if (!WeekArguments(context, argv + 3, firstDay, firstWeek)) return;
  auto* format = static_cast<DisplayFormat*>(sqlite3_get_auxdata(context, 2));
  std::unique_ptr<DisplayFormat> fresh;
  if (format == nullptr) {
    fresh = std::make_unique<DisplayFormat>(TextArgument(argv[2]));
    format = fresh.get();
  }
  FormattedText date;
  if (ArgumentType(argv[1]).kind == JetType::DateTime && !IsNullArgument(argv[0]) &&
      format->ApplyToDate(sqlite3_value_double(argv[0]), firstDay, firstWeek, date)) {
    ResultText(context, date.View());
  } else if (std::optional<std::string> text = format->Apply(TypedArgument(argv, 0), firstDay, firstWeek)) {
    ResultText(context, *text);
  } else {
    sqlite3_result_null(context);
  }
  // Kept for the next row while the format stays the same (the engine may drop it at once).
  if (fresh) sqlite3_set_auxdata(context, 2, fresh.release(), DropFormat);
}

// A tristate argument of FormatNumber and its kind: -1 yes, 0 no, -2 the regional setting.
bool Tristate(sqlite3_context* context, sqlite3_value* value, ArgumentName what, bool regional, bool& out) {
  std::int64_t n = 0;
  if (!LongArgument(context, value, what, n)) return false;
  if (n != -2 && n != -1 && n != 0) {
    InvalidArgument(context, what.Text() + " must be -1 (True), 0 (False) or -2 (the regional setting)");
    return false;
  }
  out = n == -2 ? regional : n == -1;
  return true;
}

// jet_formatnumber(value, type, digits, leading zero, parentheses, grouping, style).
void FormatNumber(sqlite3_context* context, int, sqlite3_value** argv) {
  static const char* const kNames[] = {"FormatNumber", "FormatCurrency", "FormatPercent"};
  NumberLayout layout;
  layout.style = static_cast<NumberStyle>(sqlite3_value_int(argv[6]));
  const std::string_view name = kNames[static_cast<int>(layout.style)];
  std::int64_t digits = 0;
  if (!LongArgument(context, argv[2], {name, "decimals"}, digits)) return;
  if (digits < -1 || digits > 255) return InvalidArgument(context, std::string(name) + " takes -1 to 255 decimals");
  layout.digits = digits == -1 ? 2 : static_cast<int>(digits);
  // US English: a leading zero, a minus for numbers and percentages, parentheses for money.
  if (!Tristate(context, argv[3], {name, "leading digit"}, true, layout.leadingZero) ||
      !Tristate(context, argv[4], {name, "parentheses"}, layout.style == NumberStyle::Currency, layout.parentheses) ||
      !Tristate(context, argv[5], {name, "grouping"}, true, layout.group)) {
    return;
  }
  Variant value = TypedArgument(argv, 0);
  if (value.IsNull()) return NullNotAllowed(context, std::string(name) + " takes a number, not Null");
  std::string text;
  if (!FormatAsNumber(value, layout, text)) {
    return Raise(context, {"22018", std::string(name) + ": '" + VariantText(value) + "' is not a number (type mismatch)"});
  }
  ResultText(context, text);
}

// jet_formatdatetime(value, type, form).
void FormatDateTimeOf(sqlite3_context* context, int, sqlite3_value** argv) {
  std::int64_t form = 0;
  if (!LongArgument(context, argv[2], {"FormatDateTime", "form"}, form)) return;
  if (form < 0 || form > 4) return InvalidArgument(context, "FormatDateTime takes a form from 0 to 4");
  Variant value = TypedArgument(argv, 0);
  if (value.IsNull()) return NullNotAllowed(context, "FormatDateTime takes a date, not Null");
  Variant date;
  SqlError error;
  if (!ConvertVariant(value, MakeType(JetType::DateTime), date, error)) return Raise(context, error);
  ResultText(context, FormatDateTime(date.real, static_cast<int>(form)));
}

const RuntimeFunction kFormats[] = {
    {"jet_format", 5, Format, nullptr, nullptr, true},
    {"jet_formatnumber", 7, FormatNumber, nullptr, nullptr, true},
    {"jet_formatdatetime", 3, FormatDateTimeOf, nullptr, nullptr, true},
};

}  // namespace

std::span<const RuntimeFunction> FormatFunctions() { return kFormats; }

}  // namespace mdbodbc::sql
