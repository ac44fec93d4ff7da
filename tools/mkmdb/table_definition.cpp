#include "table_definition.h"

#include <algorithm>
#include <cstring>

#include "jet_text.h"

namespace mkmdb {
namespace {

// Unknown 32-bit value that Access repeats in the header and in every column descriptor.
constexpr std::uint32_t kDefinitionStamp = 0x659;
constexpr std::uint16_t kSortOrderGeneral = 0x0409;
constexpr std::size_t kHeaderSize = 0x3F;
constexpr std::size_t kDescriptorSize = 25;
constexpr std::size_t kContinuationHeader = 8;

std::u16string Utf16Name(const std::string& name) {
  Utf8Decoder decoder;
  std::u16string out;
  decoder.Decode(name, out);  // names are checked for valid UTF-8 before layout
  return out;
}

}  // namespace

std::vector<std::uint8_t> BuildTableDefinition(const TableLayout& layout, std::uint32_t rows,
                                               const TableMaps& maps) {
  const auto column_count = static_cast<std::uint16_t>(layout.columns.size());
  std::vector<std::uint8_t> out(kHeaderSize, 0);
  std::uint8_t* h = out.data();
  h[0] = jet::kPageTableDefinition;
  h[1] = 0x01;
  // 2: free space and 4: next page, 8: length; set when paging.
  jet::PutU32(h + 0x0C, kDefinitionStamp);
  jet::PutU32(h + 0x10, rows);
  jet::PutU32(h + 0x14, 0);  // next autonumber
  h[0x18] = 0x01;
  h[0x28] = layout.system ? 0x53 : 0x4E;
  jet::PutU16(h + 0x29, column_count);  // columns ever defined
  jet::PutU16(h + 0x2B, layout.variable_count);
  jet::PutU16(h + 0x2D, column_count);
  jet::PutU32(h + 0x2F, 0);  // logical indexes
  jet::PutU32(h + 0x33, 0);  // physical indexes
  jet::PutU32(h + 0x37, maps.usage);
  jet::PutU32(h + 0x3B, maps.free);

  for (const PhysicalColumn& column : layout.columns) {
    std::uint8_t d[kDescriptorSize] = {};
    d[0] = column.type;
    jet::PutU32(d + 1, kDefinitionStamp);
    jet::PutU16(d + 5, column.number);
    jet::PutU16(d + 7, column.variable_slot);
    jet::PutU16(d + 9, column.number);
    jet::PutU16(d + 11, kSortOrderGeneral);
    d[15] = column.flags;
    d[16] = column.compression;
    jet::PutU16(d + 21, column.fixed_offset);
    jet::PutU16(d + 23, column.length);
    out.insert(out.end(), d, d + kDescriptorSize);
  }
  for (const PhysicalColumn& column : layout.columns) {
    std::vector<std::uint8_t> name = Utf16Bytes(Utf16Name(column.name));
    jet::AppendU16(out, static_cast<std::uint16_t>(name.size()));
    out.insert(out.end(), name.begin(), name.end());
  }
  std::size_t long_value = 0;
  for (const PhysicalColumn& column : layout.columns) {
    if (!column.long_value()) continue;
    const auto& pair = maps.long_values.at(long_value++);
    jet::AppendU16(out, column.number);
    jet::AppendU32(out, pair.first);
    jet::AppendU32(out, pair.second);
  }
  jet::AppendU16(out, 0xFFFF);
  return out;
}

void WriteTableDefinition(PageFile& file, std::uint32_t first_page,
                          const std::vector<std::uint8_t>& definition) {
  // Split the bytes: the first page takes up to a page, each continuation a page less its header.
  std::vector<std::pair<std::size_t, std::size_t>> pieces;  // offset, size in `definition`
  std::size_t taken = std::min(definition.size(), jet::kPageSize);
  pieces.emplace_back(0, taken);
  while (taken < definition.size()) {
    std::size_t size = std::min(definition.size() - taken, jet::kPageSize - kContinuationHeader);
    pieces.emplace_back(taken, size);
    taken += size;
  }
  std::vector<std::uint32_t> numbers{first_page};
  for (std::size_t i = 1; i < pieces.size(); ++i) numbers.push_back(file.Allocate());

  for (std::size_t i = 0; i < pieces.size(); ++i) {
    jet::Page page{};
    const auto [offset, size] = pieces[i];
    const std::size_t start = i == 0 ? 0 : kContinuationHeader;
    std::memcpy(page.data() + start, definition.data() + offset, size);
    const std::size_t used = start + size;
    page[0] = jet::kPageTableDefinition;
    page[1] = 0x01;
    // Free space as Access counts it on a definition page: the page less its use and 8 bytes.
    const std::size_t reserve = used + (i == 0 ? 8 : 0);
    jet::PutU16(page.data() + 2,
                static_cast<std::uint16_t>(reserve < jet::kPageSize ? jet::kPageSize - reserve : 0));
    jet::PutU32(page.data() + 4, i + 1 < pieces.size() ? numbers[i + 1] : 0);
    if (i == 0) jet::PutU32(page.data() + 8, static_cast<std::uint32_t>(used));
    file.Write(numbers[i], page);
  }
}

}  // namespace mkmdb
