#include "allowed_functions.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string>

namespace mdbodbc::sql {
namespace {

// Sorted: looked up by binary search. Functions that compute only from their arguments; no
// function here reads or writes anything but its arguments and its result, loads code,
// registers callbacks or hands out addresses.
constexpr std::array<std::string_view, 71> kAllowed = {
    "abs", "acos", "asin", "atan", "atan2", "avg", "ceil", "ceiling", "char", "coalesce",
    "concat", "cos", "count", "curdate", "curtime", "day", "dayofmonth", "degrees", "exp",
    "floor", "glob", "group_concat", "hex", "hour", "ifnull", "iif", "instr", "lcase", "left",
    "length", "like", "likelihood", "ln", "locate", "log", "log10", "log2", "lower", "ltrim",
    "max", "min", "minute", "mod", "month", "now", "nullif", "nz", "pi", "pow", "power",
    "radians", "replace", "right", "round", "rtrim", "second", "sign", "sin", "sqrt", "substr",
    "substring", "sum", "tan", "total", "trim", "trunc", "typeof", "ucase", "unicode", "upper",
    "year",
};

}  // namespace

bool IsAllowedFunction(std::string_view name) {
  std::string lower(name);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return std::binary_search(kAllowed.begin(), kAllowed.end(), std::string_view(lower));
}

}  // namespace mdbodbc::sql
