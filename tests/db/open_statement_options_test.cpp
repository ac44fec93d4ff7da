// The statement options an open chooses from what the driver answers: scroll support, the
// ODBC version, the cursor type, the update method, the concurrency, bookmarks, and the
// failures of each probe, after which the recordset is closed.
#include <algorithm>

#include "tests/db/support/db_fixture.h"
#include "tests/db/support/table_cases.h"

namespace {

class OpenStatementOptions : public DbConnectedTest {};

const Diag kInjected{"S1000", 0, u"[FakeODBC][Driver]Injected failure"};

TEST_F(OpenStatementOptions, DriverWithoutExtendedFetchWarnsAndStillSetsTheCursorType) {
  fakeodbc::setFunctionSupported(SQL_API_SQLEXTENDEDFETCH, false);
  const std::size_t mark = fakeodbc::callCount();
  CRecordset& rs = OpenBrands(CRecordset::none);

  EXPECT_THAT(traces.Texts(),
              ElementsAre("Warning: SQLExtendedFetch not supported by driver\n",
                          "and/or cursor library not loaded. Opening forwardOnly.\n",
                          "for use with SQLFetch.\n"));
  EXPECT_FALSE(rs.m_bScrollable);
  EXPECT_FALSE(rs.m_bUpdatable);
  EXPECT_TRUE(rs.m_bAppendable);
  EXPECT_EQ(rs.m_nOpenType, CRecordset::staticCursor);
  // No version probe; the cursor type is chosen and set for the open type all the same.
  EXPECT_THAT(CallLinesAfter(mark), Not(Contains(HasSubstr("SQL_ODBC_VER"))));
  EXPECT_EQ(fakeodbc::statementOption(rs.m_hstmt, SQL_CURSOR_TYPE), SQLULEN{SQL_CURSOR_STATIC});
  // Only a move other than next is refused now.
  RaisedError refused = CatchRaised([&] { rs.MovePrev(); });
  ASSERT_TRUE(IsDbError(refused, dbErrorForwardOnlyMove));
}

TEST_F(OpenStatementOptions, DriverOlderThanOdbcTwoIsRefusedWithItsOwnCode) {
  fakeodbc::setInfo(SQL_ODBC_VER, InfoValue::string(u"01.00.0000"));
  RaisedError raised = OpenExpectingFailure(CRecordset::addOnly);
  ASSERT_TRUE(IsDbError(raised, dbErrorOdbcVersion));
}

TEST_F(OpenStatementOptions, OdbcVersionTwoAndLaterAreAccepted) {
  for (const char16_t* version : {u"02.00.0000", u"02.50", u"03.80.0000", u"10.00"}) {
    SCOPED_TRACE(CString(version).ToUtf8());
    fakeodbc::setInfo(SQL_ODBC_VER, InfoValue::string(version));
    OpenBrands(CRecordset::addOnly);  // a refused open ends the test
  }
}

// A step of the open that fails, with the first trace of its failure. The failure reaches the
// caller with the driver's error, and the statement is dropped last.
struct FailingStep {
  const char* name;
  Fn fn;
  int nth;
  DWORD options;
  const char* firstTrace;
  bool probe;  // a question to the connection, whose records are on the connection handle
};

DB_PRINT_ROWS_BY_NAME(FailingStep)

const FailingStep kFailingSteps[] = {
    {"ScrollSupportQuery", Fn::SQLGetFunctions, 1, CRecordset::addOnly,
     "Error: ODBC failure determining whether recordset is scrollable.\n", true},
    // The version query is the first information query of the open.
    {"VersionQuery", Fn::SQLGetInfoW, 1, CRecordset::addOnly,
     "Error: ODBC failure checking for driver capabilities.\n", true},
    {"ScrollOptionsQuery", Fn::SQLGetInfoW, 2, CRecordset::addOnly,
     "Error: ODBC failure checking for driver capabilities.\n", true},
    {"ConcurrencyQuery", Fn::SQLGetInfoW, 3, CRecordset::addOnly,
     "Error: ODBC failure checking recordset updatability.\n", true},
    // The first statement option of the open is the query timeout.
    {"CursorType", Fn::SQLSetStmtOption, 2, CRecordset::addOnly,
     "Error: ODBC failure setting recordset cursor type.\n", false},
    {"Concurrency", Fn::SQLSetStmtOption, 3, CRecordset::addOnly,
     "Error: ODBC failure setting recordset concurrency.\n", false},
    {"Bookmarks", Fn::SQLSetStmtOption, 2, CRecordset::readOnly | CRecordset::withBookmarks,
     "Error: Can't enable bookmark support.\n", false},
};

using OpenOptionFailingStep = CasesOf<OpenStatementOptions, FailingStep>;

TEST_P(OpenOptionFailingStep, IsTracedAndClosesTheRecordset) {
  const FailingStep& step = GetParam();
  fakeodbc::answer(step.fn, step.nth, Answer::fail(SQL_ERROR, {kInjected}));
  RaisedError raised = OpenExpectingFailure(step.options);
  ASSERT_TRUE(IsDbError(raised, SQL_ERROR, "Injected failure\n"));
  EXPECT_EQ(CallNamesAfter(0).back(), "SQLFreeStmt");
  EXPECT_EQ(traces.First(), step.firstTrace);
}

INSTANTIATE_TEST_SUITE_P(Steps, OpenOptionFailingStep, ::testing::ValuesIn(kFailingSteps),
                         CaseName<FailingStep>);

TEST_F(OpenStatementOptions, ProbeFailuresCarryTheConnectionsDiagnostics) {
  for (const FailingStep& probe : kFailingSteps) {
    if (!probe.probe) continue;
    SCOPED_TRACE(probe.name);
    fakeodbc::answer(probe.fn, probe.nth,
                     Answer::fail(SQL_ERROR, {Diag{"HYT00", 12, u"[FakeODBC][Driver]Timed out"}}));
    CRecordset rs(database.get());
    RaisedError raised = OpenExpectingFailure(rs, probe.options);
    ASSERT_TRUE(IsDbError(raised, SQL_ERROR, "Timed out\n"));
    EXPECT_EQ(raised.db()->m_strStateInfo.ToUtf8(),
              "State:HYT00,Native:12,Origin:[FakeODBC][Driver]\n");
    EXPECT_TRUE(fakeodbc::pendingDiags(database->m_hdbc).empty());
  }
}

TEST_F(OpenStatementOptions, ProbeAnsweringWithInformationTracesTheConnectionsRecords) {
  Answer answer = Answer::withInfo({Diag{"01000", 0, u"[FakeODBC][Driver]Note on options"}});
  fakeodbc::answer(Fn::SQLGetInfoW, 2, answer);
  OpenBrands(CRecordset::addOnly);
  const std::vector<std::string> texts = traces.Texts();
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[0], "Warning: ODBC Success With Info, ");
  EXPECT_EQ(texts[1], "Note on options\n");
}

