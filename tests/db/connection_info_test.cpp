// What a connection reads from the driver right after connecting, the statement option it
// sets for its recordsets, and bracketed names rewritten with its identifier quote.
#include <algorithm>
#include <optional>

#include "tests/db/support/db_fixture.h"
#include "tests/db/support/table_cases.h"

namespace {

constexpr char kReadOnlyWarning[] = "Warning: data source is readonly.\n";

class ConnectionInfoTest : public DbTest {
 protected:
  ConnectionInfoTest() { expectBalancedHandles = false; }
  // Opens an updatable connection; the open must succeed whatever the queries answer.
  void OpenDatabase(BOOL readOnly = FALSE) {
    ASSERT_TRUE(database.Open(nullptr, FALSE, readOnly, u"DSN=a", TRUE));
  }

  // The capability queries are the calls after the two conformance queries.
  std::vector<std::string> QueryCalls() {
    std::vector<std::string> calls = Calls();
    auto sqlLevel = std::find(calls.begin(), calls.end(),
                              "SQLGetInfoW(dbc#1, SQL_ODBC_SQL_CONFORMANCE, 2) -> SQL_SUCCESS");
    EXPECT_NE(sqlLevel, calls.end());
    return sqlLevel == calls.end() ? calls : std::vector<std::string>(sqlLevel + 1, calls.end());
  }

