#include "tsv_rows.h"

namespace mkmdb {

TsvRows::TsvRows(std::istream& input, std::string label, std::vector<ColumnSpec> columns)
    : input_(input), label_(std::move(label)), columns_(std::move(columns)) {}

std::string TsvRows::Where() const { return label_ + " line " + std::to_string(line_number_); }

bool TsvRows::Next(std::vector<Value>& row) {
  if (!std::getline(input_, line_)) {
    if (input_.bad()) throw WriterError(label_ + ": read error after line " +
                                        std::to_string(line_number_));
    return false;
  }
  ++line_number_;
  if (line_number_ == 1 && line_.rfind("\xEF\xBB\xBF", 0) == 0) line_.erase(0, 3);
  if (!line_.empty() && line_.back() == '\r') line_.pop_back();

  std::size_t fields = 1;
  for (char c : line_) fields += c == '\t';
  if (fields != columns_.size()) {
    std::string names;
    for (const ColumnSpec& column : columns_) names += (names.empty() ? "" : ", ") + column.name;
    throw WriterError(Where() + ": expected " + std::to_string(columns_.size()) +
                      " tab-separated fields (" + names + "), found " + std::to_string(fields));
  }

  row.resize(columns_.size());
  std::size_t start = 0;
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    std::size_t end = line_.find('\t', start);
    if (end == std::string::npos) end = line_.size();
    const std::string_view field(line_.data() + start, end - start);
    start = end + 1;
    if (field == "\\N") {
      row[i].reset();
      continue;
    }
    std::string& value = row[i].emplace();
    value.reserve(field.size());
    for (std::size_t k = 0; k < field.size(); ++k) {
      if (field[k] != '\\') {
        value.push_back(field[k]);
        continue;
      }
      const char escaped = k + 1 < field.size() ? field[++k] : '\0';
      switch (escaped) {
        case 't': value.push_back('\t'); break;
        case 'n': value.push_back('\n'); break;
        case 'r': value.push_back('\r'); break;
        case '\\': value.push_back('\\'); break;
        default:
          throw WriterError(Where() + ", column \"" + columns_[i].name +
                            "\": unknown escape \\" + (escaped ? std::string(1, escaped) : "") +
                            " (use \\t \\n \\r \\\\, or \\N alone for NULL)");
      }
    }
  }
  return true;
}

}  // namespace mkmdb
