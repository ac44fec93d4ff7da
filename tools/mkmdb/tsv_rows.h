// Rows read from tab-separated text, one row a line.
//
// Fields are separated by a tab. A field that is exactly \N is NULL. Backslash escapes stand for
// characters a field cannot hold: \t tab, \n line feed, \r carriage return, \\ backslash; any
// other backslash sequence is an error. A line ending in CR LF loses the CR. The last line may
// lack its line feed. A UTF-8 byte order mark at the very start is skipped; input holding only
// that mark has no rows. An empty line is a row whose single field is the empty string, so it is
// valid only for a one-column table. A line longer than the largest row the columns can hold is
// refused as soon as it passes that size, before the rest of it is read.
#pragma once

#include <array>
#include <cstdint>
#include <istream>
#include <string>
#include <vector>

#include "mdb_writer.h"

namespace mkmdb {

// The most bytes the text of one field can take for `column` and still be stored.
std::size_t LongestFieldText(const ColumnSpec& column);

class TsvRows : public RowSource {
 public:
  // `label` names the input in messages ("rows.tsv", "standard input").
  TsvRows(std::istream& input, std::string label, std::vector<ColumnSpec> columns);

  bool Next(std::vector<Value>& row) override;
  std::string Where() const override;

 private:
  // Reads the next line into line_ without its line feed; false at the end of the input.
  bool ReadLine();
  [[noreturn]] void RefuseLongLine() const;

  std::istream& input_;
  std::string label_;
  std::vector<ColumnSpec> columns_;
  std::size_t longest_line_ = 0;  // bytes before the line feed, byte order mark and CR included
  std::string line_;
  std::array<char, 64 * 1024> chunk_;
  std::uint64_t line_number_ = 0;
};

}  // namespace mkmdb
