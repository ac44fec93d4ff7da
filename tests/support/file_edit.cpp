#include "file_edit.h"

#include <algorithm>
#include <stdexcept>

#include "jet/calculated_value.h"
#include "tests/support/temp_folder.h"

namespace testsupport {
namespace {

std::unique_ptr<jet::Database> OpenOrThrow(const std::string& bytes) {
  std::string error;
  auto database = jet::Database::OpenBytes(bytes, error);
  if (database == nullptr) throw std::runtime_error("edited file does not open: " + error);
  return database;
}

}  // namespace

FileEdit::FileEdit(std::string bytes)
    : bytes_(std::move(bytes)),
      layout_(bytes_.size() > jet::kHeaderVersionOffset &&
                      bytes_[jet::kHeaderVersionOffset] == jet::kVersionJet3
                  ? &jet::kJet3Layout
                  : &jet::kJet4Layout) {}

FileEdit FileEdit::Load(const std::string& path) {
  std::string bytes = ReadFile(path);
  if (bytes.empty()) throw std::runtime_error("cannot read " + path);
  return FileEdit(std::move(bytes));
}

void FileEdit::Save(const std::string& path) const { WriteFile(path, bytes_); }

std::uint8_t* FileEdit::At(std::size_t offset, std::size_t size) {
  if (offset > bytes_.size() || size > bytes_.size() - offset) {
    throw std::out_of_range("offset " + std::to_string(offset) + " past the file");
  }
  return reinterpret_cast<std::uint8_t*>(bytes_.data()) + offset;
}

std::uint16_t FileEdit::U16(std::size_t offset) const {
  return jet::GetU16(const_cast<FileEdit*>(this)->At(offset, 2));
}

std::uint32_t FileEdit::U32(std::size_t offset) const {
  return jet::GetU32(const_cast<FileEdit*>(this)->At(offset, 4));
}

std::uint8_t& FileEdit::Byte(std::size_t offset) { return *At(offset, 1); }
void FileEdit::PutU16(std::size_t at, std::uint16_t value) { jet::PutU16(At(at, 2), value); }
void FileEdit::PutU32(std::size_t at, std::uint32_t value) { jet::PutU32(At(at, 4), value); }
void FileEdit::Cut(std::size_t size) { bytes_.resize(std::min(size, bytes_.size())); }
void FileEdit::ZeroPage(std::uint32_t number) { std::memset(Page(number), 0, PageSize()); }

void FileEdit::SwapPages(std::uint32_t a, std::uint32_t b) {
  std::swap_ranges(Page(a), Page(a) + PageSize(), Page(b));
}

std::uint8_t* FileEdit::Page(std::uint32_t number) {
  if ((number + 1) * PageSize() > bytes_.size()) throw std::out_of_range("no such page");
  return reinterpret_cast<std::uint8_t*>(bytes_.data()) + number * PageSize();
}

std::uint32_t FileEdit::PageCount() const {
  return static_cast<std::uint32_t>(bytes_.size() / PageSize());
}

std::uint32_t FileEdit::AddPage() {
  bytes_.resize(bytes_.size() + PageSize(), '\0');
  return PageCount() - 1;
}

jet::TableDefinition FileEdit::Definition(std::string_view table) const {
  auto database = OpenOrThrow(bytes_);
  jet::TableDefinition definition;
  std::string error;
  if (!database->ReadDefinition(table, definition, error)) throw std::runtime_error(error);
  return definition;
}

std::uint32_t FileEdit::DefinitionPage(std::string_view table) const {
  return Definition(table).definitionPage;
}

std::uint8_t* FileEdit::ColumnDescriptor(std::string_view table, std::size_t column) {
  const jet::TableDefinition definition = Definition(table);
  std::uint8_t* page = Page(definition.definitionPage);
  const std::size_t realIndexes = jet::GetU32(page + layout_->defRealIndexCount);
  // Descriptors are stored in the order of the column numbers in writer-made files.
  std::uint8_t* first = page + layout_->defHeaderSize + realIndexes * layout_->realIndexEntrySize;
  for (std::size_t i = 0; i < definition.columns.size(); ++i) {
    std::uint8_t* descriptor = first + i * layout_->columnEntrySize;
    if (jet::GetU16(descriptor + layout_->columnNumber) == definition.columns[column].number) {
      return descriptor;
    }
  }
  throw std::runtime_error("no descriptor for the column");
}

void FileEdit::RetypeFixed(std::string_view table, std::size_t column, std::uint8_t type,
                           std::uint8_t precision, std::uint8_t scale, bool calculated,
                           std::uint16_t length, std::string_view value) {
  std::uint8_t* descriptor = ColumnDescriptor(table, column);
  descriptor[layout_->columnType] = type;
  descriptor[layout_->columnPrecision] = precision;
  descriptor[layout_->columnScale] = scale;
  if (calculated) descriptor[jet::kColumnExtraFlags] |= jet::kCalculatedFlags;
  jet::PutU16(descriptor + layout_->columnLength, length);
  std::memcpy(FixedValue(table, 0, column), value.data(), value.size());
}

std::uint32_t FileEdit::RowPointer(std::string_view table, std::size_t index) const {
  auto database = OpenOrThrow(bytes_);
  const jet::TableDefinition definition = Definition(table);
  auto scan = database->StartScan(definition);
  for (std::size_t i = 0; scan->Next(); ++i) {
    if (i == index) return static_cast<std::uint32_t>(scan->RowId());
  }
  throw std::runtime_error("no such row");
}

std::size_t FileEdit::ColumnNamed(std::string_view table, std::string_view column) const {
  const jet::TableDefinition definition = Definition(table);
  for (std::size_t i = 0; i < definition.columns.size(); ++i) {
    if (definition.columns[i].name == column) return i;
  }
  throw std::runtime_error("no such column");
}

std::size_t FileEdit::RowWithText(std::string_view table, std::string_view column,
                                  std::string_view text) const {
  auto database = OpenOrThrow(bytes_);
  const jet::TableDefinition definition = Definition(table);
  const std::size_t position = ColumnNamed(table, column);
  auto scan = database->StartScan(definition);
  jet::Value value;
  for (std::size_t i = 0; scan->Next(); ++i) {
    scan->Read(position, value);
    if (value.kind == jet::ValueKind::Text && value.bytes == text) return i;
  }
  throw std::runtime_error("no such row");
}

std::uint8_t* FileEdit::RowEntry(std::uint32_t pointer) {
  return Page(pointer >> 8) + layout_->dataRowCount + 2 + 2 * (pointer & 0xFF);
}

std::uint8_t* FileEdit::RowBytes(std::uint32_t pointer, std::size_t& size) {
  const std::uint32_t row = pointer & 0xFF;
  std::uint8_t* page = Page(pointer >> 8);
  const std::size_t start = jet::GetU16(RowEntry(pointer)) & jet::kRowOffsetMask;
  const std::size_t end =
      row == 0 ? PageSize() : (jet::GetU16(RowEntry(pointer) - 2) & jet::kRowOffsetMask);
  size = end - start;
  return page + start;
}

std::uint8_t* FileEdit::FixedValue(std::string_view table, std::size_t row, std::size_t column) {
  const jet::TableDefinition definition = Definition(table);
  std::size_t size = 0;
  std::uint8_t* bytes = RowBytes(RowPointer(table, row), size);
  return bytes + layout_->rowCountSize + definition.columns[column].fixedOffset;
}

std::uint8_t* FileEdit::VariableValue(std::string_view table, std::size_t row,
                                      std::size_t column, std::size_t& size) {
  const jet::TableDefinition definition = Definition(table);
  std::size_t rowSize = 0;
  std::uint8_t* bytes = RowBytes(RowPointer(table, row), rowSize);
  // Jet 4 rows: null mask last, before it the slot count, then the offsets reversed.
  const std::size_t columns = jet::GetU16(bytes);
  const std::size_t tail = rowSize - (columns + 7) / 8 - 2;
  const std::size_t slot = definition.columns[column].variableIndex;
  const std::size_t start = jet::GetU16(bytes + tail - 2 - 2 * slot);
  size = jet::GetU16(bytes + tail - 4 - 2 * slot) - start;
  return bytes + start;
}

}  // namespace testsupport
