// Fixed numbers of the Access file layout (pages, rows, column types) and little-endian byte
// packing helpers, shared by the reader and the writer.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <iterator>
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
inline constexpr std::uint8_t kTypeByte = 0x02;
inline constexpr std::uint8_t kTypeInt16 = 0x03;
inline constexpr std::uint8_t kTypeInt32 = 0x04;
inline constexpr std::uint8_t kTypeMoney = 0x05;
inline constexpr std::uint8_t kTypeSingle = 0x06;
inline constexpr std::uint8_t kTypeDouble = 0x07;
inline constexpr std::uint8_t kTypeDateTime = 0x08;
inline constexpr std::uint8_t kTypeBinary = 0x09;
inline constexpr std::uint8_t kTypeText = 0x0A;
inline constexpr std::uint8_t kTypeOle = 0x0B;
inline constexpr std::uint8_t kTypeMemo = 0x0C;
inline constexpr std::uint8_t kTypeGuid = 0x0F;
inline constexpr std::uint8_t kTypeNumeric = 0x10;

// Column flags in a table definition.
inline constexpr std::uint8_t kColumnFixed = 0x01;
inline constexpr std::uint8_t kColumnNullable = 0x02;
inline constexpr std::uint8_t kColumnAutoNumber = 0x04;
inline constexpr std::uint8_t kColumnHyperlink = 0x80;  // a Memo column holding links

// Index pages. A node page (0x03) holds entries that lead to lower index pages, a leaf page
// (0x04) entries that lead to rows. After the header comes a bitmask whose bit i marks an entry
// starting (or the last one ending) at kIndexPageEntries + i; the first entry starts there
// unmarked. The free space counts the bytes after the end of the last entry.
inline constexpr std::uint8_t kPageIndexNode = 0x03;
inline constexpr std::uint8_t kPageIndexLeaf = 0x04;
inline constexpr std::size_t kIndexPageFreeSpace = 0x02;     // u16
inline constexpr std::size_t kIndexPageTable = 0x04;         // u32: the table definition page
inline constexpr std::size_t kIndexPagePrevious = 0x08;      // u32: the page before on its level
inline constexpr std::size_t kIndexPageNext = 0x0C;          // u32: the page after on its level
inline constexpr std::size_t kIndexPageTail = 0x10;          // u32: node pages: the last leaf
inline constexpr std::size_t kIndexPagePrefixLength = 0x14;  // u16: leading bytes shared by all
                                                             // entries and stored once
inline constexpr std::size_t kIndexPageEntryMask = 0x1B;
inline constexpr std::size_t kIndexPageEntries = 0x1E0;

// The General sort order of text (and its index keys), as the file header and text columns
// name it.
inline constexpr std::uint16_t kSortOrderGeneral = 0x0409;

// Index entries. Each key column is a flag byte (kKeyAscending, or kKeyNull alone for NULL)
// followed by its value; then comes the row's page as 3 big-endian bytes and its row number,
// and on node pages the 4-byte big-endian number of the lower page whose last entry this is.
// Entries sort by their bytes. A Long is stored big-endian with its sign bit flipped; text as
// the sort codes of its characters (see TextKeyCode), then kTextKeyEnd and kTextKeyExtrasEnd.
inline constexpr std::uint8_t kKeyAscending = 0x7F;
inline constexpr std::uint8_t kKeyNull = 0x00;
inline constexpr std::uint8_t kTextKeyEnd = 0x01;
inline constexpr std::uint8_t kTextKeyExtrasEnd = 0x00;
inline constexpr std::size_t kIndexRowPointerSize = 4;
inline constexpr std::size_t kIndexChildPointerSize = 4;

