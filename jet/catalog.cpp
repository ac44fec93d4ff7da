#include "catalog.h"

#include "case_fold.h"
#include "definition_reader.h"
#include "table_scan.h"

namespace jet {
namespace {

constexpr char kCatalogName[] = "MSysObjects";

// Reads an integer column of the current row; false (with `error`) when it is not one.
bool ReadInteger(Scan& scan, std::size_t column, const char* name, Value& value,
                 std::int64_t& out, std::string& error) {
  scan.Read(column, value);
  if (value.kind == ValueKind::Integer) {
    out = value.integer;
    return true;
  }
  if (value.kind == ValueKind::Null) {
    out = 0;
    return true;
  }
  error = value.kind == ValueKind::Error ? value.bytes
                                         : std::string("its column ") + name + " is not a number";
  return false;
}

}  // namespace

bool ReadCatalog(const std::shared_ptr<const OpenFile>& file, std::vector<CatalogTable>& out,
                 std::string& error) {
  TableDefinition catalog;
  std::string why;
  if (!ReadTableDefinition(file->context, kCatalogDefinitionPage, kCatalogName, catalog, why)) {
    error = "the catalog's definition is broken: " + why;
    return false;
  }
  enum { kId, kName, kType, kFlags, kNeeded };
  const char* names[kNeeded] = {"Id", "Name", "Type", "Flags"};
  std::size_t columns[kNeeded];
  for (int i = 0; i < kNeeded; ++i) {
    bool found = false;
    for (std::size_t c = 0; c < catalog.columns.size() && !found; ++c) {
      if (EqualFolded(catalog.columns[c].name, names[i])) {
        columns[i] = c;
        found = true;
      }
    }
    if (!found) {
      error = std::string("the catalog has no column ") + names[i];
      return false;
    }
  }

  out.clear();
  TableScan scan(file, catalog);
  Value value;
  while (scan.Next()) {
    std::int64_t id = 0, type = 0, flags = 0;
    if (!ReadInteger(scan, columns[kType], names[kType], value, type, why) ||
        !ReadInteger(scan, columns[kId], names[kId], value, id, why) ||
        !ReadInteger(scan, columns[kFlags], names[kFlags], value, flags, why)) {
      error = "the catalog is broken: " + why;
      return false;
    }
    const bool linked = type == kObjectLinkedTable || type == kObjectLinkedOdbcTable;
    if (type != kObjectTable && !linked) continue;
    scan.Read(columns[kName], value);
    if (value.kind != ValueKind::Text) {
      error = "the catalog is broken: " +
              (value.kind == ValueKind::Error ? value.bytes : "a table has no name");
      return false;
    }
    CatalogTable table;
    table.name = value.bytes;
    table.linked = linked;
    table.definitionPage = linked ? 0 : static_cast<std::uint32_t>(id) & kCatalogIdPageMask;
    table.system = (static_cast<std::uint32_t>(flags) & kObjectSystemFlags) != 0;
    out.push_back(std::move(table));
  }
  if (!scan.Error().empty()) {
    error = "the catalog is broken: " + scan.Error();
    return false;
  }
  return true;
}

}  // namespace jet
