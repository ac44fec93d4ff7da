// A pass over a table's rows in the order of one of its indexes, within a range of keys: down
// the tree to the first leaf entry in range, then along the leaves (forwards or backwards),
// moving the row reader to the row each entry names and checking the row against the entry.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "index_page.h"
#include "index_page_cache.h"
#include "key_range.h"
#include "scan.h"
#include "table_scan.h"

namespace jet {

// The most levels an index tree may have here: node pages hold at least three entries of the
// largest keys, and no file has pages enough for more levels.
inline constexpr int kMaxIndexLevels = 32;

class IndexScan : public Scan {
 public:
  // `cache`, when not null, keeps the pages read for later walks.
  // `complex`: the values of the table's complex columns, as TableScan takes them.
  IndexScan(std::shared_ptr<const OpenFile> file, const TableDefinition& table, std::size_t index,
            const KeyRange& range, bool descending, IndexPageCache* cache,
            std::vector<std::shared_ptr<const ComplexValues>> complex = {});

  bool Next() override;
  const std::string& Error() const override { return error_; }
  void Read(std::size_t column, Value& out) override { rows_.Read(column, out); }
  std::int64_t RowId() const override { return rows_.RowId(); }
  // Reads another row of the table; the walk ends.
  bool MoveTo(std::int64_t rowId) override;

 private:
  bool Fail(const std::string& why);
  // Page `number` of this table's indexes, read and checked (or kept from before); null with
  // the walk failed.
  std::shared_ptr<const IndexPage> Load(std::uint32_t number);
  // Goes down from the root to the leaf holding the first entry of the walk.
  bool Descend();
  // Moves to the next entry in walk order, loading the leaf beside when this one is done.
  // False at the end of the walk (error_ empty) or on a broken index.
  bool Step();
  // Loads the leaf beside the current one in walk order; false at the end of the level.
  bool NextLeaf();
  // Whether entry `at` of the current leaf lies within the range's far bound.
  bool InRange(std::size_t at) const;
  // Whether the current row holds the current entry's key; false with error_ set if not.
  bool CheckRow();

  std::shared_ptr<const OpenFile> file_;
  const FileContext& context_;
  TableScan rows_;  // reads the rows entries lead to
  const TableDefinition& table_;  // the row reader's
  std::size_t index_;
  KeyRange range_;
  bool descending_;
  std::string prefix_;  // table "t": index "i":

  IndexPageCache* cache_;
  std::shared_ptr<const IndexPage> leaf_;
  std::ptrdiff_t position_ = -1;  // the current entry in leaf_
  bool started_ = false;
  bool done_ = false;
  std::string last_;  // the last entry met, whole: the next must sort after it (or before)
  std::string entry_;  // scratch: the current entry, or its key
  std::uint64_t met_ = 0;
  std::uint32_t leaves_ = 0;
  std::string error_;
  std::string key_;  // scratch for CheckRow
  std::string text_;
};

}  // namespace jet
