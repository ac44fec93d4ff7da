// Changes made to a database file's bytes, the way damage or another writer would make them:
// bytes patched at an offset, the file cut short, pages zeroed, swapped or added, column types
// in a definition, stored row bytes, row offset flags. Tables, columns and rows are found through
// the reader, so edits name them instead of offsets. Edits work on a copy in memory; Save writes
// it where a test wants it.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "jet/database.h"
#include "jet/format.h"

namespace testsupport {

// The bytes a value of type T is stored as (little-endian, as this machine's).
template <typename T>
std::string Stored(T value) {
  std::string bytes(sizeof value, '\0');
  std::memcpy(bytes.data(), &value, sizeof value);
  return bytes;
}

class FileEdit {
 public:
  explicit FileEdit(std::string bytes);
  // The file at `path` (a fixture, or a file a test wrote).
  static FileEdit Load(const std::string& path);

  const std::string& bytes() const { return bytes_; }
  void Save(const std::string& path) const;

  // Raw bytes, by file offset.
  std::uint8_t& Byte(std::size_t offset);
  std::uint16_t U16(std::size_t offset) const;
  std::uint32_t U32(std::size_t offset) const;
  void PutU16(std::size_t offset, std::uint16_t value);
  void PutU32(std::size_t offset, std::uint32_t value);
  // Keeps the first `size` bytes.
  void Cut(std::size_t size);

  // The layout of the file's version (Jet 3 or Jet 4), and its page size.
  const jet::FileLayout& Layout() const { return *layout_; }
  std::size_t PageSize() const { return layout_->pageSize; }
  std::uint8_t* Page(std::uint32_t number);
  std::uint32_t PageCount() const;
  // Appends a zeroed page and returns its number.
  std::uint32_t AddPage();
  void ZeroPage(std::uint32_t number);
  void SwapPages(std::uint32_t a, std::uint32_t b);

  std::uint32_t DefinitionPage(std::string_view table) const;
  // The descriptor of column `column` (position in the definition) in the definition page.
  std::uint8_t* ColumnDescriptor(std::string_view table, std::size_t column);
  // Gives fixed column `column` of `table` another type (its precision, scale, calculated flag
  // and stored length too) and puts `value` in its field of the first row.
  void RetypeFixed(std::string_view table, std::size_t column, std::uint8_t type,
                   std::uint8_t precision, std::uint8_t scale, bool calculated,
                   std::uint16_t length, std::string_view value);
  // The row pointer of the `index`-th row a scan of `table` returns, and the page it is on.
  std::uint32_t RowPointer(std::string_view table, std::size_t index) const;
  std::uint32_t DataPage(std::string_view table) const { return RowPointer(table, 0) >> 8; }
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

 private:
  jet::TableDefinition Definition(std::string_view table) const;
  std::uint8_t* At(std::size_t offset, std::size_t size);

  std::string bytes_;
  const jet::FileLayout* layout_;
};

}  // namespace testsupport
