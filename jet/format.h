// Fixed numbers of the Access file layout (pages, rows, column types) and little-endian byte
// packing helpers, shared by the reader and the writer.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace jet {

static_assert(std::endian::native == std::endian::little, "pages are assembled in host order");

inline constexpr std::size_t kPageSize = 4096;
using Page = std::array<std::uint8_t, kPageSize>;

// Byte 0 of a page.
inline constexpr std::uint8_t kPageFileHeader = 0x00;
inline constexpr std::uint8_t kPageData = 0x01;
inline constexpr std::uint8_t kPageTableDefinition = 0x02;
inline constexpr std::uint8_t kPageUsageBitmap = 0x05;

// Column type codes in a table definition.
inline constexpr std::uint8_t kTypeBool = 0x01;
inline constexpr std::uint8_t kTypeInt16 = 0x03;
inline constexpr std::uint8_t kTypeInt32 = 0x04;
inline constexpr std::uint8_t kTypeDouble = 0x07;
inline constexpr std::uint8_t kTypeDateTime = 0x08;
inline constexpr std::uint8_t kTypeBinary = 0x09;
inline constexpr std::uint8_t kTypeText = 0x0A;
inline constexpr std::uint8_t kTypeOle = 0x0B;
inline constexpr std::uint8_t kTypeMemo = 0x0C;

// Column flags in a table definition.
inline constexpr std::uint8_t kColumnFixed = 0x01;
inline constexpr std::uint8_t kColumnNullable = 0x02;
inline constexpr std::uint8_t kColumnAutoNumber = 0x04;

// Layout of a data page: header, then the row offset table; rows are packed downwards from
// the end of the page.
inline constexpr std::size_t kDataPageHeader = 14;
inline constexpr std::size_t kMaxRowsPerPage = 255;  // a row pointer keeps 8 bits for the row
inline constexpr std::size_t kMaxRowBytes = kPageSize - kDataPageHeader - 2;  // 4080

// Columns a table may have; the null mask and column numbers allow no more.
inline constexpr std::size_t kMaxColumns = 255;

// The highest page number a file may use: Jet 4 files stop at 2 GB.
inline constexpr std::uint32_t kMaxPages = 0x80000000u / kPageSize;

// Page 0: the signature, the engine version and a settings block masked with RC4 under a fixed
// key. Offsets inside the settings block are given as offsets in the page.
inline constexpr std::size_t kHeaderVersionOffset = 0x14;
inline constexpr std::size_t kHeaderSettingsOffset = 0x18;
inline constexpr std::size_t kHeaderSettingsSize = 128;      // Jet 4 and later
inline constexpr std::size_t kJet3HeaderSettingsSize = 126;
inline constexpr std::uint8_t kHeaderSettingsKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
inline constexpr std::size_t kHeaderCodePageOffset = 0x3C;
inline constexpr int kDefaultCodePage = 1252;  // Jet 3 text when the header names none
inline constexpr std::size_t kHeaderDatabaseKeyOffset = 0x3E;  // non-zero: pages are encrypted
// The engine version byte.
inline constexpr std::uint8_t kVersionJet3 = 0x00;
inline constexpr std::uint8_t kVersionJet4 = 0x01;
inline constexpr std::uint8_t kVersionAceFirst = 0x02;  // .accdb files: 2 (Access 2007) and later
inline constexpr std::uint8_t kVersionAceLast = 0x06;

// Jet 3 pages are half the size of later ones.
inline constexpr std::size_t kJet3PageSize = 2048;

// A row offset table entry: the row's start in the page and two flags.
inline constexpr std::uint16_t kRowOffsetMask = 0x1FFF;
inline constexpr std::uint16_t kRowDeleted = 0x8000;   // deleted, or the moved-away body of a row
inline constexpr std::uint16_t kRowOverflow = 0x4000;  // holds only a row pointer to the body
inline constexpr std::size_t kOverflowPointerSize = 4;

// The owner field of data pages holding long values (memo and OLE data).
inline constexpr std::uint32_t kLongValueOwner = 0x4C41564C;  // the bytes "LVAL"

// A long value (memo, OLE object) in its row: a 12-byte header
//   u32 kind (top 2 bits) and stored length (low 30 bits) | u32 row pointer | u32 unused
// then, for the inline kind, the value itself. A chain is a list of rows on long value pages,
// each starting with the row pointer of the next (0 on the last).
inline constexpr std::size_t kLongValueHeaderSize = 12;
inline constexpr std::uint32_t kLongValueKindMask = 0xC0000000;
inline constexpr std::uint32_t kLongValueInline = 0x80000000;
inline constexpr std::uint32_t kLongValueSingleRow = 0x40000000;
inline constexpr std::uint32_t kLongValueChain = 0x00000000;
inline constexpr std::size_t kLongValuePointerOffset = 4;
inline constexpr std::size_t kLongValueChainLinkSize = 4;

