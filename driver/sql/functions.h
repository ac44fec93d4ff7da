// What the driver adds to the SQL engine on every connection: the collations that make text
// compare as Access compares it, LIKE, and the ODBC scalar functions.
#pragma once

struct sqlite3;

namespace mdbodbc {
class LoadedLibrary;
}

namespace mdbodbc::sql {

// Collation names declared on the columns of the file's tables.
inline constexpr char kTextCollation[] = "JETTEXT";  // text without regard to letter case
inline constexpr char kDateCollation[] = "JETDATE";  // Date/Time values in time order

// Registers both collations; false when the engine refused one.
bool RegisterCollations(sqlite3* db);
// Replaces LIKE (two and three arguments) with a match that ignores letter case in every
// script.
bool RegisterLike(sqlite3* db);
// The ODBC scalar functions that the engine lacks under their ODBC names.
bool RegisterScalarFunctions(sqlite3* db);
// The engine's math functions over `library` (libm, or another for tests); without one, over
// the process's libm, opened at the first call.
bool RegisterMathFunctions(sqlite3* db, const LoadedLibrary& library);
bool RegisterMathFunctions(sqlite3* db);

// Matches `text` against a LIKE pattern (% any run, _ one character, `escape` taking the next
// character as it is; 0 for none), both UTF-8, without regard to letter case.
bool LikeMatches(const char* pattern, const char* text, char32_t escape);

}  // namespace mdbodbc::sql
