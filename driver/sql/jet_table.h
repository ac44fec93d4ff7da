// The virtual table module that shows a table of the file to SQLite, read-only, one page of
// the table held at a time.
#pragma once

#include "engine.h"

struct sqlite3;

namespace mdbodbc::sql {

// Registers the module that shows `table` to the engine under Engine::TableModuleName. SQLite
// connects it the first time a statement reads the table: nothing is created in the engine's
// schema.
bool RegisterTableModule(sqlite3* db, Engine* engine, const Engine::Table* table);

}  // namespace mdbodbc::sql