// The sort codes of characters in text keys under the General sort order (0x0409), with letters
// of either case sharing one code. Seen in index pages written by Access: space, '.', '_', the
// digits and every ASCII letter but k, q and z. Inferred: k, q and z, placed as the codes of the
// other letters follow the alphabet (one step between b and c and between x and y, two steps
// elsewhere, the single steps falling where the letters' Windows sort weights are adjacent).
// Returns the number of code bytes put in `code`, or 0 for a character not in this table.
inline constexpr std::size_t TextKeyCode(char16_t c, std::uint8_t (&code)[2]) {
  constexpr std::uint8_t kLetters[26] = {0x4A, 0x4C, 0x4D, 0x4F, 0x51, 0x53, 0x55, 0x57, 0x59,
                                         0x5B, 0x5C, 0x5E, 0x60, 0x62, 0x64, 0x66, 0x68, 0x69,
                                         0x6B, 0x6D, 0x6F, 0x71, 0x73, 0x75, 0x76, 0x78};
  if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  if (c >= u'A' && c <= u'Z') {
    code[0] = kLetters[c - u'A'];
    return 1;
  }
  if (c >= u'0' && c <= u'9') {
    code[0] = static_cast<std::uint8_t>(0x36 + 2 * (c - u'0'));
    return 1;
  }
  switch (c) {
    case u' ': code[0] = 0x07; return 1;
    case u'.': code[0] = 0x1C; return 1;
    case u'_': code[0] = 0x2B; code[1] = 0x03; return 2;
    default: return 0;
  }
}

// Index definitions in a table definition. After its 63-byte header, a definition holds for
// each physical index a 12-byte block (u32 0, u32 number of distinct keys, u32 0); after the
// column names, each physical index (kPhysicalIndexSize bytes):
//   u32 kPhysicalIndexStamp | kIndexKeyColumns x (u16 column number or 0xFFFF, u8 order) |
//   u32 row pointer of its usage map | u32 first (root) page | u32 0 | u8 flags | 5 zero bytes
// then each logical index (kLogicalIndexSize bytes):
//   u32 definition stamp | u32 index number | u32 physical index | u8 0 | u32 0xFFFFFFFF |
//   u32 0 | u8 4 | u8 4 | u8 kind | u32 0
// (the middle fields describe the other side of a relationship, which the indexes written here
// have none of), then the logical index names as u16 byte length and UTF-16LE.
inline constexpr std::size_t kIndexStatisticsSize = 12;
inline constexpr std::size_t kPhysicalIndexSize = 52;
inline constexpr std::size_t kLogicalIndexSize = 28;
inline constexpr std::size_t kIndexKeyColumns = 10;
inline constexpr std::uint32_t kPhysicalIndexStamp = 0x783;  // meaning unknown; as Access writes
inline constexpr std::uint8_t kKeyOrderAscending = 0x01;
inline constexpr std::uint8_t kIndexUnique = 0x01;
inline constexpr std::uint8_t kIndexIgnoreNulls = 0x02;
inline constexpr std::uint8_t kIndexRequired = 0x08;
inline constexpr std::uint8_t kIndexFlagAlwaysSet = 0x80;  // on every index Access wrote
inline constexpr std::uint8_t kLogicalIndexPlain = 0x00;
inline constexpr std::uint8_t kLogicalIndexPrimaryKey = 0x01;
inline constexpr std::uint8_t kLogicalIndexNoRelationship = 0x04;  // the two cascade bytes

// Layout of a data page: header, then the row offset table; rows are packed downwards from
// the end of the page.
inline constexpr std::size_t kDataPageHeader = 14;
inline constexpr std::size_t kMaxRowsPerPage = 255;  // a row pointer keeps 8 bits for the row
inline constexpr std::size_t kMaxRowBytes = kPageSize - kDataPageHeader - 2;  // 4080

// Columns a table may have; the null mask and column numbers allow no more.
inline constexpr std::size_t kMaxColumns = 255;

// The highest page number a file may use: Jet 4 files stop at 2 GB.
inline constexpr std::uint32_t kMaxPages = 0x80000000u / kPageSize;

