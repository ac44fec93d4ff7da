#include "value_decoding.h"

#include <cmath>
#include <cstdio>

#include "format.h"

namespace jet {

bool DateInRange(double days) {
  // The first day's times run from kFirstDay down to kFirstDay - 1 (exclusive).
  return days > kFirstDay - 1.0 && days < kLastDay + 1.0;
}

void SetError(Value& out, ValueError kind, std::string_view message) {
  out.kind = ValueKind::Error;
  out.error = kind;
  out.bytes.assign(message);
}

void DecodeFixed(ColumnType type, const std::uint8_t* data, Value& out) {
  out.error = ValueError::None;
  switch (type) {
    case ColumnType::Byte:
      out.kind = ValueKind::Integer;
      out.integer = data[0];
      return;
    case ColumnType::Integer:
      out.kind = ValueKind::Integer;
      out.integer = static_cast<std::int16_t>(GetU16(data));
      return;
    case ColumnType::Long:
      out.kind = ValueKind::Integer;
      out.integer = static_cast<std::int32_t>(GetU32(data));
      return;
    case ColumnType::BigInt:
      out.kind = ValueKind::Integer;
      out.integer = static_cast<std::int64_t>(GetU64(data));
      return;
    case ColumnType::Money:
      out.kind = ValueKind::Money;
      out.integer = static_cast<std::int64_t>(GetU64(data));
      return;
    case ColumnType::Single:
      out.kind = ValueKind::Real;
      out.real = GetF32(data);
      return;
    case ColumnType::Double:
      out.kind = ValueKind::Real;
      out.real = GetF64(data);
      return;
    case ColumnType::DateTime: {
      const double days = GetF64(data);
      if (!DateInRange(days)) {
        char text[96];
        std::snprintf(text, sizeof text, "stored date %.17g is outside 0100-01-01..9999-12-31",
                      days);
        SetError(out, ValueError::OutOfRange, std::isnan(days) ? "stored date is not a number"
                                                               : text);
        return;
      }
      out.kind = ValueKind::DateTime;
      out.real = days;
      return;
    }
    case ColumnType::Guid:
      out.kind = ValueKind::Guid;
      out.bytes.assign(reinterpret_cast<const char*>(data), kGuidSize);
      return;
    default:
      SetError(out, ValueError::Unsupported, "not a fixed-size type");
      return;
  }
}

void DecimalText(const std::uint8_t* data, std::uint8_t scale, std::string& out) {
  unsigned __int128 magnitude = 0;
  for (std::size_t word = 0; word < 4; ++word) {
    magnitude = (magnitude << 32) | GetU32(data + 1 + 4 * word);
  }
  const bool negative = (data[0] & kNumericNegative) != 0 && magnitude != 0;
  // Digits from the least significant, at least one before the point.
  char digits[40 + 256];
  std::size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + static_cast<int>(magnitude % 10));
    magnitude /= 10;
  } while (magnitude != 0);
  while (count <= scale) digits[count++] = '0';
  out.clear();
  if (negative) out.push_back('-');
  for (std::size_t i = count; i-- > 0;) {
    out.push_back(digits[i]);
    if (i == scale && scale > 0) out.push_back('.');
  }
}

}  // namespace jet
