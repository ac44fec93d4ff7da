#include "relationships.h"

#include <map>
#include <optional>

#include "text/case_fold.h"
#include "file_context.h"

namespace jet {
namespace {

constexpr char kRelationshipTable[] = "MSysRelationships";
constexpr char kPrefix[] = "table \"MSysRelationships\": ";

enum Field { kName, kFlags, kCount, kPosition, kObject, kColumn, kReferencedObject,
             kReferencedColumn, kFields };
constexpr const char* kFieldNames[kFields] = {
    "szRelationship", "grbit", "ccolumn", "icolumn",
    "szObject", "szColumn", "szReferencedObject", "szReferencedColumn"};

struct FoldedLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return textconv::CompareFolded(a, b) < 0;
  }
};

// One row, read and checked.
struct Row {
  std::string text[kFields];
  std::int64_t number[kFields] = {};
};

bool ReadRow(Scan& scan, const std::size_t (&columns)[kFields], Value& value, Row& row,
             std::string& error) {
  for (int f = 0; f < kFields; ++f) {
    scan.Read(columns[f], value);
    const bool numeric = f == kFlags || f == kCount || f == kPosition;
    if (value.kind == ValueKind::Error) {
      error = std::string("its column ") + kFieldNames[f] + ": " + value.bytes;
      return false;
    }
    if (numeric ? value.kind != ValueKind::Integer : value.kind != ValueKind::Text) {
      error = std::string("its column ") + kFieldNames[f] +
              (value.kind == ValueKind::Null ? " is empty" : numeric ? " is not a number" : " is not text");
      return false;
    }
    if (numeric) {
      row.number[f] = value.integer;
    } else {
      row.text[f] = value.bytes;
    }
  }
  return true;
}

}  // namespace

bool ReadRelationships(const Database& database, std::vector<Relationship>& out,
                       std::string& error) {
  out.clear();
  bool present = false;
  for (const CatalogTable& table : database.Tables()) {
    present = present || (!table.linked && textconv::EqualFolded(table.name, kRelationshipTable));
  }
  if (!present) return true;
  TableDefinition definition;
  if (!database.ReadDefinition(kRelationshipTable, definition, error)) return false;
  std::size_t columns[kFields];
  for (int f = 0; f < kFields; ++f) {
    bool found = false;
    for (std::size_t c = 0; c < definition.columns.size() && !found; ++c) {
      if (textconv::EqualFolded(definition.columns[c].name, kFieldNames[f])) {
        columns[f] = c;
        found = true;
      }
    }
    if (!found) {
      error = std::string(kPrefix) + "it has no column " + kFieldNames[f];
      return false;
    }
  }

  // Relationships by name (letter case ignored), each with its pairs by position.
  struct Pending {
    Relationship relationship;
    std::vector<std::optional<std::pair<std::string, std::string>>> pairs;
  };
  std::vector<Pending> pending;
  std::map<std::string, std::size_t, FoldedLess> byName;
  std::unique_ptr<Scan> scan = database.StartScan(definition);
  Value value;
  Row row;
  std::string why;
  std::size_t rows = 0;
  while (scan->Next()) {
    if (++rows > kMaxRelationshipRows) {
      error = std::string(kPrefix) + "it has more than " + std::to_string(kMaxRelationshipRows) +
              " rows";
      return false;
    }
    if (!ReadRow(*scan, columns, value, row, why)) {
      error = std::string(kPrefix) + "row " + std::to_string(rows) + ": " + why;
      return false;
    }
    const std::string& name = row.text[kName];
    const std::string where = kPrefix + ("relationship " + Quoted(name));
    const std::int64_t count = row.number[kCount], position = row.number[kPosition];
    if (count < 1 || count > kMaxRelationshipColumns) {
      error = where + " declares " + std::to_string(count) + " pairs of columns (1 to " +
              std::to_string(kMaxRelationshipColumns) + " are possible)";
      return false;
    }
    if (position < 0 || position >= count) {
      error = where + " has a pair of columns at place " + std::to_string(position) + " of " +
              std::to_string(count);
      return false;
    }
    auto [found, added] = byName.emplace(name, pending.size());
    if (added) {
      Pending& p = pending.emplace_back();
      p.relationship.name = name;
      p.relationship.flags = static_cast<std::uint32_t>(row.number[kFlags]);
      p.relationship.foreignTable = row.text[kObject];
      p.relationship.primaryTable = row.text[kReferencedObject];
      p.pairs.resize(static_cast<std::size_t>(count));
    }
    Pending& p = pending[found->second];
    const Relationship& r = p.relationship;
    if (p.pairs.size() != static_cast<std::size_t>(count) ||
        r.flags != static_cast<std::uint32_t>(row.number[kFlags]) ||
        !textconv::EqualFolded(r.foreignTable, row.text[kObject]) ||
        !textconv::EqualFolded(r.primaryTable, row.text[kReferencedObject])) {
      error = where + " has rows that disagree on its tables, flags or number of columns";
      return false;
    }
    auto& pair = p.pairs[static_cast<std::size_t>(position)];
    if (pair) {
      error = where + " has two pairs of columns at place " + std::to_string(position);
      return false;
    }
    pair.emplace(row.text[kColumn], row.text[kReferencedColumn]);
  }
  if (!scan->Error().empty()) {
    error = scan->Error();
    return false;
  }
  for (Pending& p : pending) {
    for (std::size_t i = 0; i < p.pairs.size(); ++i) {
      if (!p.pairs[i]) {
        error = kPrefix + ("relationship " + Quoted(p.relationship.name)) +
                " has no pair of columns at place " + std::to_string(i) + " of " +
                std::to_string(p.pairs.size());
        return false;
      }
      p.relationship.foreignColumns.push_back(p.pairs[i]->first);
      p.relationship.primaryColumns.push_back(p.pairs[i]->second);
    }
    out.push_back(std::move(p.relationship));
  }
  return true;
}

}  // namespace jet
