// One Access value with its type, as the engine's functions read their arguments and write
// their results, and Access's conversions between the types (CStr, CLng, CCur, CDate ... and
// the implicit ones of operators and comparisons).
#pragma once

#include "exact_number.h"
#include "jet_types.h"
#include "result.h"

#include <cstdint>
#include <string>

struct sqlite3_value;
struct sqlite3_context;

namespace mdbodbc::sql {

struct Variant {
  Type type;            // Null when null
  std::int64_t integer = 0;  // Bool (-1/0), whole numbers, Currency (ten-thousandths)
  double real = 0;           // Single, Double, DateTime (linear days)
  std::string text;          // Text, Memo, Guid (UTF-8), Binary bytes
  Decimal decimal;

  bool IsNull() const { return type.kind == JetType::Null; }
};

// The bytes of an engine text or blob value, without asking the engine to end them with a
// terminator (which would copy a value the file's tables handed over).
std::string_view ValueBytes(sqlite3_value* value);

// Reads an engine value known to be of type `t`.
Variant ReadVariant(sqlite3_value* value, const Type& t);
// Writes a value in the engine's form of its type.
void ResultVariant(sqlite3_context* context, const Variant& v);

// Access's conversion of `in` to `to`: whole numbers and Currency round half to even, a value
// that does not fit is 22003, a text that is no number or date 22018. Null stays Null.
bool ConvertVariant(const Variant& in, const Type& to, Variant& out, SqlError& error);

// The text Access makes of a value (CStr): numbers in plain notation up to 15 significant
// digits (7 for a Single), dates in the General Date form (m/d/yyyy h:nn:ss AM/PM), Yes/No as
// True and False.
std::string VariantText(const Variant& v);

// Reads a text as a number the way Access's conversions do: blanks around, a sign, digits with
// thousands separators, a decimal point, an exponent, a leading currency sign. False when it is
// not one.
bool ParseNumberText(std::string_view text, double& out);

}  // namespace mdbodbc::sql
