#include "calculated_value.h"

#include "definition_reader.h"
#include "format.h"
#include "value_decoding.h"

namespace jet {

bool UnwrapCalculated(const std::uint8_t* data, std::size_t size, const std::uint8_t*& value,
                      std::size_t& valueSize, std::string& error) {
  if (size < kCalculatedValueOffset) {
    error = "its calculated value takes " + std::to_string(size) + " bytes, fewer than the " +
            std::to_string(kCalculatedValueOffset) + " of its header";
    return false;
  }
  const std::uint32_t length = GetU32(data + kCalculatedLengthOffset);
  if (length > size - kCalculatedValueOffset) {
    error = "its calculated value declares " + std::to_string(length) + " bytes, but " +
            std::to_string(size - kCalculatedValueOffset) + " follow its header";
    return false;
  }
  value = data + kCalculatedValueOffset;
  valueSize = length;
  return true;
}

bool AutomationDecimalText(const std::uint8_t* data, std::uint8_t columnScale, std::string& out) {
  const std::uint8_t scale = data[2];
  if (scale > 28) return false;
  // Into the stored Decimal form (sign byte, four 32-bit words, the most significant first).
  std::uint8_t jet[kNumericSize] = {};
  jet[0] = (data[3] & kNumericNegative) != 0 ? kNumericNegative : 0;
  PutU32(jet + 5, GetU32(data + 4));       // high 32 bits
  PutU32(jet + 9, GetU32(data + 12));      // middle: the upper half of the low 64 bits
  PutU32(jet + 13, GetU32(data + 8));      // the lowest 32 bits
  DecimalText(jet, scale, out);
  if (columnScale > scale) {
    if (scale == 0) out.push_back('.');
    out.append(columnScale - scale, '0');
  }
  return true;
}

void DecodeCalculated(const Column& column, const std::uint8_t* value, std::size_t size,
                      Value& out) {
  out.error = ValueError::None;
  const auto tooShort = [&](std::size_t need) {
    SetError(out, ValueError::Damaged,
             "its calculated value holds " + std::to_string(size) + " bytes, fewer than the " +
                 std::to_string(need) + " its type needs");
  };
  switch (column.type) {
    case ColumnType::Bool:
      if (size < 1) return tooShort(1);
      out.kind = ValueKind::Bool;
      out.integer = 0;
      for (std::size_t i = 0; i < size; ++i) out.integer |= value[i] != 0;
      return;
    case ColumnType::Numeric:
      if (size < kCalculatedDecimalSize) return tooShort(kCalculatedDecimalSize);
      if (!AutomationDecimalText(value, column.scale, out.bytes)) {
        SetError(out, ValueError::Damaged,
                 "its calculated decimal has scale " + std::to_string(value[2]) +
                     ", beyond the 28 a decimal can have");
        return;
      }
      out.kind = ValueKind::Decimal;
      return;
    case ColumnType::Byte:
    case ColumnType::Integer:
    case ColumnType::Long:
    case ColumnType::BigInt:
    case ColumnType::Money:
    case ColumnType::Single:
    case ColumnType::Double:
    case ColumnType::DateTime:
    case ColumnType::Guid: {
      const std::size_t need = FixedValueSize(column.type, 0);
      if (size < need) return tooShort(need);
      DecodeFixed(column.type, value, out);
      return;
    }
    default:
      SetError(out, ValueError::Unsupported,
               "it is calculated with a result of type " +
                   std::to_string(static_cast<unsigned>(column.type)) +
                   ", which this reader does not read");
      return;
  }
}

}  // namespace jet
