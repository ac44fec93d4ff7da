// One value read from a row, decoded from its stored form.
#pragma once

#include <cstdint>
#include <string>

namespace jet {

enum class ValueKind : std::uint8_t {
  Null,
  Bool,      // integer: 0 or 1
  Integer,   // integer: Byte, Integer, Long (and 64-bit integers of later files)
  Real,      // real: Single (widened) or Double
  Money,     // integer: Currency in ten-thousandths (the stored 64-bit value)
  DateTime,  // real: days since 1899-12-30, the time as the fraction; always in 0100..9999
  DateTimeExtended,  // integer: 100-ns ticks since 0001-01-01 00:00:00, up to 9999-12-31
  Decimal,   // bytes: plain decimal text, "-" and "." only where needed ("-12.50" at scale 2)
  Text,      // bytes: UTF-8
  Binary,    // bytes: the stored bytes (Binary, OLE object)
  Guid,      // bytes: the 16 stored bytes (Replication ID)
  Error,     // bytes: what is wrong with this value; error tells which kind of wrong
};

enum class ValueError : std::uint8_t {
  None,
  OutOfRange,   // a stored value its type cannot hold (a NaN or out-of-range date, say)
  Damaged,      // the value's storage is broken (a memo chain that loops, a length past the file)
  Unsupported,  // a kind of column the reader does not read (an unknown type code)
};

struct Value {
  ValueKind kind = ValueKind::Null;
  ValueError error = ValueError::None;
  std::int64_t integer = 0;
  double real = 0;
  std::string bytes;
};

}  // namespace jet
