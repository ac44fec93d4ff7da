// What the driver adds to the SQL engine on every connection: the collations that make text
// and exact numbers compare as Access compares them, LIKE, and the engine functions of the
// Access function library and its operators.
#pragma once

#include <string_view>

struct sqlite3;

namespace mdbodbc {
class LoadedLibrary;
}

namespace mdbodbc::sql {

class Engine;

// Collation names the translator writes.
inline constexpr char kTextCollation[] = "JETTEXT";    // text in Access's order, without regard to case
inline constexpr char kDecimalCollation[] = "JETDEC";  // Decimal values by their value

// Registers both collations; false when the engine refused one.
bool RegisterCollations(sqlite3* db);
// Registers jet_like (see LikeMatches).
bool RegisterLike(sqlite3* db);
// Registers every engine function of the library and the operators, with `engine` as the
// place their failures are reported.
bool RegisterRuntime(sqlite3* db, Engine* engine);

enum class LikeSyntax : unsigned char {
  Odbc,        // % any run, _ one character, [list] [!list] [a-z]
  Access,      // * any run, ? one character, # one digit, [list] [!list] [a-z]
  OdbcSearch,  // catalog search patterns: % and _ only
};

// Matches `text` against a LIKE pattern, both UTF-8, without regard to letter case; `escape`
// takes the next character as it is (0 for none).
bool LikeMatches(std::string_view pattern, std::string_view text, char32_t escape, LikeSyntax syntax);

}  // namespace mdbodbc::sql
