#include "definition_reader.h"

#include <algorithm>
#include <cstdio>

#include "calculated_value.h"

namespace jet {
namespace {

// The content of a definition as one run of bytes: the first page whole, then each
// continuation page after its header, fetched as far as parsing needs.
class DefinitionBytes {
 public:
  DefinitionBytes(const FileContext& file, std::uint32_t first) : file_(file), page_(first) {}

  bool Start(std::string& error) {
    bytes_.resize(file_.PageSize());
    if (!file_.ReadPage(page_, bytes_.data(), error)) return false;
    if (bytes_[0] != kPageTableDefinition) {
      char type[8];
      std::snprintf(type, sizeof type, "0x%02X", bytes_[0]);
      error = "page " + std::to_string(page_) + " is not a table definition page (type " + type +
              ")";
      return false;
    }
    pages_.push_back(page_);
    next_ = GetU32(bytes_.data() + file_.layout->defNextPage);
    return true;
  }

  // Makes bytes [0, end) available; false with `error` when the definition ends before.
  bool Need(std::size_t end, const char* what, std::string& error) {
    if (bytes_.size() >= end) return true;  // most reads stay within the pages already read
    std::vector<std::uint8_t> page(file_.PageSize());
    const std::size_t header = file_.layout->defContinuationHeader;
    while (bytes_.size() < end) {
      if (next_ == 0) {
        error = std::string("the definition ends inside its ") + what;
        return false;
      }
      if (std::find(pages_.begin(), pages_.end(), next_) != pages_.end()) {
        error = "the definition's pages loop back to page " + std::to_string(next_);
        return false;
      }
      if (pages_.size() >= kMaxDefinitionPages) {
        error = "the definition goes on past " + std::to_string(kMaxDefinitionPages) + " pages";
        return false;
      }
      std::string why;
      if (!file_.ReadPage(next_, page.data(), why)) {
        error = "the definition's continuation: " + why;
        return false;
      }
      if (page[0] != kPageTableDefinition) {
        error = "the definition continues on page " + std::to_string(next_) +
                ", which is not a table definition page";
        return false;
      }
      pages_.push_back(next_);
      next_ = GetU32(page.data() + file_.layout->defNextPage);
      bytes_.insert(bytes_.end(), page.begin() + static_cast<std::ptrdiff_t>(header), page.end());
    }
    return true;
  }

  const std::uint8_t* at(std::size_t offset) const { return bytes_.data() + offset; }

