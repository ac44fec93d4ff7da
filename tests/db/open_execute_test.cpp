// Preparing and executing the statement, describing the result and fetching the first row:
// the fallback when the driver refuses the requested concurrency, a concurrency the driver
// lowers while executing, and the failures of each step, after which the recordset is closed.
#include <algorithm>

#include "tests/db/support/db_fixture.h"
#include "tests/db/support/table_cases.h"

namespace {

const Diag kNotCapable{"S1C00", 0, u"[FakeODBC][Driver]Driver not capable"};
const Diag kSyntax{"37000", 102, u"[FakeODBC][Driver]Syntax error near 'marque'"};
const Diag kOptionChanged{"01S02", 0, u"[FakeODBC][Driver]Option value changed"};

std::string ConcurrencyLine(SQLULEN model) {
  return "SQLSetStmtOption(stmt#1, SQL_CONCURRENCY, " + std::to_string(model) +
         ") -> SQL_SUCCESS";
}

const std::string kPrepare = "SQLPrepareW(stmt#1, \"SELECT marque FROM avion \", SQL_NTS) -> ";
const std::string kPrepareRefused = kPrepare + "SQL_ERROR";
const std::string kPrepareAccepted = kPrepare + "SQL_SUCCESS";

// The calls from the concurrency set by the open up to the execute.
std::vector<std::string> FromConcurrencyToExecute(const std::vector<std::string>& lines) {
  auto first = lines.begin();
  while (first != lines.end() && first->find("SQL_CONCURRENCY") == std::string::npos) ++first;
  auto last = first;
  while (last != lines.end() && last->rfind("SQLExecute", 0) != 0) ++last;
  if (last != lines.end()) ++last;
  return std::vector<std::string>(first, last);
}

using OpenExecute = DbConnectedTest;

TEST_F(OpenExecute, RefusedConcurrencyFallsBackToLocksThenToReadOnly) {
  fakeodbc::setInfo(SQL_SCROLL_CONCURRENCY,
                    InfoValue::int32(SQL_SCCO_LOCK | SQL_SCCO_OPT_VALUES));
  fakeodbc::answer(Fn::SQLPrepareW, 1, Answer::fail(SQL_ERROR, {kNotCapable}));
  fakeodbc::answer(Fn::SQLPrepareW, 2, Answer::fail(SQL_ERROR, {kNotCapable}));
  const std::size_t mark = fakeodbc::callCount();

  CRecordset& rs = OpenBrands(CRecordset::none);

  const std::vector<std::string> expected = {
      ConcurrencyLine(SQL_CONCUR_VALUES), kPrepareRefused,
      ConcurrencyLine(SQL_CONCUR_LOCK),   kPrepareRefused,
      ConcurrencyLine(SQL_CONCUR_READ_ONLY), kPrepareAccepted,
      "SQLExecute(stmt#1) -> SQL_SUCCESS",
  };
  EXPECT_EQ(FromConcurrencyToExecute(CallLinesWithoutDiagnosticsAfter(mark)), expected);
  EXPECT_EQ(rs.m_dwConcurrencyModel, DWORD{SQL_CONCUR_READ_ONLY});
  EXPECT_FALSE(rs.m_bUpdatable);
  EXPECT_FALSE(rs.m_bAppendable);
  EXPECT_EQ(rs.m_lOpen, 1);
  EXPECT_EQ(rs.m_lCurrentRow, 0);

  // Each refusal's diagnostics are traced, then the warnings.
  const std::vector<std::string> texts = traces.Texts();
  std::vector<std::string> warnings;
  std::copy_if(texts.begin(), texts.end(), std::back_inserter(warnings),
               [](const std::string& t) { return t.rfind("Warning:", 0) == 0; });
  EXPECT_THAT(warnings, ElementsAre("Warning: Driver does not support requested concurrency.\n",
                                    "Warning: Driver does not support requested concurrency.\n",
                                    "Warning: Setting recordset read only.\n"));
  EXPECT_EQ(texts.front(), "Driver not capable\n");
  EXPECT_THAT(traces.Joined(), HasSubstr("State:S1C00,Native:0,Origin:[FakeODBC][Driver]\n\n"));
}

TEST_F(OpenExecute, RefusedRowVersionsWithoutLocksGoStraightToReadOnly) {
  fakeodbc::setInfo(SQL_SCROLL_CONCURRENCY, InfoValue::int32(SQL_SCCO_OPT_ROWVER));
  fakeodbc::answer(Fn::SQLPrepareW, 1, Answer::fail(SQL_ERROR, {kNotCapable}));
  const std::size_t mark = fakeodbc::callCount();
  CRecordset& rs = OpenBrands(CRecordset::none);

  const std::vector<std::string> expected = {
      ConcurrencyLine(SQL_CONCUR_ROWVER), kPrepareRefused,
      ConcurrencyLine(SQL_CONCUR_READ_ONLY), kPrepareAccepted,
      "SQLExecute(stmt#1) -> SQL_SUCCESS",
  };
  EXPECT_EQ(FromConcurrencyToExecute(CallLinesWithoutDiagnosticsAfter(mark)), expected);
  EXPECT_FALSE(rs.m_bUpdatable);
  EXPECT_FALSE(rs.m_bAppendable);
}

TEST_F(OpenExecute, RefusedReadOnlyConcurrencyIsRaisedAfterThreeAttempts) {
  fakeodbc::setInfo(SQL_SCROLL_CONCURRENCY,
                    InfoValue::int32(SQL_SCCO_LOCK | SQL_SCCO_OPT_VALUES));
  for (int nth = 1; nth <= 3; ++nth) {
    fakeodbc::answer(Fn::SQLPrepareW, nth, Answer::fail(SQL_ERROR, {kNotCapable}));
  }
  const std::size_t mark = fakeodbc::callCount();
  RaisedError raised = OpenExpectingFailure();

  ASSERT_TRUE(IsDbError(raised, SQL_ERROR, "Driver not capable\n"));
  EXPECT_EQ(raised.db()->m_strStateInfo, u"State:S1C00,Native:0,Origin:[FakeODBC][Driver]\n");
  EXPECT_EQ(CountCallsAfter(mark, "SQLPrepareW"), 3);
  EXPECT_EQ(CountCallsAfter(mark, "SQLExecute"), 0);
  // The refusal's error line comes after its traced diagnostics, then the recordset closes.
  EXPECT_EQ(traces.Last(), "Error: ODBC failure on SQLPrepare or SQLExecDirect\n");
}

TEST_F(OpenExecute, RefusedConcurrencyThatCannotBeLoweredIsRaised) {
  // A read-only recordset already asks for the read-only concurrency.
  fakeodbc::answer(Fn::SQLPrepareW, 1, Answer::fail(SQL_ERROR, {kNotCapable}));
  const std::size_t mark = fakeodbc::callCount();
  RaisedError raised = OpenExpectingFailure(CRecordset::readOnly);
  ASSERT_NE(raised.db(), nullptr);
  EXPECT_TRUE(raised.db()->HasState(u"State:S1C00"));
  EXPECT_EQ(CountCallsAfter(mark, "SQLPrepareW"), 1);
}

TEST_F(OpenExecute, FailingConcurrencyChangeDuringTheFallbackIsTraced) {
  fakeodbc::answer(Fn::SQLPrepareW, 1, Answer::fail(SQL_ERROR, {kNotCapable}));
  // Timeout, cursor type, concurrency, then the fallback's concurrency.
  fakeodbc::answer(Fn::SQLSetStmtOption, 4,
                   Answer::fail(SQL_ERROR, {Diag{"S1000", 0, u"[FakeODBC][Driver]Busy"}}));
  RaisedError raised = OpenExpectingFailure(CRecordset::addOnly);
  ASSERT_NE(raised.db(), nullptr);
  EXPECT_EQ(raised.db()->m_strErrorText, u"Busy\n");
  EXPECT_THAT(traces.Texts(), Contains("Error: ODBC failure setting recordset concurrency.\n"));
}

TEST_F(OpenExecute, PrepareFailureReachesTheCallerWithItsDiagnostics) {
  fakeodbc::answer(Fn::SQLPrepareW, 1, Answer::fail(SQL_ERROR, {kSyntax}));
  RaisedError raised = OpenExpectingFailure(CRecordset::addOnly);

  ASSERT_TRUE(IsDbError(raised, SQL_ERROR, "Syntax error near 'marque'\n"));
  EXPECT_EQ(raised.db()->m_strStateInfo,
            u"State:37000,Native:102,Origin:[FakeODBC][Driver]\n");
  // Traced while they were read (the state line ends in its own newline), then the failure.
  EXPECT_THAT(traces.Texts(),
              ElementsAre("Syntax error near 'marque'\n",
                          "State:37000,Native:102,Origin:[FakeODBC][Driver]\n\n",
                          "Error: ODBC failure on SQLPrepare or SQLExecDirect\n"));
}

TEST_F(OpenExecute, DirectExecutionFailureIsTheSameFailure) {
  fakeodbc::answer(Fn::SQLExecDirectW, 1, Answer::fail(SQL_ERROR, {kSyntax}));
  RaisedError raised = OpenExpectingFailure(CRecordset::readOnly | CRecordset::directExecute);
  ASSERT_NE(raised.db(), nullptr);
  EXPECT_EQ(raised.db()->m_strErrorText, u"Syntax error near 'marque'\n");
  EXPECT_EQ(traces.Texts().back(), "Error: ODBC failure on SQLPrepare or SQLExecDirect\n");
}

TEST_F(OpenExecute, ConcurrencyLoweredByTheDriverMakesTheRecordsetNotUpdatable) {
  fakeodbc::answer(Fn::SQLExecute, 1, Answer::withInfo({kOptionChanged}));
  Answer readOnly;
  readOnly.number = SQL_CONCUR_READ_ONLY;
  fakeodbc::answer(Fn::SQLGetStmtOption, 1, readOnly);
  const std::size_t mark = fakeodbc::callCount();

  CRecordset& rs = OpenBrands(CRecordset::none);

  EXPECT_FALSE(rs.m_bUpdatable);
  EXPECT_FALSE(rs.m_bAppendable);
  EXPECT_EQ(rs.m_lOpen, 1);
  const std::vector<std::string> lines = CallLinesWithoutDiagnosticsAfter(mark);
  const auto execute = std::find(lines.begin(), lines.end(),
                                 "SQLExecute(stmt#1) -> SQL_SUCCESS_WITH_INFO");
  ASSERT_NE(execute, lines.end());
  ASSERT_NE(execute + 1, lines.end());
  EXPECT_EQ(*(execute + 1), "SQLGetStmtOption(stmt#1, SQL_CONCURRENCY) -> SQL_SUCCESS");
  const std::vector<std::string> texts = traces.Texts();
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[texts.size() - 2], "Warning: Concurrency changed by driver.\n");
  EXPECT_EQ(texts.back(), "\tMarking CRecordset as not updatable.\n");
  EXPECT_EQ(texts.front(), "Warning: ODBC Success With Info, ");
}