// A request (an open type or a lock mode), what the driver offers for it (SQL_SCROLL_OPTIONS
// or SQL_SCROLL_CONCURRENCY) and the option the statement gets. An open type that is not
// offered raises its own code (`refusal`); a lock mode may end in the locking warning.
struct OfferCase {
  const char* name;
  UINT request;
  SQLUINTEGER offered;
  SQLULEN chosen;
  RETCODE refusal = 0;
  bool lockWarning = false;
};

DB_PRINT_ROWS_BY_NAME(OfferCase)

using OpenCursorKind = CasesOf<OpenStatementOptions, OfferCase>;

TEST_P(OpenCursorKind, IsSetWhenOfferedAndRaisedWithTheStatementFreedWhenMissing) {
  const OfferCase& c = GetParam();
  fakeodbc::setInfo(SQL_SCROLL_OPTIONS, InfoValue::int32(c.offered));
  const std::size_t mark = fakeodbc::callCount();
  CRecordset rs(database.get());
  if (c.refusal == 0) {
    ASSERT_TRUE(rs.Open(c.request, kBrandStatement, CRecordset::readOnly));
    EXPECT_EQ(rs.ChooseCursorType(), c.chosen);
    EXPECT_EQ(fakeodbc::statementOption(rs.m_hstmt, SQL_CURSOR_TYPE), c.chosen);
    return;
  }
  RaisedError raised = OpenExpectingFailure(rs, CRecordset::readOnly, c.request);
  ASSERT_TRUE(IsDbError(raised, c.refusal));
  // Nothing was set or prepared; the statement was dropped.
  EXPECT_EQ(CountCallsAfter(mark, "SQLPrepareW"), 0);
  const std::vector<std::string> lines = CallLinesAfter(mark);
  EXPECT_EQ(lines.back(), "SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS");
  EXPECT_THAT(lines, Not(Contains(HasSubstr("SQL_CURSOR_TYPE"))));
}