// Usage maps: the row listing the pages of a table (or of a memo column). Type 0 is a start
// page and a bitmap; type 1 lists bitmap pages (type 0x05), entry k covering the absolute pages
// k * span .. k * span + span - 1, span being the bits of a bitmap page after its 4-byte header.
inline constexpr std::uint8_t kUsageMapInline = 0x00;
inline constexpr std::uint8_t kUsageMapIndirect = 0x01;
inline constexpr std::size_t kUsageMapInlineHeader = 5;  // type, u32 start page
inline constexpr std::size_t kUsageMapRowSize = 69;      // as Access writes it
inline constexpr std::uint32_t kInlineMapPages = 64 * 8;
inline constexpr std::size_t kUsageBitmapHeader = 4;
inline constexpr std::uint32_t kBitmapPageSpan = (kPageSize - kUsageBitmapHeader) * 8;

// The catalog, MSysObjects: its definition is always on page 2. A table's row carries the page
// of its definition in the low 24 bits of its Id.
inline constexpr std::uint32_t kCatalogDefinitionPage = 2;
inline constexpr std::uint32_t kCatalogIdPageMask = 0x00FFFFFF;
inline constexpr std::int16_t kObjectTable = 1;
inline constexpr std::int16_t kObjectContainer = 3;
inline constexpr std::int16_t kObjectLinkedOdbcTable = 4;
inline constexpr std::int16_t kObjectLinkedTable = 6;
inline constexpr std::uint32_t kObjectSystemFlags = 0x80000002;

// Table types at the definition's table type offset.
inline constexpr std::uint8_t kTableUser = 0x4E;
inline constexpr std::uint8_t kTableSystem = 0x53;

// Index definitions in a table definition: a physical index has kIndexKeyColumns key slots
// (u16 column number or kIndexKeyUnused, u8 order) and flags; a logical index uses one physical
// index and has a kind.
inline constexpr std::size_t kIndexKeyColumns = 10;
inline constexpr std::uint16_t kIndexKeyUnused = 0xFFFF;
inline constexpr std::uint8_t kKeyOrderAscending = 0x01;
inline constexpr std::uint8_t kIndexUnique = 0x01;
inline constexpr std::uint8_t kLogicalIndexPrimaryKey = 0x01;
inline constexpr std::uint8_t kLogicalIndexForeignKey = 0x02;

// Where things are in the pages and rows of one version of the format. Jet 4 and .accdb files
// share one layout; Jet 3 files have smaller pages, 1-byte row fields and shorter descriptors.
struct FileLayout {
  std::size_t pageSize;
  // Data pages.
  std::size_t dataRowCount;   // u16 number of rows; the row offset table follows it
  std::size_t dataOwner;      // u32 definition page of the owning table
  // Table definition pages: the header of the first page.
  std::size_t defNextPage;    // u32 continuation page (0: none); continuations repeat the
  std::size_t defContinuationHeader;  // first bytes up to here, then go on with the content
  std::size_t defRowCount;
  std::size_t defTableType;
  std::size_t defVariableColumns;
  std::size_t defColumnCount;
  std::size_t defLogicalIndexCount;
  std::size_t defRealIndexCount;
  std::size_t defUsageMap;    // u32 row pointer of the table's usage map
  std::size_t defHeaderSize;  // the per-real-index entries start here
  std::size_t realIndexEntrySize;
  // Column descriptors.
  std::size_t columnEntrySize;
  std::size_t columnType;
  std::size_t columnNumber;
  std::size_t columnVariableIndex;
  std::size_t columnPrecision;
  std::size_t columnScale;
  std::size_t columnFlags;
  std::size_t columnFixedOffset;
  std::size_t columnLength;
  std::size_t nameLengthSize;  // names: u8 length and code page bytes, or u16 length and UTF-16
  // Index definitions after the column names.
  std::size_t realIndexSize;
  std::size_t realIndexKeysStart;  // 10 keys of u16 column number and u8 order
  std::size_t realIndexFlags;      // after the keys, the usage map and the first index page
  std::size_t logicalIndexSize;
  std::size_t logicalIndexRealNumber;  // u32: the real index it uses
  std::size_t logicalIndexKind;        // u8: primary key, foreign key
  // Rows: the column count, then fixed columns at their offsets after it.
  std::size_t rowCountSize;  // 1 (u8 fields, offsets beyond 255 through a jump table) or 2
  bool unicodeText;          // text is UTF-16 (possibly compressed) rather than the code page
};

