// Changes made to a database file's bytes, the way damage or another writer would make them:
// column types in a definition, stored row bytes, row offset flags, added pages. Tables, columns
// and rows are found through the reader, so edits name them instead of offsets.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "jet/database.h"
#include "jet/format.h"

namespace jettest {

class FileEdit {
 public:
  explicit FileEdit(std::string bytes);

  const std::string& bytes() const { return bytes_; }
  std::size_t PageSize() const { return layout_->pageSize; }
  std::uint8_t* Page(std::uint32_t number);
  std::uint32_t PageCount() const;
  // Appends a zeroed page and returns its number.
  std::uint32_t AddPage();

  std::uint32_t DefinitionPage(std::string_view table) const;
  // The descriptor of column `column` (position in the definition) in the definition page.
  std::uint8_t* ColumnDescriptor(std::string_view table, std::size_t column);
  // The row pointer of the `index`-th row a scan of `table` returns.
  std::uint32_t RowPointer(std::string_view table, std::size_t index) const;
  // The position of a column, and the index of the first row whose text in it is `text`.
  std::size_t ColumnNamed(std::string_view table, std::string_view column) const;
  std::size_t RowWithText(std::string_view table, std::string_view column,
                          std::string_view text) const;
  // The offset table entry of a row and the row's bytes.
  std::uint8_t* RowEntry(std::uint32_t pointer);
  std::uint8_t* RowBytes(std::uint32_t pointer, std::size_t& size);
  // The stored bytes of a fixed column in a row.
  std::uint8_t* FixedValue(std::string_view table, std::size_t row, std::size_t column);
  // The row field (header and inline bytes) of a variable column in a row.
  std::uint8_t* VariableValue(std::string_view table, std::size_t row, std::size_t column,
                              std::size_t& size);

  void PutU16(std::size_t offset, std::uint16_t value);
  void PutU32(std::size_t offset, std::uint32_t value);

 private:
  jet::TableDefinition Definition(std::string_view table) const;

  std::string bytes_;
  const jet::FileLayout* layout_;
};

}  // namespace jettest
