#include "properties.h"

#include <cstring>

#include "text/case_fold.h"
#include "definition_reader.h"
#include "file_context.h"
#include "value_decoding.h"

namespace jet {
namespace {

constexpr char kJet3Signature[4] = {'K', 'K', 'D', '\0'};
constexpr char kJet4Signature[4] = {'M', 'R', '2', '\0'};
constexpr std::size_t kBlockHeader = 6;   // u32 length, u16 kind
constexpr std::size_t kGroupHeader = 6;   // u32 header length, u16 name length
constexpr std::size_t kEntryHeader = 8;   // u16 length, u8 flags, u8 type, u16 name, u16 size
constexpr std::uint16_t kNamesBlock = 0x0080;
constexpr std::uint16_t kObjectBlock = 0x0000;
constexpr std::uint16_t kColumnBlock = 0x0001;

std::string At(std::size_t offset) { return " at offset " + std::to_string(offset); }

// A signed little-endian integer of 1, 2, 4 or 8 bytes (a Byte is unsigned).
bool ReadInteger(ColumnType type, const std::uint8_t* data, std::size_t size, std::int64_t& out) {
  switch (size) {
    case 1: out = type == ColumnType::Byte ? data[0] : static_cast<std::int8_t>(data[0]); return true;
    case 2: out = static_cast<std::int16_t>(GetU16(data)); return true;
    case 4: out = static_cast<std::int32_t>(GetU32(data)); return true;
    case 8: out = static_cast<std::int64_t>(GetU64(data)); return true;
    default: return false;
  }
}

// Decodes one property value; a value that cannot be read becomes an error value of its own.
void DecodeValue(const FileContext& file, ColumnType type, const std::uint8_t* data,
                 std::size_t size, Value& out) {
  out = Value{};
  switch (type) {
    case ColumnType::Text:
    case ColumnType::Memo:
      out.kind = ValueKind::Text;
      if (!file.AppendText(data, size, out.bytes)) {
        SetError(out, ValueError::Damaged, "the stored text is not text of this file");
      }
      return;
    case ColumnType::Bool:
      if (size < 1) break;
      out.kind = ValueKind::Bool;
      out.integer = data[0] != 0 ? 1 : 0;
      return;
    case ColumnType::Byte:
    case ColumnType::Integer:
    case ColumnType::Long:
    case ColumnType::BigInt:
      if (!ReadInteger(type, data, size, out.integer)) break;
      out.kind = ValueKind::Integer;
      return;
    case ColumnType::Money:
    case ColumnType::Single:
    case ColumnType::Double:
    case ColumnType::DateTime:
    case ColumnType::Guid:
      if (size != FixedValueSize(type, 0)) break;
      DecodeFixed(type, data, out);
      return;
    case ColumnType::Numeric:
      if (size != kNumericSize) break;
      out.kind = ValueKind::Decimal;
      DecimalText(data, 0, out.bytes);
      return;
    case ColumnType::Binary:
    case ColumnType::Ole:
    case ColumnType::Complex:
    default:  // a type no column has: its bytes as stored
      out.kind = ValueKind::Binary;
      out.bytes.assign(reinterpret_cast<const char*>(data), size);
      return;
  }
  SetError(out, ValueError::Damaged,
           std::to_string(size) + " stored bytes do not make a value of type " +
               std::to_string(static_cast<int>(type)));
}

class Parser {
 public:
  Parser(const FileContext& file, const std::uint8_t* data, std::size_t size, std::string& error)
      : file_(file), data_(data), size_(size), error_(error) {}

  bool Run(ObjectProperties& out) {
    out = ObjectProperties{};
    if (size_ == 0) return true;
    if (size_ > kMaxPropertyBytes) {
      return Fail("the property blob holds " + std::to_string(size_) + " bytes, more than " +
                  std::to_string(kMaxPropertyBytes));
    }
    if (size_ < sizeof kJet3Signature ||
        (std::memcmp(data_, kJet3Signature, 4) != 0 && std::memcmp(data_, kJet4Signature, 4) != 0)) {
      return Fail("the property blob does not start with KKD or MR2");
    }
    std::size_t at = sizeof kJet3Signature;
    while (at < size_) {
      if (size_ - at < kBlockHeader) return Fail("a property block" + At(at) + " is cut short");
      const std::uint32_t length = GetU32(data_ + at);
      const std::uint16_t kind = GetU16(data_ + at + 4);
      if (length < kBlockHeader || length > size_ - at) {
        return Fail("the property block" + At(at) + " declares " + std::to_string(length) +
                    " bytes, with " + std::to_string(size_ - at) + " left in the blob");
      }
      const std::size_t begin = at + kBlockHeader, end = at + length;
      if (kind == kNamesBlock) {
        if (!Names(begin, end)) return false;
      } else if (kind == kObjectBlock || kind == kColumnBlock) {
        PropertyGroup group;
        if (!Group(begin, end, group)) return false;
        if (kind == kObjectBlock) {
          for (Property& p : group.properties) out.object.properties.push_back(std::move(p));
        } else {
          out.columns.push_back(std::move(group));
        }
      }
      at = end;
    }
    return true;
  }

