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

// Layout of a data page: header, then the row offset table; rows are packed downwards from
// the end of the page.
inline constexpr std::size_t kDataPageHeader = 14;
inline constexpr std::size_t kMaxRowsPerPage = 255;  // a row pointer keeps 8 bits for the row
inline constexpr std::size_t kMaxRowBytes = kPageSize - kDataPageHeader - 2;  // 4080

// Columns a table may have; the null mask and column numbers allow no more.
inline constexpr std::size_t kMaxColumns = 255;

// The highest page number a file may use: Jet 4 files stop at 2 GB.
inline constexpr std::uint32_t kMaxPages = 0x80000000u / kPageSize;

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
