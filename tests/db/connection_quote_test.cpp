// Bracketed names rewritten with the connection's identifier quote.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/database.h"

namespace {

struct QuoteCase {
  char16_t quote;
  std::u16string text;
  std::u16string expected;
};

void PrintTo(const QuoteCase& c, std::ostream* os) {
  *os << "quote " << static_cast<int>(c.quote) << " on \""
      << std::string(c.text.begin(), c.text.end()) << "\"";
}

class QuoteBracketedNamesTest : public ::testing::TestWithParam<QuoteCase> {};

TEST_P(QuoteBracketedNamesTest, RewritesInPlaceWithoutGrowing) {
  CDatabase database;
  database.m_chIdentifierQuote = GetParam().quote;
  // The text sits in a larger buffer whose rest must stay untouched.
  std::vector<char16_t> buffer(GetParam().text.begin(), GetParam().text.end());
  buffer.push_back(u'\0');
  const size_t end = buffer.size();
  buffer.resize(end + 4, u'#');

  database.QuoteBracketedNames(buffer.data());

  EXPECT_EQ(std::u16string(buffer.data()), GetParam().expected);
  for (size_t i = end; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], u'#') << i;
}

INSTANTIATE_TEST_SUITE_P(
    Statements, QuoteBracketedNamesTest,
    ::testing::Values(
        // Names in brackets get the quote in place of each bracket.
        QuoteCase{u'"', u"SELECT [my col] FROM [t]", u"SELECT \"my col\" FROM \"t\""},
        QuoteCase{u'`', u"SELECT [a],[b] FROM [t]", u"SELECT `a`,`b` FROM `t`"},
        QuoteCase{u' ', u"SELECT [a b] FROM t", u"SELECT  a b  FROM t"},
        // Doubled brackets become single ones.
        QuoteCase{u'"', u"SELECT [[x]] FROM t", u"SELECT [x] FROM t"},
        // Inside a literal nothing changes, a doubled quote included.
        QuoteCase{u'"', u"SELECT a FROM t WHERE b = '[x]'", u"SELECT a FROM t WHERE b = '[x]'"},
        QuoteCase{u'"', u"SELECT a FROM t WHERE b = 'it''s [x]' AND [c] = 1",
                  u"SELECT a FROM t WHERE b = 'it''s [x]' AND \"c\" = 1"},
        QuoteCase{u'"', u"SELECT a FROM t WHERE b = '[[x]]'", u"SELECT a FROM t WHERE b = '[[x]]'"},
        // A doubled quote outside a literal is copied and does not open one.
        QuoteCase{u'"', u"SELECT '' , [x]", u"SELECT '' , \"x\""},
        // The program's statement has no brackets.
        QuoteCase{u'"', u"SELECT marque FROM avion ", u"SELECT marque FROM avion "}));

INSTANTIATE_TEST_SUITE_P(
    HostileText, QuoteBracketedNamesTest,
    ::testing::Values(QuoteCase{u'"', u"", u""},
                      QuoteCase{u'"', u"[", u"\""},
                      QuoteCase{u'"', u"]", u"\""},
                      QuoteCase{u'"', u"abc[", u"abc\""},
                      QuoteCase{u'"', u"abc]]", u"abc]"},
                      QuoteCase{u'"', u"abc[[", u"abc["},
                      QuoteCase{u'"', u"[[[", u"[\""},
                      QuoteCase{u'"', u"]]]", u"]\""},
                      QuoteCase{u'"', u"[a", u"\"a"},
                      QuoteCase{u'"', u"a]b[", u"a\"b\""},
                      // An unterminated literal protects everything after it.
                      QuoteCase{u'"', u"'[x]", u"'[x]"},
                      QuoteCase{u'"', u"[x]'", u"\"x\"'"},
                      QuoteCase{u'"', u"'", u"'"},
                      QuoteCase{u'"', u"''", u"''"},
                      QuoteCase{u'"', u"'''[x]", u"'''[x]"},
                      QuoteCase{u'"', u"'a'[x]'b'", u"'a'\"x\"'b'"}));

}  // namespace
