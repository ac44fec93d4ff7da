// Date/Time values as the engine holds them: days since 1899-12-30 in linear form (the day
// number plus the time of day, both counting forward), and the text forms Access reads.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace mdbodbc::sql {

struct DateParts {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0, millisecond = 0;
};

double LinearFromStored(double jetStored);
double StoredFromLinear(double linear);
bool InDateRange(double linear);
std::optional<DateParts> SplitLinear(double linear);
std::optional<double> LinearFromParts(const DateParts& p);
std::string DateTimeText(double linear);
std::optional<double> ParseAccessDate(std::string_view text);
std::optional<double> ParseIsoDate(std::string_view text);

}  // namespace mdbodbc::sql