DB_NAMED_CASES(EachKind, OpenCursorKind,
               OfferCase{"MissingKeyset", CRecordset::keysetCursor,
                         SQL_SO_FORWARD_ONLY | SQL_SO_STATIC | SQL_SO_DYNAMIC, 0,
                         dbErrorKeysetCursorUnsupported},
               OfferCase{"MissingStatic", CRecordset::staticCursor,
                         SQL_SO_FORWARD_ONLY | SQL_SO_KEYSET_DRIVEN | SQL_SO_DYNAMIC, 0,
                         dbErrorStaticCursorUnsupported},
               OfferCase{"MissingDynamic", CRecordset::dynamicCursor,
                         SQL_SO_FORWARD_ONLY | SQL_SO_KEYSET_DRIVEN | SQL_SO_STATIC, 0,
                         dbErrorDynamicCursorUnsupported},
               OfferCase{"OfferedKeyset", CRecordset::keysetCursor, SQL_SO_KEYSET_DRIVEN,
                         SQL_CURSOR_KEYSET_DRIVEN},
               OfferCase{"OfferedStatic", CRecordset::staticCursor, SQL_SO_STATIC,
                         SQL_CURSOR_STATIC},
               OfferCase{"OfferedDynamic", CRecordset::dynamicCursor, SQL_SO_DYNAMIC,
                         SQL_CURSOR_DYNAMIC});

using OpenConcurrency = CasesOf<OpenStatementOptions, OfferCase>;

TEST_P(OpenConcurrency, FollowsTheLockModeAndWhatTheDriverOffers) {
  const OfferCase& c = GetParam();
  fakeodbc::setInfo(SQL_SCROLL_CONCURRENCY, InfoValue::int32(c.offered));
  CRecordset rs(database.get());
  rs.m_bLockMode = c.request;
  ASSERT_TRUE(rs.Open(CRecordset::staticCursor, kBrandStatement, CRecordset::none));

  EXPECT_EQ(rs.m_dwScrollConcurrency, c.offered);
  EXPECT_EQ(rs.m_dwConcurrencyModel, c.chosen);
  EXPECT_EQ(fakeodbc::statementOption(rs.m_hstmt, SQL_CONCURRENCY), c.chosen);
  const char* warning = "Warning: locking not supported, setting recordset read only.\n";
  EXPECT_EQ(traces.Texts(), std::vector<std::string>(c.lockWarning ? 1 : 0, warning));
  // The warning leaves the flags alone.
  EXPECT_TRUE(rs.m_bUpdatable);
  EXPECT_TRUE(rs.m_bAppendable);
}

constexpr SQLUINTEGER kAllConcurrencies =
    SQL_SCCO_READ_ONLY | SQL_SCCO_LOCK | SQL_SCCO_OPT_ROWVER | SQL_SCCO_OPT_VALUES;

