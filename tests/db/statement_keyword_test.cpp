// Keyword search outside quoted literals and bracketed names, and join detection.
#include <gtest/gtest.h>

#include <string>

#include "db/recordset.h"
#include "tests/db/support/raised.h"
#include "tests/db/support/table_cases.h"

namespace {

// Index of the match in `text`, or -1 for none.
long Find(const std::u16string& text, const char16_t* keyword) {
  const char16_t* hit = FindKeyword(text.c_str(), keyword);
  if (hit == nullptr) return -1;
  EXPECT_GE(hit, text.c_str());
  EXPECT_LT(hit, text.c_str() + text.size());
  return static_cast<long>(hit - text.c_str());
}

TEST(FindKeywordPlain, FindsTheProgramStatementsFrom) {
  const std::u16string text = u"SELECT marque FROM avion ";
  const char16_t* hit = FindKeyword(text.c_str(), u" FROM ");
  // A pointer into the caller's text, not into a copy.
  EXPECT_EQ(hit, text.c_str() + 13);
}

// A text, a keyword, and the index of the first match outside literals and brackets (-1: none).
struct KeywordCase {
  const char* name;
  std::u16string text;
  const char16_t* keyword;
  long index;
};

class FindKeywordCases : public ::testing::TestWithParam<KeywordCase> {};

TEST_P(FindKeywordCases, FindsTheFirstMatchOutsideQuotes) {
  EXPECT_EQ(Find(GetParam().text, GetParam().keyword), GetParam().index);
}

const std::u16string kFiller(100000, u'x');
const std::u16string kCommasInALiteral = u"'" + std::u16string(50000, u',') + u"' ,";

DB_NAMED_CASES(
    Texts, FindKeywordCases,
    KeywordCase{"LowerCase", u"select marque from avion", u" FROM ", 13},
    KeywordCase{"MixedCase", u"SeLeCt a FrOm t", u" FROM ", 8},
    KeywordCase{"FirstOccurrence", u"a WHERE b WHERE c", u" WHERE ", 1},
    KeywordCase{"NoMatch", u"SELECT a", u" FROM ", -1},
    KeywordCase{"NoMatchWithoutTheBlank", u"SELECT a FROMt", u" FROM ", -1},
    KeywordCase{"AtTheVeryEnd", u"SELECT a FROM t WHERE ", u" WHERE ", 15},
    KeywordCase{"WholeText", u",", u",", 0},
    // Only part of the keyword fits at the end.
    KeywordCase{"PartlyAtTheEnd", u"SELECT a FROM t WHERE", u" WHERE ", -1},
    KeywordCase{"EmptyText", u"", u" FROM ", -1},
    KeywordCase{"KeywordLongerThanText", u"FROM", u" FROM ", -1},
    // Characters before the match that change under upper-casing, or that are surrogate
    // halves, must not move the index.
    KeywordCase{"LettersOutsideBasicLatin", u"s\u00e9lect \u00df FROM t", u" FROM ", 8},
    KeywordCase{"SurrogatePair", u"SELECT \U0001F600 FROM t", u" FROM ", 9},
    KeywordCase{"SkipsALiteral", u"SELECT ' FROM x' FROM t", u" FROM ", 16},
    KeywordCase{"OnlyInALiteral", u"SELECT ' FROM x'", u" FROM ", -1},
    KeywordCase{"SkipsBrackets", u"SELECT [a FROM b] FROM t", u" FROM ", 17},
    KeywordCase{"OnlyInBrackets", u"SELECT [a FROM b]", u" FROM ", -1},
    // Inside: 'it''s FROM x' stays one literal.
    KeywordCase{"DoubledQuoteInsideALiteral", u"SELECT 'it'' FROM x' FROM t", u" FROM ", 20},
    // Outside: '' opens no literal.
    KeywordCase{"DoubledQuoteOutsideALiteral", u"SELECT a'' FROM t", u" FROM ", 10},
    // [[ opens nothing.
    KeywordCase{"DoubledOpeningBracket", u"SELECT [[ FROM t", u" FROM ", 9},
    // ]] inside a bracketed name does not close it.
    KeywordCase{"DoubledClosingBracket", u"SELECT [a]] FROM b] FROM t", u" FROM ", 19},
    KeywordCase{"OpeningBracketInALiteral", u"SELECT '[' FROM t", u" FROM ", 10},
    KeywordCase{"ClosingBracketInALiteral", u"SELECT ']' FROM t", u" FROM ", 10},
    // The quote scan does not stop inside brackets: [it's] leaves a literal open.
    KeywordCase{"QuoteInsideBrackets", u"SELECT [it's] FROM t", u" FROM ", -1},
    // A stray closing bracket makes the balance negative; the next opening one only brings
    // it back to zero, so the match counts as outside brackets.
    KeywordCase{"StrayClosingBracket", u"SELECT ] [ FROM t", u" FROM ", 10},
    // Two stray closing brackets: one opening bracket still leaves the balance negative.
    KeywordCase{"TwoStrayClosingBrackets", u"SELECT ] ] [ FROM t", u" FROM ", 12},
    // Two opening brackets and one closing: still inside.
    KeywordCase{"TwoOpeningOneClosing", u"SELECT [a [b] FROM t", u" FROM ", -1},
    KeywordCase{"UnbalancedQuote", u"SELECT 'abc FROM t", u" FROM ", -1},
    KeywordCase{"UnbalancedBracket", u"SELECT [abc FROM t", u" FROM ", -1},
    KeywordCase{"LoneQuote", u"'", u",", -1},
    KeywordCase{"LoneBracket", u"[", u",", -1},
    // A quote or bracket as the very last character before the match and of the text.
    KeywordCase{"QuoteLastOfTheText", u"a', '", u",", -1},
    KeywordCase{"BracketBeforeTheMatch", u"a[,", u",", -1},
    KeywordCase{"ClosingBracketBeforeTheMatch", u"a],", u",", 2},
    // "A]A" first matches inside the brackets at 1. The next search starts at 4, past that
    // whole match, so the overlapping occurrence at 3 (which lies outside) is never seen.
    KeywordCase{"ResumesPastTheSkippedMatch", u"[A]A]A", u"A]A", -1},
    // An occurrence that starts after the skipped one is found.
    KeywordCase{"FindsAMatchAfterTheSkippedOne", u"[A]A] A]A", u"A]A", 6},
    KeywordCase{"HundredThousandCharacters", u"SELECT " + kFiller + u" FROM t", u" FROM ",
                7 + 100000},
    KeywordCase{"LongLiteralLeftOpen", u"SELECT '" + kFiller + u" FROM t", u" FROM ", -1},
    KeywordCase{"LongBracketsLeftOpen", u"SELECT [" + kFiller + u" FROM t", u" FROM ", -1},
    KeywordCase{"LongTextWithoutMatch", kFiller, u" FROM ", -1},
    // 50,000 commas inside one literal, then one outside it.
    KeywordCase{"ManySkippedMatches", kCommasInALiteral, u",",
                static_cast<long>(kCommasInALiteral.size()) - 1},
    KeywordCase{"ManySkippedMatchesOnly",
                kCommasInALiteral.substr(0, kCommasInALiteral.size() - 3), u",", -1});

TEST(FindKeywordPlain, NullArgumentsAreRefused) {
  EXPECT_TRUE(RaisesInvalidArg([] { FindKeyword(nullptr, u" FROM "); }));
  EXPECT_TRUE(RaisesInvalidArg([] { FindKeyword(u"SELECT a FROM t", nullptr); }));
}

// A FROM clause and whether it joins tables.
struct JoinCase {
  const char* name;
  const char16_t* text;
  bool join;
};

class HasJoinCases : public ::testing::TestWithParam<JoinCase> {};

TEST_P(HasJoinCases, LooksForACommaOrJoinOutsideQuotes) {
  EXPECT_EQ(static_cast<bool>(HasJoin(GetParam().text)), GetParam().join);
}

INSTANTIATE_TEST_SUITE_P(
    Clauses, HasJoinCases,
    ::testing::Values(JoinCase{"Comma", u" FROM t1, t2", true},
                      JoinCase{"Join", u" FROM t1 JOIN t2 ON t1.k = t2.k", true},
                      JoinCase{"LowerCaseJoin", u" from t1 inner join t2 on t1.k = t2.k", true},
                      JoinCase{"CommaAfterBrackets", u" FROM [a,b], c", true},
                      JoinCase{"CommaInBrackets", u" FROM [x,y]", false},
                      JoinCase{"JoinInALiteral", u" FROM ['a JOIN b']", false},
                      JoinCase{"CommaInALiteral", u" FROM t WHERE 'c,d'", false},
                      JoinCase{"JoinInBrackets", u" FROM [t JOIN u]", false},
                      JoinCase{"SingleTable", u" FROM avion ", false},
                      JoinCase{"Empty", u"", false},
                      // JOIN needs its blanks.
                      JoinCase{"JoinWithoutBlanks", u" FROM joined", false}),
    CaseName<JoinCase>);

TEST(HasJoin, NullIsRefused) {
  EXPECT_TRUE(RaisesInvalidArg([] { HasJoin(nullptr); }));
}

}  // namespace
