// Keyword search outside quoted literals and bracketed names, and join detection.
#include <gtest/gtest.h>

#include <string>

#include "db/recordset.h"
#include "tests/db/support/raised.h"

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

TEST(FindKeywordPlain, IgnoresLetterCase) {
  EXPECT_EQ(Find(u"select marque from avion", u" FROM "), 13);
  EXPECT_EQ(Find(u"SeLeCt a FrOm t", u" FROM "), 8);
}

TEST(FindKeywordPlain, ReturnsTheFirstOccurrence) {
  EXPECT_EQ(Find(u"a WHERE b WHERE c", u" WHERE "), 1);
}

TEST(FindKeywordPlain, NoMatchGivesNull) {
  EXPECT_EQ(Find(u"SELECT a", u" FROM "), -1);
  EXPECT_EQ(Find(u"SELECT a FROMt", u" FROM "), -1);
}

TEST(FindKeywordPlain, KeywordAtTheVeryEnd) {
  EXPECT_EQ(Find(u"SELECT a FROM t WHERE ", u" WHERE "), 15);
  EXPECT_EQ(Find(u",", u","), 0);
  // Only part of the keyword fits at the end.
  EXPECT_EQ(Find(u"SELECT a FROM t WHERE", u" WHERE "), -1);
}

TEST(FindKeywordPlain, EmptyTextAndKeywordLongerThanText) {
  EXPECT_EQ(Find(u"", u" FROM "), -1);
  EXPECT_EQ(Find(u"FROM", u" FROM "), -1);
}

TEST(FindKeywordPlain, NullArgumentsAreRefused) {
  EXPECT_TRUE(RaisesInvalidArg([] { FindKeyword(nullptr, u" FROM "); }));
  EXPECT_TRUE(RaisesInvalidArg([] { FindKeyword(u"SELECT a FROM t", nullptr); }));
}

TEST(FindKeywordPlain, LettersOutsideBasicLatinKeepPositions) {
  // Characters before the match that change under upper-casing, or that are surrogate
  // halves, must not move the index.
  EXPECT_EQ(Find(u"s\u00e9lect \u00df FROM t", u" FROM "), 8);
  EXPECT_EQ(Find(u"SELECT \U0001F600 FROM t", u" FROM "), 9);
}

TEST(FindKeywordQuoted, SkipsAMatchInsideALiteral) {
  EXPECT_EQ(Find(u"SELECT ' FROM x' FROM t", u" FROM "), 16);
  EXPECT_EQ(Find(u"SELECT ' FROM x'", u" FROM "), -1);
}

TEST(FindKeywordQuoted, SkipsAMatchInsideBrackets) {
  EXPECT_EQ(Find(u"SELECT [a FROM b] FROM t", u" FROM "), 17);
  EXPECT_EQ(Find(u"SELECT [a FROM b]", u" FROM "), -1);
}

TEST(FindKeywordQuoted, DoubledQuoteIsEscapedInsideAndOutsideALiteral) {
  // Inside: 'it''s FROM x' stays one literal.
  EXPECT_EQ(Find(u"SELECT 'it'' FROM x' FROM t", u" FROM "), 20);
  // Outside: '' opens no literal.
  EXPECT_EQ(Find(u"SELECT a'' FROM t", u" FROM "), 10);
}

TEST(FindKeywordQuoted, DoubledBracketsAreEscapedOutsideALiteral) {
  // [[ opens nothing.
  EXPECT_EQ(Find(u"SELECT [[ FROM t", u" FROM "), 9);
  // ]] inside a bracketed name does not close it.
  EXPECT_EQ(Find(u"SELECT [a]] FROM b] FROM t", u" FROM "), 19);
}

TEST(FindKeywordQuoted, BracketsInsideALiteralDoNotCount) {
  EXPECT_EQ(Find(u"SELECT '[' FROM t", u" FROM "), 10);
  EXPECT_EQ(Find(u"SELECT ']' FROM t", u" FROM "), 10);
}

TEST(FindKeywordQuoted, QuotesInsideBracketsStillToggleTheLiteral) {
  // The quote scan does not stop inside brackets: [it's] leaves a literal open.
  EXPECT_EQ(Find(u"SELECT [it's] FROM t", u" FROM "), -1);
}

