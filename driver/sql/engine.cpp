#include "engine.h"

#include "functions.h"
#include "jet_table.h"

#include "jet/case_fold.h"

#include <sqlite3.h>

namespace mdbodbc::sql {
namespace {

constexpr int kMaxTablesPerStatement = 64;
constexpr std::string_view kNoSuchTable = "no such table: ";
constexpr std::string_view kNoSuchColumn = "no such column: ";

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string QuotedName(std::string_view name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

// Only what is left of a statement after its first one: spaces, semicolons and comments.
bool OnlySeparators(std::string_view tail) {
  std::size_t i = 0;
  while (i < tail.size()) {
    char c = tail[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == ';') {
      ++i;
    } else if (tail.substr(i, 2) == "--") {
      std::size_t end = tail.find('\n', i);
      i = end == std::string_view::npos ? tail.size() : end;
    } else if (tail.substr(i, 2) == "/*") {
      std::size_t end = tail.find("*/", i + 2);
      if (end == std::string_view::npos) return false;
      i = end + 2;
    } else {
      return false;
    }
  }
  return true;
}

#ifdef DRAVON_PRIVATE_SQLITE
// The driver carries its own SQLite, which nothing else in the process sees, so its global
// settings are the driver's to choose, once, before the library starts. A connection keeps a
// small statement cache of its own: SQLite's default 120 KB of lookaside memory is written
// through at every open, which costs a short run more than it saves, and the allocation
// statistics nobody reads cost a lock per allocation.
void ConfigureSqlite() {
  static const bool configured = [] {
    sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    sqlite3_config(SQLITE_CONFIG_LOOKASIDE, 128, 32);
    return true;
  }();
  (void)configured;
}
#else
// A shared SQLite belongs to the whole process: its settings are left as they are.
void ConfigureSqlite() {}
#endif

// Now plus `limit`; a limit beyond what the clock can count never expires.
std::chrono::steady_clock::time_point DeadlineAfter(std::chrono::seconds limit) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point now = Clock::now();
  const auto room = std::chrono::duration_cast<std::chrono::seconds>(Clock::time_point::max() - now);
  return limit >= room ? Clock::time_point::max() : now + limit;
}

}  // namespace

Engine::Engine(std::shared_ptr<const jet::Database> database, sqlite3* db)
    : database_(std::move(database)), db_(db) {}

std::unique_ptr<Engine> Engine::Open(std::shared_ptr<const jet::Database> database,
                                     std::string& error) {
  ConfigureSqlite();
  sqlite3* db = nullptr;
  int rc = sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                           nullptr);
  if (rc != SQLITE_OK) {
    error = std::string("the SQL engine cannot start: ") + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    sqlite3_close(db);
    return nullptr;
  }
  std::unique_ptr<Engine> engine(new Engine(std::move(database), db));
  // "name" always names a column or table: a misspelt name is an error, never a text.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
  sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
  if (!RegisterCollations(db) || !RegisterLike(db) || !RegisterScalarFunctions(db) ||
      !RegisterMathFunctions(db) || !RegisterJetModule(db, engine.get()) || !RegisterCatalogTables(db, engine.get())) {
    error = std::string("the SQL engine cannot start: ") + sqlite3_errmsg(db);
    return nullptr;
  }
  sqlite3_set_authorizer(db, Authorize, engine.get());
  sqlite3_progress_handler(db, 1000, Progress, engine.get());
  return engine;
}

Engine::~Engine() {
  // Virtual tables go before the module's context does.
  sqlite3_close_v2(db_);
}

int Engine::Authorize(void* self, int action, const char*, const char*, const char*, const char*) {
  if (static_cast<Engine*>(self)->internal_) return SQLITE_OK;
  switch (action) {
    case SQLITE_SELECT:
    case SQLITE_READ:
    case SQLITE_FUNCTION:
    case SQLITE_RECURSIVE: return SQLITE_OK;
    default: return SQLITE_DENY;
  }
}

// Stopping a step from here ends that step alone with SQLITE_INTERRUPT; sqlite3_interrupt would
// stop every statement of the connection that is between two steps as well.
int Engine::Progress(void* self) {
  auto* engine = static_cast<Engine*>(self);
  const RunControl* control = engine->control_;
  if (control == nullptr) return 0;
  if (control->cancel.load(std::memory_order_relaxed)) return 1;
  if (control->timeLimit.count() > 0 && std::chrono::steady_clock::now() > engine->deadline_) {
    engine->timedOut_ = true;
    return 1;
  }
  return 0;
}

std::optional<std::size_t> Engine::FindCatalogTable(std::string_view name) const {
  const std::vector<jet::CatalogTable>& tables = database_->Tables();
  for (std::size_t i = 0; i < tables.size(); ++i) {
    if (tables[i].name == name) return i;
  }
  for (std::size_t i = 0; i < tables.size(); ++i) {
    if (jet::EqualFolded(tables[i].name, name)) return i;
  }
  return std::nullopt;
}

const Engine::Table* Engine::FindEngineTable(std::string_view engineName) const {
  auto found = tables_.find(engineName);
  if (found != tables_.end()) return found->second.get();
  // SQLite reports names as the table was declared; ASCII case may differ from a later use.
  for (const auto& [name, table] : tables_) {
    if (sqlite3_stricmp(name.c_str(), std::string(engineName).c_str()) == 0) return table.get();
  }
  return nullptr;
}

