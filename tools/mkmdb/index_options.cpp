// Reading indexes as the command line writes them.
#include <string>

#include "mdb_writer.h"

namespace mkmdb {
namespace {

bool EndsWithWord(std::string_view text, std::string_view word) {
  if (text.size() <= word.size() + 1 || text[text.size() - word.size() - 1] != ' ') return false;
  for (std::size_t i = 0; i < word.size(); ++i) {
    char c = text[text.size() - word.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != word[i]) return false;
  }
  return true;
}

}  // namespace

std::vector<IndexColumn> ParseIndexColumns(std::string_view text) {
  std::vector<IndexColumn> columns;
  for (std::size_t start = 0;;) {
    const std::size_t comma = text.find(',', start);
    std::string_view name = text.substr(start, comma == std::string_view::npos
                                                   ? std::string_view::npos
                                                   : comma - start);
    IndexColumn column;
    if (EndsWithWord(name, "desc")) {
      column.descending = true;
      name.remove_suffix(5);
    } else if (EndsWithWord(name, "asc")) {
      name.remove_suffix(4);
    }
    if (name.empty()) {
      throw WriterError("index columns \"" + std::string(text) + "\" name an empty column");
    }
    column.name = std::string(name);
    columns.push_back(std::move(column));
    if (comma == std::string_view::npos) return columns;
    start = comma + 1;
  }
}

IndexSpec ParseIndexSpec(std::string_view text) {
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) {
    throw WriterError("index \"" + std::string(text) + "\" has no columns; write NAME:COL[,COL...]");
  }
  IndexSpec index;
  index.name = std::string(text.substr(0, colon));
  index.columns = ParseIndexColumns(text.substr(colon + 1));
  return index;
}

}  // namespace mkmdb