TEST_F(OpenExecute, ConcurrencyKeptByTheDriverKeepsTheFlags) {
  fakeodbc::answer(Fn::SQLExecute, 1,
                   Answer::withInfo({Diag{"01000", 0, u"[FakeODBC][Driver]General warning"}}));
  const std::size_t mark = fakeodbc::callCount();
  CRecordset& rs = OpenBrands(CRecordset::none);

  EXPECT_EQ(CountCallsAfter(mark, "SQLGetStmtOption"), 1);
  EXPECT_TRUE(rs.m_bUpdatable);
  EXPECT_TRUE(rs.m_bAppendable);
  EXPECT_THAT(traces.Joined(), Not(HasSubstr("Concurrency changed")));
}

TEST_F(OpenExecute, ReadOnlyRecordsetIsNotMarkedAgain) {
  fakeodbc::answer(Fn::SQLExecute, 1,
                   Answer::withInfo({Diag{"01000", 0, u"[FakeODBC][Driver]General warning"}}));
  OpenBrands(CRecordset::readOnly);
  EXPECT_THAT(traces.Joined(), Not(HasSubstr("Concurrency changed")));
}

TEST_F(OpenExecute, PlainSuccessDoesNotAskForTheConcurrency) {
  const std::size_t mark = fakeodbc::callCount();
  OpenBrands(CRecordset::none);
  EXPECT_EQ(CountCallsAfter(mark, "SQLGetStmtOption"), 0);
}