// Page 0 beyond the signature and version: a block of kHeaderSettingsSize bytes at
// kHeaderSettingsOffset is stored RC4-masked with the key kHeaderSettingsKey; the offsets of the
// fields inside it are page offsets. An empty database password is stored as the integer part
// of the creation date in 4 little-endian bytes, repeated over its 40 bytes (the mask a password
// is XORed with).
inline constexpr std::size_t kHeaderVersionOffset = 0x14;  // u8: 0 Jet 3, 1 Jet 4
inline constexpr std::size_t kHeaderSettingsOffset = 0x18;
inline constexpr std::size_t kHeaderSettingsSize = 128;
inline constexpr std::uint8_t kHeaderSettingsKey[4] = {0xC7, 0xDA, 0x39, 0x6B};
inline constexpr std::size_t kHeaderCodePageOffset = 0x3C;       // u16
inline constexpr std::size_t kHeaderDatabaseKeyOffset = 0x3E;    // u32; 0: pages not encrypted
inline constexpr std::size_t kHeaderPasswordOffset = 0x42;
inline constexpr std::size_t kHeaderPasswordSize = 40;
inline constexpr std::size_t kHeaderSortOrderOffset = 0x6E;      // u32 (0x0409: General)
inline constexpr std::size_t kHeaderCreationDateOffset = 0x72;   // f64 day number
// From 0xE00 to the end of page 0 Access writes the words 0x0108, 0x0127 and then 0x0100 to
// the end; their meaning is not known.
inline constexpr std::size_t kHeaderTailOffset = 0xE00;

// The catalog, MSysObjects, whose definition is always on page 2. A table's row has the table's
// definition page as its Id. The other objects every file holds, with the Ids Access gives them:
// the containers (rows under kContainersParent), MSysDb in Databases, and the system tables.
inline constexpr std::uint32_t kCatalogDefinitionPage = 2;
inline constexpr std::uint32_t kContainersParent = 0x0F000000;
inline constexpr std::uint32_t kTablesContainer = 0x0F000001;
inline constexpr std::uint32_t kDatabasesContainer = 0x0F000002;
inline constexpr std::uint32_t kRelationshipsContainer = 0x0F000003;
inline constexpr std::uint32_t kDatabaseObject = 0x10000000;  // MSysDb
// Objects Access itself adds get Ids counting from this one.
inline constexpr std::uint32_t kFirstApplicationObject = 0x80000000;
// Object types (the Type column).
inline constexpr std::int16_t kObjectTable = 1;
inline constexpr std::int16_t kObjectDatabase = 2;
inline constexpr std::int16_t kObjectContainer = 3;
inline constexpr std::int16_t kObjectDocument = -32757;  // SummaryInfo, UserDefined
// The Flags column: set on the engine's own objects, which listings hide.
inline constexpr std::uint32_t kObjectSystemFlag = 0x80000000;

// Security ids, in the Owner column of the catalog and the SID column of MSysACEs. Their roles
// are inferred from where Access puts them: the engine owns its own objects, the Admin user owns
// what the user creates, and access-control entries also name the Users and Admins groups and a
// creator that inheritable entries of containers pass on. The Admins id is the one of the
// workgroup the Access-made file was created in.
inline constexpr std::uint8_t kSidEngine[] = {0x73, 0x67};
inline constexpr std::uint8_t kSidAdminUser[] = {0x72, 0x65};
inline constexpr std::uint8_t kSidUsersGroup[] = {0x73, 0x65};
inline constexpr std::uint8_t kSidCreator[] = {0x73, 0x60};
inline constexpr std::uint8_t kSidAdminsGroup[] = {
    0x70, 0xBF, 0x8C, 0xBA, 0xF7, 0x8F, 0x0F, 0x0D, 0xAE, 0xCF, 0x9E, 0x4B, 0x89, 0x73, 0xF7,
    0x74, 0x99, 0x2E, 0x18, 0x2B, 0x5E, 0x0A, 0x7E, 0xAA, 0x30, 0x85, 0x64, 0xEC, 0xAE, 0xEF,
    0xF6, 0x22, 0xA1, 0x5B, 0x6F, 0x19, 0x77, 0xF6, 0x7D, 0xE8, 0xE5, 0xFE, 0x7B, 0xA4, 0x52,
    0x32, 0x8A, 0x56, 0x6B, 0xCD, 0x0D, 0xD3, 0xBE, 0xB9, 0xA1, 0xDB, 0x1E, 0xE6, 0xF2, 0xEC,
    0x79, 0xB8, 0x14, 0x0D, 0x9B, 0xCF, 0x5A, 0x6A, 0xAA, 0x6E, 0x3F, 0x3C, 0xD1, 0x5F, 0x45,
    0xFE, 0x4C, 0xC2, 0xC2, 0xFF, 0x67, 0xD4, 0xBF, 0x1A, 0xF7, 0x76, 0x9D, 0x81, 0x29, 0xE4,
    0x83, 0x62, 0xA6, 0x81, 0xC6, 0x6D, 0x53, 0x71, 0x98, 0x48, 0x62, 0x03};

