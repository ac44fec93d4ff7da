#include "names.h"

#include <set>

#include "jet/case_fold.h"
#include "jet/format.h"
#include "jet_text.h"

namespace mkmdb {
namespace {

constexpr std::size_t kMaxNameLength = 64;

// Names that differ only in the case of their letters, of any script, are the same name to
// Access; their folded forms are equal.
std::u16string Folded(const std::u16string& name) { return jet::FoldCase(name); }

std::u16string Decoded(const std::string& name, const std::string& what) {
  Utf8Decoder decoder;
  std::u16string out;
  if (!decoder.Decode(name, out)) throw WriterError(what + " name is not valid UTF-8");
  return out;
}

}  // namespace

void CheckObjectName(const std::string& name, const std::string& what) {
  const std::u16string text = Decoded(name, what);
  const std::string quoted = what + " name \"" + name + "\"";
  if (text.empty()) throw WriterError(what + " name is empty");
  if (text.size() > kMaxNameLength) {
    throw WriterError(quoted + " is longer than " + std::to_string(kMaxNameLength) +
                      " characters");
  }
  if (text.front() == u' ') throw WriterError(quoted + " starts with a blank");
  for (char16_t c : text) {
    if (c < 0x20 || c == 0x7F) throw WriterError(quoted + " holds a control character");
    if (c == u'.' || c == u'!' || c == u'`' || c == u'[' || c == u']') {
      throw WriterError(quoted + " holds one of the characters . ! ` [ ]");
    }
  }
}

void CheckTables(const std::vector<TableSource>& tables) {
  // The system tables of every file are taken.
  std::set<std::u16string> table_names;
  for (const jet::SystemTable& system : jet::kSystemTables) {
    table_names.insert(Folded(Decoded(system.name, "table")));
  }
  for (const TableSource& table : tables) {
    CheckObjectName(table.name, "table");
    if (!table_names.insert(Folded(Decoded(table.name, "table"))).second) {
      throw WriterError("table name \"" + table.name + "\" is used twice (or is reserved)");
    }
    if (table.columns.empty()) throw WriterError("table " + table.name + " has no column");
    if (table.columns.size() > jet::kMaxColumns) {
      throw WriterError("table " + table.name + " has more than 255 columns");
    }
    std::set<std::u16string> column_names;
    for (const ColumnSpec& column : table.columns) {
      const std::string what = "column of table " + table.name + ":";
      CheckObjectName(column.name, what);
      if (!column_names.insert(Folded(Decoded(column.name, what))).second) {
        throw WriterError("table " + table.name + ": column name \"" + column.name +
                          "\" is used twice");
      }
      const int type = static_cast<int>(column.type);
      if (type < static_cast<int>(ColumnType::Text) || type > static_cast<int>(ColumnType::YesNo)) {
        throw WriterError("table " + table.name + ", column \"" + column.name +
                          "\": unknown type " + std::to_string(type));
      }
      if (column.type == ColumnType::Text && (column.size < 1 || column.size > 255)) {
        throw WriterError("table " + table.name + ", column \"" + column.name +
                          "\": Text size must be 1 to 255, not " + std::to_string(column.size));
      }
    }
  }
}

}  // namespace mkmdb
