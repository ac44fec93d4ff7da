// Composition of the statement text and the decision whether its rows may be changed. No
// driver is asked: the connection is never opened, so the recordsets hold no statement. And
// the keyword search it rests on, outside quoted literals and bracketed names, and join
// detection.
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "db/database.h"
#include "db/recordset.h"
#include "tests/db/support/raised.h"
#include "tests/db/support/recordset_fields.h"
#include "tests/db/support/table_cases.h"
#include "tests/db/support/test_names.h"
#include "tests/db/support/trace_capture.h"

namespace {

std::u16string Text(const CString& s) { return std::u16string(s.View()); }

class Compose : public ::testing::Test {
 protected:
  // As the program's Open leaves it before composing: appendable, not updatable.
  void SetUp() override {
    rs.m_bAppendable = TRUE;
    rs.m_bUpdatable = FALSE;
  }

  CDatabase db;
  CRecordset rs{&db};
  TraceCapture traces;
};

TEST_F(Compose, ForUpdateOnlyWhenUpdatablePositionedAndAsked) {
  rs.m_bUpdatable = TRUE;
  rs.m_bPositionedUpdates = TRUE;
  db.m_bForUpdateClause = TRUE;
  rs.ComposeStatement(u"SELECT a FROM t");
  EXPECT_EQ(Text(rs.m_strSQL), u"SELECT a FROM t FOR UPDATE ");
}

TEST_F(Compose, NoForUpdateWhenOneConditionIsMissing) {
  struct Case {
    BOOL updatable, positioned, forUpdate;
  };
  for (const Case c : {Case{FALSE, TRUE, TRUE}, Case{TRUE, FALSE, TRUE}, Case{TRUE, TRUE, FALSE}}) {
    rs.m_bUpdatable = c.updatable;
    rs.m_bAppendable = TRUE;
    rs.m_bPositionedUpdates = c.positioned;
    db.m_bForUpdateClause = c.forUpdate;
    rs.ComposeStatement(u"SELECT a FROM t");
    EXPECT_EQ(Text(rs.m_strSQL), u"SELECT a FROM t");
  }
}

TEST_F(Compose, NoForUpdateWhenTheTextIsNotModifiable) {
  rs.m_bUpdatable = TRUE;
  rs.m_bPositionedUpdates = TRUE;
  db.m_bForUpdateClause = TRUE;
  rs.ComposeStatement(u"SELECT a FROM t GROUP BY a");
  EXPECT_EQ(Text(rs.m_strSQL), u"SELECT a FROM t GROUP BY a");
  EXPECT_FALSE(rs.m_bUpdatable);
}

TEST_F(Compose, CallsAreKeptAndNotModifiable) {
  for (const char16_t* text : {u"{CALL proc}", u"{call proc(1)}", u"{fn x}", u"{?= call p}"}) {
    rs.m_bAppendable = TRUE;
    rs.m_bUpdatable = TRUE;
    rs.ComposeStatement(text);
    EXPECT_EQ(Text(rs.m_strSQL), text);
    EXPECT_FALSE(rs.m_bAppendable);
    EXPECT_FALSE(rs.m_bUpdatable);
  }
  // A call is no SELECT: no warning explains it.
  EXPECT_THAT(traces.Texts(), IsEmpty());
}

TEST_F(Compose, TableTextWithoutFieldsRaisesNoFieldNames) {
  EXPECT_EQ(RaisedCode([&] { rs.ComposeStatement(u"avion"); }), dbErrorNoFieldNames);
  EXPECT_THAT(traces.Texts(),
              ElementsAre("Error: no field names - at least 1 required.\n", kMissingTextTrace));
}

TEST_F(Compose, NullTextTakesTheEmptyDefaultAndRaisesNoFieldNames) {
  EXPECT_EQ(RaisedCode([&] { rs.ComposeStatement(nullptr); }), dbErrorNoFieldNames);
  EXPECT_THAT(traces.Texts(),
              ElementsAre("Error: no field names - at least 1 required.\n", kMissingTextTrace));
}

TEST_F(Compose, NullTextTakesTheDefaultStatementText) {
  DefaultTextRecordset own(&db, u"SELECT b FROM u");
  own.ComposeStatement(nullptr);
  EXPECT_EQ(Text(own.m_strSQL), u"SELECT b FROM u");
}

TEST_F(Compose, TableTextWithFieldsBuildsASelect) {
  FieldRecordset fields(&db, {u"a", u"b"});
  fields.ComposeStatement(u"avion");
  EXPECT_EQ(Text(fields.m_strSQL), u"SELECT a,b  FROM avion");
  // The fields are marked changed before their names are listed.
  EXPECT_THAT(fields.m_modes, ElementsAre(CFieldExchange::MarkChanged, CFieldExchange::Name));
}

TEST_F(Compose, BuiltSelectGetsWhereAndOrderBy) {
  FieldRecordset fields(&db, {u"a"});
  fields.m_bAppendable = TRUE;
  fields.m_strWhereClause = u"a > 1";
  fields.m_strOrderByClause = u"a";
  fields.ComposeStatement(u"t");
  EXPECT_EQ(Text(fields.m_strSQL), u"SELECT a  FROM t WHERE a > 1 ORDER BY a");
  EXPECT_EQ(Text(fields.m_strFromTable), u"t");
  EXPECT_TRUE(fields.m_bAppendable);
}

TEST_F(Compose, EmptyTextWithFieldsSelectsFromNothing) {
  FieldRecordset fields(&db, {u"a"});
  fields.ComposeStatement(u"");
  EXPECT_EQ(Text(fields.m_strSQL), u"SELECT a  FROM ");
}

TEST_F(Compose, ParametersAreCountedFirst) {
  FieldRecordset fields(&db, {u"a"});
  fields.m_nParams = 1;
  fields.ComposeStatement(u"SELECT a FROM t WHERE a = ?");
  EXPECT_THAT(fields.m_modes, ElementsAre(CFieldExchange::BindParam));
}

TEST_F(Compose, NoParametersNoParameterPass) {
  FieldRecordset fields(&db, {u"a"});
  fields.ComposeStatement(u"SELECT a FROM t");
  EXPECT_THAT(fields.m_modes, IsEmpty());
}

// A statement composed with the clauses and the identifier quote in force.
struct Composed {
  const char* name;
  char16_t quote;
  const char16_t* where;
  const char16_t* orderBy;
  const char16_t* text;
  const char16_t* sql;
  const char16_t* fromTable;  // null: not compared
};

DB_PRINT_ROWS_BY_NAME(Composed)

using ComposeText = CasesOf<Compose, Composed>;

TEST_P(ComposeText, AppendsTheClausesAndQuotesTheBracketedNames) {
  const Composed& c = GetParam();
  db.m_chIdentifierQuote = c.quote;
  rs.m_strWhereClause = c.where;
  rs.m_strOrderByClause = c.orderBy;
  rs.ComposeStatement(c.text);
  EXPECT_EQ(Text(rs.m_strSQL), c.sql);
  EXPECT_EQ(rs.m_strSQL.GetLength(), static_cast<int>(std::u16string_view(c.sql).size()));
  if (c.fromTable != nullptr) {
    EXPECT_EQ(Text(rs.m_strFromTable), c.fromTable);
  }
}

DB_NAMED_CASES(
    Statements, ComposeText,
    // The connection's quote is the double quote unless the driver names another.
    Composed{"WhereIsAppendedWhateverTheTextHolds", u'"', u"y=2", u"",
             u"SELECT a FROM t WHERE x=1", u"SELECT a FROM t WHERE x=1 WHERE y=2", u"t"},
    Composed{"OrderByFollowsWhere", u'"', u"y=2", u"a DESC", u"SELECT a FROM t",
             u"SELECT a FROM t WHERE y=2 ORDER BY a DESC", nullptr},
    Composed{"OrderByAloneOnACall", u'"', u"", u"a", u"{CALL p}", u"{CALL p} ORDER BY a",
             nullptr},
    // The table text is taken before the quoting.
    Composed{"BracketsBecomeTheIdentifierQuote", u'"', u"", u"", u"SELECT [my col] FROM [t]",
             u"SELECT \"my col\" FROM \"t\"", u"[t]"},
    Composed{"DoubledBracketsBecomeSingleOnes", u'"', u"", u"", u"SELECT [[x]] FROM t",
             u"SELECT [x] FROM t", nullptr},
    Composed{"LiteralsAreNotQuoted", u'"', u"", u"",
             u"SELECT a FROM t WHERE b = '[x]' AND c = 'it''s'",
             u"SELECT a FROM t WHERE b = '[x]' AND c = 'it''s'", nullptr},
    Composed{"QuotingUsesTheConnectionsCharacter", u'`', u"[k] = 1", u"", u"SELECT [a] FROM t",
             u"SELECT `a` FROM t WHERE `k` = 1", nullptr},
    Composed{"NullIdentifierQuoteEndsTheTextAtTheFirstBracket", u'\0', u"", u"",
             u"SELECT a FROM [t]", u"SELECT a FROM ", nullptr});

TEST(ComposeWithoutConnection, NullConnectionIsRefused) {
  CRecordset rs(nullptr);
  EXPECT_TRUE(RaisesInvalidArg([&] { rs.ComposeStatement(u"SELECT a FROM t"); }));
}

TEST(ComposeWithoutConnection, NullConnectionIsRefusedWhenLongBinaryNeedsIt) {
  CRecordset rs(nullptr);
  rs.m_strSQL = u"SELECT a FROM t";
  rs.m_bAppendable = TRUE;
  rs.m_bHasLongBinary = TRUE;
  EXPECT_TRUE(RaisesInvalidArg([&] { rs.CanModifyRows(); }));
}

// Why a statement is not modifiable, told by one trace; the flags are cleared.
struct NotModifiable {
  const char16_t* text;
  const char* trace;
};

void PrintTo(const NotModifiable& c, std::ostream* os) { *os << CString(c.text).ToUtf8(); }

using ComposeNotModifiable = CasesOf<Compose, NotModifiable>;

TEST_P(ComposeNotModifiable, TracesWhyAndClearsTheFlags) {
  rs.m_bUpdatable = TRUE;
  rs.m_strFromTable = u"before";
  rs.ComposeStatement(GetParam().text);
  EXPECT_EQ(Text(rs.m_strSQL), GetParam().text);
  EXPECT_FALSE(rs.m_bUpdatable);
  EXPECT_FALSE(rs.m_bAppendable);
  EXPECT_THAT(traces.Texts(), ElementsAre(GetParam().trace));
  EXPECT_EQ(Text(rs.m_strFromTable), u"before");
}

INSTANTIATE_TEST_SUITE_P(
    Statements, ComposeNotModifiable,
    ::testing::Values(
        NotModifiable{u"SELECT 1", "Warning: Missing ' FROM ', recordset not updatable \n"},
        NotModifiable{u"SELECT ' FROM t'", "Warning: Missing ' FROM ', recordset not updatable \n"},
        NotModifiable{u"SELECT a FROM t GROUP BY a",
                      "Warning: SQL contains ' GROUP BY ', recordset not updatable \n"},
        NotModifiable{u"SELECT a FROM t group by a",
                      "Warning: SQL contains ' GROUP BY ', recordset not updatable \n"},
        NotModifiable{u"SELECT a FROM t UNION SELECT a FROM u",
                      "Warning: SQL contains ' UNION ', recordset not updatable \n"},
        NotModifiable{u"SELECT a FROM t1, t2", "Warning: SQL contains join, recordset not updatable \n"},
        NotModifiable{u"SELECT a FROM t JOIN u ON t.k = u.k WHERE a = 1",
                      "Warning: SQL contains join, recordset not updatable \n"},
        NotModifiable{u"SELECT a FROM x,'y' ORDER BY a, b",
                      "Warning: SQL contains join, recordset not updatable \n"}));

// A modifiable statement, the table text of its FROM clause and the text composed (null: the
// statement as it is).
struct Modifiable {
  const char16_t* text;
  const char16_t* fromTable;
  const char16_t* sql = nullptr;
};

void PrintTo(const Modifiable& c, std::ostream* os) { *os << CString(c.text).ToUtf8(); }

using ComposeModifiable = CasesOf<Compose, Modifiable>;

// The flags stay as they were, updatable or not.
TEST_P(ComposeModifiable, KeepsTheFlagsTheTextAndTheTableText) {
  const Modifiable& c = GetParam();
  for (BOOL updatable : {FALSE, TRUE}) {
    rs.m_bUpdatable = updatable;
    rs.ComposeStatement(c.text);
    EXPECT_EQ(rs.m_bUpdatable, updatable);
    EXPECT_TRUE(rs.m_bAppendable);
    EXPECT_EQ(Text(rs.m_strSQL), c.sql != nullptr ? c.sql : c.text);
    EXPECT_EQ(Text(rs.m_strFromTable), c.fromTable);
  }
  EXPECT_THAT(traces.Texts(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Statements, ComposeModifiable,
    ::testing::Values(
        Modifiable{u"SELECT marque FROM avion ", u"avion "},
        Modifiable{u"select marque from avion", u"avion"},  // keeps its case
        Modifiable{u"SELECTION FROM t", u"t"},  // any text beginning with SELECT
        Modifiable{u"SELECT a FROM [x,y]", u"[x,y]", u"SELECT a FROM \"x,y\""},
        Modifiable{u"SELECT a FROM t WHERE b = 'c,d'", u"t"},
        Modifiable{u"SELECT a FROM t ORDER BY a, b", u"t"},
        Modifiable{u"SELECT a FROM t ORDER BY a WHERE b, c", u"t"},
        Modifiable{u"SELECT a FROM t WHERE b = ' GROUP BY '", u"t"},
        Modifiable{u"SELECT a FROM t WHERE b = ' UNION '", u"t"},
        Modifiable{u"SELECT [ GROUP BY ] FROM t", u"t", u"SELECT \" GROUP BY \" FROM t"},
        Modifiable{u"SELECT a FROM t WHERE b = ' JOIN '", u"t"}, Modifiable{u"SELECT a FROM ", u""},
        // Malformed texts: the FROM clause must still lie inside the text.
        Modifiable{u"SELECT a FROM WHERE x", u""}, Modifiable{u"SELECT a WHERE b FROM t", u"t"},
        Modifiable{u"SELECT a WHERE b FROM t ORDER BY c, d", u"t"},
        Modifiable{u"SELECT a ORDER BY b FROM t WHERE c", u"t"},
        Modifiable{u"SELECT a FROM t WHERE b = 'x", u"t"}));

class CanModify : public Compose {};

// A long binary column needs SQLGetData on bound columns, or else positioned update SQL.
struct LongBinaryCase {
  const char* name;
  DWORD capabilities;
  BOOL positionedBefore;
  bool modifiable;
  BOOL positioned;
  std::vector<std::string> traces;
};

DB_PRINT_ROWS_BY_NAME(LongBinaryCase)

using CanModifyLongBinary = CasesOf<Compose, LongBinaryCase>;

TEST_P(CanModifyLongBinary, FollowsTheConnectionsCapabilities) {
  const LongBinaryCase& c = GetParam();
  rs.m_strSQL = u"SELECT a FROM t";
  rs.m_bHasLongBinary = TRUE;
  rs.m_bPositionedUpdates = c.positionedBefore;
  db.m_dwUpdateCapabilities = c.capabilities;
  EXPECT_EQ(static_cast<bool>(rs.CanModifyRows()), c.modifiable);
  EXPECT_EQ(rs.m_bPositionedUpdates, c.positioned);
  EXPECT_EQ(traces.Texts(), c.traces);
}

DB_NAMED_CASES(
    Capabilities, CanModifyLongBinary,
    LongBinaryCase{"GetDataOnBoundColumnsChangesNothing", CDatabase::kCanGetDataBound, FALSE,
                   true, FALSE, {}},
    LongBinaryCase{"FallsBackToPositionedSql", CDatabase::kCanPositionedSql, FALSE, true, TRUE,
                   {"Warning: Can't use SQLSetPos due to lack of SQLGetData support.\n",
                    "\tWill use positioned update SQL.\n"}},
    LongBinaryCase{"WithoutEitherIsReadOnly", CDatabase::kCanSetPos, FALSE, false, FALSE,
                   {"Warning: Setting recordset read only due to lack of SQLGetData "
                    "support.\n"}},
    LongBinaryCase{"WithPositionedUpdatesAlreadyChosen", 0, TRUE, true, TRUE, {}});

TEST_F(CanModify, PositionedFallbackLeadsToForUpdate) {
  rs.m_bUpdatable = TRUE;
  rs.m_bHasLongBinary = TRUE;
  db.m_dwUpdateCapabilities = CDatabase::kCanPositionedSql;
  db.m_bForUpdateClause = TRUE;
  rs.ComposeStatement(u"SELECT a FROM t");
  EXPECT_EQ(Text(rs.m_strSQL), u"SELECT a FROM t FOR UPDATE ");
}

TEST_F(CanModify, ReadOnlyRecordsetIsNotAnalysed) {
  rs.m_bAppendable = FALSE;
  rs.m_bUpdatable = FALSE;
  rs.ComposeStatement(u"SELECT a FROM t GROUP BY a");
  EXPECT_THAT(traces.Texts(), IsEmpty());
  EXPECT_TRUE(rs.m_strFromTable.IsEmpty());
}

TEST_F(CanModify, NullTextsAreRefused) {
  EXPECT_TRUE(RaisesInvalidArg([&] { rs.IsModifiableStatement(nullptr); }));
  EXPECT_TRUE(RaisesInvalidArg([&] { rs.IsModifiableSelect(nullptr); }));
}

TEST_F(CanModify, IsModifiableStatementTellsCallsFromSelects) {
  EXPECT_FALSE(rs.IsModifiableStatement(u"{CALL p}"));
  EXPECT_FALSE(rs.IsModifiableStatement(u"{"));
  EXPECT_TRUE(rs.IsModifiableStatement(u"SELECT a FROM t"));
  EXPECT_TRUE(rs.IsModifiableStatement(u"UPDATE x SET a = 1 FROM t"));
}

TEST_F(Compose, HundredThousandCharacters) {
  const std::u16string column(100000, u'c');
  const std::u16string text = u"SELECT [" + column + u"] FROM t WHERE a = 'x'";
  rs.ComposeStatement(text.c_str());
  EXPECT_EQ(Text(rs.m_strSQL), u"SELECT \"" + column + u"\" FROM t WHERE a = 'x'");
  EXPECT_EQ(Text(rs.m_strFromTable), u"t");
  EXPECT_TRUE(rs.m_bAppendable);

  FieldRecordset fields(&db, std::vector<std::u16string>(1000, u"column_name"));
  fields.ComposeStatement(u"t");
  EXPECT_EQ(fields.m_strSQL.GetLength(), 7 + 1000 * 12 + 6 + 1);
}

TEST_F(Compose, UnbalancedQuoteOverALongText) {
  const std::u16string text = u"SELECT '" + std::u16string(100000, u'q') + u" FROM t";
  rs.ComposeStatement(text.c_str());
  EXPECT_EQ(Text(rs.m_strSQL), text);
  EXPECT_FALSE(rs.m_bAppendable);
  EXPECT_THAT(traces.Texts(), ElementsAre("Warning: Missing ' FROM ', recordset not updatable \n"));
}

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
    Texts, FindKeywordCases, KeywordCase{"LowerCase", u"select marque from avion", u" FROM ", 13},
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
    KeywordCase{"LoneQuote", u"'", u",", -1}, KeywordCase{"LoneBracket", u"[", u",", -1},
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
    KeywordCase{"ManySkippedMatchesOnly", kCommasInALiteral.substr(0, kCommasInALiteral.size() - 3),
                u",", -1});

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

DB_NAMED_CASES(
    Clauses, HasJoinCases,
    JoinCase{"Comma", u" FROM t1, t2", true},
    JoinCase{"Join", u" FROM t1 JOIN t2 ON t1.k = t2.k", true},
    JoinCase{"LowerCaseJoin", u" from t1 inner join t2 on t1.k = t2.k", true},
    JoinCase{"CommaAfterBrackets", u" FROM [a,b], c", true},
    JoinCase{"CommaInBrackets", u" FROM [x,y]", false},
    JoinCase{"JoinInALiteral", u" FROM ['a JOIN b']", false},
    JoinCase{"CommaInALiteral", u" FROM t WHERE 'c,d'", false},
    JoinCase{"JoinInBrackets", u" FROM [t JOIN u]", false},
    JoinCase{"SingleTable", u" FROM avion ", false}, JoinCase{"Empty", u"", false},
    // JOIN needs its blanks.
    JoinCase{"JoinWithoutBlanks", u" FROM joined", false});

TEST(HasJoin, NullIsRefused) {
  EXPECT_TRUE(RaisesInvalidArg([] { HasJoin(nullptr); }));
}

}  // namespace
