#include "index_key.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "text/case_fold.h"
#include "text/utf.h"
#include "format.h"

namespace jet {
namespace {

// Inverts the bytes appended since `from`: the descending form of a segment.
void Invert(std::string& key, std::size_t from) {
  for (std::size_t i = from; i < key.size(); ++i) key[i] = static_cast<char>(~key[i]);
}

// Appends `size` little-endian bytes big-endian, the top bit flipped: two's complement numbers
// then sort as unsigned bytes.
void AppendSigned(const std::uint8_t* stored, std::size_t size, std::string& key) {
  for (std::size_t i = size; i-- > 0;) {
    const std::uint8_t byte = i + 1 == size ? stored[i] ^ 0x80 : stored[i];
    key.push_back(static_cast<char>(byte));
  }
}

// IEEE numbers: positive ones sort as their bits with the sign flipped, negative ones as
// their bits inverted.
void AppendReal(const std::uint8_t* stored, std::size_t size, std::string& key) {
  const bool negative = (stored[size - 1] & 0x80) != 0;
  for (std::size_t i = size; i-- > 0;) {
    std::uint8_t byte = stored[i];
    if (negative) {
      byte = static_cast<std::uint8_t>(~byte);
    } else if (i + 1 == size) {
      byte ^= 0x80;
    }
    key.push_back(static_cast<char>(byte));
  }
}

void AppendDecimal(const std::uint8_t* stored, std::string& key) {
  std::uint8_t magnitude[16];
  bool zero = true;
  for (std::size_t word = 0; word < 4; ++word) {
    const std::uint32_t value = GetU32(stored + 1 + 4 * word);
    for (std::size_t b = 0; b < 4; ++b) {
      magnitude[4 * word + b] = static_cast<std::uint8_t>(value >> (24 - 8 * b));
    }
    zero = zero && value == 0;
  }
  const bool negative = (stored[0] & kNumericNegative) != 0 && !zero;
  key.push_back(negative ? 0x00 : 0x01);
  for (std::uint8_t byte : magnitude) {
    key.push_back(static_cast<char>(negative ? static_cast<std::uint8_t>(~byte) : byte));
  }
}

}  // namespace

bool KeyType(ColumnType type) {
  switch (type) {
    case ColumnType::Bool:
    case ColumnType::Byte:
    case ColumnType::Integer:
    case ColumnType::Long:
    case ColumnType::Money:
    case ColumnType::Single:
    case ColumnType::Double:
    case ColumnType::DateTime:
    case ColumnType::Text:
    case ColumnType::Guid:
    case ColumnType::Numeric:
    case ColumnType::BigInt:
      return true;
    case ColumnType::Binary:
    case ColumnType::Ole:
    case ColumnType::Memo:
    case ColumnType::Complex:
    case ColumnType::DateTimeExtended:  // a key form not seen in a file yet
      return false;
  }
  return false;
}

void AppendNullKey(bool ascending, std::string& key) {
  key.push_back(static_cast<char>(ascending ? kKeyNull : static_cast<std::uint8_t>(~kKeyNull)));
}

void AppendBoolKey(bool yes, bool ascending, std::string& key) {
  const std::uint8_t byte = yes ? 0x00 : 0xFF;
  key.push_back(static_cast<char>(ascending ? byte : static_cast<std::uint8_t>(~byte)));
}

bool AppendStoredKey(ColumnType type, const std::uint8_t* stored, bool ascending,
                     std::string& key) {
  if (!KeyType(type) || type == ColumnType::Text || type == ColumnType::Bool) return false;
  if (stored == nullptr) {
    AppendNullKey(ascending, key);
    return true;
  }
  const std::size_t from = key.size();
  key.push_back(static_cast<char>(kKeyAscending));
  switch (type) {
    case ColumnType::Byte:
      key.push_back(static_cast<char>(stored[0]));
      break;
    case ColumnType::Integer:
      AppendSigned(stored, 2, key);
      break;
    case ColumnType::Long:
      AppendSigned(stored, 4, key);
      break;
    case ColumnType::Money:
    case ColumnType::BigInt:
      AppendSigned(stored, 8, key);
      break;
    case ColumnType::Single:
      AppendReal(stored, 4, key);
      break;
    case ColumnType::Double:
    case ColumnType::DateTime:
      AppendReal(stored, 8, key);
      break;
    case ColumnType::Guid:
      key.append(reinterpret_cast<const char*>(stored), kGuidSize);
      break;
    case ColumnType::Numeric:
      AppendDecimal(stored, key);
      break;
    default:
      break;
  }
  if (!ascending) Invert(key, from);
  return true;
}

bool AppendTextKey(std::u16string_view text, bool ascending, std::string& key) {
  const std::size_t from = key.size();
  key.push_back(static_cast<char>(kKeyAscending));
  bool known = true;
  for (char16_t c : textconv::FoldCase(text)) {
    std::uint8_t code[2] = {};
    const std::size_t size = TextKeyCode(c, code);
    if (size > 0) {
      key.append(reinterpret_cast<const char*>(code), size);
    } else {
      // Like UTF-8's three-byte form: no zero byte, order kept, above every known code.
      known = false;
      key.push_back(static_cast<char>(0xE0 | (c >> 12)));
      key.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      key.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  key.push_back(static_cast<char>(kTextKeyEnd));
  key.push_back(static_cast<char>(kTextKeyExtrasEnd));
  if (!ascending) Invert(key, from);
  return known;
}

bool AppendUtf8TextKey(std::string_view text, bool ascending, std::string& key) {
  if (!textconv::IsWellFormedUtf8(text)) return false;
  return AppendTextKey(textconv::Utf8ToUtf16(text), ascending, key);
}

bool AppendValueKey(const Column& column, const Value& value, bool ascending, std::string& key) {
  if (!KeyType(column.type)) return false;
  if (value.kind == ValueKind::Null) {
    if (column.type == ColumnType::Bool) return false;  // never NULL
    AppendNullKey(ascending, key);
    return true;
  }
  std::uint8_t stored[kNumericSize] = {};
  const auto whole = [&](std::int64_t low, std::int64_t high, std::size_t size) {
    if (value.kind != ValueKind::Integer || value.integer < low || value.integer > high) {
      return false;
    }
    for (std::size_t i = 0; i < size; ++i) {
      stored[i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(value.integer) >> (8 * i));
    }
    return AppendStoredKey(column.type, stored, ascending, key);
  };
  switch (column.type) {
    case ColumnType::Bool:
      if ((value.kind != ValueKind::Bool && value.kind != ValueKind::Integer) ||
          (value.integer != 0 && value.integer != 1)) {
        return false;
      }
      AppendBoolKey(value.integer == 1, ascending, key);
      return true;
    case ColumnType::Byte:
      return whole(0, 255, 1);
    case ColumnType::Integer:
      return whole(-32768, 32767, 2);
    case ColumnType::Long:
      return whole(-2147483648LL, 2147483647LL, 4);
    case ColumnType::BigInt:
      return whole(INT64_MIN, INT64_MAX, 8);
    case ColumnType::Money:
      if (value.kind != ValueKind::Money) return false;
      for (std::size_t i = 0; i < 8; ++i) {
        stored[i] = static_cast<std::uint8_t>(static_cast<std::uint64_t>(value.integer) >> (8 * i));
      }
      return AppendStoredKey(column.type, stored, ascending, key);
    case ColumnType::Single: {
      if (value.kind != ValueKind::Real) return false;
      const auto single = static_cast<float>(value.real);
      if (static_cast<double>(single) != value.real) return false;
      std::memcpy(stored, &single, sizeof single);
      return AppendStoredKey(column.type, stored, ascending, key);
    }
    case ColumnType::Double:
    case ColumnType::DateTime:
      if (value.kind != ValueKind::Real && value.kind != ValueKind::DateTime) return false;
      std::memcpy(stored, &value.real, sizeof value.real);
      return AppendStoredKey(column.type, stored, ascending, key);
    case ColumnType::Guid:
      if (value.kind != ValueKind::Guid || value.bytes.size() != kGuidSize) return false;
      return AppendStoredKey(column.type, reinterpret_cast<const std::uint8_t*>(value.bytes.data()),
                             ascending, key);
    case ColumnType::Numeric: {
      // Decimal text: [-]digits[.digits], at most the column's scale after the point.
      if (value.kind != ValueKind::Decimal) return false;
      const std::string& text = value.bytes;
      std::size_t at = text.size() > 0 && text[0] == '-' ? 1 : 0;
      unsigned __int128 scaled = 0;
      int fraction = -1;
      bool digits = false;
      for (; at < text.size(); ++at) {
        if (text[at] == '.' && fraction < 0) {
          fraction = 0;
          continue;
        }
        if (text[at] < '0' || text[at] > '9') return false;
        if (scaled > (~static_cast<unsigned __int128>(0) >> 1) / 10) return false;
        scaled = scaled * 10 + static_cast<unsigned>(text[at] - '0');
        digits = true;
        if (fraction >= 0) ++fraction;
      }
      if (!digits || fraction > column.scale) return false;
      for (int i = std::max(fraction, 0); i < column.scale; ++i) {
        if (scaled > (~static_cast<unsigned __int128>(0) >> 1) / 10) return false;
        scaled *= 10;
      }
      stored[0] = text[0] == '-' ? kNumericNegative : 0;
      for (std::size_t word = 0; word < 4; ++word) {
        PutU32(stored + 1 + 4 * word, static_cast<std::uint32_t>(scaled >> (32 * (3 - word))));
      }
      return AppendStoredKey(column.type, stored, ascending, key);
    }
    case ColumnType::Text:
      if (value.kind != ValueKind::Text) return false;
      return AppendUtf8TextKey(value.bytes, ascending, key);
    default:
      return false;
  }
}

int CompareKeyPrefix(std::string_view key, std::string_view bound) {
  const std::size_t common = std::min(key.size(), bound.size());
  const int order = common == 0 ? 0 : std::memcmp(key.data(), bound.data(), common);
  if (order != 0) return order;
  return key.size() < bound.size() ? -1 : 0;
}

}  // namespace jet
