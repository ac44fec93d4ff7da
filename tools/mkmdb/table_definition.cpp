#include "table_definition.h"

#include "text/utf.h"

#include <algorithm>
#include <cstring>

#include "text/case_fold.h"
#include "jet_text.h"

namespace mkmdb {
namespace {

// Unknown 32-bit value that Access repeats in the header and in every column descriptor.
constexpr std::uint32_t kDefinitionStamp = 0x659;
constexpr std::size_t kHeaderSize = 0x3F;
constexpr std::size_t kDescriptorSize = 25;
constexpr std::size_t kContinuationHeader = 8;

// A name as a definition stores it: u16 byte length, then UTF-16LE.
void AppendName(const std::string& name, std::vector<std::uint8_t>& out) {
  std::u16string text;
  textconv::Utf8ToUtf16(name, text);  // names are checked for valid UTF-8 before layout
  const std::vector<std::uint8_t> bytes = Utf16Bytes(text);
  jet::AppendU16(out, static_cast<std::uint16_t>(bytes.size()));
  out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace

std::vector<std::uint8_t> BuildTableDefinition(const TableLayout& layout, std::uint32_t rows,
                                               const TableMaps& maps) {
  const auto column_count = static_cast<std::uint16_t>(layout.columns.size());
  const auto index_count = static_cast<std::uint32_t>(layout.indexes.size());
  std::vector<std::uint8_t> out(kHeaderSize, 0);
  std::uint8_t* h = out.data();
  h[0] = jet::kPageTableDefinition;
  h[1] = 0x01;
  // 2: free space and 4: next page, 8: length; set when paging.
  jet::PutU32(h + 0x0C, kDefinitionStamp);
  jet::PutU32(h + 0x10, rows);
  jet::PutU32(h + 0x14, layout.last_autonumber);
  h[0x18] = 0x01;
  h[0x28] = layout.system ? 0x53 : 0x4E;
  jet::PutU16(h + 0x29, column_count);  // columns ever defined
  jet::PutU16(h + 0x2B, layout.variable_count);
  jet::PutU16(h + 0x2D, column_count);
  jet::PutU32(h + 0x2F, index_count);  // logical indexes
  jet::PutU32(h + 0x33, index_count);  // physical indexes
  jet::PutU32(h + 0x37, maps.usage);
  jet::PutU32(h + 0x3B, maps.free);
  for (std::uint32_t i = 0; i < index_count; ++i) {
    jet::AppendU32(out, 0);
    jet::AppendU32(out, maps.indexes.at(i).distinct);
    jet::AppendU32(out, 0);
  }

  // System tables list their columns by name; the column number keeps their order.
  std::vector<const PhysicalColumn*> listed;
  for (const PhysicalColumn& column : layout.columns) listed.push_back(&column);
  if (layout.system) {
    std::stable_sort(listed.begin(), listed.end(), [](const auto* a, const auto* b) {
      return textconv::CompareFolded(a->name, b->name) < 0;
    });
  }
  for (const PhysicalColumn* column : listed) {
    std::uint8_t d[kDescriptorSize] = {};
    d[0] = column->type;
    jet::PutU32(d + 1, kDefinitionStamp);
    jet::PutU16(d + 5, column->number);
    jet::PutU16(d + 7, column->variable_slot);
    jet::PutU16(d + 9, layout.system ? 0 : column->number);
    if (column->type == jet::kTypeNumeric) {
      d[11] = column->precision;
      d[12] = column->scale;
    } else {
      jet::PutU16(d + 11, jet::kSortOrderGeneral);
    }
    d[15] = column->flags;
    d[16] = column->compression;
    jet::PutU16(d + 21, column->fixed_offset);
    jet::PutU16(d + 23, column->length);
    out.insert(out.end(), d, d + kDescriptorSize);
  }
  for (const PhysicalColumn* column : listed) AppendName(column->name, out);

  for (std::uint32_t i = 0; i < index_count; ++i) {
    const IndexLayout& index = layout.indexes[i];
    std::uint8_t d[jet::kPhysicalIndexSize] = {};
    jet::PutU32(d, jet::kPhysicalIndexStamp);
    for (std::size_t k = 0; k < jet::kIndexKeyColumns; ++k) {
      std::uint8_t* key = d + 4 + 3 * k;
      const bool used = k < index.keys.size();
      const bool descending = used && k < index.descending.size() && index.descending[k];
      jet::PutU16(key, used ? index.keys[k] : 0xFFFF);
      key[2] = used && !descending ? jet::kKeyOrderAscending : 0;
    }
    const std::size_t after_keys = 4 + 3 * jet::kIndexKeyColumns;
    jet::PutU32(d + after_keys, maps.indexes.at(i).usage);
    jet::PutU32(d + after_keys + 4, maps.indexes.at(i).root);
    d[after_keys + 12] = index.flags;
    out.insert(out.end(), d, d + jet::kPhysicalIndexSize);
  }
  // Logical indexes by name, each naming its number and the physical index behind it.
  std::vector<std::uint32_t> logical(index_count);
  for (std::uint32_t i = 0; i < index_count; ++i) logical[i] = i;
  std::stable_sort(logical.begin(), logical.end(), [&](std::uint32_t a, std::uint32_t b) {
    return textconv::CompareFolded(layout.indexes[a].name, layout.indexes[b].name) < 0;
  });
  for (std::uint32_t i : logical) {
    std::uint8_t d[jet::kLogicalIndexSize] = {};
    jet::PutU32(d, kDefinitionStamp);
    jet::PutU32(d + 4, i);
    jet::PutU32(d + 8, i);
    jet::PutU32(d + 13, 0xFFFFFFFF);  // no related index
    d[21] = jet::kLogicalIndexNoRelationship;
    d[22] = jet::kLogicalIndexNoRelationship;
    d[23] = layout.indexes[i].kind;
    out.insert(out.end(), d, d + jet::kLogicalIndexSize);
  }
  for (std::uint32_t i : logical) AppendName(layout.indexes[i].name, out);

  // Memo and OLE columns in the order of their descriptors; their maps were made in
  // column-number order.
  std::vector<std::uint16_t> long_value_numbers;
  for (const PhysicalColumn& column : layout.columns) {
    if (column.long_value()) long_value_numbers.push_back(column.number);
  }
  for (const PhysicalColumn* column : listed) {
    if (!column->long_value()) continue;
    const auto at = std::find(long_value_numbers.begin(), long_value_numbers.end(),
                              column->number) - long_value_numbers.begin();
    const auto& pair = maps.long_values.at(static_cast<std::size_t>(at));
    jet::AppendU16(out, column->number);
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
