#include "table_writer.h"

#include <algorithm>

#include "jet/index_key.h"
#include "names.h"
#include "value_parser.h"

namespace mkmdb {

TableWriter::TableWriter(PageFile& file, const TableSource& table, std::uint32_t definition_page)
    : file_(file), columns_(table.columns), page_(definition_page) {
  std::vector<PhysicalColumn> physical;
  for (const ColumnSpec& column : columns_) physical.push_back(PhysicalColumnFor(column));
  layout_ = LayOutTable("", false, std::move(physical));
  for (const IndexSpec& index : table.indexes) {
    IndexState state{index, {}, {}};
    for (const IndexColumn& key : index.columns) {
      state.positions.push_back(
          static_cast<std::size_t>(FindColumnByName(table, key.name) - table.columns.data()));
    }
    layout_.indexes.push_back(IndexLayoutFor(index, state.positions));
    index_states_.push_back(std::move(state));
  }
  encoders_.reserve(columns_.size());
  for (const ColumnSpec& column : columns_) {
    MemoStore* memo = nullptr;
    if (column.type == ColumnType::Memo || column.type == ColumnType::Hyperlink ||
        column.type == ColumnType::Ole) {
      memo_stores_.push_back(std::make_unique<MemoStore>(file_));
      memo = memo_stores_.back().get();
    }
    encoders_.emplace_back(column, memo);
  }
  cells_.resize(columns_.size());
}

void TableWriter::AddRow(const std::vector<Value>& values) {
  if (values.size() != columns_.size()) {
    throw ValueError("expected " + std::to_string(columns_.size()) + " values, found " +
                     std::to_string(values.size()));
  }
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    try {
      cells_[i] = encoders_[i].Encode(values[i]);
    } catch (const ValueError& e) {
      throw ValueError("column \"" + columns_[i].name + "\": " + e.what());
    }
  }
  EncodeRow(layout_, cells_, row_);
  if (row_.size() > jet::kMaxRowBytes) MoveMemosOutOfRow();
  if (data_pages_.empty() || !page_.HasRoomFor(row_.size())) {
    if (!data_pages_.empty()) {
      file_.Write(page_number_, page_.Finish());
      page_.Clear();
    }
    page_number_ = file_.Allocate();
    data_pages_.push_back(page_number_);
  }
  const std::uint16_t row_number = page_.Add(row_);
  if (++rows_ == 0) throw ValueError("a table holds at most 4294967295 rows");
  AddIndexEntries(jet::PageRow(page_number_, row_number));
}

void TableWriter::AddIndexEntries(std::uint32_t pointer) {
  for (IndexState& index : index_states_) {
    key_.clear();
    bool has_null = false;
    for (std::size_t k = 0; k < index.positions.size(); ++k) {
      const std::size_t i = index.positions[k];
      const bool ascending = !index.asked.columns[k].descending;
      const Cell& cell = cells_[i];
      if (columns_[i].type == ColumnType::YesNo) {
        jet::AppendBoolKey(cell.present, ascending, key_);
      } else if (!cell.present) {
        if (index.asked.primary_key) {
          throw ValueError("column \"" + columns_[i].name + "\" is part of the primary key \"" +
                           index.asked.name + "\" and cannot be NULL");
        }
        jet::AppendNullKey(ascending, key_);
        has_null = true;
      } else if (columns_[i].type == ColumnType::Text) {
        jet::AppendTextKey(encoders_[i].text(), ascending, key_);
      } else {
        jet::AppendStoredKey(static_cast<jet::ColumnType>(layout_.columns[i].type),
                             cell.bytes.data(), ascending, key_);
      }
    }
    if (key_.size() > kMaxIndexKeySize) {
      throw ValueError("its key in index \"" + index.asked.name + "\" takes " +
                       std::to_string(key_.size()) + " bytes; an index key holds at most " +
                       std::to_string(kMaxIndexKeySize));
    }
    index.entries.Add(key_, pointer, rows_, has_null);
  }
}

void TableWriter::MoveMemosOutOfRow() {
  // Memo values kept in the row go to LVAL pages, the largest first, until the row fits.
  std::vector<std::size_t> movable;
  for (std::size_t i = 0; i < encoders_.size(); ++i) {
    if (encoders_[i].InlineMemoBytes() > 0) movable.push_back(i);
  }
  std::sort(movable.begin(), movable.end(), [&](std::size_t a, std::size_t b) {
    return encoders_[a].InlineMemoBytes() > encoders_[b].InlineMemoBytes();
  });
  std::size_t size = row_.size();
  for (std::size_t i : movable) {
    if (size <= jet::kMaxRowBytes) break;
    size -= encoders_[i].InlineMemoBytes();
    cells_[i] = encoders_[i].MoveMemoOutOfRow();
  }
  if (size > jet::kMaxRowBytes) {
    throw ValueError("the row takes " + std::to_string(size) + " bytes with its memo values " +
                     "stored apart; a row holds at most " + std::to_string(jet::kMaxRowBytes));
  }
  EncodeRow(layout_, cells_, row_);
}

void TableWriter::Finish() {
  if (!data_pages_.empty()) file_.Write(page_number_, page_.Finish());
  for (auto& store : memo_stores_) store->Finish();
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (columns_[i].type == ColumnType::AutoNumber) {
      layout_.last_autonumber = static_cast<std::uint32_t>(encoders_[i].last_number());
    }
  }
  for (IndexState& index : index_states_) {
    FinishedIndex done{std::move(index.entries), 0};
    done.entries.Sort();
    const bool unique = index.asked.unique || index.asked.primary_key;
    for (std::size_t i = 0; i < done.entries.size(); ++i) {
      if (i > 0 && done.entries.Key(i) == done.entries.Key(i - 1)) {
        // A key with a NULL column never counts as taken.
        if (unique && !done.entries.HasNull(i)) {
          const std::uint32_t a = done.entries.Ordinal(i - 1), b = done.entries.Ordinal(i);
          const std::uint32_t first = std::min(a, b), second = std::max(a, b);
          throw ValueError("index \"" + index.asked.name + "\" is unique, but rows " +
                           std::to_string(first) + " and " + std::to_string(second) +
                           " have the same key");
        }
        continue;
      }
      ++done.distinct;
    }
    finished_.push_back(std::move(done));
  }
}

std::vector<std::vector<std::uint32_t>> TableWriter::memo_pages() const {
  std::vector<std::vector<std::uint32_t>> pages;
  for (const auto& store : memo_stores_) pages.push_back(store->pages());
  return pages;
}

}  // namespace mkmdb
