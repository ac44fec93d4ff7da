// The rows a static cursor has passed, kept compactly: each row serialized once into large
// blocks, so that moving back reads it again without running the statement again.
#pragma once

#include "sql/result.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace mdbodbc {

class RowStore {
 public:
  void Append(const sql::Row& row);
  // Row `index` (0-based) of those appended.
  void Read(std::size_t index, sql::Row& row) const;
  std::size_t size() const { return starts_.size(); }
  void Clear();

 private:
  struct Block {
    std::unique_ptr<char[]> bytes;
    std::size_t capacity = 0;
    std::size_t used = 0;
  };
  std::vector<Block> blocks_;
  std::vector<std::uint64_t> starts_;  // block number << 32 | offset in the block
};

}  // namespace mdbodbc