 private:
  const FileContext& file_;
  std::uint32_t page_;
  std::uint32_t next_ = 0;
  std::vector<std::uint8_t> bytes_;
  std::vector<std::uint32_t> pages_;
};

struct StoredColumn {
  Column column;
  std::size_t order = 0;  // position among the descriptors
};

bool KnownType(std::uint8_t type) {
  switch (static_cast<ColumnType>(type)) {
    case ColumnType::Bool:
    case ColumnType::Byte:
    case ColumnType::Integer:
    case ColumnType::Long:
    case ColumnType::Money:
    case ColumnType::Single:
    case ColumnType::Double:
    case ColumnType::DateTime:
    case ColumnType::Binary:
    case ColumnType::Text:
    case ColumnType::Ole:
    case ColumnType::Memo:
    case ColumnType::Guid:
    case ColumnType::Numeric:
    case ColumnType::BigInt:
    case ColumnType::Complex:
    case ColumnType::DateTimeExtended:
      return true;
  }
  return false;
}

// A complex column's row value: the key its values carry in the column's hidden table.
constexpr std::size_t kComplexKeySize = 4;

// Reads a name (u8 or u16 length, then the stored text) at `position`, advancing it.
bool ReadName(const FileContext& file, DefinitionBytes& bytes, std::size_t& position,
              const char* what, std::string& out, std::string& error) {
  const std::size_t lengthSize = file.layout->nameLengthSize;
  if (!bytes.Need(position + lengthSize, what, error)) return false;
  const std::size_t length =
      lengthSize == 1 ? *bytes.at(position) : GetU16(bytes.at(position));
  position += lengthSize;
  if (!bytes.Need(position + length, what, error)) return false;
  out.clear();
  if (!file.AppendText(bytes.at(position), length, out)) {
    error = std::string("a name among its ") + what + " is not text";
    return false;
  }
  position += length;
  return true;
}

}  // namespace

std::size_t FixedValueSize(ColumnType type, std::uint16_t storedLength) {
  switch (type) {
    case ColumnType::Bool:
      return 0;
    case ColumnType::Byte:
      return 1;
    case ColumnType::Integer:
      return 2;
    case ColumnType::Long:
    case ColumnType::Single:
      return 4;
    case ColumnType::Money:
    case ColumnType::Double:
    case ColumnType::DateTime:
    case ColumnType::BigInt:
      return 8;
    case ColumnType::Guid:
      return kGuidSize;
    case ColumnType::Numeric:
      return kNumericSize;
    case ColumnType::Text:
    case ColumnType::Binary:
      return storedLength;
    case ColumnType::Complex:
      return kComplexKeySize;
    case ColumnType::DateTimeExtended:
      return storedLength;
    case ColumnType::Ole:
    case ColumnType::Memo:
      return 0;
  }
  return storedLength;
}

std::size_t FixedFieldSize(const Column& column) {
  if (column.calculated) return column.storedLength;
  return FixedValueSize(column.type, column.storedLength);
}

namespace {

// One column descriptor's fields.
Column DecodeColumn(const FileLayout& layout, const std::uint8_t* d) {
  Column column;
  const std::uint8_t type = d[layout.columnType];
  const std::uint8_t flags = d[layout.columnFlags];
  column.type = static_cast<ColumnType>(type);
  column.number = GetU16(d + layout.columnNumber);
  column.variableIndex = GetU16(d + layout.columnVariableIndex);
  column.fixedOffset = GetU16(d + layout.columnFixedOffset);
  column.storedLength = GetU16(d + layout.columnLength);
  column.fixedLength = (flags & kColumnFixed) != 0;
  column.nullable = (flags & kColumnNullable) != 0;
  column.autoNumber = (flags & kColumnAutoNumber) != 0;
  column.hyperlink = column.type == ColumnType::Memo && (flags & kColumnHyperlink) != 0;
  column.supported = KnownType(type);
  // Jet 4 and later descriptors: the extra flags byte (in Jet 3 the same place holds the
  // length), and a complex column's key in place of the text's sort order.
  if (layout.unicodeText) {
    column.calculated = (d[kColumnExtraFlags] & kCalculatedFlags) != 0;
  }
  if (column.type == ColumnType::Complex) column.complexId = GetU32(d + layout.columnPrecision);
  if (column.type == ColumnType::Text) {
    column.maxCharacters =
        static_cast<std::uint16_t>(layout.unicodeText ? column.storedLength / 2
                                                      : column.storedLength);
  }
  if (column.type == ColumnType::Text) column.sortOrder = GetU16(d + layout.columnSortOrder);
  if (column.type == ColumnType::Numeric) {
    column.precision = d[layout.columnPrecision];
    column.scale = d[layout.columnScale];
  }
  if (column.type == ColumnType::Bool && !column.calculated) column.fixedLength = true;
  if (column.type == ColumnType::Memo || column.type == ColumnType::Ole) {
    column.fixedLength = false;
  }
  return column;
}

// The real and logical index definitions that follow the column names at `position`, with
// the logical indexes' names, into `out` (whose columns are read).
bool ReadIndexDefinitions(const FileContext& file, DefinitionBytes& bytes, std::size_t position,
                          std::uint32_t realCount, std::uint32_t logicalCount, TableDefinition& out,
                          std::string& error) {
  const FileLayout& layout = *file.layout;
  const auto positionOf = [&](std::uint16_t number, std::size_t& at) {
    for (std::size_t i = 0; i < out.columns.size(); ++i) {
      if (out.columns[i].number == number) {
        at = i;
        return true;
      }
    }
    return false;
  };
  // Real indexes: key columns and flags.
  struct RealIndex {
    std::vector<IndexKey> keys;
    bool unique = false;
    std::uint32_t firstPage = 0;
  };
  std::vector<RealIndex> real(realCount);
  for (std::uint32_t i = 0; i < realCount; ++i) {
    if (!bytes.Need(position + layout.realIndexSize, "index definitions", error)) return false;
    const std::uint8_t* d = bytes.at(position);
    for (std::size_t k = 0; k < kIndexKeyColumns; ++k) {
      const std::uint8_t* key = d + layout.realIndexKeysStart + 3 * k;
      const std::uint16_t number = GetU16(key);
      if (number == kIndexKeyUnused) continue;
      std::size_t at = 0;
      if (!positionOf(number, at)) {
        error = "index " + std::to_string(i) + " has a key on column number " +
                std::to_string(number) + ", which the table does not have";
        return false;
      }
      real[i].keys.push_back({at, (key[2] & kKeyOrderAscending) != 0});
    }
    real[i].unique = (d[layout.realIndexFlags] & kIndexUnique) != 0;
    real[i].firstPage = GetU32(d + layout.realIndexFirstPage);
    position += layout.realIndexSize;
  }

  // Logical indexes: each uses a real index; then their names.
  out.indexes.resize(logicalCount);
  for (std::uint32_t i = 0; i < logicalCount; ++i) {
    if (!bytes.Need(position + layout.logicalIndexSize, "index definitions", error)) return false;
    const std::uint8_t* d = bytes.at(position);
    const std::uint32_t realNumber = GetU32(d + layout.logicalIndexRealNumber);
    if (realNumber >= realCount) {
      error = "index " + std::to_string(i) + " uses index data " + std::to_string(realNumber) +
              " of " + std::to_string(realCount);
      return false;
    }
    Index& index = out.indexes[i];
    index.keys = real[realNumber].keys;
    index.unique = real[realNumber].unique;
    index.realIndex = realNumber;
    index.firstPage = real[realNumber].firstPage;
    index.primaryKey = d[layout.logicalIndexKind] == kLogicalIndexPrimaryKey;
    index.foreignKey = d[layout.logicalIndexKind] == kLogicalIndexForeignKey;
    position += layout.logicalIndexSize;
  }
  for (Index& index : out.indexes) {
    if (!ReadName(file, bytes, position, "index names", index.name, error)) return false;
  }
  return true;
}

}  // namespace

bool ReadTableDefinition(const FileContext& file, std::uint32_t page, std::string_view name,
                         TableDefinition& out, std::string& error) {
  const FileLayout& layout = *file.layout;
  DefinitionBytes bytes(file, page);
  if (!bytes.Start(error)) return false;
  if (!bytes.Need(layout.defHeaderSize, "header", error)) return false;

  out = TableDefinition{};
  out.name = std::string(name);
  out.definitionPage = page;
  out.storedRowCount = GetU32(bytes.at(layout.defRowCount));
  out.lastAutoNumber = GetU32(bytes.at(layout.defAutoNumber));
  out.variableColumns = GetU16(bytes.at(layout.defVariableColumns));
  out.usageMap = GetU32(bytes.at(layout.defUsageMap));
  const std::size_t columnCount = GetU16(bytes.at(layout.defColumnCount));
  const std::uint32_t logicalCount = GetU32(bytes.at(layout.defLogicalIndexCount));
  const std::uint32_t realCount = GetU32(bytes.at(layout.defRealIndexCount));
  if (columnCount > kMaxColumns) {
    error = "the definition declares " + std::to_string(columnCount) +
            " columns, more than a table can have (" + std::to_string(kMaxColumns) + ")";
    return false;
  }
  if (logicalCount > kMaxIndexes || realCount > kMaxIndexes) {
    error = "the definition declares " + std::to_string(std::max(logicalCount, realCount)) +
            " indexes, more than a table can have (" + std::to_string(kMaxIndexes) + ")";
    return false;
  }

  // Column descriptors, then their names in the same order.
  std::size_t position = layout.defHeaderSize + realCount * layout.realIndexEntrySize;
  std::vector<StoredColumn> stored(columnCount);
  for (std::size_t i = 0; i < columnCount; ++i) {
    if (!bytes.Need(position + layout.columnEntrySize, "column descriptors", error)) return false;
    stored[i].column = DecodeColumn(layout, bytes.at(position));
    stored[i].order = i;
    position += layout.columnEntrySize;
  }
  for (std::size_t i = 0; i < columnCount; ++i) {
    if (!ReadName(file, bytes, position, "column names", stored[i].column.name, error)) {
      return false;
    }
  }
  for (const StoredColumn& entry : stored) {
    const Column& column = entry.column;
    if (column.supported && column.fixedLength &&
        column.fixedOffset + FixedFieldSize(column) > layout.pageSize) {
      error = "column " + Quoted(column.name) + " is placed at offset " +
              std::to_string(column.fixedOffset) + " with " +
              std::to_string(FixedFieldSize(column)) + " bytes, past the largest row";
      return false;
    }
  }

  // Columns in the order of their numbers.
  std::stable_sort(stored.begin(), stored.end(), [](const StoredColumn& a, const StoredColumn& b) {
    return a.column.number < b.column.number;
  });
  for (std::size_t i = 0; i < stored.size(); ++i) {
    if (i > 0 && stored[i].column.number == stored[i - 1].column.number) {
      error = "columns " + Quoted(stored[i - 1].column.name) + " and " +
              Quoted(stored[i].column.name) + " have the same number " +
              std::to_string(stored[i].column.number);
      return false;
    }
    out.columns.push_back(std::move(stored[i].column));
  }


  return ReadIndexDefinitions(file, bytes, position, realCount, logicalCount, out, error);
}

}  // namespace jet