// A step after the statement is sent that fails: the recordset closes and the caller gets
// the driver's error.
struct FailingStep {
  const char* name;
  void (*prepare)();  // what the step needs beforehand; null: nothing
  Fn fn;
  int nth;
  Diag diag;
  const char* errorText;
  const char* firstTrace;  // null: not compared
  const char* notCalled;   // a later call the failure must prevent; null: not compared
};

DB_PRINT_ROWS_BY_NAME(FailingStep)

using OpenFailingStep = CasesOf<OpenExecute, FailingStep>;

TEST_P(OpenFailingStep, ClosesTheRecordsetAndRaisesTheDriversError) {
  const FailingStep& step = GetParam();
  if (step.prepare != nullptr) step.prepare();
  fakeodbc::answer(step.fn, step.nth, Answer::fail(SQL_ERROR, {step.diag}));
  const std::size_t mark = fakeodbc::callCount();
  RaisedError raised = OpenExpectingFailure(CRecordset::addOnly);
  ASSERT_TRUE(IsDbError(raised, SQL_ERROR, step.errorText));
  if (step.firstTrace != nullptr) {
    EXPECT_EQ(traces.First(), step.firstTrace);
  }
  if (step.notCalled != nullptr) {
    EXPECT_EQ(CountCallsAfter(mark, step.notCalled), 0) << step.notCalled;
  }
}

