// The properties Access keeps for a table and its columns (Description, DefaultValue, Required,
// Format, Caption, ...), stored as one blob in the LvProp column of the table's catalog row:
//
//   "KKD\0" (Jet 3) or "MR2\0" (Jet 4)
//   blocks, each: u32 length (the whole block) | u16 kind | content
//     kind 0x0080: the names, each u16 byte length and the stored text
//     kind 0x0000: the properties of the object itself; 0x0001: those of one of its parts (a
//       column). Content: u32 length of the group header (these 4 bytes, the name's length and
//       the name) | u16 byte length | group name (empty for the object), then entries, each:
//         u16 length (the whole entry) | u8 flags | u8 type (a column type code) |
//         u16 name (position in the names) | u16 value length | value
//     other kinds (0x0002 is seen in later files): skipped.
// Text, memo and names are stored text of the file (the code page in Jet 3, UTF-16 in Jet 4);
// integers take the size the entry gives them, other values the size of their column type.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "table_definition.h"
#include "value.h"

namespace jet {

struct FileContext;

struct Property {
  std::string name;  // UTF-8
  ColumnType type = ColumnType::Text;
  std::uint8_t flags = 0;
  Value value;  // Text for text and memo; Bool, Integer, Real, ... as a column would read
};

// The properties of the object (name empty) or of one of its columns.
struct PropertyGroup {
  std::string name;
  std::vector<Property> properties;

  // The property named `name` (letter case ignored); null when there is none.
  const Property* Find(std::string_view name) const;
  // The text of a text or memo property; nothing when absent or of another type.
  std::optional<std::string> Text(std::string_view name) const;
  // A Yes/No property; nothing when absent or not a Yes/No value.
  std::optional<bool> YesNo(std::string_view name) const;
};

struct ObjectProperties {
  PropertyGroup object;
  std::vector<PropertyGroup> columns;  // in the order stored

  // The group of column `name` (letter case ignored); null when it has none.
  const PropertyGroup* Column(std::string_view name) const;
};

// The most names and entries one blob may hold, and the largest blob read: far more than Access
// writes for 255 columns with every property set.
inline constexpr std::size_t kMaxPropertyNames = 4096;
inline constexpr std::size_t kMaxPropertyEntries = 65536;
inline constexpr std::size_t kMaxPropertyBytes = 16u << 20;

// Reads a property blob. An empty blob has no properties. False with `error` saying what is
// broken and where.
bool ParseProperties(const FileContext& file, const std::uint8_t* data, std::size_t size,
                     ObjectProperties& out, std::string& error);

}  // namespace jet
