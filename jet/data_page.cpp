#include "data_page.h"

#include <cstdio>

namespace jet {
namespace {

std::string OwnerText(std::uint32_t owner) {
  if (owner == kLongValueOwner) return "long values";
  return "the table defined on page " + std::to_string(owner);
}

}  // namespace

bool DataPageRows(const FileLayout& layout, const std::uint8_t* page, std::uint32_t number,
                  std::uint16_t& count, std::string& error) {
  if (page[0] != kPageData) {
    char type[8];
    std::snprintf(type, sizeof type, "0x%02X", page[0]);
    error = "page " + std::to_string(number) + " is not a data page (type " + type + ")";
    return false;
  }
  count = GetU16(page + layout.dataRowCount);
  const std::size_t tableEnd = layout.dataRowCount + 2 + 2 * static_cast<std::size_t>(count);
  if (tableEnd > layout.pageSize) {
    error = "data page " + std::to_string(number) + " lists " + std::to_string(count) +
            " rows, more than a page holds";
    return false;
  }
  return true;
}

bool LocateRow(const FileLayout& layout, const std::uint8_t* page, std::uint32_t number,
               std::uint16_t count, std::uint16_t row, RowPlace& place, std::string& error) {
  const auto where = [&] {
    return "data page " + std::to_string(number) + " row " + std::to_string(row);
  };
  if (row >= count) {
    error = where() + " does not exist (the page has " + std::to_string(count) + " rows)";
    return false;
  }
  const std::uint8_t* table = page + layout.dataRowCount + 2;
  const std::uint16_t entry = GetU16(table + 2 * row);
  place.flags = entry & (kRowDeleted | kRowOverflow);
  place.start = entry & kRowOffsetMask;
  place.end = row == 0 ? layout.pageSize : (GetU16(table + 2 * (row - 1)) & kRowOffsetMask);
  const std::size_t tableEnd = layout.dataRowCount + 2 + 2 * static_cast<std::size_t>(count);
  if (place.start >= layout.pageSize || place.end > layout.pageSize) {
    error = where() + " lies at offset " + std::to_string(place.start) + ".." +
            std::to_string(place.end) + ", past the page";
    return false;
  }
  if (place.start < tableEnd) {
    error = where() + " at offset " + std::to_string(place.start) +
            " overlaps the page's row offset table";
    return false;
  }
  if (place.start >= place.end) {
    error = where() + " has no bytes (it starts at " + std::to_string(place.start) +
            " and the row before it at " + std::to_string(place.end) + ")";
    return false;
  }
  return true;
}

bool LoadRow(const FileContext& file, std::uint32_t pointer, std::uint32_t owner,
             PageBuffer& buffer, RowPlace& place, std::string& error) {
  const std::uint32_t page = pointer >> 8;
  const auto row = static_cast<std::uint16_t>(pointer & 0xFF);
  if (!buffer.Load(file, page, error)) return false;
  std::uint16_t count = 0;
  if (!DataPageRows(*file.layout, buffer.data(), page, count, error)) return false;
  if (owner != 0) {
    const std::uint32_t actual = GetU32(buffer.data() + file.layout->dataOwner);
    if (actual != owner) {
      error = "page " + std::to_string(page) + " holds rows of " + OwnerText(actual) +
              ", not of " + OwnerText(owner);
      return false;
    }
  }
  return LocateRow(*file.layout, buffer.data(), page, count, row, place, error);
}

}  // namespace jet
