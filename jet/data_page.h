// Rows on data pages: the row count and offset table of a page, each row's place (rows carry
// no length; a row ends where the one before it in the table starts), and rows named by
// row pointers.
#pragma once

#include <cstdint>
#include <string>

#include "file_context.h"

namespace jet {

struct RowPlace {
  std::size_t start = 0;  // offsets in the page
  std::size_t end = 0;
  std::uint16_t flags = 0;  // kRowDeleted, kRowOverflow
  std::size_t size() const { return end - start; }
};

// Checks that `page` (numbered `number`) is a data page and returns how many rows it lists.
bool DataPageRows(const FileLayout& layout, const std::uint8_t* page, std::uint32_t number,
                  std::uint16_t& count, std::string& error);

// Where row `row` of a data page with `count` rows lies, checked to be inside the page after the
// offset table and not empty.
bool LocateRow(const FileLayout& layout, const std::uint8_t* page, std::uint32_t number,
               std::uint16_t count, std::uint16_t row, RowPlace& place, std::string& error);

// Loads the page a row pointer names into `buffer` and locates the row. `owner`, when not 0,
// is the owner the page must have (a table's definition page, or kLongValueOwner).
bool LoadRow(const FileContext& file, std::uint32_t pointer, std::uint32_t owner,
             PageBuffer& buffer, RowPlace& place, std::string& error);

}  // namespace jet
