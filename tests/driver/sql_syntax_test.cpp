// The Access SQL front end at its own edges: what the parser refuses and where it says so, the
// text SQLNativeSql gives back, and LIKE in its three syntaxes.
#include "driver/sql/functions.h"
#include "driver/sql/parser.h"

#include <gtest/gtest.h>

namespace mdbodbc::sql {
namespace {

TEST(AccessSqlParser, RefusesWhatItCannotReadAndSaysWhere) {
  struct Case {
    std::string text;
    const char* error;  // the start of the message; nullptr when it parses
  };
  const Case cases[] = {
      {"SELECT marque FROM avion ", nullptr},
      {"SELECT TOP 10 PERCENT a, b AS [x y], t.* FROM t ORDER BY 1 DESC, b;", nullptr},
      {"PARAMETERS [From] DateTime, n Long; SELECT * FROM t WHERE d > [From] AND x = n", nullptr},
      {"SELECT a FROM ((t INNER JOIN u ON t.k = u.k) LEFT JOIN v ON v.k = u.k) RIGHT OUTER JOIN w ON 1 = 1", nullptr},
      {"(SELECT TOP 1 a FROM t ORDER BY a) UNION ALL (SELECT a FROM u) ORDER BY 1", nullptr},
      {"TRANSFORM Sum(q) SELECT p FROM t GROUP BY p PIVOT Format(d, 'mmm') IN ('Jan', 'Feb')", nullptr},
      {"SELECT 2^-1, -2^2, a Mod 3 \\ 2, 'x' & \"y\", #1/1/00#, Yes, Off, a Xor b Eqv c Imp d FROM t", nullptr},
      {"SELECT {fn UCASE(s)}, {d '2000-01-01'}, {ts '2000-01-01 10:00:00'} FROM {oj a LEFT OUTER JOIN b ON a.x = b.x}",
       nullptr},
      {"SELECT a FROM t WHERE s LIKE 'a\\%' {escape '\\'} AND x NOT IN (1, 2) AND NOT y BETWEEN 1 AND 2", nullptr},
      {"SELECT TOP 1 a FROM t -- a comment\n/* another */", nullptr},
      {"SELECT {guid '6ba7b810-9dad-11d1-80b4-00c04fd430c8'}", nullptr},
      {std::string("SELECT 1\0 FROM t", 16), "the statement text holds a NUL character at offset 8"},
      {"SELECT 'open", "a text literal is not closed at offset 7"},
      {"SELECT [open FROM t", "a bracketed name is not closed at offset 7"},
      {"SELECT #2/30/2000#", "#2/30/2000# is not a valid date (at offset 7)"},
      {"SELECT {d '2000-01-01 10:00:00'}", "'2000-01-01 10:00:00' in {d} is not a valid date"},
      {"SELECT {fn UCASE(s) FROM t", "syntax error: expected } closing {fn but found \"FROM\" (at offset 20)"},
      {"{call proc}", nullptr}, {"{call proc(?, ?)}", nullptr},
      {"{call proc('x')}", "syntax error: expected ? for each argument of the query"},
      {"{?= call proc}", "procedures return no value here"},
      {"SELECT {x 1}", "unknown escape clause {x ...}"},
      {"SELECT a FROM t WHERE", "syntax error: expected an expression but found the end of the statement (at offset 21)"},
      {"SELECT a, FROM t", "syntax error: expected an expression but found \"FROM\" (at offset 10)"},
      {"SELECT a FROM t; SELECT b FROM u", "only one statement can run at a time"},
      {"DELETE FROM t", "the database is read-only: only SELECT statements can run, not DELETE"},
      {"SELECT a INTO x FROM t", "the database is read-only: SELECT ... INTO makes a table"},
      {"SELECT a FROM t IN 'other.mdb'", "a table IN another database file"},
      {"SELECT TOP a FROM t", nullptr}, {"", "the statement is empty"},
      {std::string(300, '(') + "1" + std::string(300, ')'), "the statement nests deeper than 200 levels"},
  };
  for (const Case& c : cases) {
    SqlError error;
    std::unique_ptr<ast::Statement> parsed = ParseStatement(c.text, error);
    if (c.error == nullptr) {
      EXPECT_TRUE(parsed) << c.text << ": " << error.message;
    } else {
      EXPECT_FALSE(parsed) << c.text;
      EXPECT_EQ(error.state, "42000") << c.text;
      EXPECT_EQ(error.message.substr(0, std::string(c.error).size()), c.error) << c.text;
    }
  }
}

TEST(AccessSqlParser, NativeTextTurnsEscapesIntoAccessForms) {
  const std::pair<const char*, const char*> cases[] = {
      {"SELECT marque FROM avion", "SELECT marque FROM avion"},
      {"SELECT {fn UCASE({fn LCASE(s)})} FROM t", "SELECT UCASE(LCASE(s)) FROM t"},
      {"SELECT * FROM t WHERE d = {d '2000-01-01'} OR d = {ts '2000-01-01 10:00:00'}",
       "SELECT * FROM t WHERE d = #2000-01-01# OR d = #2000-01-01 10:00:00#"},
      {"SELECT * FROM {oj a LEFT OUTER JOIN b ON a.x = b.x}", "SELECT * FROM a LEFT OUTER JOIN b ON a.x = b.x"},
      {"SELECT * FROM t WHERE s LIKE 'a\\%' {escape '\\'}", "SELECT * FROM t WHERE s LIKE 'a\\%' ESCAPE '\\'"},
  };
  for (const auto& [in, out] : cases) {
    std::string native;
    SqlError error;
    ASSERT_TRUE(NativeStatement(in, native, error)) << in;
    EXPECT_EQ(native, out);
  }
}

TEST(CaseBlindLike, MatchesEveryScriptInEachSyntax) {
  constexpr LikeSyntax O = LikeSyntax::Odbc, A = LikeSyntax::Access, S = LikeSyntax::OdbcSearch;
  struct Case {
    const char* pattern;
    const char* text;
    char32_t escape;
    LikeSyntax syntax;
    bool matches;
  };
  const Case cases[] = {
      {"%a%", "BANANA", 0, O, true}, {"%a%", "xyz", 0, O, false}, {"éclair", "ÉCLAIR", 0, O, true},
      {"%антон%", "АНТОНОВ", 0, O, true}, {"_rø", "ÆRØ", 0, O, true}, {"ß", "ẞ", 0, O, true},
      {"a_c", "abc", 0, O, true}, {"a_c", "ac", 0, O, false}, {"%", "", 0, O, true},
      {"_", "", 0, O, false}, {"a%b%c", "aXXbYYc", 0, O, true}, {"a%b%c", "aXXcYYb", 0, O, false},
      {"100\\%", "100%", U'\\', O, true}, {"100\\%", "1000", U'\\', O, false},
      {"a\\_b", "a_b", U'\\', O, true}, {"a\\_b", "axb", U'\\', O, false},
      {"a[_]c", "a_c", 0, O, true}, {"a[_]c", "abc", 0, O, false}, {"[a-b]%", "Boeing", 0, O, true},
      {"[a-b]%", "Cessna", 0, O, false}, {"[!a-b]%", "Cessna", 0, O, true},
      {"[!a-b]%", "airbus", 0, O, false}, {"[é]%", "Éclair", 0, O, true}, {"a[", "a[", 0, O, true},
      {"*bus", "Airbus", 0, A, true}, {"A?rbus", "airbus", 0, A, true}, {"#7", "77", 0, A, true},
      {"#7", "x7", 0, A, false}, {"a%", "a%", 0, A, true}, {"a%", "ab", 0, A, false},
      {"[*]*", "*star", 0, A, true}, {"[*]*", "star", 0, A, false}, {"a[_]c", "a_c", 0, S, false},
      {"a_c", "abc", 0, S, true},
      {"%%%%%%%%%%b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", 0, O, false},
      {"%7-7%", "Brand 77-77", 0, O, true}, {"%7-7%", "7--7", 0, O, false},
      {"%7-7%", "7-", 0, O, false}, {"%7_7%", "7x7", 0, O, true},
      // A malformed byte is one U+FFFD, as '=' reads it: an overlong '/' is not '/'.
      {"/", "\xC0\xAF", 0, O, false}, {"__", "\xC0\xAF", 0, O, true},
      {"\xEF\xBF\xBD", "\xFF", 0, O, true}, {"a_", "a\xE2\x82", 0, O, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LikeMatches(c.pattern, c.text, c.escape, c.syntax), c.matches) << c.pattern << " / " << c.text;
  }
}

}  // namespace
}  // namespace mdbodbc::sql