 private:
  bool Fail(const std::string& why) {
    error_ = why;
    return false;
  }

  bool Names(std::size_t at, std::size_t end) {
    while (at < end) {
      if (end - at < 2) return Fail("a property name" + At(at) + " is cut short");
      const std::size_t length = GetU16(data_ + at);
      if (length > end - at - 2) {
        return Fail("the property name" + At(at) + " declares " + std::to_string(length) +
                    " bytes, past the end of its block");
      }
      if (names_.size() >= kMaxPropertyNames) {
        return Fail("the property blob names more than " + std::to_string(kMaxPropertyNames) +
                    " properties");
      }
      names_.emplace_back();
      if (!file_.AppendText(data_ + at + 2, length, names_.back())) {
        return Fail("the property name" + At(at) + " is not text");
      }
      at += 2 + length;
    }
    return true;
  }

  bool Group(std::size_t at, std::size_t end, PropertyGroup& group) {
    if (end - at < kGroupHeader) return Fail("the property group" + At(at) + " is cut short");
    const std::uint32_t header = GetU32(data_ + at);
    const std::size_t nameLength = GetU16(data_ + at + 4);
    if (header < kGroupHeader + nameLength || header > end - at) {
      return Fail("the property group" + At(at) + " declares a header of " +
                  std::to_string(header) + " bytes for a name of " + std::to_string(nameLength) +
                  ", with " + std::to_string(end - at) + " bytes in its block");
    }
    if (!file_.AppendText(data_ + at + kGroupHeader, nameLength, group.name)) {
      return Fail("the name of the property group" + At(at) + " is not text");
    }
    at += header;
    while (at < end) {
      if (end - at < kEntryHeader) return Fail("the property" + At(at) + " is cut short");
      const std::size_t length = GetU16(data_ + at);
      const std::size_t name = GetU16(data_ + at + 4);
      const std::size_t valueSize = GetU16(data_ + at + 6);
      if (length < kEntryHeader + valueSize || length > end - at) {
        return Fail("the property" + At(at) + " declares " + std::to_string(length) +
                    " bytes for a value of " + std::to_string(valueSize) + ", with " +
                    std::to_string(end - at) + " left in its group");
      }
      if (name >= names_.size()) {
        return Fail("the property" + At(at) + " names property " + std::to_string(name) +
                    " of the " + std::to_string(names_.size()) + " the blob names");
      }
      if (++entries_ > kMaxPropertyEntries) {
        return Fail("the property blob holds more than " + std::to_string(kMaxPropertyEntries) +
                    " properties");
      }
      Property& property = group.properties.emplace_back();
      property.name = names_[name];
      property.flags = data_[at + 2];
      property.type = static_cast<ColumnType>(data_[at + 3]);
      DecodeValue(file_, property.type, data_ + at + kEntryHeader, valueSize, property.value);
      at += length;
    }
    return true;
  }

  const FileContext& file_;
  const std::uint8_t* data_;
  std::size_t size_;
  std::string& error_;
  std::vector<std::string> names_;
  std::size_t entries_ = 0;
};

}  // namespace

const Property* PropertyGroup::Find(std::string_view wanted) const {
  for (const Property& p : properties) {
    if (textconv::EqualFolded(p.name, wanted)) return &p;
  }
  return nullptr;
}

std::optional<std::string> PropertyGroup::Text(std::string_view wanted) const {
  const Property* p = Find(wanted);
  if (p == nullptr || p->value.kind != ValueKind::Text) return std::nullopt;
  return p->value.bytes;
}

std::optional<bool> PropertyGroup::YesNo(std::string_view wanted) const {
  const Property* p = Find(wanted);
  if (p == nullptr || p->value.kind != ValueKind::Bool) return std::nullopt;
  return p->value.integer != 0;
}

const PropertyGroup* ObjectProperties::Column(std::string_view wanted) const {
  for (const PropertyGroup& group : columns) {
    if (textconv::EqualFolded(group.name, wanted)) return &group;
  }
  return nullptr;
}

bool ParseProperties(const FileContext& file, const std::uint8_t* data, std::size_t size,
                     ObjectProperties& out, std::string& error) {
  return Parser(file, data, size, error).Run(out);
}

}  // namespace jet