DB_NAMED_CASES(Modes, OpenConcurrency,
               OfferCase{"UpdateRowVersionsFirst", CRecordset::lockOnUpdate, kAllConcurrencies,
                         SQL_CONCUR_ROWVER},
               OfferCase{"UpdateValuesBeforeLocks", CRecordset::lockOnUpdate,
                         SQL_SCCO_LOCK | SQL_SCCO_OPT_VALUES, SQL_CONCUR_VALUES},
               OfferCase{"UpdateLocksLast", CRecordset::lockOnUpdate,
                         SQL_SCCO_READ_ONLY | SQL_SCCO_LOCK, SQL_CONCUR_LOCK},
               OfferCase{"UpdateNothingOffered", CRecordset::lockOnUpdate, SQL_SCCO_READ_ONLY,
                         SQL_CONCUR_READ_ONLY},
               OfferCase{"EditLocks", CRecordset::lockOnEdit, kAllConcurrencies, SQL_CONCUR_LOCK},
               OfferCase{"EditWithoutLocks", CRecordset::lockOnEdit,
                         SQL_SCCO_OPT_ROWVER | SQL_SCCO_OPT_VALUES, SQL_CONCUR_READ_ONLY, 0, true});

TEST_F(OpenStatementOptions, ReadOnlyRecordsetOrConnectionDoesNotAskForConcurrencies) {
  struct Case {
    const char* what;
    BOOL connectionUpdatable;
    DWORD options;
  };
  for (const Case& c : {Case{"read-only recordset", TRUE, CRecordset::readOnly},
                        Case{"read-only connection", FALSE, CRecordset::addOnly}}) {
    SCOPED_TRACE(c.what);
    database->m_bUpdatable = c.connectionUpdatable;
    const std::size_t mark = fakeodbc::callCount();
    CRecordset rs(database.get());
    ASSERT_TRUE(rs.Open(CRecordset::staticCursor, kBrandStatement, c.options));
    EXPECT_THAT(CallLinesAfter(mark), Not(Contains(HasSubstr("SQL_SCROLL_CONCURRENCY"))));
    EXPECT_EQ(rs.m_dwConcurrencyModel, DWORD{SQL_CONCUR_READ_ONLY});
    EXPECT_EQ(fakeodbc::statementOption(rs.m_hstmt, SQL_CONCURRENCY),
              SQLULEN{SQL_CONCUR_READ_ONLY});
  }
}

TEST_F(OpenStatementOptions, ReplacedOptionValueIsOnlyAWarning) {
  // Like unixODBC for a value the driver replaces: success with information, 01S02.
  fakeodbc::answer(Fn::SQLSetStmtOption, 3,
                   Answer::withInfo({Diag{"01S02", 0, u"[FakeODBC][Driver]Option value changed"}}));
  CRecordset& rs = OpenBrands(CRecordset::addOnly);
  EXPECT_THAT(traces.Joined(), ::testing::AllOf(HasSubstr("Warning: ODBC Success With Info, "),
                                                HasSubstr("State:01S02")));
  EXPECT_EQ(rs.m_lOpen, 1);
}

TEST_F(OpenStatementOptions, QueryTimeoutRefusedByTheDriverIsNotAnError) {
  fakeodbc::answer(Fn::SQLSetStmtOption, 1, Answer::fail(SQL_ERROR, {kInjected}));
  OpenBrands(CRecordset::addOnly);
  EXPECT_EQ(database->m_dwQueryTimeout, 0xFFFFFFFFu);
}

TEST_F(OpenStatementOptions, BookmarksAreTurnedOnWhenTheConnectionKeepsThemWhileScrolling) {
  const std::size_t mark = fakeodbc::callCount();
  CRecordset& rs = OpenBrands(CRecordset::readOnly | CRecordset::withBookmarks);
  EXPECT_EQ(fakeodbc::statementOption(rs.m_hstmt, SQL_USE_BOOKMARKS), SQLULEN{SQL_UB_ON});
  // Right after the query timeout, before the scroll probe.
  const std::vector<std::string> lines = CallLinesWithoutDiagnosticsAfter(mark);
  const auto timeout = std::find(lines.begin(), lines.end(),
                                 "SQLSetStmtOption(stmt#1, SQL_QUERY_TIMEOUT, 15) -> SQL_SUCCESS");
  ASSERT_NE(timeout, lines.end());
  ASSERT_LT(timeout + 2, lines.end());
  EXPECT_EQ(*(timeout + 1), "SQLSetStmtOption(stmt#1, SQL_USE_BOOKMARKS, " +
                                std::to_string(SQL_UB_ON) + ") -> SQL_SUCCESS");
  EXPECT_EQ(*(timeout + 2), "SQLGetFunctions(dbc#1, SQL_API_SQLEXTENDEDFETCH) -> SQL_SUCCESS");
}

