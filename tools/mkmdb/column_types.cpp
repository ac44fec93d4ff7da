// Reading and naming column types, as the command line writes them.
#include <algorithm>
#include <charconv>
#include <string>

#include "mdb_writer.h"

namespace mkmdb {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) {
    return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  });
  return out;
}

}  // namespace

ColumnSpec ParseColumnSpec(std::string_view text) {
  const auto colon = text.rfind(':');
  if (colon == std::string_view::npos) {
    throw WriterError("column \"" + std::string(text) + "\" has no type; write NAME:TYPE");
  }
  ColumnSpec column{std::string(text.substr(0, colon)), ColumnType::Text, 0};
  const std::string type = Lower(text.substr(colon + 1));
  const auto unknown = [&] {
    return WriterError("column \"" + column.name + "\": unknown type \"" +
                       std::string(text.substr(colon + 1)) +
                       "\" (text(N), memo, long, double, datetime, yesno)");
  };
  if (type.rfind("text(", 0) == 0 && type.size() > 6 && type.back() == ')') {
    const std::string_view digits = std::string_view(type).substr(5, type.size() - 6);
    int size = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), size);
    if (error != std::errc() || end != digits.data() + digits.size() || size < 1 ||
        size > 255) {
      throw WriterError("column \"" + column.name + "\": the size of text(N) must be 1 to 255, not \"" +
                        std::string(digits) + "\"");
    }
    column.size = size;
    return column;
  }
  if (type == "memo") {
    column.type = ColumnType::Memo;
  } else if (type == "long" || type == "longinteger") {
    column.type = ColumnType::Long;
  } else if (type == "double") {
    column.type = ColumnType::Double;
  } else if (type == "datetime" || type == "date") {
    column.type = ColumnType::DateTime;
  } else if (type == "yesno" || type == "bool" || type == "boolean") {
    column.type = ColumnType::YesNo;
  } else {
    throw unknown();
  }
  return column;
}

std::string ColumnTypeName(const ColumnSpec& column) {
  switch (column.type) {
    case ColumnType::Text: return "text(" + std::to_string(column.size) + ")";
    case ColumnType::Memo: return "memo";
    case ColumnType::Long: return "long";
    case ColumnType::Double: return "double";
    case ColumnType::DateTime: return "datetime";
    case ColumnType::YesNo: return "yesno";
  }
  return "?";
}

}  // namespace mkmdb
