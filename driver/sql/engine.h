// The SQL engine of one connection: an in-memory SQLite database in which each table of the
// file is a read-only virtual table, made the first time a statement reads it. Statements
// reach it only through the translator of Access SQL.
#pragma once

#include "linked_tables.h"
#include "result.h"
#include "temp_storage.h"
#include "run_control.h"

#include "jet/database.h"
#include "jet/relationships.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace mdbodbc::sql {

// What a connection's statements may use of the machine.
struct EngineLimits {
  // Temporary storage (sorts, DISTINCT, grouping, recursive queries) and the largest single
  // value a statement may build, in bytes.
  std::size_t maxTempBytes = std::size_t{256} << 20;
};

// A query the file keeps (MSysQueries), as Access SQL text.
struct SavedQuery {
  enum class Kind : std::uint8_t { Select, Union, Crosstab, Action, PassThrough, DataDefinition };
  std::string name;
  Kind kind = Kind::Select;
  std::string sql;           // the statement, rebuilt from its stored parts
  std::string problem;       // why it cannot run, when it cannot
  std::string problemState;  // the SQLSTATE of that problem
};

class Engine {
 public:
  // A table of the file as the engine knows it.
  struct Table {
    std::size_t catalogIndex = 0;
    jet::TableDefinition definition;
    // The file the rows are read from: this one, or the file a link leads to.
    std::shared_ptr<const jet::Database> database;
  };

  static std::unique_ptr<Engine> Open(std::shared_ptr<const jet::Database> database,
                                      const EngineLimits& limits, std::string& error);
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  const jet::Database& database() const { return *database_; }
  sqlite3* handle() const { return db_; }

  // Prepares one statement of the engine's SQL, as the translator writes it. Null with `error`
  // set on failure.
  sqlite3_stmt* Prepare(std::string_view text, SqlError& error);
  // Runs one step of a statement; `control`, when given, may stop it (a cancel request, its
  // time limit). Only that statement stops: the others of the engine keep their place.
  // `error` tells what failed.
  int Step(sqlite3_stmt* statement, const RunControl* control, SqlError& error);

  // The catalog position of a table of the file, its name compared without regard to case.
  std::optional<std::size_t> FindCatalogTable(std::string_view name) const;
  // The table at catalog position `index`, its definition read the first time (for a link, in
  // the file it leads to); null with `error` set when it cannot be shown (an unreadable
  // definition, a link that cannot be followed).
  const Table* ProvideCatalogTable(std::size_t index, SqlError& error);
  // The name of the engine's module for the table at catalog position `index`, and its
  // registration (made the first time it is asked for).
  static std::string TableModuleName(std::size_t index);
  bool ProvideTableModule(std::size_t index);
  bool IsTableModule(std::string_view engineName) const;

  // The properties of the table at catalog position `index` (of a link: those of the table it
  // leads to), read the first time; null with `error` set when they are broken.
  const jet::ObjectProperties* Properties(std::size_t index, std::string& error);
  // The relationships between the file's tables, read the first time; null with `error` set
  // when MSysRelationships is broken.
  const std::vector<jet::Relationship>* Relationships(std::string& error);

  // The queries the file keeps, read the first time they are asked for.
  const std::vector<SavedQuery>& SavedQueries() const;
  const SavedQuery* FindSavedQuery(std::string_view name) const;

  // What the tables' caches of rows may still take (half the temporary storage allowed), and
  // a cache's taking it.
  std::size_t CacheRoom() const;
  void UseCacheRoom(std::size_t bytes) { cacheBytes_ += bytes; }

  // Runs `work` with the authorizer letting the driver's own schema statements through (the
  // declaration of a virtual table's columns among them), and returns what it returns.
  template <typename Work>
  auto Internally(Work work) {
    const bool outer = internal_;
    internal_ = true;
    auto result = work();
    internal_ = outer;
    return result;
  }

  // Set by a table scan or a function when it fails: the SQLSTATE of that failure.
  std::string failureState;
  // A value of the row being read that could not be read, when the statement lets a row fail
  // alone (see Query): SQLSTATE and message; empty when none.
  SqlError rowFailure;
  bool rowsFailAlone = false;

 private:
  Engine(std::shared_ptr<const jet::Database> database, std::unique_ptr<TempStorage> temp);
  std::string TempStorageMessage() const;
  static int Authorize(void* self, int action, const char*, const char*, const char*, const char*);
  static int Progress(void* self);

  std::shared_ptr<const jet::Database> database_;
  std::unique_ptr<TempStorage> temp_;  // outlives the database that opens its files
  sqlite3* db_ = nullptr;
  SqlError denied_;  // what the authorizer refused last, for the statement's error
  std::size_t cacheBytes_ = 0;
  std::map<std::size_t, std::unique_ptr<Table>> tables_;
  std::vector<bool> modules_;  // registered table modules, by catalog position
  mutable std::optional<std::vector<SavedQuery>> savedQueries_;
  std::map<std::size_t, jet::ObjectProperties> properties_;
  std::optional<std::vector<jet::Relationship>> relationships_;
  LinkedFiles linkedFiles_;
  bool internal_ = false;  // the driver's own schema changes are running
  // The step running now: its control and the time it must end by. Read by the progress
  // handler, which runs on the stepping thread.
  const RunControl* control_ = nullptr;
  std::chrono::steady_clock::time_point deadline_{};
  bool timedOut_ = false;
};

}  // namespace mdbodbc::sql
