// The statement rewrite, the case-blind LIKE and the Date/Time order of the SQL side, met at
// their own edges: one table of texts each.
#include "driver/sql/date_text.h"
#include "driver/sql/functions.h"
#include "driver/sql/rewrite.h"

#include <gtest/gtest.h>

#include <cmath>

namespace mdbodbc::sql {
namespace {

TEST(StatementRewrite, AccessAndOdbcFormsBecomeEngineSql) {
  struct Case {
    std::string in;
    std::string out;  // or the start of the error after "error: "
  };
  const Case cases[] = {
      {"SELECT marque FROM avion ", "SELECT marque FROM avion "},
      {"SELECT [a b], [x]]y], [q\"t] FROM [t]", "SELECT \"a b\", \"x]y\", \"q\"\"t\" FROM \"t\""},
      {"SELECT `a` FROM t", "SELECT \"a\" FROM t"},
      {"SELECT '[not a name]', 'it''s #1#' FROM t", "SELECT '[not a name]', 'it''s #1#' FROM t"},
      {"SELECT * FROM t WHERE d = #12/31/1999#", "SELECT * FROM t WHERE d = '1999-12-31 00:00:00'"},
      {"SELECT * FROM t WHERE d < #2000-02-29 1:05 PM#", "SELECT * FROM t WHERE d < '2000-02-29 13:05:00'"},
      {"SELECT * FROM t WHERE d = {d '2000-01-01'} OR d = {ts '2000-01-01 10:00:00'}",
       "SELECT * FROM t WHERE d = '2000-01-01' OR d = '2000-01-01 10:00:00'"},
      {"SELECT {fn UCASE(s)} FROM t", "SELECT UCASE(s) FROM t"},
      {"SELECT LEFT(s, 2), Right (s, 1) FROM a LEFT JOIN b ON 1", "SELECT \"left\"(s, 2), \"right\" (s, 1) FROM a LEFT JOIN b ON 1"},
      {"SELECT * FROM t WHERE s LIKE 'a\\%' {escape '\\'}", "SELECT * FROM t WHERE s LIKE 'a\\%' ESCAPE '\\'"},
      {"SELECT * FROM {oj a LEFT OUTER JOIN b ON a.x = b.x}", "SELECT * FROM a LEFT OUTER JOIN b ON a.x = b.x"},
      {"SELECT TOP 5 a FROM t ORDER BY a", "SELECT a FROM t ORDER BY a LIMIT 5"},
      {"select distinct top 2 a from t;", "select distinct a from t LIMIT 2;"},
      {"SELECT a FROM t WHERE a IN (SELECT TOP 1 b FROM u) ORDER BY a",
       "SELECT a FROM t WHERE a IN (SELECT b FROM u LIMIT 1) ORDER BY a"},
      {"SELECT top FROM t", "SELECT top FROM t"},
      {"SELECT a -- [x] #y#\nFROM t /* {d } */", "SELECT a -- [x] #y#\nFROM t /* {d } */"},
      {"SELECT a FROM t WHERE a != 1 AND b <> 2", "SELECT a FROM t WHERE a != 1 AND b <> 2"},
      {std::string("SELECT 1\0 FROM t", 16), "error: the statement text holds a NUL character at offset 8"},
      {"SELECT 'open", "error: a text literal starting at offset 7 is not closed"},
      {"SELECT [open FROM t", "error: a bracketed name starting at offset 7 is not closed"},
      {"SELECT #2/30/2000#", "error: #2/30/2000# is not a valid date"},
      {"SELECT {d '2000-01-01 10:00:00'}", "error: '2000-01-01 10:00:00' is not a valid {d} value"},
      {"SELECT {fn UCASE(s) FROM t", "error: an escape clause { is not closed by }"},
      {"{call proc}", "error: procedure calls are not supported"},
      {"{?= call proc}", "error: procedure calls are not supported"},
      {"SELECT {x 1}", "error: unknown escape clause"},
      {"SELECT TOP 10 PERCENT a FROM t", "error: TOP n PERCENT is not supported"},
  };
  for (const Case& c : cases) {
    Rewritten r = RewriteStatement(c.in);
    std::string got = r.ok ? r.text : "error: " + r.error;
    if (c.out.rfind("error: ", 0) == 0) {
      EXPECT_EQ(got.substr(0, c.out.size()), c.out) << c.in;
    } else {
      EXPECT_EQ(got, c.out) << c.in;
    }
  }
}

TEST(CaseBlindLike, MatchesEveryScriptWithWildcardsAndEscapes) {
  struct Case {
    const char* pattern;
    const char* text;
    char32_t escape;
    bool matches;
  };
  const Case cases[] = {
      {"%a%", "BANANA", 0, true},         {"%a%", "xyz", 0, false},
      {"éclair", "ÉCLAIR", 0, true},      {"%антон%", "АНТОНОВ", 0, true},
      {"_rø", "ÆRØ", 0, true},            {"ß", "ẞ", 0, true},
      {"a_c", "abc", 0, true},            {"a_c", "ac", 0, false},
      {"%", "", 0, true},                 {"_", "", 0, false},
      {"a%b%c", "aXXbYYc", 0, true},      {"a%b%c", "aXXcYYb", 0, false},
      {"100\\%", "100%", U'\\', true},     {"100\\%", "1000", U'\\', false},
      {"a\\_b", "a_b", U'\\', true},       {"a\\_b", "axb", U'\\', false},
      {"%%%%%%%%%%b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", 0, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LikeMatches(c.pattern, c.text, c.escape), c.matches) << c.pattern << " / " << c.text;
  }
}

TEST(DateOrder, DatesCompareAsDatesWhateverTheirForm) {
  struct Case {
    const char* a;
    const char* b;
    int order;
  };
  const Case cases[] = {
      {"2000-01-01 00:00:00", "2000-01-01", 0},     {"2000-01-01 00:00:01", "2000-01-01", 1},
      {"1999-12-31 23:59:59", "2000-01-01", -1},    {"2000-1-2", "2000-01-02 00:00:00", 0},
      {"0100-01-01 00:00:00", "9999-12-31", -1},    {"1899-12-30 10:00:00", "10:00:00", 0},
      {"2000-01-01", "not a date", -1},             {"abc", "abd", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompareDateTexts(c.a, c.b), c.order) << c.a << " / " << c.b;
    EXPECT_EQ(CompareDateTexts(c.b, c.a), -c.order) << c.b << " / " << c.a;
  }
  struct Stored {
    double days;
    const char* text;  // nullptr: not a date
  };
  const Stored stored[] = {{0, "1899-12-30 00:00:00"},       {36526.5, "2000-01-01 12:00:00"},
                           {-1.25, "1899-12-29 06:00:00"},    {2958465.99999, "9999-12-31 23:59:59"},
                           {-657434, "0100-01-01 00:00:00"},  {2958466, nullptr},
                           {-657435.5, nullptr},              {std::nan(""), nullptr}};
  for (const Stored& s : stored) {
    std::optional<DateTime> value = FromDayNumber(s.days);
    EXPECT_EQ(value ? IsoText(*value) : "none", s.text ? s.text : "none") << s.days;
  }
}

}  // namespace
}  // namespace mdbodbc::sql