TEST_F(OpenStatementOptions, BookmarksAreNotAskedOfAConnectionThatLosesThem) {
  database->m_dwBookmarkPersistence = 0;
  CRecordset& rs = OpenBrands(CRecordset::readOnly | CRecordset::withBookmarks);
  EXPECT_NE(fakeodbc::statementOption(rs.m_hstmt, SQL_USE_BOOKMARKS), SQLULEN{SQL_UB_ON});
}

// The update method follows the connection's capability bits.
struct UpdateMethodCase {
  const char* name;
  DWORD capabilities;
  BOOL positionedBefore;
  BOOL positioned;
  BOOL updatable;
};

DB_PRINT_ROWS_BY_NAME(UpdateMethodCase)

using OpenUpdateMethod = CasesOf<OpenStatementOptions, UpdateMethodCase>;

TEST_P(OpenUpdateMethod, FollowsTheConnectionsCapabilities) {
  const UpdateMethodCase& c = GetParam();
  CRecordset rs(database.get());
  database->m_dwUpdateCapabilities = c.capabilities;
  rs.m_bUpdatable = TRUE;
  rs.m_bAppendable = TRUE;
  rs.m_bPositionedUpdates = c.positionedBefore;
  rs.ChooseUpdateMethod();
  EXPECT_EQ(rs.m_bPositionedUpdates, c.positioned);
  EXPECT_EQ(rs.m_bUpdatable, c.updatable);
  EXPECT_TRUE(rs.m_bAppendable);
}

DB_NAMED_CASES(
    Capabilities, OpenUpdateMethod,
    UpdateMethodCase{"SetPos", CDatabase::kCanSetPos, TRUE, FALSE, TRUE},
    UpdateMethodCase{"SetPosBeforePositionedSql",
                     CDatabase::kCanSetPos | CDatabase::kCanPositionedSql, TRUE, FALSE, TRUE},
    UpdateMethodCase{"PositionedSql", CDatabase::kCanPositionedSql, FALSE, TRUE, TRUE},
    // Without either way nothing can be changed; the method is left as it was.
    UpdateMethodCase{"NeitherKeepsPositioned", CDatabase::kCanGetDataBound, TRUE, TRUE,
                     FALSE},
    UpdateMethodCase{"NeitherKeepsSetPos", 0, FALSE, FALSE, FALSE});

TEST_F(OpenStatementOptions, StepsWithoutAConnectionAreRefused) {
  CRecordset rs(nullptr);
  const std::size_t mark = fakeodbc::callCount();
  const HSTMT statement = reinterpret_cast<HSTMT>(1);
  EXPECT_TRUE(RaisesInvalidArg([&] { rs.ApplyStatementOptions(statement); }));
  EXPECT_TRUE(RaisesInvalidArg([&] { rs.CheckScrollSupport(); }));
  EXPECT_TRUE(RaisesInvalidArg([&] { rs.ChooseCursorType(); }));
  EXPECT_TRUE(RaisesInvalidArg([&] { rs.ChooseUpdateMethod(); }));
  EXPECT_TRUE(
      RaisesInvalidArg([&] { rs.ApplyCursorTypeAndLocking(statement, SQL_CURSOR_STATIC); }));
  rs.m_dwOpenOptions = CRecordset::withBookmarks;
  EXPECT_TRUE(RaisesInvalidArg([&] { rs.TurnOnBookmarks(); }));
  EXPECT_TRUE(CallNamesAfter(mark).empty());
}

}  // namespace