inline constexpr FileLayout kJet3Layout = {
    .pageSize = kJet3PageSize,
    .dataRowCount = 0x08, .dataOwner = 0x04,
    .defNextPage = 0x04, .defContinuationHeader = 8,
    .defRowCount = 0x0C, .defTableType = 0x14, .defVariableColumns = 0x17,
    .defColumnCount = 0x19, .defLogicalIndexCount = 0x1B, .defRealIndexCount = 0x1F,
    .defUsageMap = 0x23, .defHeaderSize = 0x2B, .realIndexEntrySize = 8,
    .columnEntrySize = 18, .columnType = 0, .columnNumber = 1, .columnVariableIndex = 3,
    .columnPrecision = 11, .columnScale = 12, .columnFlags = 13, .columnFixedOffset = 14,
    .columnLength = 16, .nameLengthSize = 1,
    .realIndexSize = 39, .realIndexKeysStart = 0, .realIndexFlags = 38,
    .logicalIndexSize = 20, .logicalIndexRealNumber = 4, .logicalIndexKind = 19,
    .rowCountSize = 1, .unicodeText = false,
};

inline constexpr FileLayout kJet4Layout = {
    .pageSize = kPageSize,
    .dataRowCount = 0x0C, .dataOwner = 0x04,
    .defNextPage = 0x04, .defContinuationHeader = 8,
    .defRowCount = 0x10, .defTableType = 0x28, .defVariableColumns = 0x2B,
    .defColumnCount = 0x2D, .defLogicalIndexCount = 0x2F, .defRealIndexCount = 0x33,
    .defUsageMap = 0x37, .defHeaderSize = 0x3F, .realIndexEntrySize = 12,
    .columnEntrySize = 25, .columnType = 0, .columnNumber = 5, .columnVariableIndex = 7,
    .columnPrecision = 11, .columnScale = 12, .columnFlags = 15, .columnFixedOffset = 21,
    .columnLength = 23, .nameLengthSize = 2,
    .realIndexSize = 52, .realIndexKeysStart = 4, .realIndexFlags = 46,
    .logicalIndexSize = 28, .logicalIndexRealNumber = 8, .logicalIndexKind = 23,
    .rowCountSize = 2, .unicodeText = true,
};

// Jet 4 text may be stored compressed: this marker, then bytes of characters below U+0100,
// each 00 byte switching to and from 2-byte characters.
inline constexpr std::uint8_t kCompressedTextMarker[2] = {0xFF, 0xFE};

// Stored sizes of fixed-size column types.
inline constexpr std::size_t kMoneySize = 8;
inline constexpr std::size_t kGuidSize = 16;
inline constexpr std::size_t kNumericSize = 17;  // sign byte, 128-bit magnitude
inline constexpr std::uint8_t kNumericNegative = 0x80;

// A row pointer: page number in the upper 24 bits, row number in the low 8.
inline constexpr std::uint32_t PageRow(std::uint32_t page, std::uint32_t row) {
  return (page << 8) | row;
}

inline void PutU16(std::uint8_t* at, std::uint16_t v) {
  at[0] = static_cast<std::uint8_t>(v);
  at[1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutU24(std::uint8_t* at, std::uint32_t v) {
  at[0] = static_cast<std::uint8_t>(v);
  at[1] = static_cast<std::uint8_t>(v >> 8);
  at[2] = static_cast<std::uint8_t>(v >> 16);
}
inline void PutU32(std::uint8_t* at, std::uint32_t v) {
  PutU16(at, static_cast<std::uint16_t>(v));
  PutU16(at + 2, static_cast<std::uint16_t>(v >> 16));
}
inline void PutF64(std::uint8_t* at, double v) { std::memcpy(at, &v, sizeof v); }

inline std::uint16_t GetU16(const std::uint8_t* at) {
  return static_cast<std::uint16_t>(at[0] | (at[1] << 8));
}
inline std::uint32_t GetU24(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) | (static_cast<std::uint32_t>(at[1]) << 8) |
         (static_cast<std::uint32_t>(at[2]) << 16);
}
inline std::uint32_t GetU32(const std::uint8_t* at) {
  return GetU16(at) | (static_cast<std::uint32_t>(GetU16(at + 2)) << 16);
}
inline std::uint64_t GetU64(const std::uint8_t* at) {
  return GetU32(at) | (static_cast<std::uint64_t>(GetU32(at + 4)) << 32);
}
inline double GetF64(const std::uint8_t* at) {
  double v;
  std::memcpy(&v, at, sizeof v);
  return v;
}
inline float GetF32(const std::uint8_t* at) {
  float v;
  std::memcpy(&v, at, sizeof v);
  return v;
}

inline void AppendU8(std::vector<std::uint8_t>& out, std::uint8_t v) { out.push_back(v); }
inline void AppendU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
  out.push_back(static_cast<std::uint8_t>(v));
  out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  AppendU16(out, static_cast<std::uint16_t>(v));
  AppendU16(out, static_cast<std::uint16_t>(v >> 16));
}
inline void AppendZeros(std::vector<std::uint8_t>& out, std::size_t n) {
  out.insert(out.end(), n, 0);
}

}  // namespace jet