TEST(FindKeywordQuoted, BracketsAreCountedNotJustToggled) {
  // A stray closing bracket makes the balance negative; the next opening one only brings it
  // back to zero, so the match counts as outside brackets.
  EXPECT_EQ(Find(u"SELECT ] [ FROM t", u" FROM "), 10);
  // Two stray closing brackets: one opening bracket still leaves the balance negative.
  EXPECT_EQ(Find(u"SELECT ] ] [ FROM t", u" FROM "), 12);
  // Two opening brackets and one closing: still inside.
  EXPECT_EQ(Find(u"SELECT [a [b] FROM t", u" FROM "), -1);
}

TEST(FindKeywordQuoted, UnbalancedQuoteOrBracketHidesTheRest) {
  EXPECT_EQ(Find(u"SELECT 'abc FROM t", u" FROM "), -1);
  EXPECT_EQ(Find(u"SELECT [abc FROM t", u" FROM "), -1);
  EXPECT_EQ(Find(u"'", u","), -1);
  EXPECT_EQ(Find(u"[", u","), -1);
  // A quote or bracket as the very last character before the match and of the text.
  EXPECT_EQ(Find(u"a', '", u","), -1);
  EXPECT_EQ(Find(u"a[,", u","), -1);
  EXPECT_EQ(Find(u"a],", u","), 2);
}

TEST(FindKeywordQuoted, SearchResumesPastTheWholeSkippedMatch) {
  // "A]A" first matches inside the brackets at 1. The next search starts at 4, past that whole
  // match, so the overlapping occurrence at 3 (which lies outside) is never seen.
  EXPECT_EQ(Find(u"[A]A]A", u"A]A"), -1);
  // An occurrence that starts after the skipped one is found.
  EXPECT_EQ(Find(u"[A]A] A]A", u"A]A"), 6);
}

TEST(FindKeywordLongText, HundredThousandCharacters) {
  const std::u16string filler(100000, u'x');
  EXPECT_EQ(Find(u"SELECT " + filler + u" FROM t", u" FROM "), 7 + 100000);
  EXPECT_EQ(Find(u"SELECT '" + filler + u" FROM t", u" FROM "), -1);
  EXPECT_EQ(Find(u"SELECT [" + filler + u" FROM t", u" FROM "), -1);
  EXPECT_EQ(Find(filler, u" FROM "), -1);
}

TEST(FindKeywordLongText, ManySkippedMatchesBeforeTheOneOutside) {
  // 50,000 commas inside one literal, then one outside it.
  std::u16string text = u"'" + std::u16string(50000, u',') + u"' ,";
  EXPECT_EQ(Find(text, u","), static_cast<long>(text.size()) - 1);
  EXPECT_EQ(Find(text.substr(0, text.size() - 3), u","), -1);
}

TEST(HasJoin, CommaOrJoinOutsideQuotes) {
  EXPECT_TRUE(HasJoin(u" FROM t1, t2"));
  EXPECT_TRUE(HasJoin(u" FROM t1 JOIN t2 ON t1.k = t2.k"));
  EXPECT_TRUE(HasJoin(u" from t1 inner join t2 on t1.k = t2.k"));
  EXPECT_TRUE(HasJoin(u" FROM [a,b], c"));
}

TEST(HasJoin, CommaOrJoinInsideQuotesIsNoJoin) {
  EXPECT_FALSE(HasJoin(u" FROM [x,y]"));
  EXPECT_FALSE(HasJoin(u" FROM ['a JOIN b']"));
  EXPECT_FALSE(HasJoin(u" FROM t WHERE 'c,d'"));
  EXPECT_FALSE(HasJoin(u" FROM [t JOIN u]"));
}

TEST(HasJoin, SingleTableIsNoJoin) {
  EXPECT_FALSE(HasJoin(u" FROM avion "));
  EXPECT_FALSE(HasJoin(u""));
  // JOIN needs its blanks.
  EXPECT_FALSE(HasJoin(u" FROM joined"));
}

TEST(HasJoin, NullIsRefused) {
  EXPECT_TRUE(RaisesInvalidArg([] { HasJoin(nullptr); }));
}

}  // namespace
