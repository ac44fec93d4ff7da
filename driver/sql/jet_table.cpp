#include "jet_table.h"

#include "access_dates.h"
#include "engine.h"
#include "index_plan.h"
#include "jet/date_time.h"
#include "jet/value_decoding.h"
#include "row_cache.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

namespace mdbodbc::sql {
namespace {

struct JetVtab : sqlite3_vtab {
  Engine* engine = nullptr;
  const Engine::Table* table = nullptr;
  std::unique_ptr<RowCache> cache;  // made at the first lookup by value
  bool uncacheable = false;         // too large to hold, or unreadable whole: always scanned
};

// A cursor passes over the table's rows one page at a time, or over the rows of a lookup in
// the table's cache.
struct JetCursor : sqlite3_vtab_cursor {
  std::unique_ptr<jet::Scan> scan;
  bool atEnd = true;
  jet::Value value;
  const std::vector<std::uint32_t>* found = nullptr;  // the lookup's rows, when looking up
  std::size_t at = 0;                                 // position in `found`
  jet::IndexPageCache indexPages;  // kept from one Filter to the next (a join's lookups)
};

// Columns whose engine form a cache can look up by: not GUIDs (text in the engine, bytes in the
// file), binary values, complex columns, Date/Time Extended (compared with other dates as
// converted values) or calculated columns.
bool CanLookUp(const jet::Column& c) {
  if (c.calculated) return false;
  switch (c.type) {
    case jet::ColumnType::Guid:
    case jet::ColumnType::Binary:
    case jet::ColumnType::Ole:
    case jet::ColumnType::Complex:
    case jet::ColumnType::DateTimeExtended: return false;
    default: return true;
  }
}

int Fail(sqlite3_vtab* vtab, const std::string& message) {
  sqlite3_free(vtab->zErrMsg);
  vtab->zErrMsg = sqlite3_mprintf("%s", message.c_str());
  return SQLITE_ERROR;
}

// Declares `table`'s columns to SQLite and makes the virtual table that reads it.
int Declare(sqlite3* db, Engine* engine, const Engine::Table* table, sqlite3_vtab** out, char** error) {
  if (table->definition.columns.empty()) {
    *error = sqlite3_mprintf("table \"%s\" has no columns", table->definition.name.c_str());
    return SQLITE_ERROR;
  }
  // The translator names columns by their position: no name of the file reaches the engine.
  std::string schema = "CREATE TABLE x(";
  for (std::size_t i = 0; i < table->definition.columns.size(); ++i) {
    if (i > 0) schema += ", ";
    schema += "c" + std::to_string(i);
  }
  schema += ")";
  int rc = sqlite3_declare_vtab(db, schema.c_str());
  if (rc != SQLITE_OK) {
    *error = sqlite3_mprintf("table \"%s\" cannot be shown: %s", table->definition.name.c_str(),
                             sqlite3_errmsg(db));
    return rc;
  }
  auto* vtab = new JetVtab();
  vtab->engine = engine;
  vtab->table = table;
  *out = vtab;
  return SQLITE_OK;
}

// A module named after one table of the file: SQLite connects it, without any schema change,
// the first time a statement reads the table.
struct CatalogEntry {
  Engine* engine;
  const Engine::Table* table;
};

int ConnectCatalogEntry(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out, char** error) {
  const auto* entry = static_cast<const CatalogEntry*>(aux);
  return entry->engine->Internally([&] { return Declare(db, entry->engine, entry->table, out, error); });
}

int Disconnect(sqlite3_vtab* vtab) {
  sqlite3_free(vtab->zErrMsg);
  delete static_cast<JetVtab*>(vtab);
  return SQLITE_OK;
}

// A table is read through one of its indexes when a statement's constraints or its ORDER BY
// can use one (index_plan.h). Else, when a condition asks for rows whose column equals a value
// (a join's ON, a WHERE), the rows are looked up by that value in the table's cache, made at
// the first lookup; else the table is scanned. The engine still tests every row it gets (both
// reads give a superset, never fewer), so the answer is the scan's. The stored row count makes
// the costs, so that joins put the smaller table outside. A lookup in the cache travels in an
// even idxNum (the column's number plus one, doubled), which an index plan never uses.
int BestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info) {
  auto* self = static_cast<JetVtab*>(vtab);
  PlanTableRead(self->table->definition, info);
  if (info->idxNum != 0 || self->uncacheable) return SQLITE_OK;
  const double rows = static_cast<double>(self->table->definition.storedRowCount) + 1;
  for (int i = 0; i < info->nConstraint; ++i) {
    const auto& constraint = info->aConstraint[i];
    if (!constraint.usable || constraint.op != SQLITE_INDEX_CONSTRAINT_EQ || constraint.iColumn < 0) continue;
    if (!CanLookUp(self->table->definition.columns[static_cast<std::size_t>(constraint.iColumn)])) continue;
    info->idxNum = (constraint.iColumn + 1) * 2;
    info->aConstraintUsage[i].argvIndex = 1;
    info->aConstraintUsage[i].omit = 0;
    // A lookup costs about the logarithm of the rows (the cache's first making aside).
    info->estimatedCost = 10 + (64 - __builtin_clzll(static_cast<unsigned long long>(rows)));
    info->estimatedRows = static_cast<sqlite3_int64>(std::max(1.0, rows / 100));
    info->orderByConsumed = 0;
    break;
  }
  return SQLITE_OK;
}

int Open(sqlite3_vtab*, sqlite3_vtab_cursor** out) {
  *out = new JetCursor();
  return SQLITE_OK;
}

int Close(sqlite3_vtab_cursor* cursor) {
  delete static_cast<JetCursor*>(cursor);
  return SQLITE_OK;
}

int Advance(JetCursor* cursor) {
  auto* vtab = static_cast<JetVtab*>(cursor->pVtab);
  // A value of the row left behind could not be read, and the row never reached the result:
  // a condition read it as Null, so the statement's answer cannot be trusted.
  if (!vtab->engine->rowFailure.state.empty()) {
    vtab->engine->failureState = vtab->engine->rowFailure.state;
    std::string message = vtab->engine->rowFailure.message;
    vtab->engine->rowFailure = {};
    return Fail(vtab, message);
  }
  if (cursor->found != nullptr) {
    if (cursor->at < cursor->found->size()) ++cursor->at;
    cursor->atEnd = cursor->at >= cursor->found->size();
    return SQLITE_OK;
  }
  cursor->atEnd = !cursor->scan->Next();
  if (cursor->atEnd && !cursor->scan->Error().empty()) {
    vtab->engine->failureState = "HY000";
    return Fail(vtab, cursor->scan->Error());
  }
  return SQLITE_OK;
}

// The table's cache, made now if it fits what the connection may hold; null when it does not.
RowCache* Cache(JetVtab* vtab) {
  if (vtab->cache || vtab->uncacheable) return vtab->cache.get();
  Engine& engine = *vtab->engine;
  vtab->cache = RowCache::Load(*vtab->table->database, vtab->table->definition, engine.CacheRoom());
  if (!vtab->cache) {
    vtab->uncacheable = true;
    return nullptr;
  }
  engine.UseCacheRoom(vtab->cache->UsedBytes());
  return vtab->cache.get();
}

int Filter(sqlite3_vtab_cursor* base, int idxNum, const char*, int argc, sqlite3_value** argv) {
  auto* cursor = static_cast<JetCursor*>(base);
  auto* vtab = static_cast<JetVtab*>(base->pVtab);
  cursor->found = nullptr;
  cursor->scan.reset();
  if (idxNum > 0 && (idxNum & 1) == 0 && argc == 1) {
    if (RowCache* cache = Cache(vtab)) {
      cursor->found = cache->Lookup(static_cast<std::size_t>(idxNum / 2 - 1), argv[0]);
      if (cursor->found != nullptr) {
        cursor->at = 0;
        cursor->atEnd = cursor->found->empty();
        return SQLITE_OK;
      }
    }
  }
  cursor->scan = StartPlannedRead(*vtab->table->database, vtab->table->definition,
                                  cursor->indexPages, idxNum, argc, argv);
  if (!cursor->scan) {
    cursor->atEnd = true;
    vtab->engine->failureState = "HY000";
    return Fail(vtab, "table \"" + vtab->table->definition.name + "\" cannot be read");
  }
  return Advance(cursor);
}

int Next(sqlite3_vtab_cursor* base) { return Advance(static_cast<JetCursor*>(base)); }

int Eof(sqlite3_vtab_cursor* base) { return static_cast<JetCursor*>(base)->atEnd ? 1 : 0; }

std::string GuidText(const std::string& b) {
  if (b.size() != 16) return {};
  auto u = [&](int i) { return static_cast<unsigned>(static_cast<unsigned char>(b[static_cast<std::size_t>(i)])); };
  char text[48];
  // The first three groups are little-endian numbers, the last two plain bytes.
  std::snprintf(text, sizeof text, "{%02X%02X%02X%02X-%02X%02X-%02X%02X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                u(3), u(2), u(1), u(0), u(5), u(4), u(7), u(6), u(8), u(9), u(10), u(11), u(12), u(13),
                u(14), u(15));
  return text;
}

std::int64_t RowIdOf(const JetCursor* cursor) {
  if (cursor->found != nullptr) {
    const auto* vtab = static_cast<const JetVtab*>(cursor->pVtab);
    return vtab->cache->RowId((*cursor->found)[cursor->at]);
  }
  return cursor->scan->RowId();
}

void ValueError(sqlite3_context* context, JetCursor* cursor, const jet::Column& column, const std::string& what,
                const char* state) {
  auto* vtab = static_cast<JetVtab*>(cursor->pVtab);
  Engine& engine = *vtab->engine;
  // The reader's messages name the table and column already; others get them here.
  std::string message = what.rfind("table \"", 0) == 0
                            ? what
                            : "table \"" + vtab->table->definition.name + "\", column \"" + column.name + "\": " + what;
  message += " (row " + std::to_string(RowIdOf(cursor)) + ")";
  if (engine.rowsFailAlone) {
    // The row fails alone: the statement goes on, and the row is reported when it is read.
    if (engine.rowFailure.state.empty()) engine.rowFailure = {state, message};
    sqlite3_result_null(context);
    return;
  }
  engine.failureState = state;
  sqlite3_result_error(context, message.c_str(), static_cast<int>(message.size()));
}

int Column(sqlite3_vtab_cursor* base, sqlite3_context* context, int index) {
  auto* cursor = static_cast<JetCursor*>(base);
  auto* vtab = static_cast<JetVtab*>(base->pVtab);
  const jet::Column& column = vtab->table->definition.columns[static_cast<std::size_t>(index)];
  const jet::Value* read = &cursor->value;
  if (cursor->found != nullptr) {
    read = &vtab->cache->Value((*cursor->found)[cursor->at], static_cast<std::size_t>(index));
  } else {
    cursor->scan->Read(static_cast<std::size_t>(index), cursor->value);
  }
  const jet::Value& v = *read;
  // Each type in the engine's form of it: Yes/No as -1 and 0 (True is -1 in Access),
  // Currency in ten-thousandths, Decimal as its exact digits, dates as linear day numbers.
  switch (v.kind) {
    case jet::ValueKind::Null: sqlite3_result_null(context); break;
    case jet::ValueKind::Bool: sqlite3_result_int64(context, v.integer != 0 ? -1 : 0); break;
    case jet::ValueKind::Integer:
    case jet::ValueKind::Money: sqlite3_result_int64(context, v.integer); break;
    case jet::ValueKind::Real: sqlite3_result_double(context, v.real); break;
    case jet::ValueKind::Decimal:
      sqlite3_result_text64(context, v.bytes.data(), v.bytes.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
      break;
    case jet::ValueKind::DateTime: {
      double linear = LinearFromStored(v.real);
      if (!InDateRange(linear)) {
        ValueError(context, cursor, column, "the stored date lies outside 0100-01-01..9999-12-31", "22007");
        break;
      }
      sqlite3_result_double(context, linear);
      break;
    }
    case jet::ValueKind::DateTimeExtended: sqlite3_result_int64(context, v.integer); break;
    case jet::ValueKind::Text:
      sqlite3_result_text64(context, v.bytes.data(), v.bytes.size(), SQLITE_TRANSIENT, SQLITE_UTF8);
      break;
    case jet::ValueKind::Binary:
      sqlite3_result_blob64(context, v.bytes.data(), v.bytes.size(), SQLITE_TRANSIENT);
      break;
    case jet::ValueKind::Guid: {
      std::string text = GuidText(v.bytes);
      sqlite3_result_text(context, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
      break;
    }
    case jet::ValueKind::Error: {
      const char* state = "HY000";
      if (v.error == jet::ValueError::OutOfRange) {
        state = column.type == jet::ColumnType::DateTime ||
                        column.type == jet::ColumnType::DateTimeExtended
                    ? "22007"
                    : "22003";
      } else if (v.error == jet::ValueError::Unsupported) {
        state = "HYC00";
      }
      ValueError(context, cursor, column, v.bytes, state);
      break;
    }
  }
  return SQLITE_OK;
}

int Rowid(sqlite3_vtab_cursor* base, sqlite3_int64* out) {
  *out = RowIdOf(static_cast<JetCursor*>(base));
  return SQLITE_OK;
}

// The engine's C code calls these: no exception may leave them. One that would (no memory for a
// value) becomes the error of the call.
template <typename... Args>
int Guard(int (*body)(Args...), Args... args) noexcept {
  try {
    return body(args...);
  } catch (const std::bad_alloc&) {
    return SQLITE_NOMEM;
  } catch (...) {
    return SQLITE_ERROR;
  }
}

int GuardedBestIndex(sqlite3_vtab* v, sqlite3_index_info* i) noexcept { return Guard(BestIndex, v, i); }
int GuardedFilter(sqlite3_vtab_cursor* c, int n, const char* s, int a, sqlite3_value** v) noexcept {
  return Guard(Filter, c, n, s, a, v);
}
int GuardedNext(sqlite3_vtab_cursor* c) noexcept { return Guard(Next, c); }
int GuardedColumn(sqlite3_vtab_cursor* c, sqlite3_context* x, int i) noexcept { return Guard(Column, c, x, i); }
int GuardedOpen(sqlite3_vtab* v, sqlite3_vtab_cursor** out) noexcept { return Guard(Open, v, out); }
int GuardedConnect(sqlite3* db, void* aux, int argc, const char* const* argv, sqlite3_vtab** out, char** error) noexcept {
  return Guard(ConnectCatalogEntry, db, aux, argc, argv, out, error);
}

sqlite3_module MakeModule() {
  sqlite3_module m{};
  m.iVersion = 1;
  // Without xCreate a module is only ever the table of its own name.
  m.xConnect = GuardedConnect;
  m.xBestIndex = GuardedBestIndex;
  m.xDisconnect = Disconnect;
  m.xDestroy = Disconnect;
  m.xOpen = GuardedOpen;
  m.xClose = Close;
  m.xFilter = GuardedFilter;
  m.xNext = GuardedNext;
  m.xEof = Eof;
  m.xColumn = GuardedColumn;
  m.xRowid = Rowid;
  return m;
}

const sqlite3_module kCatalogEntryModule = MakeModule();

}  // namespace

bool RegisterTableModule(sqlite3* db, Engine* engine, const Engine::Table* table) {
  auto* entry = new CatalogEntry{engine, table};
  std::string name = Engine::TableModuleName(table->catalogIndex);
  return sqlite3_create_module_v2(db, name.c_str(), &kCatalogEntryModule, entry,
                                  [](void* aux) { delete static_cast<CatalogEntry*>(aux); }) == SQLITE_OK;
}

}  // namespace mdbodbc::sql
