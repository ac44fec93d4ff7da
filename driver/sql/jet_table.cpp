#include "jet_table.h"

#include "column_description.h"
#include "date_text.h"
#include "engine.h"
#include "index_plan.h"
#include "jet/date_time.h"
#include "jet/value_decoding.h"

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string_view>
#include <vector>

namespace mdbodbc::sql {
namespace {

struct JetVtab : sqlite3_vtab {
  Engine* engine = nullptr;
  const Engine::Table* table = nullptr;
};

struct JetCursor : sqlite3_vtab_cursor {
  std::unique_ptr<jet::Scan> scan;
  bool atEnd = true;
  jet::Value value;
  jet::IndexPageCache indexPages;  // kept from one Filter to the next (a join's lookups)
};

std::string Quoted(const std::string& name) {
  std::string out = "\"";
  for (char c : name) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
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
  std::string schema = "CREATE TABLE x(";
  for (std::size_t i = 0; i < table->definition.columns.size(); ++i) {
    const jet::Column& column = table->definition.columns[i];
    if (i > 0) schema += ", ";
    schema += Quoted(column.name) + " " + EngineDeclaration(column);
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

// The "jet" module: CREATE VIRTUAL TABLE ... USING jet() by the engine, for the table it names
// in `creating`.
int Connect(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out, char** error) {
  auto* engine = static_cast<Engine*>(aux);
  if (engine->creating == nullptr) {
    *error = sqlite3_mprintf("tables of the file are made known by the driver only");
    return SQLITE_ERROR;
  }
  return Declare(db, engine, engine->creating, out, error);
}

// A module named after one table of the file: SQLite connects it, without any schema change,
// the first time a statement names the table.
struct CatalogEntry {
  Engine* engine;
  std::size_t index;
};

int ConnectCatalogEntry(sqlite3* db, void* aux, int, const char* const*, sqlite3_vtab** out, char** error) {
  const auto* entry = static_cast<const CatalogEntry*>(aux);
  SqlError failure;
  const Engine::Table* table = entry->engine->ProvideCatalogTable(entry->index, failure);
  if (table == nullptr) {
    *error = sqlite3_mprintf("%s", failure.message.c_str());
    return SQLITE_ERROR;
  }
  return entry->engine->Internally([&] { return Declare(db, entry->engine, table, out, error); });
}

int Disconnect(sqlite3_vtab* vtab) {
  sqlite3_free(vtab->zErrMsg);
  delete static_cast<JetVtab*>(vtab);
  return SQLITE_OK;
}

// A full scan, or a read through an index (index_plan.h). The stored row count makes the
// costs, so that joins put the smaller table outside.
int BestIndex(sqlite3_vtab* vtab, sqlite3_index_info* info) {
  PlanTableRead(static_cast<JetVtab*>(vtab)->table->definition, info);
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
  cursor->atEnd = !cursor->scan->Next();
  if (cursor->atEnd && !cursor->scan->Error().empty()) {
    vtab->engine->failureState = "HY000";
    return Fail(vtab, cursor->scan->Error());
  }
  return SQLITE_OK;
}

int Filter(sqlite3_vtab_cursor* base, int plan, const char*, int argc, sqlite3_value** argv) {
  auto* cursor = static_cast<JetCursor*>(base);
  auto* vtab = static_cast<JetVtab*>(base->pVtab);
  cursor->scan = StartPlannedRead(vtab->engine->database(), vtab->table->definition,
                                  cursor->indexPages, plan, argc, argv);
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

void ValueError(sqlite3_context* context, JetVtab* vtab, const jet::Column& column, const std::string& what,
                const char* state) {
  vtab->engine->failureState = state;
  // The reader's messages name the table and column already; others get them here.
  std::string message = what.rfind("table \"", 0) == 0
                            ? what
                            : "table \"" + vtab->table->definition.name + "\", column \"" + column.name + "\": " + what;
  sqlite3_result_error(context, message.c_str(), static_cast<int>(message.size()));
}

int Column(sqlite3_vtab_cursor* base, sqlite3_context* context, int index) {
  auto* cursor = static_cast<JetCursor*>(base);
  auto* vtab = static_cast<JetVtab*>(base->pVtab);
  const jet::Column& column = vtab->table->definition.columns[static_cast<std::size_t>(index)];
  jet::Value& v = cursor->value;
  cursor->scan->Read(static_cast<std::size_t>(index), v);
  switch (v.kind) {
    case jet::ValueKind::Null: sqlite3_result_null(context); break;
    case jet::ValueKind::Bool:
    case jet::ValueKind::Integer: sqlite3_result_int64(context, v.integer); break;
    case jet::ValueKind::Real: sqlite3_result_double(context, v.real); break;
    case jet::ValueKind::Money: sqlite3_result_double(context, static_cast<double>(v.integer) / 10000.0); break;
    case jet::ValueKind::Decimal: sqlite3_result_double(context, std::strtod(v.bytes.c_str(), nullptr)); break;
    case jet::ValueKind::DateTime: {
      if (!jet::DateInRange(v.real)) {
        ValueError(context, vtab, column, "the stored date lies outside 0100-01-01..9999-12-31", "22007");
        break;
      }
      char text[jet::kDateTimeTextSize];
      jet::PutDateTimeText(v.real, text);
      sqlite3_result_text(context, text, static_cast<int>(sizeof text), SQLITE_TRANSIENT);
      break;
    }
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
        state = column.type == jet::ColumnType::DateTime ? "22007" : "22003";
      } else if (v.error == jet::ValueError::Unsupported) {
        state = "HYC00";
      }
      ValueError(context, vtab, column, v.bytes, state);
      break;
    }
  }
  return SQLITE_OK;
}

int Rowid(sqlite3_vtab_cursor* base, sqlite3_int64* out) {
  *out = static_cast<JetCursor*>(base)->scan->RowId();
  return SQLITE_OK;
}

sqlite3_module MakeModule(bool eponymousOnly) {
  sqlite3_module m{};
  m.iVersion = 1;
  // Without xCreate a module is only ever the table of its own name.
  m.xCreate = eponymousOnly ? nullptr : Connect;
  m.xConnect = eponymousOnly ? ConnectCatalogEntry : Connect;
  m.xBestIndex = BestIndex;
  m.xDisconnect = Disconnect;
  m.xDestroy = Disconnect;
  m.xOpen = Open;
  m.xClose = Close;
  m.xFilter = Filter;
  m.xNext = Next;
  m.xEof = Eof;
  m.xColumn = Column;
  m.xRowid = Rowid;
  return m;
}

const sqlite3_module kModule = MakeModule(false);
const sqlite3_module kCatalogEntryModule = MakeModule(true);

// SQLite finds modules by name without regard to ASCII case.
std::string AsciiUpper(std::string_view name) {
  std::string out(name);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

}  // namespace

bool RegisterJetModule(sqlite3* db, Engine* engine) {
  return sqlite3_create_module_v2(db, kJetModule, &kModule, engine, nullptr) == SQLITE_OK;
}

bool RegisterCatalogTables(sqlite3* db, Engine* engine) {
  const std::vector<jet::CatalogTable>& tables = engine->database().Tables();
  std::map<std::string, int> uses;
  for (const jet::CatalogTable& table : tables) ++uses[AsciiUpper(table.name)];
  // A name that two tables share, or that is the engine's own module, is left to CREATE
  // VIRTUAL TABLE, which picks the table as the rest of the driver does.
  ++uses[AsciiUpper(kJetModule)];
  for (std::size_t i = 0; i < tables.size(); ++i) {
    const std::string& name = tables[i].name;
    if (name.empty() || name.find('\0') != std::string::npos || uses[AsciiUpper(name)] != 1) continue;
    auto* entry = new CatalogEntry{engine, i};
    int rc = sqlite3_create_module_v2(db, name.c_str(), &kCatalogEntryModule, entry,
                                      [](void* aux) { delete static_cast<CatalogEntry*>(aux); });
    if (rc != SQLITE_OK) return false;
  }
  return true;
}

}  // namespace mdbodbc::sql
