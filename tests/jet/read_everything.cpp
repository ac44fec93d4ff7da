#include "read_everything.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "jet/date_time.h"
#include "jet/extended_date.h"
#include "jet/relationships.h"

namespace jettest {
namespace {

std::string Hex(const std::string& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (char c : bytes) {
    out.push_back(kDigits[static_cast<unsigned char>(c) >> 4]);
    out.push_back(kDigits[static_cast<unsigned char>(c) & 15]);
  }
  return out;
}

const char* ErrorName(jet::ValueError error) {
  switch (error) {
    case jet::ValueError::OutOfRange: return "out-of-range";
    case jet::ValueError::Damaged: return "damaged";
    case jet::ValueError::Unsupported: return "unsupported";
    case jet::ValueError::None: break;
  }
  return "none";
}

void Note(ReadOutcome& outcome, const std::string& error) {
  if (error.empty()) {
    outcome.silentFailure = true;
  } else if (outcome.errors.size() < 100) {
    outcome.errors.push_back(error);
  }
}

ReadOutcome FromOpened(std::unique_ptr<jet::Database> database, const std::string& error) {
  ReadOutcome outcome;
  if (database == nullptr) {
    Note(outcome, error);
    return outcome;
  }
  outcome.opened = true;
  ReadEverything(*database, outcome);
  return outcome;
}

}  // namespace

std::string ValueText(const jet::Value& value) {
  char text[64];
  switch (value.kind) {
    case jet::ValueKind::Null:
      return "NULL";
    case jet::ValueKind::Bool:
      return "bool:" + std::to_string(value.integer);
    case jet::ValueKind::Integer:
      return "int:" + std::to_string(value.integer);
    case jet::ValueKind::Real:
      return "real:" + std::string(text, std::to_chars(text, text + sizeof text, value.real).ptr);
    case jet::ValueKind::Money: {
      const std::int64_t v = value.integer;
      const std::uint64_t magnitude = v < 0 ? 0 - static_cast<std::uint64_t>(v) : v;
      std::snprintf(text, sizeof text, "money:%s%llu.%04llu", v < 0 ? "-" : "",
                    static_cast<unsigned long long>(magnitude / 10000),
                    static_cast<unsigned long long>(magnitude % 10000));
      return text;
    }
    case jet::ValueKind::DateTime:
      return "date:" + jet::DateTimeText(value.real);
    case jet::ValueKind::DateTimeExtended:
      return "date7:" + jet::ExtendedDateText(value.integer);
    case jet::ValueKind::Decimal:
      return "decimal:" + value.bytes;
    case jet::ValueKind::Text:
      return "text:" + value.bytes;
    case jet::ValueKind::Binary:
      return "binary:" + Hex(value.bytes);
    case jet::ValueKind::Guid:
      return "guid:" + Hex(value.bytes);
    case jet::ValueKind::Error:
      return std::string("error/") + ErrorName(value.error) + ":" + value.bytes;
  }
  return "?";
}

std::vector<std::vector<std::string>> TableText(const jet::Database& database,
                                                const std::string& table) {
  std::vector<std::vector<std::string>> rows;
  jet::TableDefinition definition;
  std::string error;
  if (!database.ReadDefinition(table, definition, error)) {
    rows.push_back({"definition error: " + error});
    return rows;
  }
  auto scan = database.StartScan(definition);
  jet::Value value;
  while (scan->Next()) {
    rows.emplace_back();
    for (std::size_t column = 0; column < definition.columns.size(); ++column) {
      scan->Read(column, value);
      rows.back().push_back(ValueText(value));
    }
  }
  if (!scan->Error().empty()) rows.push_back({"scan error: " + scan->Error()});
  return rows;
}

std::vector<std::vector<std::string>> TableTextOf(const std::string& bytes,
                                                  const std::string& table,
                                                  const jet::OpenOptions& options) {
  std::string error;
  const auto database = jet::Database::OpenBytes(bytes, options, error);
  if (database == nullptr) return {{"open error: " + error}};
  return TableText(*database, table);
}

void ReadEverything(const jet::Database& database, ReadOutcome& outcome) {
  jet::Value value;
  for (const jet::CatalogTable& table : database.Tables()) {
    jet::TableDefinition definition;
    std::string error;
    jet::ObjectProperties properties;
    if (database.ReadProperties(table.name, properties, error)) {
      outcome.properties += properties.object.properties.size();
      for (const jet::PropertyGroup& group : properties.columns) {
        outcome.properties += group.properties.size();
      }
    } else {
      Note(outcome, error);
    }
    if (table.linked) continue;
    if (!database.ReadDefinition(table.name, definition, error)) {
      Note(outcome, error);
      continue;
    }
    ++outcome.tables;
    auto scan = database.StartScan(definition);
    std::vector<std::int64_t> scanned;
    while (scan->Next()) {
      ++outcome.rows;
      scanned.push_back(scan->RowId());
      for (std::size_t column = 0; column < definition.columns.size(); ++column) {
        scan->Read(column, value);
        ++outcome.values;
        if (value.kind == jet::ValueKind::Error) Note(outcome, value.bytes);
      }
    }
    const bool scanComplete = scan->Error().empty();
    if (!scanComplete) Note(outcome, scan->Error());
    std::sort(scanned.begin(), scanned.end());
    for (std::size_t i = 0; i < definition.indexes.size(); ++i) {
      // Every other index backwards: both directions without walking each index twice.
      const bool descending = i % 2 == 1;
      auto walk = database.StartIndexScan(definition, i, {}, descending);
      std::vector<std::int64_t> met;
      while (walk->Next()) {
        met.push_back(walk->RowId());
        ++outcome.indexRows;
      }
      if (!walk->Error().empty()) {
        Note(outcome, walk->Error());
        continue;
      }
      std::sort(met.begin(), met.end());
      if (scanComplete && met != scanned) {
        outcome.wrongRows.push_back("table " + table.name + " index " +
                                    definition.indexes[i].name + ": " +
                                    std::to_string(met.size()) + " rows, the scan " +
                                    std::to_string(scanned.size()));
      }
    }
    std::uint64_t count = 0;
    if (!database.CountRows(definition, count, error)) {
      Note(outcome, error);
    } else if (scanComplete && count != scanned.size()) {
      outcome.wrongRows.push_back("table " + table.name + ": counted " + std::to_string(count) +
                                  " rows, the scan " + std::to_string(scanned.size()));
    }
  }
  std::vector<jet::Relationship> relationships;
  std::string error;
  if (jet::ReadRelationships(database, relationships, error)) {
    outcome.relationships = relationships.size();
  } else {
    Note(outcome, error);
  }
}

// `error` is read once the database has been opened (or not): it is passed by reference.
ReadOutcome ReadEverythingIn(const std::string& bytes, const jet::OpenOptions& options) {
  std::string error;
  return FromOpened(jet::Database::OpenBytes(bytes, options, error), error);
}

ReadOutcome ReadEverythingAt(const std::string& path, const jet::OpenOptions& options) {
  std::string error;
  return FromOpened(jet::Database::Open(path, options, error), error);
}

}  // namespace jettest
