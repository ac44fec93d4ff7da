// The SQL engine of one connection: an in-memory SQLite database in which each table of the
// file appears as a read-only virtual table the first time a statement names it.
#pragma once

#include "result.h"
#include "run_control.h"

#include "jet/database.h"

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace mdbodbc::sql {

class Engine {
 public:
  // A table of the file as the engine knows it, under the name a statement gave it.
  struct Table {
    std::string engineName;
    std::size_t catalogIndex = 0;
    jet::TableDefinition definition;
  };

  static std::unique_ptr<Engine> Open(std::shared_ptr<const jet::Database> database,
                                      std::string& error);
  ~Engine();
  Engine(const Engine&) = delete;
  Engine& operator=(const Engine&) = delete;

  const jet::Database& database() const { return *database_; }
  sqlite3* handle() const { return db_; }

  // Prepares one statement in the engine's SQL. Tables that it names are made known first;
  // a statement that would change anything is refused. Null with `error` set on failure.
  sqlite3_stmt* Prepare(std::string_view text, SqlError& error);
  // Runs one step of a statement; `control`, when given, may stop it (a cancel request, its
  // time limit). Only that statement stops: the others of the engine keep their place.
  // `error` tells what failed.
  int Step(sqlite3_stmt* statement, const RunControl* control, SqlError& error);

  // The table behind an engine table name, or null.
  const Table* FindEngineTable(std::string_view engineName) const;
  // The catalog position of a table of the file, its name compared without regard to case.
  std::optional<std::size_t> FindCatalogTable(std::string_view name) const;
  // The table at catalog position `index` under its own name, its definition read the first
  // time; null with `error` set when it cannot be shown (a link, an unreadable definition).
  const Table* ProvideCatalogTable(std::size_t index, SqlError& error);

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

  // Set by a table scan when it fails: the SQLSTATE of that failure.
  std::string failureState;
  // The table whose virtual table is being created (read by the module while it is).
  const Table* creating = nullptr;

 private:
  Engine(std::shared_ptr<const jet::Database> database, sqlite3* db);
  bool CreateTable(std::string_view engineName, SqlError& error);
  std::unique_ptr<Table> ReadTable(std::string_view engineName, std::size_t index, SqlError& error) const;
  static int Authorize(void* self, int action, const char*, const char*, const char*, const char*);
  static int Progress(void* self);

  std::shared_ptr<const jet::Database> database_;
  sqlite3* db_;
  std::map<std::string, std::unique_ptr<Table>, std::less<>> tables_;
  bool internal_ = false;  // the driver's own schema changes are running
  // The step running now: its control and the time it must end by. Read by the progress
  // handler, which runs on the stepping thread.
  const RunControl* control_ = nullptr;
  std::chrono::steady_clock::time_point deadline_{};
  bool timedOut_ = false;
};

}  // namespace mdbodbc::sql
