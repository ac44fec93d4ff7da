// The types of Access SQL values, as every expression of a statement gets one at prepare, and
// Access's rules that combine them.
#pragma once

#include <cstdint>
#include <string>

namespace mdbodbc::sql {

enum class JetType : std::uint8_t {
  Unknown,  // a parameter whose type no context gives: it takes the bound value's type
  Null,     // the literal Null
  Bool,     // -1 and 0 in the engine
  Byte,
  Integer,  // 16-bit
  Long,     // 32-bit
  BigInt,   // 64-bit
  Single,
  Double,
  Currency,  // a 64-bit integer of ten-thousandths in the engine
  Decimal,   // exact decimal text in the engine
  DateTime,  // linear days since 1899-12-30 (a real) in the engine
  Text,
  Memo,
  Binary,
  LongBinary,
  Guid,  // "{...}" text in the engine
  // Date/Time Extended: 100-ns ticks since 0001-01-01 00:00:00 (a 64-bit integer) in the
  // engine, so that two of them compare exactly; mixed with other values it becomes a DateTime
  // (to the engine's double, the nearest it holds).
  DateTimeExtended,
};

struct Type {
  JetType kind = JetType::Unknown;
  std::uint8_t precision = 0;  // Decimal
  std::uint8_t scale = 0;      // Decimal
  std::uint32_t size = 0;      // Text: characters (0: 255); Binary: bytes

  bool operator==(const Type&) const = default;
};

inline Type MakeType(JetType kind) { return Type{kind}; }

bool IsNumeric(JetType t);  // Bool included: True is -1 in arithmetic
bool IsWhole(JetType t);    // Bool, Byte, Integer, Long, BigInt
bool IsTextual(JetType t);  // Text, Memo
bool IsBinary(JetType t);   // Binary, LongBinary

// The type of a numeric result of + - * over these operands, by Access's precedence (Byte <
// Integer < Long < Single < Double < Currency < Decimal; a Single with a Long gives a Double).
Type PromoteNumeric(const Type& a, const Type& b);
// The type that holds the values of both (IIf's branches, a UNION column, an IN list): numbers
// promote, text wins over every other kind, Null and Unknown take the other's type.
Type CommonType(const Type& a, const Type& b);

// The Access name of a type, for messages and TYPE_NAME.
std::string TypeName(const Type& t);

}  // namespace mdbodbc::sql
