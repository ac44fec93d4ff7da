#include "engine.h"

#include "allowed_functions.h"
#include "functions.h"
#include "jet_table.h"
#include "saved_queries.h"

#include "text/case_fold.h"

#include <sqlite3.h>

#include <algorithm>

namespace mdbodbc::sql {
namespace {


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

Engine::Engine(std::shared_ptr<const jet::Database> database, std::unique_ptr<TempStorage> temp)
    : database_(std::move(database)), temp_(std::move(temp)) {}

std::unique_ptr<Engine> Engine::Open(std::shared_ptr<const jet::Database> database, const EngineLimits& limits,
                                     std::string& error) {
  ConfigureSqlite();
  std::unique_ptr<TempStorage> temp = TempStorage::Create(limits.maxTempBytes, error);
  if (!temp) return nullptr;
  std::unique_ptr<Engine> engine(new Engine(std::move(database), std::move(temp)));
  sqlite3*& db = engine->db_;
  int rc = sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                           engine->temp_->VfsName());
  if (rc != SQLITE_OK) {
    error = std::string("the SQL engine cannot start: ") + (db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    return nullptr;
  }
  // "name" always names a column or table: a misspelt name is an error, never a text.
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DML, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DQS_DDL, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 0, nullptr);
  sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
  sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
  // No single value, and no statement text, may be larger than the temporary storage allowed.
  int largest = static_cast<int>(std::min<std::size_t>(limits.maxTempBytes, 1000000000));
  sqlite3_limit(db, SQLITE_LIMIT_LENGTH, largest);
  sqlite3_limit(db, SQLITE_LIMIT_SQL_LENGTH, largest);
  // The engine's own table modules (JSON, full-text, R-tree, statistics) go: a statement reads
  // the file's tables and nothing else.
  sqlite3_drop_modules(db, nullptr);
  engine->modules_.assign(engine->database_->Tables().size(), false);
  if (!RegisterCollations(db) || !RegisterRuntime(db, engine.get())) {
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

// Statements read the file's tables through the driver's functions. The engine's own tables
// (its schema, pragmas as tables), its other functions and every statement that changes
// anything are refused, each with what was refused.
int Engine::Authorize(void* self, int action, const char* first, const char* second, const char*, const char*) {
  auto* engine = static_cast<Engine*>(self);
  if (engine->internal_) return SQLITE_OK;
  std::string_view one = first != nullptr ? first : "";
  std::string_view two = second != nullptr ? second : "";
  switch (action) {
    case SQLITE_SELECT:
    case SQLITE_RECURSIVE: return SQLITE_OK;
    case SQLITE_READ:
      // A subquery's column has no table of its own; a table must be one of the file's.
      if (one.empty() || engine->IsTableModule(one)) return SQLITE_OK;
      engine->denied_ = {"42S02", std::string(one) + " is not a table in this database"};
      return SQLITE_DENY;
    case SQLITE_FUNCTION:
      if (IsAllowedFunction(two)) return SQLITE_OK;
      engine->denied_ = {"42000", "the function " + std::string(two) + " is not available in this driver's SQL"};
      return SQLITE_DENY;
    case SQLITE_PRAGMA:
      engine->denied_ = {"42000", "PRAGMA statements are not available: the driver's settings are fixed"};
      return SQLITE_DENY;
    default:
      engine->denied_ = {"42000", "the database is read-only: only SELECT statements can run"};
      return SQLITE_DENY;
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
    if (textconv::EqualFolded(tables[i].name, name)) return i;
  }
  return std::nullopt;
}

const Engine::Table* Engine::ProvideCatalogTable(std::size_t index, SqlError& error) {
  auto found = tables_.find(index);
  if (found != tables_.end()) return found->second.get();
  const jet::CatalogTable& entry = database_->Tables().at(index);
  auto table = std::make_unique<Table>();
  table->catalogIndex = index;
  if (entry.linked) {
    if (!linkedFiles_.Open(*database_, entry, table->database, table->definition, error)) return nullptr;
  } else {
    std::string reason;
    if (!database_->ReadDefinition(entry.name, table->definition, reason)) {
      error = {"HY000", reason};
      return nullptr;
    }
    table->database = database_;
  }
  if (table->definition.columns.empty()) {
    error = {"HY000", "table \"" + entry.name + "\" has no columns"};
    return nullptr;
  }
  return tables_.emplace(index, std::move(table)).first->second.get();
}

const jet::ObjectProperties* Engine::Properties(std::size_t index, std::string& error) {
  auto found = properties_.find(index);
  if (found != properties_.end()) return &found->second;
  // A link's columns are described by the file it leads to, and so are their properties; the
  // link's own are taken when the link cannot be followed.
  const jet::CatalogTable& entry = database_->Tables().at(index);
  const jet::Database* source = database_.get();
  std::string name = entry.name;
  if (entry.linked) {
    SqlError ignored;
    if (const Table* table = ProvideCatalogTable(index, ignored)) {
      source = table->database.get();
      name = entry.link.table;
    }
  }
  jet::ObjectProperties read;
  if (!source->ReadProperties(name, read, error)) return nullptr;
  return &properties_.emplace(index, std::move(read)).first->second;
}

const std::vector<jet::Relationship>* Engine::Relationships(std::string& error) {
  if (!relationships_) {
    std::vector<jet::Relationship> read;
    if (!jet::ReadRelationships(*database_, read, error)) return nullptr;
    relationships_ = std::move(read);
  }
  return &*relationships_;
}

std::size_t Engine::CacheRoom() const {
  std::size_t limit = temp_->LimitBytes() / 2;
  return cacheBytes_ >= limit ? 0 : limit - cacheBytes_;
}

std::string Engine::TableModuleName(std::size_t index) { return "jt" + std::to_string(index); }

bool Engine::IsTableModule(std::string_view name) const {
  if (name.size() < 3 || name.substr(0, 2) != "jt") return false;
  std::size_t index = 0;
  for (char c : name.substr(2)) {
    if (c < '0' || c > '9' || index > modules_.size()) return false;
    index = index * 10 + static_cast<std::size_t>(c - '0');
  }
  return index < modules_.size() && modules_[index];
}

bool Engine::ProvideTableModule(std::size_t index) {
  if (index >= modules_.size()) return false;
  if (modules_[index]) return true;
  SqlError ignored;
  const Table* table = ProvideCatalogTable(index, ignored);
  if (table == nullptr) return false;
  if (!RegisterTableModule(db_, this, table)) return false;
  modules_[index] = true;
  return true;
}

const std::vector<SavedQuery>& Engine::SavedQueries() const {
  if (!savedQueries_) savedQueries_ = ReadSavedQueries(*database_);
  return *savedQueries_;
}

const SavedQuery* Engine::FindSavedQuery(std::string_view name) const {
  const std::vector<SavedQuery>& queries = SavedQueries();
  for (const SavedQuery& q : queries) {
    if (q.name == name) return &q;
  }
  for (const SavedQuery& q : queries) {
    if (textconv::EqualFolded(q.name, name)) return &q;
  }
  return nullptr;
}

sqlite3_stmt* Engine::Prepare(std::string_view text, SqlError& error) {
  sqlite3_stmt* statement = nullptr;
  const char* tail = nullptr;
  denied_ = {};
  int rc = sqlite3_prepare_v3(db_, text.data(), static_cast<int>(text.size()), 0, &statement, &tail);
  if (rc != SQLITE_OK) {
    if (rc == SQLITE_TOOBIG || rc == SQLITE_NOMEM) {
      error = {"HY001", TempStorageMessage()};
    } else if (rc == SQLITE_AUTH && !denied_.state.empty()) {
      error = denied_;
    } else {
      // The translator writes only SQL the engine reads: anything else is the driver's fault.
      error = {"HY000", std::string("the engine refused the translated statement: ") + sqlite3_errmsg(db_)};
    }
    return nullptr;
  }
  if (statement == nullptr || !OnlySeparators(text.substr(static_cast<std::size_t>(tail - text.data()))) ||
      !sqlite3_stmt_readonly(statement) || sqlite3_column_count(statement) == 0) {
    sqlite3_finalize(statement);
    error = {"HY000", "the translated statement is not one query"};
    return nullptr;
  }
  return statement;
}

std::string Engine::TempStorageMessage() const {
  return "the statement needs more than the " + std::to_string(temp_->LimitBytes() >> 20) +
         " MB of memory a connection may use for sorting, grouping, DISTINCT, recursive queries "
         "and single values; narrow the statement, or raise MaxTempMB in the connect string or "
         "the data source";
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
  } else if (rc == SQLITE_FULL || rc == SQLITE_TOOBIG || rc == SQLITE_NOMEM) {
    error = {"HY001", TempStorageMessage()};
  } else if (failureState.empty() && std::string_view(sqlite3_errmsg(db_)) == "integer overflow") {
    // The engine's sum() of whole numbers or Currency past 64 bits.
    error = {"22003", "the sum does not fit its type (numeric value out of range)"};
  } else {
    error = {failureState.empty() ? "HY000" : failureState, sqlite3_errmsg(db_)};
  }
  return rc;
}

}  // namespace mdbodbc::sql
