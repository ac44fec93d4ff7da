#include "names.h"

#include "text/utf.h"

#include <set>

#include "text/case_fold.h"
#include "jet/format.h"
#include "jet_text.h"

namespace mkmdb {
namespace {

constexpr std::size_t kMaxNameLength = 64;

// Names that differ only in the case of their letters, of any script, are the same name to
// Access; their folded forms are equal.
std::u16string Folded(const std::u16string& name) { return textconv::FoldCase(name); }

std::u16string Decoded(const std::string& name, const std::string& what) {
  std::u16string out;
  if (!textconv::Utf8ToUtf16(name, out)) throw WriterError(what + " name is not valid UTF-8");
  return out;
}

}  // namespace

const ColumnSpec* FindColumnByName(const TableSource& table, const std::string& name) {
  const std::u16string folded = Folded(Decoded(name, "column"));
  for (const ColumnSpec& column : table.columns) {
    if (Folded(Decoded(column.name, "column")) == folded) return &column;
  }
  return nullptr;
}

namespace {

void CheckIndexes(const TableSource& table) {
  constexpr std::size_t kMaxIndexes = 32;
  if (table.indexes.size() > kMaxIndexes) {
    throw WriterError("table " + table.name + " has " + std::to_string(table.indexes.size()) +
                      " indexes; a table has at most " + std::to_string(kMaxIndexes));
  }
  std::set<std::u16string> names;
  int primary_keys = 0;
  for (const IndexSpec& index : table.indexes) {
    const std::string what = "index of table " + table.name + ":";
    CheckObjectName(index.name, what);
    if (!names.insert(Folded(Decoded(index.name, what))).second) {
      throw WriterError("table " + table.name + ": index name \"" + index.name +
                        "\" is used twice");
    }
    const std::string where = "table " + table.name + ", index \"" + index.name + "\": ";
    if (index.primary_key && ++primary_keys > 1) {
      throw WriterError("table " + table.name + " has more than one primary key");
    }
    if (index.columns.empty() || index.columns.size() > jet::kIndexKeyColumns) {
      throw WriterError(where + "an index has 1 to " + std::to_string(jet::kIndexKeyColumns) +
                        " columns, not " + std::to_string(index.columns.size()));
    }
    std::set<const ColumnSpec*> used;
    for (const IndexColumn& key : index.columns) {
      const ColumnSpec* column = FindColumnByName(table, key.name);
      if (column == nullptr) {
        throw WriterError(where + "the table has no column \"" + key.name + "\"");
      }
      if (!used.insert(column).second) {
        throw WriterError(where + "column \"" + column->name + "\" is named twice");
      }
      if (column->type == ColumnType::Memo || column->type == ColumnType::Hyperlink ||
          column->type == ColumnType::Ole || column->type == ColumnType::Binary) {
        throw WriterError(where + "column \"" + column->name + "\" is of type " +
                          ColumnTypeName(*column) + ", which an index cannot hold");
      }
    }
  }
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
    int autonumbers = 0;
    for (const ColumnSpec& column : table.columns) {
      const std::string what = "column of table " + table.name + ":";
      CheckObjectName(column.name, what);
      if (!column_names.insert(Folded(Decoded(column.name, what))).second) {
        throw WriterError("table " + table.name + ": column name \"" + column.name +
                          "\" is used twice");
      }
      const std::string where = "table " + table.name + ", column \"" + column.name + "\": ";
      const int type = static_cast<int>(column.type);
      if (type < static_cast<int>(ColumnType::Text) ||
          type > static_cast<int>(ColumnType::Hyperlink)) {
        throw WriterError(where + "unknown type " + std::to_string(type));
      }
      if (column.type == ColumnType::Text && (column.size < 1 || column.size > 255)) {
        throw WriterError(where + "Text size must be 1 to 255, not " +
                          std::to_string(column.size));
      }
      if (column.type == ColumnType::Binary && (column.size < 1 || column.size > 510)) {
        throw WriterError(where + "Binary size must be 1 to 510 bytes, not " +
                          std::to_string(column.size));
      }
      if (column.type == ColumnType::Decimal &&
          (column.precision < 1 || column.precision > 28 || column.scale < 0 ||
           column.scale > column.precision)) {
        throw WriterError(where + "Decimal wants a precision from 1 to 28 and a scale from 0 to "
                          "the precision, not (" + std::to_string(column.precision) + "," +
                          std::to_string(column.scale) + ")");
      }
      if (column.type == ColumnType::AutoNumber && ++autonumbers > 1) {
        throw WriterError("table " + table.name + " has more than one AutoNumber column");
      }
    }
    CheckIndexes(table);
  }
}

void CheckLinks(const std::vector<TableSource>& tables, const std::vector<LinkSpec>& links) {
  std::set<std::u16string> names;
  for (const jet::SystemTable& system : jet::kSystemTables) {
    names.insert(Folded(Decoded(system.name, "table")));
  }
  for (const TableSource& table : tables) names.insert(Folded(Decoded(table.name, "table")));
  for (const LinkSpec& link : links) {
    CheckObjectName(link.name, "link");
    if (!names.insert(Folded(Decoded(link.name, "link"))).second) {
      throw WriterError("link name \"" + link.name + "\" is the name of another table or link");
    }
    const std::string where = "link " + link.name + ": ";
    if (link.table.empty()) throw WriterError(where + "names no table");
    const bool odbc = link.connect.size() >= 5 && textconv::EqualFolded(link.connect.substr(0, 5), "ODBC;");
    if (!odbc && link.file.empty()) throw WriterError(where + "names no file");
    Decoded(link.table, where + "the linked table's");
    Decoded(link.file, where + "the file's");
    Decoded(link.connect, where + "the connect string's");
  }
}

}  // namespace mkmdb