  CDatabase database;
};

// The read-only answer

// An answer to SQL_DATA_SOURCE_READ_ONLY: only "N" keeps the connection updatable, any other
// lowers it and traces the warning.
using ReadOnlyAnswer = CasesOf<ConnectionInfoTest, const char16_t*>;

TEST_P(ReadOnlyAnswer, DecidesWhetherTheConnectionStaysUpdatable) {
  fakeodbc::setInfo(SQL_DATA_SOURCE_READ_ONLY, InfoValue::string(GetParam()));
  OpenDatabase();
  const bool kept = std::u16string(GetParam()) == u"N";
  EXPECT_EQ(database.m_bUpdatable, kept ? TRUE : FALSE);
  EXPECT_THAT(traces.Texts(), Contains(kReadOnlyWarning).Times(kept ? 0 : 1));
  // The access mode is not set afterwards: the connection was updatable on entry.
  EXPECT_THAT(fakeodbc::callLines(), Not(Contains(HasSubstr("SQL_ACCESS_MODE"))));
}

INSTANTIATE_TEST_SUITE_P(Answers, ReadOnlyAnswer,
                         ::testing::Values(u"N", u"Y", u"n", u"NN", u"", u"N "));

TEST_F(ConnectionInfoTest, FailedReadOnlyQueryLowersItAndTraces) {
  fakeodbc::removeInfo(SQL_DATA_SOURCE_READ_ONLY);
  OpenDatabase();
  EXPECT_EQ(database.m_bUpdatable, FALSE);
  EXPECT_THAT(traces.Texts(),
              ElementsAreArray(Concat({kReadOnlyWarning}, HealthyCapabilityTraces())));
  EXPECT_EQ(QueryCalls()[7], "SQLGetInfoW(dbc#1, SQL_DATA_SOURCE_READ_ONLY, 20) -> SQL_ERROR");
}

// The identifier quote

TEST_F(ConnectionInfoTest, IdentifierQuoteIsAOneCharacterAnswerOrElseTheDoubleQuote) {
  struct Case {
    const char* what;
    std::optional<std::u16string> answer;  // nullopt: the query fails
    char16_t quote;
  };
  for (const Case& c : {Case{"back quote", u"`", u'`'}, Case{"blank", u" ", u' '},
                        Case{"double quote", u"\"", u'"'}, Case{"two characters", u"[]", u'"'},
                        Case{"empty", u"", u'"'},
                        Case{"a null character", std::u16string(1, u'\0'), u'"'},
                        Case{"failed query", std::nullopt, u'"'}}) {
    SCOPED_TRACE(c.what);
    SetUp();
    if (c.answer) {
      fakeodbc::setInfo(SQL_IDENTIFIER_QUOTE_CHAR, InfoValue::string(*c.answer));
    } else {
      fakeodbc::removeInfo(SQL_IDENTIFIER_QUOTE_CHAR);
    }
    CDatabase db;
    db.m_chIdentifierQuote = u'x';
    ASSERT_TRUE(db.Open(nullptr, FALSE, FALSE, u"DSN=a", TRUE));
    EXPECT_EQ(db.m_chIdentifierQuote, c.quote);
  }
}

TEST_F(ConnectionInfoTest, ATruncatedQuoteAnswerIsTracedAsSuccessWithInfo) {
  fakeodbc::setInfo(SQL_IDENTIFIER_QUOTE_CHAR, InfoValue::string(u"[]"));
  OpenDatabase();
  EXPECT_THAT(traces.Texts(),
              ElementsAreArray(Concat({"Warning: ODBC Success With Info, ",
                                       "String data, right truncated\n",
                                       "State:01004,Native:0,Origin:[FakeODBC][Driver]\n\n"},
                                      HealthyCapabilityTraces())));
}

// Capabilities

TEST_F(ConnectionInfoTest, HealthyDriverCapabilities) {
  fakeodbc::setInfo(SQL_POSITIONED_STATEMENTS,
                    InfoValue::int32(SQL_PS_POSITIONED_DELETE | SQL_PS_POSITIONED_UPDATE));
  fakeodbc::setInfo(SQL_TXN_CAPABLE, InfoValue::int16(SQL_TC_DML));
  fakeodbc::setInfo(SQL_CURSOR_COMMIT_BEHAVIOR, InfoValue::int16(SQL_CB_CLOSE));
  fakeodbc::setInfo(SQL_CURSOR_ROLLBACK_BEHAVIOR, InfoValue::int16(SQL_CB_DELETE));
  fakeodbc::setInfo(SQL_BOOKMARK_PERSISTENCE, InfoValue::int32(SQL_BP_SCROLL | SQL_BP_DELETE));
  OpenDatabase();
  EXPECT_THAT(QueryCalls(), ElementsAreArray(CapabilityQueryCalls()));
  EXPECT_EQ(database.m_dwUpdateCapabilities,
            CDatabase::kCanSetPos | CDatabase::kCanPositionedSql | CDatabase::kCanGetDataBound);
  EXPECT_EQ(database.m_bTransactions, TRUE);
  EXPECT_EQ(database.m_nCursorsOnCommit, SQL_CB_CLOSE);
  EXPECT_EQ(database.m_nCursorsOnRollback, SQL_CB_DELETE);
  EXPECT_EQ(database.m_dwBookmarkPersistence, DWORD{SQL_BP_SCROLL | SQL_BP_DELETE});
}

TEST_F(ConnectionInfoTest, EachCapabilityBitNeedsAllItsFlags) {
  // Positioned operations without add, positioned statements without update, no bound reads.
  fakeodbc::setInfo(SQL_POS_OPERATIONS, InfoValue::int32(SQL_POS_UPDATE | SQL_POS_DELETE));
  fakeodbc::setInfo(SQL_POSITIONED_STATEMENTS, InfoValue::int32(SQL_PS_POSITIONED_DELETE));
  fakeodbc::setInfo(SQL_GETDATA_EXTENSIONS, InfoValue::int32(SQL_GD_ANY_COLUMN));
  fakeodbc::setInfo(SQL_TXN_CAPABLE, InfoValue::int16(SQL_TC_NONE));
  OpenDatabase();
  EXPECT_EQ(database.m_dwUpdateCapabilities, 0u);
  EXPECT_EQ(database.m_bTransactions, FALSE);
}

TEST_F(ConnectionInfoTest, UnansweredQueriesLeaveTheirDefaultsAndNothingRaises) {
  for (SQLUSMALLINT info :
       {SQL_POS_OPERATIONS, SQL_POSITIONED_STATEMENTS, SQL_TXN_CAPABLE, SQL_CURSOR_COMMIT_BEHAVIOR,
        SQL_CURSOR_ROLLBACK_BEHAVIOR, SQL_BOOKMARK_PERSISTENCE, SQL_GETDATA_EXTENSIONS,
        SQL_DATA_SOURCE_READ_ONLY, SQL_IDENTIFIER_QUOTE_CHAR, SQL_DBMS_NAME, SQL_DBMS_VER,
        SQL_ODBC_VER}) {
    fakeodbc::removeInfo(info);
  }
  database.m_dwUpdateCapabilities = 0xFF;
  database.m_nCursorsOnCommit = 7;
  database.m_nCursorsOnRollback = 7;
  OpenDatabase();
  EXPECT_TRUE(database.IsOpen());
  EXPECT_EQ(database.m_dwUpdateCapabilities, 0u);
  EXPECT_EQ(database.m_bTransactions, FALSE);
  EXPECT_EQ(database.m_nCursorsOnCommit, -1);
  EXPECT_EQ(database.m_nCursorsOnRollback, -1);
  EXPECT_EQ(database.m_bUpdatable, FALSE);
  EXPECT_EQ(database.m_chIdentifierQuote, u'"');
  // Without a DBMS name its version is not asked for; the driver manager's version still is.
  EXPECT_EQ(fakeodbc::callNames().size(), 7u + 11u);
  EXPECT_EQ(QueryCalls().back(), "SQLGetInfoW(dbc#1, SQL_ODBC_VER, 128) -> SQL_ERROR");
  EXPECT_THAT(traces.Texts(), ElementsAre(kReadOnlyWarning));
}

TEST_F(ConnectionInfoTest, TransactionsOnceSeenStayAfterAReopen) {
  OpenDatabase();
  ASSERT_EQ(database.m_bTransactions, TRUE);
  database.Close();
  fakeodbc::setInfo(SQL_TXN_CAPABLE, InfoValue::int16(SQL_TC_NONE));
  OpenDatabase();
  EXPECT_EQ(database.m_bTransactions, TRUE);
}

TEST_F(ConnectionInfoTest, BookmarkPersistenceIsStoredWhateverTheVerdict) {
  Answer odd = Answer::fail(SQL_NEED_DATA);
  odd.number = SQL_BP_UPDATE;
  // The eighth information query is SQL_BOOKMARK_PERSISTENCE.
  fakeodbc::answer(Fn::SQLGetInfoW, 8, odd);
  OpenDatabase();
  EXPECT_EQ(QueryCalls()[5], "SQLGetInfoW(dbc#1, SQL_BOOKMARK_PERSISTENCE, 4) -> SQL_NEED_DATA");
  EXPECT_EQ(database.m_dwBookmarkPersistence, DWORD{SQL_BP_UPDATE});
}

// DBMS and version traces

TEST_F(ConnectionInfoTest, DbmsVersionTracesFollowTheAnswers) {
  fakeodbc::setInfo(SQL_DBMS_NAME, InfoValue::string(u"Jet"));
  fakeodbc::setInfo(SQL_DBMS_VER, InfoValue::string(u"04.00.0000"));
  fakeodbc::setInfo(SQL_ODBC_VER, InfoValue::string(u"03.52.0000"));
  OpenDatabase();
  EXPECT_THAT(traces.Texts(), ElementsAre("DBMS: Jet\n", "Version: 04.00.0000\n",
                                          "ODBC Driver Manager Version: 03.52.0000\n"));
  for (const TraceRecord& r : traces.Records()) {
    EXPECT_EQ(r.category, TraceCategory::Database);
    EXPECT_EQ(r.level, 0);
  }
}

TEST_F(ConnectionInfoTest, MissingVersionIsNotTraced) {
  fakeodbc::removeInfo(SQL_DBMS_VER);
  OpenDatabase();
  EXPECT_THAT(traces.Texts(),
              ElementsAre("DBMS: FakeDB\n", "ODBC Driver Manager Version: 03.80.0000\n"));
}

TEST_F(ConnectionInfoTest, LongDbmsNameIsCutToTheBuffer) {
  fakeodbc::setInfo(SQL_DBMS_NAME, InfoValue::string(std::u16string(100, u'd')));
  OpenDatabase();
  // 64 characters of room: 63 and the terminator; the cut is a success with information.
  EXPECT_THAT(traces.Texts(), Contains("DBMS: " + std::string(63, 'd') + "\n"));
}

// The read-only connection

TEST_F(ConnectionInfoTest, ReadOnlyConnectionSetsTheAccessModeAgainAndDoesNotTrace) {
  fakeodbc::setInfo(SQL_DATA_SOURCE_READ_ONLY, InfoValue::string(u"Y"));
  OpenDatabase(TRUE);
  EXPECT_EQ(database.m_bUpdatable, FALSE);
  EXPECT_EQ(QueryCalls()[7], "SQLSetConnectOptionW(dbc#1, SQL_ACCESS_MODE, 1) -> SQL_SUCCESS");
  EXPECT_THAT(traces.Texts(), Not(Contains(kReadOnlyWarning)));
}

// The query timeout of the connection's statements

class QueryTimeoutTest : public ConnectionInfoTest {
 protected:
  void SetUp() override {
    ConnectionInfoTest::SetUp();
    OpenDatabase();
    SQLAllocStmt(database.m_hdbc, &first);
    SQLAllocStmt(database.m_hdbc, &second);
    ForgetCallsAndTraces();
  }
  void TearDown() override {
    SQLFreeStmt(first, SQL_DROP);
    SQLFreeStmt(second, SQL_DROP);
  }
  HSTMT first = SQL_NULL_HSTMT;
  HSTMT second = SQL_NULL_HSTMT;
};

TEST_F(QueryTimeoutTest, EveryStatementGetsTheTimeout) {
  database.ApplyStatementOptions(first);
  database.ApplyStatementOptions(second);
  EXPECT_THAT(Calls(), ElementsAre("SQLSetStmtOption(stmt#1, SQL_QUERY_TIMEOUT, 15) -> SQL_SUCCESS",
                                   "SQLSetStmtOption(stmt#2, SQL_QUERY_TIMEOUT, 15) -> SQL_SUCCESS"));
  EXPECT_EQ(database.m_dwQueryTimeout, 15u);
}

TEST_F(QueryTimeoutTest, ARefusalIsRememberedForTheConnection) {
  fakeodbc::answer(Fn::SQLSetStmtOption, 1, Answer::fail(SQL_ERROR));
  database.ApplyStatementOptions(first);
  EXPECT_EQ(database.m_dwQueryTimeout, 0xFFFFFFFFu);
  database.ApplyStatementOptions(second);
  EXPECT_THAT(Calls(), ElementsAre("SQLSetStmtOption(stmt#1, SQL_QUERY_TIMEOUT, 15) -> SQL_ERROR"));
  EXPECT_THAT(traces.Records(), IsEmpty());
}

TEST_F(QueryTimeoutTest, SuccessWithInformationKeepsTheTimeout) {
  fakeodbc::answer(Fn::SQLSetStmtOption, 1, Answer::withInfo({{"01S02", 0, u"[D]Changed"}}));
  database.ApplyStatementOptions(first);
  EXPECT_EQ(database.m_dwQueryTimeout, 15u);
  // The connection's check reads the connection's records, so none is found here.
  EXPECT_THAT(traces.Texts(), ElementsAre("Warning: ODBC Success With Info, "));
}

TEST_F(QueryTimeoutTest, TheSetterChangesTheNextStatementsTimeout) {
  database.SetQueryTimeout(30);
  database.ApplyStatementOptions(first);
  database.SetQueryTimeout(0xFFFFFFFF);
  database.ApplyStatementOptions(second);
  EXPECT_THAT(Calls(), ElementsAre("SQLSetStmtOption(stmt#1, SQL_QUERY_TIMEOUT, 30) -> SQL_SUCCESS"));
}

// Bracketed names rewritten with the identifier quote

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
    ::testing::Values(QuoteCase{u'"', u"", u""}, QuoteCase{u'"', u"[", u"\""},
                      QuoteCase{u'"', u"]", u"\""}, QuoteCase{u'"', u"abc[", u"abc\""},
                      QuoteCase{u'"', u"abc]]", u"abc]"}, QuoteCase{u'"', u"abc[[", u"abc["},
                      QuoteCase{u'"', u"[[[", u"[\""}, QuoteCase{u'"', u"]]]", u"]\""},
                      QuoteCase{u'"', u"[a", u"\"a"}, QuoteCase{u'"', u"a]b[", u"a\"b\""},
                      // An unterminated literal protects everything after it.
                      QuoteCase{u'"', u"'[x]", u"'[x]"}, QuoteCase{u'"', u"[x]'", u"\"x\"'"},
                      QuoteCase{u'"', u"'", u"'"}, QuoteCase{u'"', u"''", u"''"},
                      QuoteCase{u'"', u"'''[x]", u"'''[x]"},
                      QuoteCase{u'"', u"'a'[x]'b'", u"'a'\"x\"'b'"}));

}  // namespace
