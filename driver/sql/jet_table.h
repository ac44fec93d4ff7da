// The virtual table module that shows a table of the file to SQLite, read-only, one page of
// the table held at a time.
#pragma once

struct sqlite3;

namespace mdbodbc::sql {

class Engine;

inline constexpr char kJetModule[] = "jet";

// Registers the module with the engine as its context.
bool RegisterJetModule(sqlite3* db, Engine* engine);

}  // namespace mdbodbc::sql
