#include "read_everything.h"

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
    while (scan->Next()) {
      ++outcome.rows;
      for (std::size_t column = 0; column < definition.columns.size(); ++column) {
        scan->Read(column, value);
        ++outcome.values;
        if (value.kind == jet::ValueKind::Error) Note(outcome, value.bytes);
      }
    }
    if (!scan->Error().empty()) Note(outcome, scan->Error());
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
