// The virtual table module that shows a table of the file to SQLite, read-only, one page of
// the table held at a time.
#pragma once

struct sqlite3;

namespace mdbodbc::sql {

class Engine;

inline constexpr char kJetModule[] = "jet";

// Registers the module with the engine as its context.
bool RegisterJetModule(sqlite3* db, Engine* engine);

// Registers a module for each table of the file, under the table's name, whose virtual table
// SQLite makes the first time a statement names the table: nothing is created in the engine's
// schema and no statement is compiled twice. A name no module answers (another spelling, a
// name two tables share) reaches the engine as "no such table", which creates the table then.
bool RegisterCatalogTables(sqlite3* db, Engine* engine);

}  // namespace mdbodbc::sql
