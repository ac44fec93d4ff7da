#include "read_everything.h"

#include <algorithm>

#include "jet/relationships.h"

namespace jettest {
namespace {

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

ReadOutcome ReadEverythingIn(const std::string& bytes, const jet::OpenOptions& options) {
  std::string error;
  auto database = jet::Database::OpenBytes(bytes, options, error);
  return FromOpened(std::move(database), error);
}

ReadOutcome ReadEverythingAt(const std::string& path, const jet::OpenOptions& options) {
  std::string error;
  auto database = jet::Database::Open(path, options, error);
  return FromOpened(std::move(database), error);
}

}  // namespace jettest