// The system tables every file holds, as Access defines them. Columns are listed by column
// number; their descriptors are stored sorted by name (letter case ignored) and carry 0 as
// column index. Index i is physical index i and the logical index numbered i.
struct SystemColumn {
  const char* name;
  std::uint8_t type;
  std::uint8_t flags;
  std::uint16_t length;  // bytes; 0 for memo and OLE
};
struct SystemIndex {
  const char* name;
  std::uint8_t key_count;
  std::uint16_t keys[3];  // column numbers, ascending order
  std::uint8_t flags;     // kIndexUnique, ... | kIndexFlagAlwaysSet
  std::uint8_t kind;      // kLogicalIndexPlain or kLogicalIndexPrimaryKey
};
struct SystemTable {
  const char* name;
  std::uint32_t definition_page;
  const SystemColumn* columns;
  std::size_t column_count;
  const SystemIndex* indexes;
  std::size_t index_count;
};

inline constexpr std::uint8_t kSystemFixed = 0x13;
inline constexpr std::uint8_t kSystemVariable = 0x12;
inline constexpr std::uint8_t kSystemSecurityId = 0x32;

inline constexpr SystemColumn kCatalogColumns[] = {
    {"Id", kTypeInt32, kSystemFixed, 4},
    {"ParentId", kTypeInt32, kSystemFixed, 4},
    {"Name", kTypeText, kSystemVariable, 510},
    {"Type", kTypeInt16, kSystemFixed, 2},
    {"DateCreate", kTypeDateTime, kSystemFixed, 8},
    {"DateUpdate", kTypeDateTime, kSystemFixed, 8},
    {"Owner", kTypeBinary, kSystemSecurityId, 510},
    {"Flags", kTypeInt32, kSystemFixed, 4},
    {"Database", kTypeMemo, kSystemVariable, 0},
    {"Connect", kTypeMemo, kSystemVariable, 0},
    {"ForeignName", kTypeText, kSystemVariable, 510},
    {"RmtInfoShort", kTypeBinary, kSystemVariable, 510},
    {"RmtInfoLong", kTypeOle, kSystemVariable, 0},
    {"Lv", kTypeOle, kSystemVariable, 0},
    {"LvProp", kTypeOle, kSystemVariable, 0},
    {"LvModule", kTypeOle, kSystemVariable, 0},
    {"LvExtra", kTypeOle, kSystemVariable, 0},
};
inline constexpr SystemIndex kCatalogIndexes[] = {
    {"ParentIdName", 2, {1, 2, 0}, kIndexUnique | kIndexFlagAlwaysSet, kLogicalIndexPlain},
    {"Id", 1, {0, 0, 0}, kIndexUnique | kIndexFlagAlwaysSet, kLogicalIndexPrimaryKey},
};

inline constexpr SystemColumn kAccessControlColumns[] = {
    {"ObjectId", kTypeInt32, kSystemFixed, 4},
    {"SID", kTypeBinary, kSystemSecurityId, 510},
    {"ACM", kTypeInt32, kSystemFixed, 4},
    {"FInheritable", kTypeBool, kSystemFixed, 1},
};
inline constexpr SystemIndex kAccessControlIndexes[] = {
    {"ObjectId", 1, {0, 0, 0}, kIndexRequired | kIndexFlagAlwaysSet, kLogicalIndexPlain},
};

