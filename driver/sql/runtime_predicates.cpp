// IsNumeric and IsDate as engine functions: whether a value, or the text it is, reads as a
// number or as a date the way Access's conversions read them. (VarType, TypeName, IsNull and
// IsEmpty follow from the argument's type alone; the function library writes them.)
#include "access_dates.h"
#include "runtime.h"

#include <sqlite3.h>

namespace mdbodbc::sql {
namespace {

bool ReadsAsNumber(const Variant& v) {
  if (IsNumeric(v.type.kind)) return true;
  if (!IsTextual(v.type.kind)) return false;
  double number = 0;
  if (ParseNumberText(v.text, number)) return true;
  // &H and &O numbers, as VBA reads them.
  std::string_view t = v.text;
  while (!t.empty() && t.front() == ' ') t.remove_prefix(1);
  while (!t.empty() && t.back() == ' ') t.remove_suffix(1);
  if (t.size() < 3 || t[0] != '&') return false;
  bool hex = t[1] == 'h' || t[1] == 'H';
  if (!hex && t[1] != 'o' && t[1] != 'O') return false;
  for (char c : t.substr(2)) {
    bool octal = c >= '0' && c <= '7';
    bool hexadecimal = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    bool digit = hex ? hexadecimal : octal;
    if (!digit) return false;
  }
  return true;
}

bool ReadsAsDate(const Variant& v) {
  if (v.type.kind == JetType::DateTime) return true;
  if (!IsTextual(v.type.kind)) return false;
  return ParseAccessDate(v.text).has_value() || ParseIsoDate(v.text).has_value();
}

template <bool (*Test)(const Variant&)>
void Inspect(sqlite3_context* context, int, sqlite3_value** argv) {
  Variant v = TypedArgument(argv, 0);
  sqlite3_result_int(context, !v.IsNull() && Test(v) ? -1 : 0);
}

const RuntimeFunction kPredicates[] = {
    {"jet_isnumeric", 2, Inspect<ReadsAsNumber>, nullptr, nullptr, true},
    {"jet_isdate", 2, Inspect<ReadsAsDate>, nullptr, nullptr, true},
};

}  // namespace

std::span<const RuntimeFunction> PredicateFunctions() { return kPredicates; }

}  // namespace mdbodbc::sql
