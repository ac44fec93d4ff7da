#include "relationships.h"

#include "text/utf.h"

#include <array>
#include <set>

#include "index_keys.h"
#include "text/case_fold.h"
#include "jet/format.h"
#include "jet/relationships.h"
#include "jet_text.h"
#include "names.h"
#include "row_encoder.h"
#include "system_tables.h"

namespace mkmdb {
namespace {

enum RelationshipColumn {
  kName, kFlags, kCount, kPosition, kObject, kColumn, kReferencedObject, kReferencedColumn,
  kColumnCount
};
static_assert(kColumnCount == std::size(jet::kRelationshipColumns));

std::u16string Folded(const std::string& text) { return textconv::FoldCase(textconv::Utf8ToUtf16(text)); }

std::u16string Text16(const std::string& text) { return textconv::Utf8ToUtf16(text); }

std::uint32_t Flags(const RelationshipSpec& r) {
  std::uint32_t flags = 0;
  if (r.cascade_updates) flags |= jet::kRelationshipCascadeUpdates;
  if (r.cascade_deletes) flags |= jet::kRelationshipCascadeDeletes;
  if (!r.enforced) flags |= jet::kRelationshipNotEnforced;
  return flags;
}

}  // namespace

void CheckRelationships(const std::vector<TableSource>& tables, const CatalogSpec& catalog) {
  std::set<std::u16string> names;
  for (const RelationshipSpec& r : catalog.relationships) {
    CheckObjectName(r.name, "relationship");
    if (!names.insert(Folded(r.name)).second) {
      throw WriterError("relationship name \"" + r.name + "\" is used twice");
    }
    const std::string where = "relationship " + r.name + ": ";
    if (r.foreign_columns.empty() || r.foreign_columns.size() != r.primary_columns.size()) {
      throw WriterError(where + "wants as many primary columns as foreign ones, at least one");
    }
    if (r.foreign_columns.size() > static_cast<std::size_t>(jet::kMaxRelationshipColumns)) {
      throw WriterError(where + "has more than " + std::to_string(jet::kMaxRelationshipColumns) +
                        " pairs of columns");
    }
    // Each side names a table of the file (its columns checked) or a link.
    auto check = [&](const std::string& table, const std::vector<std::string>& columns) {
      for (const TableSource& t : tables) {
        if (Folded(t.name) != Folded(table)) continue;
        for (const std::string& column : columns) {
          bool found = false;
          for (const ColumnSpec& c : t.columns) found = found || Folded(c.name) == Folded(column);
          if (!found) throw WriterError(where + "table " + table + " has no column \"" + column + "\"");
        }
        return;
      }
      for (const LinkSpec& link : catalog.links) {
        if (Folded(link.name) == Folded(table)) {
          for (const std::string& column : columns) CheckObjectName(column, where + "column");
          return;
        }
      }
      throw WriterError(where + "there is no table " + table);
    };
    check(r.foreign_table, r.foreign_columns);
    check(r.primary_table, r.primary_columns);
  }
}

std::vector<RelationshipRow> RelationshipRows(const std::vector<RelationshipSpec>& relationships) {
  std::vector<RelationshipRow> rows;
  for (const RelationshipSpec& r : relationships) {
    for (std::size_t i = 0; i < r.foreign_columns.size(); ++i) rows.push_back({&r, i});
  }
  return rows;
}

std::vector<std::vector<std::uint8_t>> EncodeRelationshipRows(const std::vector<RelationshipRow>& rows) {
  const TableLayout layout = SystemTableLayout(jet::kSystemTables[3]);
  std::vector<std::vector<std::uint8_t>> encoded;
  for (const RelationshipRow& row : rows) {
    const RelationshipSpec& r = *row.relationship;
    std::uint8_t flags[4], count[4], position[4];
    jet::PutU32(flags, Flags(r));
    jet::PutU32(count, static_cast<std::uint32_t>(r.foreign_columns.size()));
    jet::PutU32(position, static_cast<std::uint32_t>(row.pair));
    const std::vector<std::uint8_t> texts[] = {
        Utf16Bytes(Text16(r.name)),
        Utf16Bytes(Text16(r.foreign_table)),
        Utf16Bytes(Text16(r.foreign_columns[row.pair])),
        Utf16Bytes(Text16(r.primary_table)),
        Utf16Bytes(Text16(r.primary_columns[row.pair]))};
    std::array<Cell, kColumnCount> cells{};
    cells[kName] = {true, texts[0]};
    cells[kFlags] = {true, flags};
    cells[kCount] = {true, count};
    cells[kPosition] = {true, position};
    cells[kObject] = {true, texts[1]};
    cells[kColumn] = {true, texts[2]};
    cells[kReferencedObject] = {true, texts[3]};
    cells[kReferencedColumn] = {true, texts[4]};
    encoded.emplace_back();
    EncodeRow(layout, cells, encoded.back());
  }
  return encoded;
}

std::vector<IndexEntry> RelationshipIndex(std::size_t index, const std::vector<RelationshipRow>& rows,
                                          const std::vector<std::uint32_t>& placed) {
  return IndexEntries(rows, placed, [index](const RelationshipRow& row, std::vector<std::uint8_t>& key) {
    const RelationshipSpec& r = *row.relationship;
    const std::string& text = index == 0 ? r.name : index == 1 ? r.foreign_table : r.primary_table;
    AppendTextKey(Text16(text), key);
  });
}

}  // namespace mkmdb
