// Database errors: how an error object is filled from the driver manager's diagnostic records,
// the layer's own codes, the checks of return codes, and the error object's own operations.
#include <algorithm>
#include <ostream>

#include "tests/db/support/db_fixture.h"
#include "tests/db/support/table_cases.h"

namespace {

// What RaiseDatabaseError raised for `code` on `database` (and `hstmt`).
Raised Raise(RETCODE code, CDatabase* database, HSTMT hstmt = SQL_NULL_HSTMT) {
  return RunCatching([&] { RaiseDatabaseError(code, database, hstmt); });
}

// An error object read the way RunCatching reads a raised one.
Raised Held(const CDBException& e) {
  return {Raised::Database, e.m_nReturnCode, e.m_strErrorText.ToUtf8(), e.m_strStateInfo.ToUtf8()};
}

// A connection opened on the healthy driver, with the log and the traces of the open
// forgotten, and a recordset on it without a statement of its own, detached at the end.
class DbExceptionTest : public DbTest {
 protected:
  DbExceptionTest() { expectBalancedHandles = false; }
  void SetUp() override {
    DbTest::SetUp();
    ASSERT_TRUE(database.Open(nullptr, FALSE, FALSE, u"ODBC;DSN=test", TRUE));
    ForgetCallsAndTraces();
    recordset.m_pDatabase = &database;
  }
  void TearDown() override {
    recordset.m_hstmt = SQL_NULL_HSTMT;  // the tests free the statements they give it
    recordset.m_pDatabase = nullptr;
    DbTest::TearDown();
  }

  // Leaves the given records waiting on the connection, the way a failed call on it does.
  void PostOnConnection(std::vector<Diag> records) {
    fakeodbc::answer(Fn::SQLGetInfoW, 1, Answer::fail(SQL_ERROR, std::move(records)));
    SQLSMALLINT value = 0;
    SQLGetInfoW(database.m_hdbc, SQL_TXN_CAPABLE, &value, sizeof value, nullptr);
    fakeodbc::clearLog();
  }

  // A statement of the connection with the given records waiting on it.
  HSTMT StatementWith(std::vector<Diag> records) {
    HSTMT hstmt = SQL_NULL_HSTMT;
    SQLAllocStmt(database.m_hdbc, &hstmt);
    fakeodbc::answer(Fn::SQLSetStmtOption, 1, Answer::fail(SQL_ERROR, std::move(records)));
    SQLSetStmtOption(hstmt, SQL_QUERY_TIMEOUT, 1);
    fakeodbc::clearLog();
    return hstmt;
  }

