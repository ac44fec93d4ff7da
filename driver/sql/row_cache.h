// A table's rows held in memory, with lookups by the value of a column, for the joins and
// conditions that look rows up by value on a table whose file keeps no index the engine can use:
// a nested loop then costs one pass over the table and a hash lookup per outer row, instead of
// a pass per outer row.
#pragma once

#include "jet/database.h"

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct sqlite3_value;

namespace mdbodbc::sql {

class RowCache {
 public:
  // Reads every row of the table. Null when the table does not fit in `limitBytes` or cannot
  // be read whole (the caller then scans it as usual); `usedBytes` tells what it holds.
  static std::unique_ptr<RowCache> Load(const jet::Database& database, const jet::TableDefinition& table,
                                        std::size_t limitBytes);

  std::size_t Rows() const { return rowIds_.size(); }
  const jet::Value& Value(std::size_t row, std::size_t column) const { return values_[row * columns_ + column]; }
  std::int64_t RowId(std::size_t row) const { return rowIds_[row]; }
  std::size_t UsedBytes() const { return usedBytes_; }

  // The rows whose `column` may equal `key`, in table order (every row that equals it is
  // among them; the engine tests each). Null when the key cannot be looked up in this column,
  // so that every row must be tried.
  const std::vector<std::uint32_t>* Lookup(std::size_t column, sqlite3_value* key);

 private:
  RowCache(const jet::TableDefinition& table) : table_(table), columns_(table.columns.size()) {}
  // The lookup key of a stored value or of a key value; false when it has none (Null).
  bool KeyOf(std::size_t column, const jet::Value& v, std::string& key) const;
  bool KeyOf(std::size_t column, sqlite3_value* v, std::string& key) const;

  const jet::TableDefinition& table_;
  std::size_t columns_;
  std::vector<jet::Value> values_;  // row by row
  std::vector<std::int64_t> rowIds_;
  std::size_t usedBytes_ = 0;
  std::unordered_map<std::size_t, std::unordered_map<std::string, std::vector<std::uint32_t>>> indexes_;
  std::vector<std::uint32_t> none_;
};

}  // namespace mdbodbc::sql
