// Writes the rows of one user table: encodes each row, packs rows onto the table's data pages
// and memo values onto LVAL pages, and keeps the lists of pages the table's maps will name.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "data_page.h"
#include "jet_text.h"
#include "mdb_writer.h"
#include "memo_store.h"
#include "page_file.h"
#include "row_encoder.h"
#include "table_layout.h"
#include "value_encoder.h"

namespace mkmdb {

class TableWriter {
 public:
  TableWriter(PageFile& file, const std::vector<ColumnSpec>& columns,
              std::uint32_t definition_page);

  // Adds one row with a value per column. Memo values small enough to stay in the row move to
  // LVAL pages when the row would not fit a page otherwise. Throws ValueError (naming the column
  // when one value is at fault); the table is then unusable.
  void AddRow(const std::vector<Value>& values);
  // Writes the pages still being filled.
  void Finish();

  const TableLayout& layout() const { return layout_; }
  std::uint32_t row_count() const { return rows_; }
  const std::vector<std::uint32_t>& data_pages() const { return data_pages_; }
  // LVAL pages of each memo, hyperlink and OLE column, in column order.
  std::vector<std::vector<std::uint32_t>> memo_pages() const;

 private:
  void MoveMemosOutOfRow();

  PageFile& file_;
  std::vector<ColumnSpec> columns_;
  TableLayout layout_;
  Utf8Decoder decoder_;
  std::vector<std::unique_ptr<MemoStore>> memo_stores_;
  std::vector<ValueEncoder> encoders_;
  std::vector<Cell> cells_;
  std::vector<std::uint8_t> row_;
  DataPage page_;
  std::uint32_t page_number_ = 0;
  std::vector<std::uint32_t> data_pages_;
  std::uint32_t rows_ = 0;
};

}  // namespace mkmdb
