// Rows made up from their number, for large test tables. Row n (counted from 1) holds:
//   Text(k)   "<column name> <n>", keeping only its last k characters if longer
//   Memo      "<column name> <n>"
//   Long      n modulo 2^31
//   Double    n + 0.25
//   DateTime  2000-01-01 00:00:00 plus n minutes
//   YesNo     1 for odd n, 0 for even n
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mdb_writer.h"

namespace mkmdb {

// The generated value of `column` in row `n`.
Value GeneratedValue(const ColumnSpec& column, std::uint64_t n);

class GeneratedRows : public RowSource {
 public:
  GeneratedRows(std::vector<ColumnSpec> columns, std::uint64_t count);
  bool Next(std::vector<Value>& row) override;
  std::string Where() const override;

 private:
  std::vector<ColumnSpec> columns_;
  std::uint64_t count_;
  std::uint64_t next_ = 0;
};

}  // namespace mkmdb