DB_NAMED_CASES(
    Steps, OpenFailingStep,
    FailingStep{"Execute", nullptr, Fn::SQLExecute, 1,
                Diag{"42S02", 0, u"[FakeODBC][Driver]avion is not a table"},
                "avion is not a table\n", nullptr, "SQLDescribeColW"},
    // A warning from the execute makes the open ask for the concurrency in force.
    FailingStep{"ConcurrencyQueryAfterExecute",
                [] { fakeodbc::answer(Fn::SQLExecute, 1, Answer::withInfo({kOptionChanged})); },
                Fn::SQLGetStmtOption, 1, Diag{"S1000", 0, u"[FakeODBC][Driver]No option"},
                "No option\n", nullptr, nullptr},
    // The first count is the probe of IsOpen.
    FailingStep{"ColumnCount", nullptr, Fn::SQLNumResultCols, 2,
                Diag{"S1000", 0, u"[FakeODBC][Driver]Lost"}, "Lost\n",
                "Error: Can't get field info.\n", nullptr},
    // The second of two columns; the descriptions made so far are freed.
    FailingStep{"ColumnDescription",
                [] {
                  ResultSet result = fakeodbc::healthyResult();
                  result.columns.push_back(Column{u"pays", SQL_WVARCHAR, 30, 0, SQL_NULLABLE});
                  for (auto& row : result.rows) row.push_back(u"France");
                  fakeodbc::setResult(result);
                },
                Fn::SQLDescribeColW, 2, Diag{"S1000", 0, u"[FakeODBC][Driver]Lost"}, "Lost\n",
                "Error: ODBC failure getting field #2 info.\n", nullptr},
    FailingStep{"FirstFetch", nullptr, Fn::SQLExtendedFetch, 1,
                Diag{"S1000", 0, u"[FakeODBC][Driver]Fetch failed"}, "Fetch failed\n",
                nullptr, nullptr});

TEST_F(OpenExecute, StatementWithoutResultColumnsGoesOnToTheDriversFetch) {
  fakeodbc::setResult(ResultSet{});
  const std::size_t mark = fakeodbc::callCount();
  CRecordset rs(database.get());
  // The fetch on a statement without a result is the driver's to answer; this one refuses.
  RaisedError raised = OpenExpectingFailure(rs, CRecordset::readOnly);
  ASSERT_TRUE(IsDbError(raised, SQL_ERROR));
  EXPECT_TRUE(raised.db()->HasState(u"State:24000"));
  EXPECT_EQ(CountCallsAfter(mark, "SQLDescribeColW"), 0);
  EXPECT_EQ(CountCallsAfter(mark, "SQLExtendedFetch"), 1);
}

TEST_F(OpenExecute, StatementWithoutResultColumnsMakesNoDescriptions) {
  fakeodbc::setResult(ResultSet{});
  fakeodbc::answer(Fn::SQLExtendedFetch, 1, Answer::fail(SQL_NO_DATA));
  CRecordset rs(database.get());
  ASSERT_TRUE(rs.Open(CRecordset::staticCursor, u"SELECT 1 FROM t WHERE 0 = 1",
                      CRecordset::readOnly));
  EXPECT_EQ(rs.m_nResultColumns, 0);
  EXPECT_EQ(rs.m_pColumnInfo, nullptr);
  EXPECT_TRUE(rs.m_bBOF);
  EXPECT_TRUE(rs.m_bEOF);
}

TEST_F(OpenExecute, ClosedRecordsetOpensAgainOnANewStatement) {
  CRecordset rs(database.get());
  fakeodbc::answer(Fn::SQLPrepareW, 1, Answer::fail(SQL_ERROR, {kSyntax}));
  OpenExpectingFailure(rs, CRecordset::addOnly);

  const std::size_t mark = fakeodbc::callCount();
  ASSERT_TRUE(rs.Open(CRecordset::staticCursor, kBrandStatement, CRecordset::addOnly));
  const std::vector<std::string> lines = CallLinesAfter(mark);
  ASSERT_FALSE(lines.empty());
  // No probe of a statement that does not exist: the new one is allocated and registered.
  EXPECT_EQ(lines[0], "SQLAllocStmt(dbc#1, &stmt#2) -> SQL_SUCCESS");
  EXPECT_EQ(database->m_listRecordsets.GetCount(), 1);
  EXPECT_EQ(database->m_listRecordsets.GetHead(), &rs);
  EXPECT_EQ(rs.m_lCurrentRow, 0);
  EXPECT_EQ(rs.m_nResultColumns, 1);
}

}  // namespace