inline constexpr SystemColumn kQueryColumns[] = {
    {"ObjectId", kTypeInt32, kSystemFixed, 4},
    {"Attribute", kTypeByte, kSystemFixed, 1},
    {"Order", kTypeBinary, kSystemVariable, 510},
    {"Name1", kTypeText, kSystemVariable, 510},
    {"Name2", kTypeText, kSystemVariable, 510},
    {"Expression", kTypeMemo, kSystemVariable, 0},
    {"Flag", kTypeInt16, kSystemFixed, 2},
    {"LvExtra", kTypeInt32, kSystemFixed, 4},
};
inline constexpr SystemIndex kQueryIndexes[] = {
    {"ObjectIdAttribute", 3, {0, 1, 2}, kIndexUnique | kIndexFlagAlwaysSet,
     kLogicalIndexPrimaryKey},
};

inline constexpr SystemColumn kRelationshipColumns[] = {
    {"szRelationship", kTypeText, kSystemVariable, 510},
    {"grbit", kTypeInt32, kSystemFixed, 4},
    {"ccolumn", kTypeInt32, kSystemFixed, 4},
    {"icolumn", kTypeInt32, kSystemFixed, 4},
    {"szObject", kTypeText, kSystemVariable, 510},
    {"szColumn", kTypeText, kSystemVariable, 510},
    {"szReferencedObject", kTypeText, kSystemVariable, 510},
    {"szReferencedColumn", kTypeText, kSystemVariable, 510},
};
inline constexpr SystemIndex kRelationshipIndexes[] = {
    {"szRelationship", 1, {0, 0, 0}, kIndexIgnoreNulls | kIndexFlagAlwaysSet, kLogicalIndexPlain},
    {"szObject", 1, {4, 0, 0}, kIndexIgnoreNulls | kIndexFlagAlwaysSet, kLogicalIndexPlain},
    {"szReferencedObject", 1, {6, 0, 0}, kIndexIgnoreNulls | kIndexFlagAlwaysSet,
     kLogicalIndexPlain},
};

// In page order: MSysObjects on page 2, then the others on the pages after it.
inline constexpr SystemTable kSystemTables[] = {
    {"MSysObjects", kCatalogDefinitionPage, kCatalogColumns, std::size(kCatalogColumns),
     kCatalogIndexes, std::size(kCatalogIndexes)},
    {"MSysACEs", 3, kAccessControlColumns, std::size(kAccessControlColumns),
     kAccessControlIndexes, std::size(kAccessControlIndexes)},
    {"MSysQueries", 4, kQueryColumns, std::size(kQueryColumns), kQueryIndexes,
     std::size(kQueryIndexes)},
    {"MSysRelationships", 5, kRelationshipColumns, std::size(kRelationshipColumns),
     kRelationshipIndexes, std::size(kRelationshipIndexes)},
};

// Jet 3 files: 2 KB pages, a shorter settings block; files that name no code page.
inline constexpr std::size_t kJet3PageSize = 2048;
inline constexpr std::size_t kJet3HeaderSettingsSize = 126;
inline constexpr std::size_t kJet3HeaderPasswordSize = 20;  // text in the file's code page
inline constexpr int kDefaultCodePage = 1252;  // Jet 3 text when the header names none
// The engine version byte.
inline constexpr std::uint8_t kVersionJet3 = 0x00;
inline constexpr std::uint8_t kVersionJet4 = 0x01;
inline constexpr std::uint8_t kVersionAceFirst = 0x02;  // .accdb files: 2 (Access 2007) and later
inline constexpr std::uint8_t kVersionAceLast = 0x06;

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

// More of the catalog as the reader uses it: a table's Id keeps its definition page in its low
// 24 bits; linked tables have types of their own; listings also hide objects with bit 0x2.
inline constexpr std::uint32_t kCatalogIdPageMask = 0x00FFFFFF;
inline constexpr std::int16_t kObjectLinkedOdbcTable = 4;
inline constexpr std::int16_t kObjectLinkedTable = 6;
inline constexpr std::uint32_t kObjectHiddenSystemFlag = 0x00000002;

// Table types at the definition's table type offset.
inline constexpr std::uint8_t kTableUser = 0x4E;
inline constexpr std::uint8_t kTableSystem = 0x53;

