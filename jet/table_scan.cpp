#include "table_scan.h"

#include <cstdio>

#include "calculated_value.h"
#include "data_page.h"
#include "definition_reader.h"
#include "extended_date.h"
#include "value_decoding.h"

namespace jet {
namespace {

// Overflow pointers followed for one row before the chain counts as a loop.
constexpr int kMaxOverflowHops = 8;

std::string TypeText(ColumnType type) {
  char text[64];
  std::snprintf(text, sizeof text, "its type 0x%02X is not one this reader reads",
                static_cast<unsigned>(type));
  return text;
}

}  // namespace

TableScan::TableScan(std::shared_ptr<const OpenFile> file, const TableDefinition& table,
                     std::vector<std::shared_ptr<const ComplexValues>> complex)
    : file_(std::move(file)),
      context_(file_->context),
      table_(table),
      prefix_("table " + Quoted(table.name) + ": "),
      map_(context_),
      page_(context_.PageSize()),
      overflow_(context_.PageSize()),
      longValues_(context_),
      complex_(std::move(complex)) {}

bool TableScan::Fail(const std::string& why) {
  error_ = prefix_ + why;
  done_ = true;
  row_ = nullptr;
  return false;
}

bool TableScan::StartMap() {
  mapStarted_ = true;
  std::string why;
  RowPlace place;
  if (!LoadRow(context_, table_.usageMap, 0, page_, place, why)) {
    return Fail("its usage map at " + RowPointerText(table_.usageMap) + ": " + why);
  }
  if (!map_.Start(page_.data() + place.start, place.size(), why)) return Fail(why);
  page_.loaded = false;  // the map's page is not one of the table's
  return true;
}

bool TableScan::NextPage() {
  std::uint32_t page = 0;
  std::string why;
  if (!map_.Next(page, why)) {
    if (!why.empty()) return Fail(why);
    done_ = true;
    row_ = nullptr;
    return false;
  }
  if (!page_.Load(context_, page, why)) return Fail(why);
  if (!DataPageRows(*context_.layout, page_.data(), page, rowCount_, why)) {
    return Fail("its usage map lists page " + std::to_string(page) + ": " + why);
  }
  const std::uint32_t owner = GetU32(page_.data() + context_.layout->dataOwner);
  if (owner != table_.definitionPage) {
    return Fail("its usage map lists data page " + std::to_string(page) +
                ", which belongs to the table defined on page " + std::to_string(owner));
  }
  nextRow_ = 0;
  pageActive_ = true;
  return true;
}

bool TableScan::Next() {
  if (done_) return false;
  if (!mapStarted_ && !StartMap()) return false;
  for (;;) {
    if (!pageActive_ && !NextPage()) return false;
    const FileLayout& layout = *context_.layout;
    const std::uint8_t* offsets = page_.data() + layout.dataRowCount + 2;
    const std::size_t offsetsEnd = layout.dataRowCount + 2 + 2 * std::size_t{rowCount_};
    while (nextRow_ < rowCount_) {
      const std::uint16_t row = nextRow_++;
      const std::uint16_t entry = GetU16(offsets + 2 * row);
      if (entry & kRowDeleted) continue;
      // A row ends where the one before it starts (the first at the end of the page).
      RowPlace place;
      place.flags = entry & kRowOverflow;
      place.start = entry & kRowOffsetMask;
      place.end = row == 0 ? layout.pageSize : (GetU16(offsets + 2 * (row - 1)) & kRowOffsetMask);
      if (place.start < offsetsEnd || place.start >= place.end || place.end > layout.pageSize) {
        std::string why;
        LocateRow(layout, page_.data(), page_.page, rowCount_, row, place, why);
        return Fail(why);  // LocateRow says what is wrong with the place
      }
      return EnterRow(row, place);
    }
    pageActive_ = false;
  }
}

bool TableScan::MoveTo(std::int64_t rowId) {
  if (done_ && !error_.empty()) return false;
  if (rowId < 0 || rowId > 0xFFFFFFFF) {
    return Fail("row " + std::to_string(rowId) + " is no row pointer");
  }
  const auto pointer = static_cast<std::uint32_t>(rowId);
  mapStarted_ = true;  // a scan moved to rows goes on from them, not from its map
  done_ = false;
  row_ = nullptr;
  const std::uint32_t page = pointer >> 8;
  const auto row = static_cast<std::uint16_t>(pointer & 0xFF);
  std::string why;
  if (!page_.Load(context_, page, why)) return Fail(why);
  pageActive_ = false;
  if (!DataPageRows(*context_.layout, page_.data(), page, rowCount_, why)) {
    return Fail(RowPointerText(pointer) + ": " + why);
  }
  const std::uint32_t owner = GetU32(page_.data() + context_.layout->dataOwner);
  if (owner != table_.definitionPage) {
    return Fail(RowPointerText(pointer) + " is on a page of the table defined on page " +
                std::to_string(owner));
  }
  const std::uint8_t* offsets = page_.data() + context_.layout->dataRowCount + 2;
  if (row < rowCount_ && (GetU16(offsets + 2 * row) & kRowDeleted)) {
    return Fail(RowPointerText(pointer) + " is a deleted row");
  }
  RowPlace place;
  if (!LocateRow(*context_.layout, page_.data(), page, rowCount_, row, place, why)) {
    return Fail(why);
  }
  nextRow_ = static_cast<std::uint16_t>(row + 1);
  pageActive_ = true;
  return EnterRow(row, place);
}

bool TableScan::EnterRow(std::uint16_t row, const RowPlace& place) {
  const auto where = [&] {
    return "data page " + std::to_string(page_.page) + " row " + std::to_string(row);
  };
  const std::uint8_t* bytes = page_.data() + place.start;
  std::size_t size = place.size();
  std::uint16_t flags = place.flags;
  for (int hops = 0; flags & kRowOverflow; ++hops) {
    if (size < kOverflowPointerSize) {
      return Fail(where() + " is moved, but too short to say where (" + std::to_string(size) +
                  " bytes)");
    }
    if (hops == kMaxOverflowHops) {
      return Fail(where() + " is moved more than " + std::to_string(kMaxOverflowHops) +
                  " times (its pointers loop)");
    }
    const std::uint32_t pointer = GetU32(bytes);
    RowPlace target;
    std::string why;
    if (!LoadRow(context_, pointer, table_.definitionPage, overflow_, target, why)) {
      return Fail(where() + " is moved to " + RowPointerText(pointer) + ": " + why);
    }
    bytes = overflow_.data() + target.start;
    size = target.size();
    flags = target.flags;  // a moved body carries the deleted flag; only a pointer counts
  }
  std::string why;
  if (!layout_.Parse(*context_.layout, bytes, size, table_.variableColumns > 0, why)) {
    return Fail(where() + ": " + why);
  }
  row_ = bytes;
  rowId_ = (static_cast<std::int64_t>(page_.page) << 8) | row;
  return true;
}

void TableScan::FailValue(Value& out, const Column& column, ValueError kind,
                           const std::string& why) const {
  SetError(out, kind, prefix_ + "column " + Quoted(column.name) + ": " + why);
}

TableScan::FieldState TableScan::Locate(const Column& column, const std::uint8_t*& data,
                                        std::size_t& size, std::string& why) const {
  std::size_t start = 0;
  if (column.fixedLength) {
    size = FixedFieldSize(column);
    if (!layout_.Fixed(column.fixedOffset, size, start)) {
      why = "its " + std::to_string(size) + " bytes at offset " +
            std::to_string(column.fixedOffset) + " lie past the row's fixed area";
      return FieldState::Unreadable;
    }
  } else {
    bool stored = false;
    std::size_t end = 0;
    if (!layout_.Variable(column.variableIndex, stored, start, end)) {
      why = "the row's variable area offsets for it are out of order or out of the row";
      return FieldState::Unreadable;
    }
    if (!stored) return FieldState::Null;
    size = end - start;
  }
  data = row_ + start;
  return FieldState::Present;
}

TableScan::FieldState TableScan::Field(std::size_t index, const std::uint8_t*& data,
                                       std::size_t& size, bool& yes, std::string& why) const {
  data = nullptr;
  size = 0;
  yes = false;
  if (row_ == nullptr || index >= table_.columns.size()) {
    why = row_ == nullptr ? "no current row" : "no column " + std::to_string(index);
    return FieldState::Unreadable;
  }
  const Column& column = table_.columns[index];
  if (!column.supported) {
    why = TypeText(column.type);
    return FieldState::Unreadable;
  }
  if (!layout_.Stores(column.number)) return FieldState::Null;
  const bool bit = layout_.MaskBit(column.number);
  if (column.type == ColumnType::Bool && !column.calculated) {
    yes = bit;
    return FieldState::Present;
  }
  if (!bit) return FieldState::Null;
  return Locate(column, data, size, why);
}

void TableScan::Read(std::size_t index, Value& out) {
  out.error = ValueError::None;
  if (row_ == nullptr) {
    SetError(out, ValueError::Damaged, prefix_ + "no current row to read");
    return;
  }
  if (index >= table_.columns.size()) {
    SetError(out, ValueError::Damaged,
             prefix_ + "no column " + std::to_string(index) + " (the table has " +
                 std::to_string(table_.columns.size()) + ")");
    return;
  }
  const Column& column = table_.columns[index];
  if (!column.supported) {
    FailValue(out, column, ValueError::Unsupported, TypeText(column.type));
    return;
  }
  if (!layout_.Stores(column.number)) {
    out.kind = ValueKind::Null;  // added to the table after the row was written
    return;
  }
  const bool bit = layout_.MaskBit(column.number);
  if (column.type == ColumnType::Bool && !column.calculated) {
    out.kind = ValueKind::Bool;
    out.integer = bit ? 1 : 0;
    return;
  }
  if (!bit) {
    out.kind = ValueKind::Null;
    return;
  }

  const std::uint8_t* data = nullptr;
  std::size_t size = 0;
  std::string why;
  switch (Locate(column, data, size, why)) {
    case FieldState::Null:
      out.kind = ValueKind::Null;
      return;
    case FieldState::Unreadable:
      FailValue(out, column, ValueError::Damaged, why);
      return;
    case FieldState::Present:
      break;
  }

  if (column.calculated) {
    ReadCalculated(column, data, size, out);
    return;
  }
  switch (column.type) {
    case ColumnType::Text:
      ReadText(column, data, size, out);
      return;
    case ColumnType::Binary:
      out.kind = ValueKind::Binary;
      out.bytes.assign(reinterpret_cast<const char*>(data), size);
      return;
    case ColumnType::Memo:
    case ColumnType::Ole:
      ReadLongValue(column, data, size, out);
      return;
    case ColumnType::Numeric:
      if (size < kNumericSize) break;
      out.kind = ValueKind::Decimal;
      DecimalText(data, column.scale, out.bytes);
      return;
    case ColumnType::DateTimeExtended:
      ReadExtendedDate(column, data, size, out);
      return;
    case ColumnType::Complex:
      if (size < FixedValueSize(column.type, 0)) break;
      ReadComplex(index, data, size, out);
      return;
    default:
      if (size < FixedValueSize(column.type, 0)) break;
      DecodeFixed(column.type, data, out);
      if (out.kind == ValueKind::Error) {
        const std::string kept = out.bytes;
        FailValue(out, column, out.error, kept);
      }
      return;
  }
  FailValue(out, column, ValueError::Damaged,
             "the row holds " + std::to_string(size) + " bytes for it, fewer than its type needs");
}

void TableScan::ReadText(const Column& column, const std::uint8_t* data, std::size_t size,
                         Value& out) {
  out.bytes.clear();
  if (!context_.AppendText(data, size, out.bytes)) {
    FailValue(out, column, ValueError::Damaged,
               "its " + std::to_string(size) + " stored bytes are not text");
    return;
  }
  out.kind = ValueKind::Text;
}

void TableScan::ReadLongValue(const Column& column, const std::uint8_t* field, std::size_t size,
                              Value& out) {
  const bool memo = column.type == ColumnType::Memo;
  std::string& raw = memo ? scratch_ : out.bytes;
  raw.clear();
  std::string why;
  if (!longValues_.Read(field, size, memo ? "memo" : "OLE object", raw, why)) {
    FailValue(out, column, ValueError::Damaged, why);
    return;
  }
  if (!memo) {
    out.kind = ValueKind::Binary;
    return;
  }
  ReadText(column, reinterpret_cast<const std::uint8_t*>(scratch_.data()), scratch_.size(), out);
}

void TableScan::ReadCalculated(const Column& column, const std::uint8_t* data, std::size_t size,
                               Value& out) {
  const bool memo = column.type == ColumnType::Memo;
  if (memo) {
    scratch_.clear();
    std::string why;
    if (!longValues_.Read(data, size, "calculated memo", scratch_, why)) {
      FailValue(out, column, ValueError::Damaged, why);
      return;
    }
    data = reinterpret_cast<const std::uint8_t*>(scratch_.data());
    size = scratch_.size();
  }
  const std::uint8_t* value = nullptr;
  std::size_t valueSize = 0;
  std::string why;
  if (!UnwrapCalculated(data, size, value, valueSize, why)) {
    FailValue(out, column, ValueError::Damaged, why);
    return;
  }
  if (memo || column.type == ColumnType::Text) {
    ReadText(column, value, valueSize, out);
    return;
  }
  DecodeCalculated(column, value, valueSize, out);
  if (out.kind == ValueKind::Error) {
    const std::string message = out.bytes;
    FailValue(out, column, out.error, message);
  }
}

void TableScan::ReadExtendedDate(const Column& column, const std::uint8_t* data,
                                 std::size_t size, Value& out) {
  std::string why;
  bool outOfRange = false;
  const std::optional<std::int64_t> ticks = ParseExtendedDate(data, size, why, outOfRange);
  if (!ticks) {
    FailValue(out, column, outOfRange ? ValueError::OutOfRange : ValueError::Damaged, why);
    return;
  }
  out.kind = ValueKind::DateTimeExtended;
  out.integer = *ticks;
}

void TableScan::ReadComplex(std::size_t index, const std::uint8_t* data, std::size_t,
                            Value& out) {
  const Column& column = table_.columns[index];
  const ComplexValues* values = index < complex_.size() ? complex_[index].get() : nullptr;
  if (values == nullptr) {
    FailValue(out, column, ValueError::Unsupported,
              "its values (attachments or multiple values) are kept in another table, which "
              "this scan was not given");
    return;
  }
  if (!values->error.empty()) {
    FailValue(out, column, ValueError::Damaged, values->error);
    return;
  }
  const auto found = values->joined.find(GetU32(data));
  out.kind = ValueKind::Text;
  out.bytes.clear();
  if (found != values->joined.end()) out.bytes = found->second;
}

}  // namespace jet
