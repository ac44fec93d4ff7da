#include "complex_values.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "text/case_fold.h"
#include "date_time.h"
#include "definition_reader.h"
#include "extended_date.h"
#include "format.h"
#include "table_scan.h"

namespace jet {
namespace {

constexpr char kComplexColumns[] = "MSysComplexColumns";
constexpr char kSeparator[] = "; ";

// The position of the column named `name` in `table`, or -1.
int ColumnNamed(const TableDefinition& table, std::string_view name) {
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    if (textconv::EqualFolded(table.columns[i].name, name)) return static_cast<int>(i);
  }
  return -1;
}

const CatalogTable* TableNamed(const std::vector<CatalogTable>& tables, std::string_view name) {
  for (const CatalogTable& table : tables) {
    if (!table.linked && textconv::EqualFolded(table.name, name)) return &table;
  }
  return nullptr;
}

const CatalogTable* TableOnPage(const std::vector<CatalogTable>& tables, std::uint32_t page) {
  for (const CatalogTable& table : tables) {
    if (!table.linked && table.definitionPage == page) return &table;
  }
  return nullptr;
}

// The flat table's catalog Id for ComplexID `id`; false with `error` when there is none.
bool FindFlatTable(const std::shared_ptr<const OpenFile>& file,
                   const std::vector<CatalogTable>& tables, std::uint32_t id,
                   std::uint32_t& flatTable, std::string& error) {
  const CatalogTable* map = TableNamed(tables, kComplexColumns);
  if (map == nullptr) {
    error = std::string("the file has no ") + kComplexColumns + " to find its values in";
    return false;
  }
  TableDefinition definition;
  std::string why;
  if (!ReadTableDefinition(file->context, map->definitionPage, map->name, definition, why)) {
    error = std::string(kComplexColumns) + ": " + why;
    return false;
  }
  const int idColumn = ColumnNamed(definition, "ComplexID");
  const int flatColumn = ColumnNamed(definition, "FlatTableID");
  if (idColumn < 0 || flatColumn < 0) {
    error = std::string(kComplexColumns) + " has no ComplexID or FlatTableID column";
    return false;
  }
  TableScan scan(file, definition);
  Value value;
  while (scan.Next()) {
    scan.Read(static_cast<std::size_t>(idColumn), value);
    if (value.kind != ValueKind::Integer || value.integer != static_cast<std::int64_t>(id)) {
      continue;
    }
    scan.Read(static_cast<std::size_t>(flatColumn), value);
    if (value.kind != ValueKind::Integer) {
      error = std::string(kComplexColumns) + " names no flat table for ComplexID " +
              std::to_string(id);
      return false;
    }
    flatTable = static_cast<std::uint32_t>(value.integer);
    return true;
  }
  error = scan.Error().empty() ? std::string(kComplexColumns) + " has no row for ComplexID " +
                                     std::to_string(id)
                               : scan.Error();
  return false;
}

// The column of a flat table that carries the key: a Long that is neither an AutoNumber nor a
// value column, one named "_..." first.
int KeyColumn(const TableDefinition& flat, int shown) {
  int found = -1;
  for (std::size_t i = 0; i < flat.columns.size(); ++i) {
    const Column& c = flat.columns[i];
    if (static_cast<int>(i) == shown || c.type != ColumnType::Long || c.autoNumber) continue;
    if (textconv::EqualFolded(c.name, "Value") || textconv::EqualFolded(c.name, "FileFlags")) continue;
    if (!c.name.empty() && c.name[0] == '_') return static_cast<int>(i);
    if (found < 0) found = static_cast<int>(i);
  }
  return found;
}

}  // namespace

std::string ComplexValueText(const Value& v) {
  char text[64];
  switch (v.kind) {
    case ValueKind::Null: return {};
    case ValueKind::Bool: return v.integer != 0 ? "True" : "False";
    case ValueKind::Integer: return std::to_string(v.integer);
    case ValueKind::Real:
      std::snprintf(text, sizeof text, "%.15g", v.real);
      return text;
    case ValueKind::Money: {
      std::string digits = std::to_string(v.integer < 0 ? -(v.integer / 10000) : v.integer / 10000);
      const long long cents = std::llabs(v.integer % 10000);
      std::string out = (v.integer < 0 ? "-" : "") + digits;
      if (cents != 0) {
        std::snprintf(text, sizeof text, ".%04lld", cents);
        std::string fraction = text;
        while (fraction.back() == '0') fraction.pop_back();
        out += fraction;
      }
      return out;
    }
    case ValueKind::DateTime: return DateTimeText(v.real);
    case ValueKind::DateTimeExtended: return ExtendedDateText(v.integer);
    case ValueKind::Guid: {
      const auto b = [&](int i) { return static_cast<unsigned>(static_cast<unsigned char>(v.bytes[i])); };
      std::snprintf(text, sizeof text,
                    "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}", b(3),
                    b(2), b(1), b(0), b(5), b(4), b(7), b(6), b(8), b(9), b(10), b(11), b(12), b(13),
                    b(14), b(15));
      return text;
    }
    case ValueKind::Decimal:
    case ValueKind::Text:
    case ValueKind::Binary:
    case ValueKind::Error: return v.bytes;
  }
  return {};
}

std::shared_ptr<const ComplexValues> LoadComplexValues(const std::shared_ptr<const OpenFile>& file,
                                                       const std::vector<CatalogTable>& tables,
                                                       const Column& column) {
  auto out = std::make_shared<ComplexValues>();
  std::uint32_t flatId = 0;
  if (!FindFlatTable(file, tables, column.complexId, flatId, out->error)) return out;
  const CatalogTable* flat = TableOnPage(tables, flatId & kCatalogIdPageMask);
  if (flat == nullptr) {
    out->error = "its values' table (catalog Id " + std::to_string(flatId) +
                 ") is not in the catalog";
    return out;
  }
  TableDefinition definition;
  std::string why;
  if (!ReadTableDefinition(file->context, flat->definitionPage, flat->name, definition, why)) {
    out->error = "its values' table " + Quoted(flat->name) + ": " + why;
    return out;
  }
  const bool attachment = ColumnNamed(definition, "FileName") >= 0 &&
                          ColumnNamed(definition, "FileData") >= 0;
  const int shown = ColumnNamed(definition, attachment ? "FileName" : "Value");
  const int key = KeyColumn(definition, shown);
  if (shown < 0 || key < 0) {
    out->error = "its values' table " + Quoted(flat->name) + " has no " +
                 (shown < 0 ? (attachment ? "FileName" : "Value") : "key") + " column";
    return out;
  }
  TableScan scan(file, definition);
  Value value;
  while (scan.Next()) {
    scan.Read(static_cast<std::size_t>(key), value);
    if (value.kind != ValueKind::Integer) continue;  // a value that belongs to no row
    const auto owner = static_cast<std::uint32_t>(value.integer);
    scan.Read(static_cast<std::size_t>(shown), value);
    if (value.kind == ValueKind::Error) {
      out->error = value.bytes;
      return out;
    }
    auto [entry, first] = out->joined.try_emplace(owner);
    if (!first) entry->second += kSeparator;
    entry->second += ComplexValueText(value);
  }
  if (!scan.Error().empty()) out->error = scan.Error();
  return out;
}

}  // namespace jet
