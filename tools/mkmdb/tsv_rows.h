// Rows read from tab-separated text, one row a line.
//
// Fields are separated by a tab. A field that is exactly \N is NULL. Backslash escapes stand for
// characters a field cannot hold: \t tab, \n line feed, \r carriage return, \\ backslash; any
// other backslash sequence is an error. A line ending in CR LF loses the CR. The last line may
// lack its line feed. A UTF-8 byte order mark at the very start is skipped. An empty line is a row whose single field is the empty string, so it is
// valid only for a one-column table.
#pragma once

#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "mdb_writer.h"

namespace mkmdb {

class TsvRows : public RowSource {
 public:
  // `label` names the input in messages ("rows.tsv", "standard input").
  TsvRows(std::istream& input, std::string label, std::vector<ColumnSpec> columns);

  bool Next(std::vector<Value>& row) override;
  std::string Where() const override;

 private:
  std::istream& input_;
  std::string label_;
  std::vector<ColumnSpec> columns_;
  std::string line_;
  std::uint64_t line_number_ = 0;
};

}  // namespace mkmdb