  CDatabase database;
  CRecordset recordset{nullptr};
};

// Diagnostic records into the error texts

TEST_F(DbExceptionTest, TwoRecordsGiveOneLineEachInBothTextsAndAreTraced) {
  PostOnConnection({{"S1000", 5, u"[A][B] First"}, {"01004", -1, u"Second"}});
  const RaisedError e =
      CatchRaised([&] { RaiseDatabaseError(SQL_ERROR, &database, SQL_NULL_HSTMT); });
  ASSERT_TRUE(IsDbError(e, SQL_ERROR, "First\nSecond\n"));
  EXPECT_EQ(e.db()->m_strStateInfo.ToUtf8(),
            "State:S1000,Native:5,Origin:[A][B]\nState:01004,Native:-1,Origin:\n");
  EXPECT_TRUE(e.db()->HasState(u"State:01004"));
  EXPECT_TRUE(e.db()->HasState(u"State:S1000"));
  EXPECT_FALSE(e.db()->HasState(u"State:S1010"));
  EXPECT_FALSE(e.db()->HasState(u"state:01004"));  // the search keeps letter case
  // The records are read on the process's environment and the connection, until none is left.
  EXPECT_THAT(Calls(), ElementsAre("SQLErrorW(env#1, dbc#1, NULL, 511) -> SQL_SUCCESS",
                                   "SQLErrorW(env#1, dbc#1, NULL, 511) -> SQL_SUCCESS",
                                   "SQLErrorW(env#1, dbc#1, NULL, 511) -> SQL_NO_DATA"));
  EXPECT_THAT(fakeodbc::pendingDiags(database.m_hdbc), IsEmpty());
  // Each message, then its state line, which ends in its own line feed.
  EXPECT_THAT(traces.Texts(), ElementsAre("First\n", "State:S1000,Native:5,Origin:[A][B]\n\n",
                                          "Second\n", "State:01004,Native:-1,Origin:\n\n"));
  for (const TraceRecord& r : traces.Records()) EXPECT_EQ(r.level, 0);
}

// A message, the error text made of it and the origin its prefixes make in the state line.
struct OriginCase {
  const char16_t* message;
  const char* errorText;
  const char* origin;
};

void PrintTo(const OriginCase& c, std::ostream* os) {
  *os << '"' << CString(c.message).ToUtf8() << '"';
}

using OriginTest = CasesOf<DbExceptionTest, OriginCase>;

TEST_P(OriginTest, PrefixesMoveToTheStateLine) {
  PostOnConnection({{"S1000", 0, GetParam().message}});
  const std::string state = std::string("State:S1000,Native:0,Origin:") + GetParam().origin + "\n";
  EXPECT_TRUE(IsDbError(Raise(SQL_ERROR, &database), SQL_ERROR, GetParam().errorText,
                        state.c_str()));
}

INSTANTIATE_TEST_SUITE_P(
    Messages, OriginTest,
    ::testing::Values(
        // One blank after a prefix goes with it; a second one stays.
        OriginCase{u"[A]  x", " x\n", "[A]"}, OriginCase{u"[A]x", "x\n", "[A]"},
        // Prefixes and nothing else: the message is empty.
        OriginCase{u"[A][B]", "\n", "[A][B]"},
        // An opening bracket without a closing one is message text.
        OriginCase{u"[A x", "[A x\n", ""}, OriginCase{u"[A][B x", "[B x\n", "[A]"},
        // Only leading prefixes count.
        OriginCase{u"x [A] y", "x [A] y\n", ""}, OriginCase{u"[] x", "x\n", "[]"},
        OriginCase{u"", "\n", ""},
        OriginCase{u"[unixODBC][Driver Manager]Function sequence error",
                   "Function sequence error\n", "[unixODBC][Driver Manager]"}));

TEST_F(DbExceptionTest, ARecordWithStateZeroEndsTheReading) {
  PostOnConnection({{"S1000", 1, u"First"}, {"S1000", 2, u"Never read"}});
  // The second call reports the state 00000 with SQL_SUCCESS.
  Answer zero;
  zero.rc = SQL_SUCCESS;
  zero.diags = {{"00000", 0, u"[X]Nothing"}};
  fakeodbc::answer(Fn::SQLErrorW, 2, zero);
  EXPECT_TRUE(IsDbError(Raise(SQL_ERROR, &database), SQL_ERROR, "First\n",
                        "State:S1000,Native:1,Origin:\n"));
  EXPECT_THAT(fakeodbc::callNames(), ElementsAre("SQLErrorW", "SQLErrorW"));
  EXPECT_EQ(fakeodbc::pendingDiags(database.m_hdbc).size(), 1u);
}

TEST_F(DbExceptionTest, TextsADriverLeavesUnterminatedEndWithTheirBuffers) {
  // A six-character state and a message that fills all 511 characters it was given, neither
  // terminated: each is read to the end of its buffer and no further.
  Answer unterminated;
  unterminated.rc = SQL_SUCCESS;
  unterminated.diags = {{"S1000X", 7, u"[A]" + std::u16string(600, u'x')}};
  unterminated.unterminated = true;
  fakeodbc::answer(Fn::SQLErrorW, 1, unterminated);
  EXPECT_TRUE(IsDbError(Raise(SQL_ERROR, &database), SQL_ERROR,
                        (std::string(508, 'x') + "\n").c_str(),
                        "State:S1000,Native:7,Origin:[A]\n"));
}

TEST_F(DbExceptionTest, AMessageCutByTheDriverManagerKeepsTheReadingGoing) {
  const std::u16string longMessage = u"[A]" + std::u16string(600, u'x');
  PostOnConnection({{"S1000", 0, longMessage}, {"01S02", 3, u"[B]Next"}});
  // 511 characters of room hold 510 and the terminator; the prefix takes three of them.
  EXPECT_TRUE(IsDbError(Raise(SQL_ERROR, &database), SQL_ERROR,
                        (std::string(507, 'x') + "\nNext\n").c_str(),
                        "State:S1000,Native:0,Origin:[A]\nState:01S02,Native:3,Origin:[B]\n"));
  EXPECT_THAT(Calls(), ElementsAre("SQLErrorW(env#1, dbc#1, NULL, 511) -> SQL_SUCCESS_WITH_INFO",
                                   "SQLErrorW(env#1, dbc#1, NULL, 511) -> SQL_SUCCESS",
                                   "SQLErrorW(env#1, dbc#1, NULL, 511) -> SQL_NO_DATA"));
}

TEST_F(DbExceptionTest, StatementRecordsAreReadOnTheStatement) {
  HSTMT hstmt = StatementWith({{"24000", 7, u"[D]Cursor"}});
  PostOnConnection({{"S1000", 0, u"[D]Connection"}});
  EXPECT_TRUE(IsDbError(Raise(SQL_ERROR, &database, hstmt), SQL_ERROR, "Cursor\n",
                        "State:24000,Native:7,Origin:[D]\n"));
  EXPECT_EQ(Calls().front(), "SQLErrorW(env#1, dbc#1, stmt#1, 511) -> SQL_SUCCESS");
  EXPECT_EQ(fakeodbc::pendingDiags(database.m_hdbc).size(), 1u);
  SQLFreeStmt(hstmt, SQL_DROP);
}

TEST_F(DbExceptionTest, NoRecordOrAFailingReadLeavesBothTextsEmpty) {
  EXPECT_TRUE(IsDbError(Raise(SQL_ERROR, &database), SQL_ERROR, "", ""));
  PostOnConnection({{"S1000", 0, u"Unread"}});
  fakeodbc::answer(Fn::SQLErrorW, 1, Answer::fail(SQL_ERROR));
  EXPECT_TRUE(IsDbError(Raise(SQL_ERROR, &database), SQL_ERROR, "", ""));
  EXPECT_THAT(fakeodbc::callNames(), ElementsAre("SQLErrorW"));
}

TEST_F(DbExceptionTest, AppendDiagnosticsAddsToWhatTheObjectHoldsAndTracesOnlyWhenAsked) {
  CDBException e(SQL_ERROR);
  PostOnConnection({{"S1000", 1, u"[A]One"}});
  e.AppendDiagnostics(&database, SQL_NULL_HSTMT, FALSE);
  PostOnConnection({{"S1001", 2, u"[A]Two"}});
  e.AppendDiagnostics(&database, SQL_NULL_HSTMT, FALSE);
  EXPECT_TRUE(IsDbError(Held(e), SQL_ERROR, "One\nTwo\n",
                        "State:S1000,Native:1,Origin:[A]\nState:S1001,Native:2,Origin:[A]\n"));
  EXPECT_THAT(traces.Records(), IsEmpty());
}

TEST_F(DbExceptionTest, AppendDiagnosticsWithoutConnectionDoesNothing) {
  PostOnConnection({{"S1000", 1, u"Waiting"}});
  CDBException e(SQL_ERROR);
  e.AppendDiagnostics(nullptr, SQL_NULL_HSTMT, TRUE);
  EXPECT_TRUE(IsDbError(Held(e), SQL_ERROR, "", ""));
  EXPECT_THAT(Calls(), IsEmpty());
  EXPECT_THAT(traces.Records(), IsEmpty());
}

// Codes that are not read from the driver

TEST_F(DbExceptionTest, OwnCodesCarryTheMissingStringTextAndTraceIt) {
  for (RETCODE code : {RETCODE{1001}, RETCODE{dbErrorMoveOutOfRange}, RETCODE{1028}}) {
    SCOPED_TRACE(code);
    traces.Clear();
    PostOnConnection({{"S1000", 0, u"Not for own codes"}});
    EXPECT_TRUE(IsDbError(Raise(code, &database), code, kMissingText, ""));
    EXPECT_THAT(traces.Texts(), ElementsAre(kMissingTextTrace));
    EXPECT_THAT(Calls(), IsEmpty());
    // Without a connection the text is the same.
    EXPECT_TRUE(IsDbError(Raise(code, nullptr), code, kMissingText, ""));
  }
}

TEST_F(DbExceptionTest, CodesOutsideTheOwnRangeAndOtherReturnCodesCarryNoText) {
  PostOnConnection({{"S1000", 0, u"Left alone"}});
  for (RETCODE code : {RETCODE{1000}, RETCODE{1029}, RETCODE{SQL_INVALID_HANDLE},
                       RETCODE{SQL_NO_DATA_FOUND}, RETCODE{SQL_NEED_DATA},
                       RETCODE{SQL_SUCCESS_WITH_INFO}, RETCODE{-1000}}) {
    EXPECT_TRUE(IsDbError(Raise(code, &database), code, "", "")) << code;
  }
  EXPECT_THAT(Calls(), IsEmpty());
  EXPECT_THAT(traces.Records(), IsEmpty());
  EXPECT_EQ(fakeodbc::pendingDiags(database.m_hdbc).size(), 1u);
}

TEST_F(DbExceptionTest, ErrorWithoutConnectionReadsNothing) {
  PostOnConnection({{"S1000", 0, u"Left alone"}});
  EXPECT_TRUE(IsDbError(Raise(SQL_ERROR, nullptr), SQL_ERROR, "", ""));
  EXPECT_THAT(Calls(), IsEmpty());
  EXPECT_THAT(traces.Records(), IsEmpty());
}

TEST_F(DbExceptionTest, TheErrorIsAHeapObjectCatchableAsItsBases) {
  try {
    RaiseDatabaseError(dbErrorNoSuchField, &database, SQL_NULL_HSTMT);
  } catch (CException* e) {
    EXPECT_TRUE(e->IsKindOf(RUNTIME_CLASS_OF(CDBException)));
    EXPECT_STREQ(e->GetRuntimeClass()->m_lpszClassName, "CDBException");
    EXPECT_EQ(e->GetRuntimeClass()->m_pBaseClass, RUNTIME_CLASS_OF(CException));
    EXPECT_EQ(e->GetRuntimeClass()->m_pfnCreateObject, nullptr);
    EXPECT_EQ(e->m_bAutoDelete, TRUE);
    EXPECT_EQ(e->m_bDeleteRequested, FALSE);
    e->Delete();
  }
}

// Raising through the objects

TEST_F(DbExceptionTest, ConnectionRaisesWithItsCancelStatement) {
  HSTMT hstmt = StatementWith({{"S1T00", 0, u"[D]Timeout"}});
  database.m_hstmtCancel = hstmt;
  EXPECT_EQ(RunCatching([&] { database.RaiseError(SQL_ERROR); }).errorText, "Timeout\n");
  database.m_hstmtCancel = SQL_NULL_HSTMT;
  SQLFreeStmt(hstmt, SQL_DROP);
}

TEST_F(DbExceptionTest, RecordsetRaisesOnItsStatementUnlessAnotherIsGiven) {
  recordset.m_hstmt = StatementWith({{"24000", 1, u"[D]Own"}});
  HSTMT other = StatementWith({{"S1000", 2, u"[D]Other"}});

  EXPECT_EQ(RunCatching([&] { recordset.RaiseError(SQL_ERROR); }).errorText, "Own\n");
  EXPECT_EQ(RunCatching([&] { recordset.RaiseError(SQL_ERROR, other); }).errorText, "Other\n");
  EXPECT_EQ(fakeodbc::callNames(), std::vector<std::string>(4, "SQLErrorW"));

  SQLFreeStmt(other, SQL_DROP);
  SQLFreeStmt(recordset.m_hstmt, SQL_DROP);
}

// The checks

struct Verdict {
  RETCODE code;
  BOOL connection;
  BOOL recordset;
};

TEST_F(DbExceptionTest, VerdictsOfBothChecks) {
  const Verdict table[] = {
      {SQL_SUCCESS, TRUE, TRUE},         {SQL_SUCCESS_WITH_INFO, TRUE, TRUE},
      {SQL_NO_DATA_FOUND, TRUE, TRUE},   {SQL_NEED_DATA, FALSE, TRUE},
      {SQL_ERROR, FALSE, FALSE},         {SQL_INVALID_HANDLE, FALSE, FALSE},
      {SQL_STILL_EXECUTING, FALSE, FALSE}, {dbErrorNoSuchField, FALSE, FALSE},
      {-100, FALSE, FALSE},
  };
  for (const Verdict& v : table) {
    SCOPED_TRACE(v.code);
    EXPECT_EQ(database.CheckResult(v.code), v.connection);
    EXPECT_EQ(database.CheckStatementResult(v.code, SQL_NULL_HSTMT), v.connection);
    EXPECT_EQ(recordset.CheckResult(v.code), v.recordset);
  }
  // Only the success with information reads (and finds no) records, once in each check.
  EXPECT_THAT(fakeodbc::callNames(), ElementsAre("SQLErrorW", "SQLErrorW", "SQLErrorW"));
}

TEST_F(DbExceptionTest, SuccessWithInfoOnTheConnectionIsTracedAndConsumed) {
  PostOnConnection({{"01S02", 0, u"[A][B]Option value changed"}, {"01004", 4, u"Cut"}});

  EXPECT_TRUE(database.CheckResult(SQL_SUCCESS_WITH_INFO));

  EXPECT_THAT(traces.Texts(),
              ElementsAre("Warning: ODBC Success With Info, ", "Option value changed\n",
                          "State:01S02,Native:0,Origin:[A][B]\n\n", "Cut\n",
                          "State:01004,Native:4,Origin:\n\n"));
  EXPECT_THAT(fakeodbc::pendingDiags(database.m_hdbc), IsEmpty());
  // Nothing is left for a later reader.
  EXPECT_TRUE(IsDbError(Raise(SQL_ERROR, &database), SQL_ERROR, "", ""));
}

TEST_F(DbExceptionTest, SuccessWithInfoOnAStatementIsReadOnThatStatement) {
  HSTMT hstmt = StatementWith({{"01S02", 0, u"[A]Changed"}});
  recordset.m_hstmt = hstmt;

  EXPECT_TRUE(recordset.CheckResult(SQL_SUCCESS_WITH_INFO));
  EXPECT_THAT(traces.Texts(), ElementsAre("Warning: ODBC Success With Info, ", "Changed\n",
                                          "State:01S02,Native:0,Origin:[A]\n\n"));
  EXPECT_EQ(Calls().front(), "SQLErrorW(env#1, dbc#1, stmt#1, 511) -> SQL_SUCCESS");
  EXPECT_THAT(fakeodbc::pendingDiags(hstmt), IsEmpty());

  // The connection's check reads a given statement too.
  traces.Clear();
  fakeodbc::answer(Fn::SQLSetStmtOption, 1, Answer::fail(SQL_ERROR, {{"01S02", 0, u"Again"}}));
  SQLSetStmtOption(hstmt, SQL_QUERY_TIMEOUT, 1);
  EXPECT_TRUE(database.CheckStatementResult(SQL_SUCCESS_WITH_INFO, hstmt));
  EXPECT_THAT(traces.Texts(), ElementsAre("Warning: ODBC Success With Info, ", "Again\n",
                                          "State:01S02,Native:0,Origin:\n\n"));

  SQLFreeStmt(hstmt, SQL_DROP);
}

// The error object's own operations

using ErrorObjectTest = DbTest;

TEST_F(ErrorObjectTest, TraceTextSplitsAfterEightyCharacters) {
  CDBException e(SQL_ERROR);
  const std::string a80(80, 'a'), c80(80, 'c');
  // The text and the lines traced of it; line feeds inside are characters like any other.
  const std::pair<std::string, std::vector<std::string>> cases[] = {
      {"", {"\n"}},
      {a80, {a80 + "\n"}},
      {a80 + "b", {a80 + "\n", "b\n"}},
      {a80 + c80, {a80 + "\n", c80 + "\n"}},
      {a80 + c80 + "b", {a80 + "\n", c80 + "\n", "b\n"}},
      {"x\ny", {"x\ny\n"}},
  };
  for (const auto& [text, lines] : cases) {
    traces.Clear();
    e.TraceText(CString::FromUtf8(text).Str().c_str());
    EXPECT_EQ(traces.Texts(), lines) << text;
    for (const TraceRecord& r : traces.Records()) {
      EXPECT_EQ(r.category, TraceCategory::Database);
      EXPECT_EQ(r.level, 0);
    }
  }
}

TEST_F(ErrorObjectTest, GetMessageTextCutsToTheCapacity) {
  CDBException e(SQL_ERROR);
  e.m_strErrorText = u"abcdef";
  char16_t buffer[16];
  std::fill(std::begin(buffer), std::end(buffer), u'#');
  UINT help = 77;

  EXPECT_TRUE(e.GetMessageText(buffer, 5, &help));
  EXPECT_EQ(std::u16string(buffer), u"abcd");
  EXPECT_EQ(buffer[5], u'#');  // nothing written past the capacity
  EXPECT_EQ(help, 0u);

  EXPECT_TRUE(e.GetMessageText(buffer, 7));
  EXPECT_EQ(std::u16string(buffer), u"abcdef");
  EXPECT_TRUE(e.GetMessageText(buffer, 1));
  EXPECT_EQ(std::u16string(buffer), u"");

  // Through the base, in its form for a modifiable object.
  CException& base = e;
  EXPECT_TRUE(base.GetMessageText(buffer, 3, &help));
  EXPECT_EQ(std::u16string(buffer), u"ab");

  CDBException empty(SQL_INVALID_HANDLE);
  EXPECT_TRUE(empty.GetMessageText(buffer, 16));
  EXPECT_EQ(std::u16string(buffer), u"");
}

TEST_F(ErrorObjectTest, GetMessageTextWithoutBufferChangesNothing) {
  CDBException e(SQL_ERROR);
  e.m_strErrorText = u"abc";
  UINT help = 77;
  EXPECT_FALSE(e.GetMessageText(nullptr, 5, &help));
  EXPECT_EQ(help, 77u);
}

TEST_F(ErrorObjectTest, DeleteLeavesAnObjectThatMayNotDeleteItself) {
  CDBException onStack(SQL_ERROR);
  onStack.m_bAutoDelete = 0;
  onStack.m_strErrorText = u"kept";
  onStack.Delete();
  EXPECT_EQ(onStack.m_bDeleteRequested, FALSE);
  EXPECT_EQ(onStack.m_strErrorText.ToUtf8(), "kept");

  auto* onHeap = new CDBException(SQL_ERROR);
  onHeap->m_bAutoDelete = 0;
  onHeap->Delete();  // still alive: the sanitizer build would report a use after free below
  EXPECT_EQ(onHeap->m_bDeleteRequested, FALSE);
  onHeap->m_bAutoDelete = 1;
  onHeap->Delete();
}

}  // namespace
