// What a table definition page declares: columns and indexes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jet {

// Column type codes as a table definition stores them.
enum class ColumnType : std::uint8_t {
  Bool = 0x01,
  Byte = 0x02,
  Integer = 0x03,  // 16-bit
  Long = 0x04,     // 32-bit
  Money = 0x05,
  Single = 0x06,
  Double = 0x07,
  DateTime = 0x08,
  Binary = 0x09,
  Text = 0x0A,
  Ole = 0x0B,
  Memo = 0x0C,
  Guid = 0x0F,
  Numeric = 0x10,
  Complex = 0x12,  // attachments and multi-valued columns of later files
  BigInt = 0x13,
  DateTimeExtended = 0x14,  // Date/Time Extended: 0001-01-01..9999-12-31 to 100 ns, as text
};

struct Column {
  std::string name;              // UTF-8
  ColumnType type = ColumnType::Text;
  std::uint16_t number = 0;      // the stored column number (its bit in the null mask)
  std::uint16_t storedLength = 0;  // bytes: fixed size, or the most a Text/Binary value takes
  std::uint16_t maxCharacters = 0;  // Text: the declared size in characters; 0 otherwise
  std::uint8_t precision = 0;    // Numeric
  std::uint8_t scale = 0;        // Numeric
  std::uint16_t sortOrder = 0;   // Text: the sort order its index keys follow (0x0409 General)
  bool nullable = true;
  bool fixedLength = false;
  bool autoNumber = false;
  bool hyperlink = false;        // a Memo column holding links (display#address#subaddress)
  // A calculated column: each row keeps the value Access computed from its expression, after a
  // prefix (see calculated_value.h); `type` is the type of the result.
  bool calculated = false;
  std::uint32_t complexId = 0;   // Complex: the column's ComplexID in MSysComplexColumns
  bool supported = true;         // false: its values read as ValueError::Unsupported
  // Where a row stores the value: fixed columns at fixedOffset in the fixed area, the others in
  // slot variableIndex of the row's variable area. Set by Database::ReadDefinition.
  std::uint16_t fixedOffset = 0;
  std::uint16_t variableIndex = 0;
};

struct IndexKey {
  std::size_t column = 0;  // position in TableDefinition::columns
  bool ascending = true;
};

struct Index {
  std::string name;  // UTF-8
  std::vector<IndexKey> keys;
  bool unique = false;
  bool primaryKey = false;
  bool foreignKey = false;
  // The index data behind it (logical indexes may share one) and the root page of its tree.
  std::uint32_t realIndex = 0;
  std::uint32_t firstPage = 0;
};

struct TableDefinition {
  std::string name;               // UTF-8, as the catalog spells it
  std::uint32_t definitionPage = 0;
  std::uint32_t storedRowCount = 0;  // as the definition declares it (not counted)
  std::uint32_t lastAutoNumber = 0;  // the last number its AutoNumber column gave
  std::vector<Column> columns;     // in the table's column order
  std::vector<Index> indexes;      // logical indexes
  // The row pointer of the usage map listing the table's data pages, and how many variable
  // columns a row of the table has. Set by Database::ReadDefinition.
  std::uint32_t usageMap = 0;
  std::uint16_t variableColumns = 0;
};

}  // namespace jet