// Index key slots left unused, and the kind of a logical index that is a foreign key.
inline constexpr std::uint16_t kIndexKeyUnused = 0xFFFF;
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
  std::size_t defAutoNumber;  // u32: the last number an AutoNumber column gave
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
  std::size_t columnSortOrder;  // u16: text columns' sort order (0x0409 General)
  std::size_t columnFixedOffset;
  std::size_t columnLength;
  std::size_t nameLengthSize;  // names: u8 length and code page bytes, or u16 length and UTF-16
  // Index definitions after the column names.
  std::size_t realIndexSize;
  std::size_t realIndexKeysStart;  // 10 keys of u16 column number and u8 order
  std::size_t realIndexFirstPage;  // u32: the root of its tree (after the u32 usage map)
  std::size_t realIndexFlags;
  std::size_t logicalIndexSize;
  std::size_t logicalIndexRealNumber;  // u32: the real index it uses
  std::size_t logicalIndexKind;        // u8: primary key, foreign key
  // Index pages: where the entry bitmask and the entries start, and the size of the shared
  // prefix's length (Access 97 files keep a node flag in the byte after a 1-byte length).
  std::size_t indexEntryMask;
  std::size_t indexEntries;
  std::size_t indexPrefixLengthSize;
  // Rows: the column count, then fixed columns at their offsets after it.
  std::size_t rowCountSize;  // 1 (u8 fields, offsets beyond 255 through a jump table) or 2
  bool unicodeText;          // text is UTF-16 (possibly compressed) rather than the code page
};

inline constexpr FileLayout kJet3Layout = {
    .pageSize = kJet3PageSize,
    .dataRowCount = 0x08, .dataOwner = 0x04,
    .defNextPage = 0x04, .defContinuationHeader = 8,
    .defRowCount = 0x0C, .defAutoNumber = 0x10, .defTableType = 0x14,
    .defVariableColumns = 0x17,
    .defColumnCount = 0x19, .defLogicalIndexCount = 0x1B, .defRealIndexCount = 0x1F,
    .defUsageMap = 0x23, .defHeaderSize = 0x2B, .realIndexEntrySize = 8,
    .columnEntrySize = 18, .columnType = 0, .columnNumber = 1, .columnVariableIndex = 3,
    .columnPrecision = 11, .columnScale = 12, .columnFlags = 13, .columnSortOrder = 9,
    .columnFixedOffset = 14,
    .columnLength = 16, .nameLengthSize = 1,
    .realIndexSize = 39, .realIndexKeysStart = 0, .realIndexFirstPage = 34,
    .realIndexFlags = 38,
    .logicalIndexSize = 20, .logicalIndexRealNumber = 4, .logicalIndexKind = 19,
    .indexEntryMask = 0x16, .indexEntries = 0xF8, .indexPrefixLengthSize = 1,
    .rowCountSize = 1, .unicodeText = false,
};

inline constexpr FileLayout kJet4Layout = {
    .pageSize = kPageSize,
    .dataRowCount = 0x0C, .dataOwner = 0x04,
    .defNextPage = 0x04, .defContinuationHeader = 8,
    .defRowCount = 0x10, .defAutoNumber = 0x14, .defTableType = 0x28,
    .defVariableColumns = 0x2B,
    .defColumnCount = 0x2D, .defLogicalIndexCount = 0x2F, .defRealIndexCount = 0x33,
    .defUsageMap = 0x37, .defHeaderSize = 0x3F, .realIndexEntrySize = 12,
    .columnEntrySize = 25, .columnType = 0, .columnNumber = 5, .columnVariableIndex = 7,
    .columnPrecision = 11, .columnScale = 12, .columnFlags = 15, .columnSortOrder = 11,
    .columnFixedOffset = 21,
    .columnLength = 23, .nameLengthSize = 2,
    .realIndexSize = 52, .realIndexKeysStart = 4, .realIndexFirstPage = 38,
    .realIndexFlags = 46,
    .logicalIndexSize = 28, .logicalIndexRealNumber = 8, .logicalIndexKind = 23,
    .indexEntryMask = kIndexPageEntryMask, .indexEntries = kIndexPageEntries,
    .indexPrefixLengthSize = 2,
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
