// The tokens of an Access SQL statement: words, [bracketed] and `quoted` names, 'text' and
// "text" literals, numbers, #date# literals, ? markers and operators. Comments (-- to the end
// of the line, /* ... */) and blanks separate tokens and are dropped.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace mdbodbc::sql {

struct Token {
  enum class Kind : unsigned char {
    End,     // after the last token
    Word,    // a plain word: a keyword or a name
    Name,    // [name] or `name`: always a name
    Text,    // 'text' or "text", quotes undone
    Number,  // 12, 1.5, .5, 1e3
    Date,    // #...#: the text between the marks
    Marker,  // ?
    Symbol,  // ( ) , . ! ; * + - / \ ^ & = <> < > <= >= { }
  };
  Kind kind = Kind::End;
  std::string text;        // the word, name, literal's value, number's spelling or symbol
  std::size_t offset = 0;  // where it starts in the statement (bytes)

  bool Is(Kind k, std::string_view t) const;
  // A Word equal to `keyword` without regard to ASCII case.
  bool IsKeyword(std::string_view keyword) const;
  bool IsSymbol(std::string_view symbol) const { return kind == Kind::Symbol && text == symbol; }
};

struct LexResult {
  std::vector<Token> tokens;  // ends with an End token when ok
  std::string error;          // what is wrong, with its offset, when not ok
  bool ok() const { return error.empty(); }
};

// Splits the whole text (by its length: a NUL character is an error, not its end).
LexResult Lex(std::string_view text);

// Word comparison without regard to ASCII case.
bool SameWord(std::string_view a, std::string_view b);

// How a token is shown in a message: the word, the quoted literal, "the end of the statement".
std::string Describe(const Token& token);

}  // namespace mdbodbc::sql
