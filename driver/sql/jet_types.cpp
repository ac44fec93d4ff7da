#include "jet_types.h"

#include <algorithm>

namespace mdbodbc::sql {
namespace {

// Rank in Access's numeric precedence; Bool counts as an Integer (True is -1).
int Rank(JetType t) {
  switch (t) {
    case JetType::Byte: return 1;
    case JetType::Bool:
    case JetType::Integer: return 2;
    case JetType::Long: return 3;
    case JetType::BigInt: return 4;
    case JetType::Single: return 5;
    case JetType::Double: return 6;
    case JetType::Currency: return 7;
    case JetType::Decimal: return 8;
    default: return 0;
  }
}

JetType FromRank(int rank) {
  switch (rank) {
    case 1: return JetType::Byte;
    case 2: return JetType::Integer;
    case 3: return JetType::Long;
    case 4: return JetType::BigInt;
    case 5: return JetType::Single;
    case 6: return JetType::Double;
    case 7: return JetType::Currency;
    default: return JetType::Decimal;
  }
}

}  // namespace

bool IsNumeric(JetType t) { return Rank(t) > 0; }

bool IsWhole(JetType t) {
  return t == JetType::Bool || t == JetType::Byte || t == JetType::Integer || t == JetType::Long ||
         t == JetType::BigInt;
}

bool IsTextual(JetType t) { return t == JetType::Text || t == JetType::Memo; }

bool IsBinary(JetType t) { return t == JetType::Binary || t == JetType::LongBinary; }

Type PromoteNumeric(const Type& a, const Type& b) {
  int ra = Rank(a.kind);
  int rb = Rank(b.kind);
  // A Single cannot hold every Long exactly: together they give a Double.
  if ((a.kind == JetType::Single && (b.kind == JetType::Long || b.kind == JetType::BigInt)) ||
      (b.kind == JetType::Single && (a.kind == JetType::Long || a.kind == JetType::BigInt))) {
    return MakeType(JetType::Double);
  }
  Type t = MakeType(FromRank(std::max({ra, rb, 1})));
  if (t.kind == JetType::Decimal) {
    t.precision = 28;
    t.scale = std::max(a.kind == JetType::Decimal ? a.scale : 0, b.kind == JetType::Decimal ? b.scale : 0);
    if (a.kind == JetType::Currency || b.kind == JetType::Currency) t.scale = std::max<std::uint8_t>(t.scale, 4);
  }
  return t;
}

Type CommonType(const Type& a, const Type& b) {
  if (a.kind == JetType::Unknown || a.kind == JetType::Null) return b.kind == JetType::Unknown ? a : b;
  if (b.kind == JetType::Unknown || b.kind == JetType::Null) return a;
  if (a == b) return a;
  if (a.kind == b.kind) {
    Type t = a;
    t.size = std::max(a.size, b.size);
    if (a.size == 0 || b.size == 0) t.size = 0;
    t.scale = std::max(a.scale, b.scale);
    t.precision = std::max(a.precision, b.precision);
    return t;
  }
  if (a.kind == JetType::Memo || b.kind == JetType::Memo) return MakeType(JetType::Memo);
  // Date/Time Extended with a Date/Time holds both as a Date/Time.
  if ((a.kind == JetType::DateTimeExtended && b.kind == JetType::DateTime) ||
      (b.kind == JetType::DateTimeExtended && a.kind == JetType::DateTime)) {
    return MakeType(JetType::DateTime);
  }
  if (IsTextual(a.kind) || IsTextual(b.kind)) return MakeType(JetType::Text);
  if (IsNumeric(a.kind) && IsNumeric(b.kind)) {
    // Yes/No with Yes/No stays Yes/No (above); with a number it is a number.
    return PromoteNumeric(a, b);
  }
  if (IsBinary(a.kind) && IsBinary(b.kind)) return MakeType(JetType::LongBinary);
  // Dates with numbers, GUIDs with anything else: their text forms hold both.
  return MakeType(JetType::Text);
}

std::string TypeName(const Type& t) {
  switch (t.kind) {
    case JetType::Unknown: return "VARIANT";
    case JetType::Null: return "NULL";
    case JetType::Bool: return "BIT";
    case JetType::Byte: return "BYTE";
    case JetType::Integer: return "SMALLINT";
    case JetType::Long: return "INTEGER";
    case JetType::BigInt: return "BIGINT";
    case JetType::Single: return "REAL";
    case JetType::Double: return "DOUBLE";
    case JetType::Currency: return "CURRENCY";
    case JetType::Decimal: return "DECIMAL";
    case JetType::DateTime: return "DATETIME";
    case JetType::Text: return "VARCHAR";
    case JetType::Memo: return "LONGCHAR";
    case JetType::Binary: return "VARBINARY";
    case JetType::LongBinary: return "LONGBINARY";
    case JetType::Guid: return "GUID";
    case JetType::DateTimeExtended: return "DATETIME2";
  }
  return "VARIANT";
}

}  // namespace mdbodbc::sql