std::unique_ptr<Engine::Table> Engine::ReadTable(std::string_view engineName, std::size_t index,
                                                SqlError& error) const {
  const jet::CatalogTable& entry = database_->Tables()[index];
  if (entry.linked) {
    error = {"HY000", "table \"" + entry.name + "\" is a link to a table in another file, which this driver does not open"};
    return nullptr;
  }
  auto table = std::make_unique<Table>();
  table->engineName = std::string(engineName);
  table->catalogIndex = index;
  std::string reason;
  if (!database_->ReadDefinition(entry.name, table->definition, reason)) {
    error = {"HY000", reason};
    return nullptr;
  }
  return table;
}

const Engine::Table* Engine::ProvideCatalogTable(std::size_t index, SqlError& error) {
  const std::string& name = database_->Tables()[index].name;
  auto found = tables_.find(name);
  if (found != tables_.end()) return found->second.get();
  std::unique_ptr<Table> table = ReadTable(name, index, error);
  if (!table) return nullptr;
  return tables_.emplace(name, std::move(table)).first->second.get();
}

// A name that SQLite does not find by itself (a spelling that differs from the file's beyond
// ASCII case, or a table whose name another shares) becomes a virtual table of that name.
bool Engine::CreateTable(std::string_view engineName, SqlError& error) {
  std::optional<std::size_t> index = FindCatalogTable(engineName);
  if (!index) {
    error = {"42S02", std::string(engineName) + " is not a table in this database"};
    return false;
  }
  // The file's own spelling may already be known under that name; the definition is shared.
  auto known = tables_.find(engineName);
  std::unique_ptr<Table> read;
  const Table* table = nullptr;
  if (known != tables_.end()) {
    if (known->second->catalogIndex != *index) {
      error = {"42S02", std::string(engineName) + " is not a table in this database"};
      return false;
    }
    table = known->second.get();
  } else {
    read = ReadTable(engineName, *index, error);
    if (!read) return false;
    table = read.get();
  }
  std::string create = "CREATE VIRTUAL TABLE main." + QuotedName(engineName) + " USING " + kJetModule + "()";
  creating = table;
  char* message = nullptr;
  int rc = Internally([&] { return sqlite3_exec(db_, create.c_str(), nullptr, nullptr, &message); });
  creating = nullptr;
  if (rc != SQLITE_OK) {
    error = {"HY000", message != nullptr ? message : sqlite3_errmsg(db_)};
    sqlite3_free(message);
    return false;
  }
  if (read) tables_.emplace(read->engineName, std::move(read));
  return true;
}

sqlite3_stmt* Engine::Prepare(std::string_view text, SqlError& error) {
  sqlite3_stmt* statement = nullptr;
  const char* tail = nullptr;
  for (int attempt = 0;; ++attempt) {
    int rc = sqlite3_prepare_v3(db_, text.data(), static_cast<int>(text.size()), 0, &statement, &tail);
    if (rc == SQLITE_OK) break;
    std::string message = sqlite3_errmsg(db_);
    if (StartsWith(message, kNoSuchTable) && attempt < kMaxTablesPerStatement) {
      std::string name = message.substr(kNoSuchTable.size());
      if (StartsWith(name, "main.")) name.erase(0, 5);
      if (CreateTable(name, error)) continue;
      return nullptr;
    }
    if (StartsWith(message, kNoSuchColumn)) {
      error = {"42S22", "Column " + message.substr(kNoSuchColumn.size()) + " not found"};
    } else if (message == "not authorized" || message.find("may not be modified") != std::string::npos) {
      error = {"42000", "the database is read-only: only SELECT statements can run"};
    } else {
      error = {"42000", message};
    }
    return nullptr;
  }
  if (statement == nullptr) {
    error = {"42000", "the statement is empty"};
    return nullptr;
  }
  std::size_t used = static_cast<std::size_t>(tail - text.data());
  if (!OnlySeparators(text.substr(used))) {
    sqlite3_finalize(statement);
    error = {"42000", "only one statement can run at a time"};
    return nullptr;
  }
  if (!sqlite3_stmt_readonly(statement)) {
    sqlite3_finalize(statement);
    error = {"42000", "the database is read-only: only SELECT statements can run"};
    return nullptr;
  }
  return statement;
}

int Engine::Step(sqlite3_stmt* statement, const RunControl* control, SqlError& error) {
  failureState.clear();
  timedOut_ = false;
  control_ = control;
  if (control != nullptr && control->timeLimit.count() > 0) deadline_ = DeadlineAfter(control->timeLimit);
  int rc = sqlite3_step(statement);
  control_ = nullptr;
  if (rc == SQLITE_ROW || rc == SQLITE_DONE) return rc;
  if (rc == SQLITE_INTERRUPT) {
    error = timedOut_ ? SqlError{"HYT00", "timeout expired"} : SqlError{"HY008", "operation canceled"};
  } else {
    error = {failureState.empty() ? "HY000" : failureState, sqlite3_errmsg(db_)};
  }
  return rc;
}

}  // namespace mdbodbc::sql
