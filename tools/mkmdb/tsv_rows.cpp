#include "tsv_rows.h"

#include <algorithm>

#include "memo_store.h"
#include "value_parser.h"

namespace mkmdb {
namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr std::size_t kByteOrderMarkSize = 3;

}  // namespace

std::size_t LongestFieldText(const ColumnSpec& column) {
  // A UTF-16 code unit takes at most 3 bytes of UTF-8 (a pair of surrogates 4 bytes for two
  // units) and at most 2 bytes as an escape, so text of n units takes at most 3n bytes.
  constexpr std::size_t kBytesPerUnit = 3;
  constexpr std::size_t kNull = 2;  // \N
  switch (column.type) {
    case ColumnType::Text:
      return std::max(kNull, kBytesPerUnit * static_cast<std::size_t>(std::max(column.size, 0)));
    case ColumnType::Memo:
    case ColumnType::Hyperlink:
      // Stored uncompressed, a memo value takes two bytes per unit.
      return kBytesPerUnit * (kMemoMaxStoredSize / 2);
    case ColumnType::Ole:
      return 2 * kMemoMaxStoredSize;  // two hexadecimal digits a byte
    case ColumnType::Binary:
      return std::max(kNull, 2 * static_cast<std::size_t>(std::max(column.size, 0)));
    case ColumnType::Byte:
    case ColumnType::Integer:
    case ColumnType::Long:
    case ColumnType::AutoNumber:
    case ColumnType::Single:
    case ColumnType::Double:
    case ColumnType::Currency:
    case ColumnType::Decimal:
      return kLongestNumberText;
    case ColumnType::Guid:
      return 38;  // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}
    case ColumnType::DateTime:
      return 23;  // YYYY-MM-DD HH:MM:SS.fff
    case ColumnType::YesNo:
      return 5;  // false
  }
  return 0;
}

TsvRows::TsvRows(std::istream& input, std::string label, std::vector<ColumnSpec> columns)
    : input_(input), label_(std::move(label)), columns_(std::move(columns)) {
  longest_line_ = kByteOrderMarkSize + 1;  // the mark and a CR before the line feed
  for (const ColumnSpec& column : columns_) longest_line_ += LongestFieldText(column) + 1;
}

std::string TsvRows::Where() const { return label_ + " line " + std::to_string(line_number_); }

void TsvRows::RefuseLongLine() const {
  throw WriterError(label_ + " line " + std::to_string(line_number_ + 1) + ": the line passes " +
                    std::to_string(longest_line_) +
                    " bytes, more than a row of these columns can hold");
}

bool TsvRows::ReadLine() {
  line_.clear();
  bool started = false;
  for (;;) {
    input_.getline(chunk_.data(), static_cast<std::streamsize>(chunk_.size()));
    const auto got = static_cast<std::size_t>(input_.gcount());
    if (input_.bad()) {
      throw WriterError(label_ + ": read error after line " + std::to_string(line_number_));
    }
    if (input_.eof()) {  // the last line, without a line feed (or nothing at all)
      line_.append(chunk_.data(), got);
      if (line_.size() > longest_line_) RefuseLongLine();
      return started || got > 0;
    }
    if (input_.fail()) {  // the chunk filled up before the line feed
      input_.clear();
      line_.append(chunk_.data(), got);
      started = true;
      if (line_.size() > longest_line_) RefuseLongLine();
      continue;
    }
    line_.append(chunk_.data(), got - 1);  // without the line feed
    if (line_.size() > longest_line_) RefuseLongLine();
    return true;
  }
}

bool TsvRows::Next(std::vector<Value>& row) {
  if (!ReadLine()) return false;
  ++line_number_;
  if (line_number_ == 1 && line_.rfind(kByteOrderMark, 0) == 0) {
    // Input made of the mark alone holds no line at all.
    if (line_.size() == kByteOrderMarkSize && input_.eof()) return false;
    line_.erase(0, kByteOrderMarkSize);
  }
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
