// Rows made up from their number, for large test tables. Row n (counted from 1) holds:
//   Text(k)   "<column name> <n>", keeping only its last k characters if longer
//   Memo      "<column name> <n>"
//   Hyperlink "<column name> <n>#https://example.org/<n>#"
//   Byte      n modulo 256
//   Integer   n modulo 2^15
//   Long      n modulo 2^31
//   AutoNumber NULL, so the column numbers the rows 1, 2, 3...
//   Single, Double, Currency  n modulo 2^24 (Single) or n, plus 0.25
//   Decimal(p,s)  n modulo 10^(p-s), then as many digits of .25 as the scale keeps
//   DateTime  2000-01-01 00:00:00 plus n minutes
//   YesNo     1 for odd n, 0 for even n
//   Guid      {00000000-0000-0000-0000-<n as 12 hexadecimal digits>}
//   Binary(k), Ole  n as 8 big-endian bytes (Binary: its last k bytes) in hexadecimal
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
