#include "catalog.h"

#include "text/case_fold.h"
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

// Reads a text column of the current row (empty for Null); false (with `error`) when it holds
// something else.
bool ReadText(Scan& scan, std::size_t column, const char* name, Value& value, std::string& out,
              std::string& error) {
  scan.Read(column, value);
  out.clear();
  if (value.kind == ValueKind::Null) return true;
  if (value.kind == ValueKind::Text) {
    out = value.bytes;
    return true;
  }
  error = value.kind == ValueKind::Error ? value.bytes
                                         : std::string("its column ") + name + " is not text";
  return false;
}

// The catalog's definition and the positions of the columns read here.
struct CatalogColumns {
  enum Needed { kId, kName, kType, kFlags, kNeeded };
  enum Optional { kDatabase, kConnect, kForeignName, kLvProp, kOptional };
  static constexpr const char* kNeededNames[kNeeded] = {"Id", "Name", "Type", "Flags"};
  static constexpr const char* kOptionalNames[kOptional] = {"Database", "Connect", "ForeignName",
                                                            "LvProp"};
  TableDefinition definition;
  std::size_t needed[kNeeded] = {};
  std::optional<std::size_t> optional[kOptional];
};

std::optional<std::size_t> FindColumn(const TableDefinition& table, const char* name) {
  for (std::size_t c = 0; c < table.columns.size(); ++c) {
    if (textconv::EqualFolded(table.columns[c].name, name)) return c;
  }
  return std::nullopt;
}

bool ReadCatalogColumns(const FileContext& file, CatalogColumns& out, std::string& error) {
  std::string why;
  if (!ReadTableDefinition(file, kCatalogDefinitionPage, kCatalogName, out.definition, why)) {
    error = "the catalog's definition is broken: " + why;
    return false;
  }
  for (int i = 0; i < CatalogColumns::kNeeded; ++i) {
    std::optional<std::size_t> found = FindColumn(out.definition, CatalogColumns::kNeededNames[i]);
    if (!found) {
      error = std::string("the catalog has no column ") + CatalogColumns::kNeededNames[i];
      return false;
    }
    out.needed[i] = *found;
  }
  for (int i = 0; i < CatalogColumns::kOptional; ++i) {
    out.optional[i] = FindColumn(out.definition, CatalogColumns::kOptionalNames[i]);
  }
  return true;
}

bool NamesTable(std::int64_t type) {
  return type == kObjectTable || type == kObjectLinkedTable || type == kObjectLinkedOdbcTable;
}

}  // namespace

bool ReadCatalog(const std::shared_ptr<const OpenFile>& file, std::vector<CatalogTable>& out,
                 std::string& error) {
  CatalogColumns columns;
  if (!ReadCatalogColumns(file->context, columns, error)) return false;
  const auto& names = CatalogColumns::kNeededNames;
  const std::size_t* at = columns.needed;

  out.clear();
  TableScan scan(file, columns.definition);
  Value value;
  std::string why;
  while (scan.Next()) {
    std::int64_t id = 0, type = 0, flags = 0;
    if (!ReadInteger(scan, at[CatalogColumns::kType], names[CatalogColumns::kType], value, type,
                     why) ||
        !ReadInteger(scan, at[CatalogColumns::kId], names[CatalogColumns::kId], value, id, why) ||
        !ReadInteger(scan, at[CatalogColumns::kFlags], names[CatalogColumns::kFlags], value, flags,
                     why)) {
      error = "the catalog is broken: " + why;
      return false;
    }
    if (!NamesTable(type)) continue;
    const bool linked = type != kObjectTable;
    scan.Read(at[CatalogColumns::kName], value);
    if (value.kind != ValueKind::Text) {
      error = "the catalog is broken: " +
              (value.kind == ValueKind::Error ? value.bytes : "a table has no name");
      return false;
    }
    CatalogTable table;
    table.name = value.bytes;
    table.linked = linked;
    table.definitionPage = linked ? 0 : static_cast<std::uint32_t>(id) & kCatalogIdPageMask;
    table.system =
        (static_cast<std::uint32_t>(flags) & (kObjectSystemFlag | kObjectHiddenSystemFlag)) != 0;
    if (linked) {
      // Where the link leads. A link that says nothing is listed, and fails when read.
      table.link.odbc = type == kObjectLinkedOdbcTable;
      std::string* fields[] = {&table.link.file, &table.link.connect, &table.link.table};
      for (int i = CatalogColumns::kDatabase; i <= CatalogColumns::kForeignName; ++i) {
        if (!columns.optional[i]) continue;
        if (!ReadText(scan, *columns.optional[i], CatalogColumns::kOptionalNames[i], value,
                      *fields[i], why)) {
          error = "the catalog is broken: link " + Quoted(table.name) + ": " + why;
          return false;
        }
      }
    }
    out.push_back(std::move(table));
  }
  if (!scan.Error().empty()) {
    error = "the catalog is broken: " + scan.Error();
    return false;
  }
  return true;
}

bool ReadCatalogProperties(const std::shared_ptr<const OpenFile>& file, std::string_view table,
                           ObjectProperties& out, std::string& error) {
  CatalogColumns columns;
  if (!ReadCatalogColumns(file->context, columns, error)) return false;
  out = ObjectProperties{};
  if (!columns.optional[CatalogColumns::kLvProp]) return true;
  const std::size_t* at = columns.needed;
  TableScan scan(file, columns.definition);
  Value value;
  std::string why;
  while (scan.Next()) {
    std::int64_t type = 0;
    if (!ReadInteger(scan, at[CatalogColumns::kType], "Type", value, type, why)) {
      error = "the catalog is broken: " + why;
      return false;
    }
    if (!NamesTable(type)) continue;
    scan.Read(at[CatalogColumns::kName], value);
    if (value.kind != ValueKind::Text || !textconv::EqualFolded(value.bytes, table)) continue;
    scan.Read(*columns.optional[CatalogColumns::kLvProp], value);
    if (value.kind == ValueKind::Null) return true;
    if (value.kind != ValueKind::Binary) {
      error = "table " + Quoted(table) + ": its properties cannot be read: " +
              (value.kind == ValueKind::Error ? value.bytes : "they are not stored as bytes");
      return false;
    }
    if (!ParseProperties(file->context, reinterpret_cast<const std::uint8_t*>(value.bytes.data()),
                         value.bytes.size(), out, why)) {
      error = "table " + Quoted(table) + ": its properties are broken: " + why;
      return false;
    }
    return true;
  }
  if (!scan.Error().empty()) {
    error = "the catalog is broken: " + scan.Error();
    return false;
  }
  error = "no table " + Quoted(table) + " in the database";
  return false;
}

}  // namespace jet
