// Writes the rows of one user table: encodes each row, packs rows onto the table's data pages
// and memo values onto LVAL pages, keeps the lists of pages the table's maps will name and the
// entries of its indexes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "data_page.h"
#include "index_pages.h"
#include "jet_text.h"
#include "mdb_writer.h"
#include "memo_store.h"
#include "page_file.h"
#include "row_encoder.h"
#include "table_layout.h"
#include "value_encoder.h"

namespace mkmdb {

// The entries of one index of a table, sorted, with the number of distinct keys among them.
struct FinishedIndex {
  IndexEntryList entries;
  std::uint32_t distinct = 0;
};

class TableWriter {
 public:
  // `table` has passed CheckTables; its rows are left alone.
  TableWriter(PageFile& file, const TableSource& table, std::uint32_t definition_page);

  // Adds one row with a value per column. Memo values small enough to stay in the row move to
  // LVAL pages when the row would not fit a page otherwise. Throws ValueError (naming the column
  // when one value is at fault); the table is then unusable.
  void AddRow(const std::vector<Value>& values);
  // Writes the pages still being filled and sorts the index entries. Throws ValueError when a
  // unique index holds a key twice.
  void Finish();

  const TableLayout& layout() const { return layout_; }
  std::uint32_t row_count() const { return rows_; }
  const std::vector<std::uint32_t>& data_pages() const { return data_pages_; }
  // LVAL pages of each memo, hyperlink and OLE column, in column order.
  std::vector<std::vector<std::uint32_t>> memo_pages() const;
  // The entries of each index, in the order of the layout's indexes, after Finish.
  std::vector<FinishedIndex>& indexes() { return finished_; }

 private:
  struct IndexState {
    IndexSpec asked;  // the index as the caller described it
    std::vector<std::size_t> positions;  // key columns
    IndexEntryList entries;
  };

  void MoveMemosOutOfRow();
  // Adds the row just placed at `pointer` to every index.
  void AddIndexEntries(std::uint32_t pointer);

  PageFile& file_;
  std::vector<ColumnSpec> columns_;
  TableLayout layout_;
  std::vector<std::unique_ptr<MemoStore>> memo_stores_;
  std::vector<ValueEncoder> encoders_;
  std::vector<Cell> cells_;
  std::vector<std::uint8_t> row_;
  DataPage page_;
  std::uint32_t page_number_ = 0;
  std::vector<std::uint32_t> data_pages_;
  std::uint32_t rows_ = 0;
  std::vector<IndexState> index_states_;
  std::vector<FinishedIndex> finished_;
  std::string key_;
};

}  // namespace mkmdb
