#include "value_text.h"

#include "text.h"

#include <charconv>
#include <cstdio>

namespace mdbodbc {
namespace {

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::string RealText(double value) {
  char buffer[64];
  auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  return std::string(buffer, result.ptr);
}

std::string TimestampText(const SQL_TIMESTAMP_STRUCT& ts) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u %02u:%02u:%02u", ts.year, ts.month, ts.day,
                ts.hour, ts.minute, ts.second);
  return buffer;
}

std::string GuidText(const std::string& bytes) {
  auto b = [&](size_t i) { return static_cast<unsigned>(static_cast<unsigned char>(bytes[i])); };
  char buffer[48];
  // The first three groups are little-endian numbers, the last two plain bytes.
  std::snprintf(buffer, sizeof buffer,
                "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b(3),
                b(2), b(1), b(0), b(5), b(4), b(7), b(6), b(8), b(9), b(10), b(11), b(12), b(13),
                b(14), b(15));
  return buffer;
}

}  // namespace

std::u16string HexText(const std::string& bytes) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 0x0F];
  }
  return out;
}

std::u16string ValueText(const FieldValue& value) {
  switch (value.kind) {
    case ValueKind::Bit:
    case ValueKind::Integer: return Ascii(std::to_string(value.integer));
    case ValueKind::Real: return Ascii(RealText(value.real));
    case ValueKind::Decimal: return Ascii(value.decimal);
    case ValueKind::Timestamp: return Ascii(TimestampText(value.timestamp));
    case ValueKind::Text: return value.text;
    case ValueKind::Binary: return HexText(value.bytes);
    case ValueKind::Guid: return Ascii(GuidText(value.bytes));
  }
  return {};
}

}  // namespace mdbodbc
