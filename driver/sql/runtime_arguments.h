// What the engine functions of the library share: reading their arguments (the characters of a
// text, whole numbers as Access reads an Integer or Long parameter, typed values) and the
// failures Access reports for them, each with its SQLSTATE.
#pragma once

#include "variant.h"

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace mdbodbc::sql {

bool AnyNull(int argc, sqlite3_value** argv);
inline bool IsNullArgument(sqlite3_value* value) { return sqlite3_value_type(value) == SQLITE_NULL; }

// Access's "Invalid procedure call or argument": 22023.
void InvalidArgument(sqlite3_context* context, const std::string& what);
// Access's "Invalid use of Null", a Null where a function needs a value: 22004.
void NullNotAllowed(sqlite3_context* context, const std::string& what);
// Access's "Overflow": 22003.
void OutOfRange(sqlite3_context* context, const std::string& what);

// The UTF-8 bytes of a text argument (empty for Null).
std::string_view TextArgument(sqlite3_value* value);

// The characters of a UTF-8 text; a malformed byte is U+FFFD.
std::u32string Characters(std::string_view utf8);
std::string Utf8(std::u32string_view text);
std::size_t CountCharacters(std::string_view utf8);
// The byte offset of character `n` (0-based) of the text, or its size when it has fewer.
std::size_t OffsetOfCharacter(std::string_view utf8, std::size_t n);

void ResultText(sqlite3_context* context, std::string_view utf8);
void ResultText(sqlite3_context* context, std::u32string_view text);

// The case-folded form of a character (any script), as Access ignores case.
char32_t FoldCharacter(char32_t c);
char32_t UpperCharacter(char32_t c);
char32_t LowerCharacter(char32_t c);

// Names an argument in messages ("Mid's start"); made only when a message is.
struct ArgumentName {
  std::string_view function;
  std::string_view role;
  std::string Text() const;
};

// A typed argument (see TypedArgument) read as a whole number the way Access passes a value to
// an Integer or Long parameter: rounded half to even, 22003 outside [low, high], 22018 for a
// text that is no number. Null is refused (22004). False after raising.
bool WholeArgument(sqlite3_context* context, const Variant& v, std::int64_t low, std::int64_t high, ArgumentName what,
                   std::int64_t& out);
// The same for an argument the translator already converted to a Long (or an engine integer).
void NullArgument(sqlite3_context* context, ArgumentName what);
inline bool LongArgument(sqlite3_context* context, sqlite3_value* value, ArgumentName what, std::int64_t& out) {
  if (IsNullArgument(value)) {
    NullArgument(context, what);
    return false;
  }
  out = sqlite3_value_int64(value);
  return true;
}

// The compare argument of InStr, InStrRev, Replace and StrComp: true for binary
// (vbBinaryCompare, 0), false for text (vbTextCompare 1, vbDatabaseCompare 2, and -1, the
// query's own mode, which is text). Anything else is an invalid argument.
bool CompareArgument(sqlite3_context* context, sqlite3_value* value, std::string_view function, bool& binary);

}  // namespace mdbodbc::sql
