// The fetch of a move and the judgement of its answer: SQLFetch or SQLExtendedFetch, the
// repetition while the driver is still executing, the row status, and the warnings and errors
// a fetch can answer with.
#include "tests/db/support/open_state.h"
#include "tests/db/support/scripted_answers.h"

namespace {

// The value of column 1 of the row the driver's cursor stands on, read around the recordset.
std::u16string DriverRowValue(HSTMT statement) {
  char16_t buffer[64] = {};
  SQLLEN length = 0;
  const SQLRETURN rc = SQLGetData(statement, 1, SQL_C_WCHAR, buffer, sizeof buffer, &length);
  if (rc != SQL_SUCCESS) return u"<no row>";
  return buffer;
}

// A fetch whose data did not fit: the driver's truncation warning.
const Answer kTruncation = Answer::withInfo({{"01004", 0, fakeodbc::messages::stringTruncated}});

PositionSnapshot PositionOnly(const CRecordset& recordset) {
  PositionSnapshot snapshot = PositionSnapshot::Of(recordset);
  snapshot.fetchedRows = 0;
  snapshot.deleted = FALSE;
  return snapshot;
}

using FetchRows = OpenStateTest;

TEST_F(FetchRows, ForwardOnlyRecordsetFetchesWithSQLFetchAndCountsOneRow) {
  CRecordset& recordset = Opened({CRecordset::forwardOnly, CRecordset::readOnly});
  recordset.m_dwFetchedRows = 9;
  recordset.m_bDeleted = TRUE;
  EXPECT_THAT(CallsOf([&] { recordset.MoveNext(); }),
              ElementsAre("SQLFetch(stmt#1) -> SQL_SUCCESS"));
  EXPECT_EQ(recordset.GetFetchedRowCount(), 1u);
  EXPECT_FALSE(recordset.IsDeleted());

  // At the end the count stays 1, whatever the answer.
  for (int row = 2; row < 4; ++row) recordset.MoveNext();
  recordset.m_dwFetchedRows = 9;
  recordset.m_bDeleted = TRUE;
  EXPECT_THAT(CallsOf([&] { recordset.MoveNext(); }),
              ElementsAre("SQLFetch(stmt#1) -> " + kNoData));
  EXPECT_TRUE(recordset.IsEOF());
  EXPECT_EQ(recordset.GetFetchedRowCount(), 1u);
  EXPECT_FALSE(recordset.IsDeleted());
  EXPECT_EQ(recordset.m_lCurrentRow, 3);
}

TEST_F(FetchRows, ForwardOnlyRecordsetWithExtendedFetchUsesSQLExtendedFetch) {
  CRecordset recordset(database.get());
  PrepareOpenState(recordset,
                   {CRecordset::forwardOnly, CRecordset::readOnly | CRecordset::extendedFetch});
  EXPECT_THAT(CallsOf([&] { recordset.MoveNext(); }),
              ElementsAre(FetchLine("SQL_FETCH_NEXT", 1, "SQL_SUCCESS")));
}

TEST_F(FetchRows, FetchIsRepeatedWhileTheDriverIsStillExecuting) {
  CRecordset& recordset = Opened();
  fakeodbc::answer(Fn::SQLExtendedFetch, 1, Answer::still(3));
  ForgetCalls();
  recordset.MoveNext();
  const std::string still = FetchLine("SQL_FETCH_NEXT", 1, "SQL_STILL_EXECUTING");
  EXPECT_THAT(Calls(),
              ElementsAre(still, still, still, FetchLine("SQL_FETCH_NEXT", 1, "SQL_SUCCESS")));
  EXPECT_EQ(recordset.m_lCurrentRow, 1);
  EXPECT_EQ(DriverRowValue(recordset.m_hstmt), u"Boeing");
  EXPECT_TRUE(traces.Texts().empty());
}

TEST_F(FetchRows, SQLFetchIsRepeatedWhileTheDriverIsStillExecuting) {
  CRecordset& recordset = Opened({CRecordset::forwardOnly, CRecordset::readOnly});
  fakeodbc::answer(Fn::SQLFetch, 1, Answer::still(2));
  EXPECT_THAT(
      CallsOf([&] { recordset.MoveNext(); }),
      ElementsAre("SQLFetch(stmt#1) -> SQL_STILL_EXECUTING",
                  "SQLFetch(stmt#1) -> SQL_STILL_EXECUTING", "SQLFetch(stmt#1) -> SQL_SUCCESS"));
  EXPECT_EQ(recordset.m_lCurrentRow, 1);
}

TEST_F(FetchRows, RowStatusTellsWhetherTheCurrentRowIsDeleted) {
  CRecordset& recordset = Opened();
  EXPECT_EQ(recordset.GetRowStatus(1), SQL_ROW_SUCCESS);

  fakeodbc::answer(Fn::SQLExtendedFetch, 1, ReportingRowStatus(SQL_ROW_DELETED));
  recordset.MoveNext();
  EXPECT_TRUE(recordset.IsDeleted());
  EXPECT_EQ(recordset.GetRowStatus(1), SQL_ROW_DELETED);

  // A fetch that finds no row leaves the flag as it was.
  fakeodbc::answer(Fn::SQLExtendedFetch, 1, Answer::fail(SQL_NO_DATA_FOUND));
  recordset.MoveNext();
  EXPECT_TRUE(recordset.IsEOF());
  EXPECT_TRUE(recordset.IsDeleted());

  recordset.MovePrev();
  EXPECT_FALSE(recordset.IsDeleted());
}

TEST_F(FetchRows, RowStatusOfAFetchWithInformationTellsWhetherTheRowIsDeleted) {
  CRecordset& recordset = Opened();
  for (const SQLUSMALLINT status : {SQL_ROW_DELETED, SQL_ROW_SUCCESS}) {
    Answer withInfo = Answer::withInfo({{"01000", 0, u"[FakeODBC][Driver]General warning"}});
    withInfo.rowStatus = status;
    fakeodbc::answer(Fn::SQLExtendedFetch, 1, withInfo);
    recordset.MoveNext();
    EXPECT_EQ(recordset.IsDeleted() != FALSE, status == SQL_ROW_DELETED);
  }
}

TEST_F(FetchRows, RowStatusIsReadOnlyWithinTheRowsOfAFetch) {
  CRecordset& recordset = Opened();
  EXPECT_EQ(RunCatching([&] { recordset.GetRowStatus(0); }).kind, Raised::InvalidArgument);
  EXPECT_EQ(RunCatching([&] { recordset.GetRowStatus(2); }).kind, Raised::InvalidArgument);
  recordset.Close();
  EXPECT_EQ(RunCatching([&] { recordset.GetRowStatus(1); }).kind, Raised::InvalidArgument);
}

TEST_F(FetchRows, FetchedRowCountComesFromTheDriver) {
  CRecordset& recordset = Opened();
  Answer answer;
  answer.runDefault = true;
  answer.number = 7;
  fakeodbc::answer(Fn::SQLExtendedFetch, 1, answer);
  recordset.MoveNext();
  EXPECT_EQ(recordset.GetFetchedRowCount(), 7u);
  EXPECT_EQ(recordset.GetRowsPerFetch(), 1u);
}

TEST_F(FetchRows, TruncationRaisesAndKeepsThePositionAlthoughTheDriverMoved) {
  CRecordset& recordset = Opened();
  const PositionSnapshot before = PositionOnly(recordset);
  fakeodbc::answer(Fn::SQLExtendedFetch, 1, kTruncation);
  traces.Clear();

  EXPECT_TRUE(IsDbError(RunCatching([&] { recordset.MoveNext(); }), dbErrorFieldDataTruncated,
                        nullptr, ""));
  EXPECT_THAT(traces.Texts(),
              ElementsAre("Error: field data truncated during data fetch.\n", kMissingTextTrace));
  EXPECT_EQ(PositionOnly(recordset), before);
  EXPECT_EQ(recordset.m_lCurrentRow, 0);
  EXPECT_EQ(DriverRowValue(recordset.m_hstmt), u"Boeing");
  // Still open: the next move fetches again.
  EXPECT_THAT(CallsOf([&] { recordset.MoveNext(); }),
              ElementsAre(FetchLine("SQL_FETCH_NEXT", 1, "SQL_SUCCESS")));
  EXPECT_EQ(recordset.m_lCurrentRow, 1);
}

TEST_F(FetchRows, TruncationIsToleratedForABoundLongBinaryWhenSetPosCanUpdate) {
  CRecordset& recordset = Opened();
  recordset.m_bHasLongBinary = TRUE;
  database->m_dwUpdateCapabilities = CDatabase::kCanSetPos;
  fakeodbc::answer(Fn::SQLExtendedFetch, 1, kTruncation);
  traces.Clear();

  EXPECT_EQ(RunCatching([&] { recordset.MoveNext(); }).kind, Raised::Nothing);
  EXPECT_TRUE(traces.Texts().empty());
  EXPECT_EQ(recordset.m_lCurrentRow, 1);

  // Without SQLSetPos updates, or without a long binary field, it is not.
  database->m_dwUpdateCapabilities = CDatabase::kCanPositionedSql | CDatabase::kCanGetDataBound;
  fakeodbc::answer(Fn::SQLExtendedFetch, 1, kTruncation);
  EXPECT_EQ(RunCatching([&] { recordset.MoveNext(); }).code, dbErrorFieldDataTruncated);

  database->m_dwUpdateCapabilities = CDatabase::kCanSetPos;
  recordset.m_bHasLongBinary = FALSE;
  fakeodbc::answer(Fn::SQLExtendedFetch, 1, kTruncation);
  EXPECT_EQ(RunCatching([&] { recordset.MoveNext(); }).code, dbErrorFieldDataTruncated);
  EXPECT_EQ(recordset.m_lCurrentRow, 1);
}

TEST_F(FetchRows, TruncationAmongOtherRecordsStillRaises) {
  CRecordset& recordset = Opened();
  fakeodbc::answer(Fn::SQLExtendedFetch, 1,
                   Answer::withInfo({{"01S01", 0, u"[FakeODBC][Driver]Error in row"},
                                     {"01004", 0, fakeodbc::messages::stringTruncated}}));
  EXPECT_EQ(RunCatching([&] { recordset.MoveNext(); }).code, dbErrorFieldDataTruncated);
}

TEST_F(FetchRows, ErrorInRowRaisesWithTheDiagnosticsTraced) {
  CRecordset& recordset = Opened();
  const PositionSnapshot before = PositionOnly(recordset);
  fakeodbc::answer(Fn::SQLExtendedFetch, 1,
                   Answer::withInfo({{"01S01", 12, u"[FakeODBC][Driver]Error in row"}}));
  traces.Clear();

  EXPECT_TRUE(IsDbError(RunCatching([&] { recordset.MoveNext(); }), dbErrorRowFetchFailed));
  EXPECT_THAT(traces.Texts(), ElementsAre("Error: fetching row from server.\n", "Error in row\n\n",
                                          "State:01S01,Native:12,Origin:[FakeODBC][Driver]\n\n",
                                          kMissingTextTrace));
  EXPECT_EQ(PositionOnly(recordset), before);
  EXPECT_NE(recordset.m_hstmt, nullptr);
}

TEST_F(FetchRows, OtherWarningIsTracedAndTheMoveGoesOn) {
  CRecordset& recordset = Opened();
  fakeodbc::answer(Fn::SQLExtendedFetch, 1,
                   Answer::withInfo({{"01000", -3, u"[FakeODBC][Driver]General warning"},
                                     {"01S02", 0, u"Option value changed"}}));
  ForgetCallsAndTraces();

  EXPECT_EQ(RunCatching([&] { recordset.MoveNext(); }).kind, Raised::Nothing);
  EXPECT_THAT(
      traces.Texts(),
      ElementsAre("Warning: ODBC Success With Info,\n", "General warning\nOption value changed\n\n",
                  "State:01000,Native:-3,Origin:[FakeODBC][Driver]\nState:01S02,Native:0,Origin:\n"
                  "\n"));
  EXPECT_EQ(recordset.m_lCurrentRow, 1);
  EXPECT_FALSE(recordset.IsEOF());
  // The diagnostics were read once, without a repeated fetch.
  ASSERT_FALSE(Calls().empty());
  EXPECT_EQ(Calls()[0], FetchLine("SQL_FETCH_NEXT", 1, "SQL_SUCCESS_WITH_INFO"));
  for (std::size_t i = 1; i < Calls().size(); ++i) {
    EXPECT_EQ(Calls()[i].rfind("SQLErrorW(", 0), 0u) << Calls()[i];
  }
}

TEST_F(FetchRows, DriverErrorIsRaisedWithItsDiagnosticsAndThePositionKept) {
  CRecordset& recordset = Opened();
  recordset.MoveNext();
  const PositionSnapshot before = PositionOnly(recordset);
  fakeodbc::answer(Fn::SQLExtendedFetch, 1,
                   Answer::fail(SQL_ERROR, {{"S1000", 42, u"[FakeODBC][Driver]Disk on fire"}}));
  traces.Clear();

  EXPECT_TRUE(IsDbError(RunCatching([&] { recordset.MoveNext(); }), SQL_ERROR, "Disk on fire\n",
                        "State:S1000,Native:42,Origin:[FakeODBC][Driver]\n"));
  EXPECT_THAT(traces.Texts(),
              ElementsAre("Disk on fire\n", "State:S1000,Native:42,Origin:[FakeODBC][Driver]\n\n"));
  EXPECT_EQ(PositionOnly(recordset), before);
  EXPECT_NE(recordset.m_hstmt, nullptr);
}

TEST_F(FetchRows, InvalidHandleIsRaisedWithItsCodeAndNoText) {
  CRecordset& recordset = Opened();
  fakeodbc::answer(Fn::SQLExtendedFetch, 1, Answer::fail(SQL_INVALID_HANDLE));
  EXPECT_TRUE(IsDbError(RunCatching([&] { recordset.MoveNext(); }), SQL_INVALID_HANDLE, ""));
  EXPECT_EQ(recordset.m_lCurrentRow, 0);
}

TEST_F(FetchRows, ForwardOnlyFetchErrorIsRaised) {
  CRecordset& recordset = Opened({CRecordset::forwardOnly, CRecordset::readOnly});
  fakeodbc::answer(Fn::SQLFetch, 1,
                   Answer::fail(SQL_ERROR, {{"08S01", 0, u"[FakeODBC][Driver]Link failure"}}));
  EXPECT_TRUE(IsDbError(RunCatching([&] { recordset.MoveNext(); }), SQL_ERROR, "Link failure\n"));
  EXPECT_EQ(recordset.m_lCurrentRow, 0);
}

}  // namespace
