// Moving forward through results of 0 to 5 rows the way the brand listing does: the position
// after every move, the one fetch per move, the end reached without an error, and the moves
// after the end refused before any ODBC call.
#include "tests/db/support/open_state.h"
#include "tests/db/support/table_cases.h"

namespace {

PositionSnapshot OnRow(LONG row, LONG rowsKnown, BOOL lastRowKnown = FALSE) {
  return {row, rowsKnown, lastRowKnown, FALSE, FALSE, FALSE, 1, -1, 1, 0};
}

PositionSnapshot AfterEnd(LONG lastRow) {
  return {lastRow, lastRow + 1, TRUE, FALSE, TRUE, FALSE, 0, -1, 1, 0};
}

class MoveForward : public DbConnectedTest {
 protected:
  // MoveNext is refused twice alike with the reason traced, before any ODBC call and with no
  // member changed.
  void ExpectMoveNextRefused(CRecordset& recordset, const std::string& reason) {
    const PositionSnapshot before = PositionSnapshot::Of(recordset);
    for (int attempt = 0; attempt < 2; ++attempt) {
      SCOPED_TRACE(attempt);
      ForgetCalls();
      traces.Clear();
      const Raised raised = RunCatching([&] { recordset.MoveNext(); });
      EXPECT_EQ(raised.kind, Raised::Database);
      EXPECT_EQ(raised.code, dbErrorMoveOutOfRange);
      EXPECT_EQ(raised.errorText, kMissingText);
      EXPECT_EQ(traces.Texts(), (std::vector<std::string>{reason, kMissingTextTrace}));
      EXPECT_TRUE(Calls().empty());
      EXPECT_EQ(PositionSnapshot::Of(recordset), before);
      EXPECT_NE(recordset.m_hstmt, nullptr);
    }
  }
};

TEST_F(MoveForward, FirstFetchOnAnEmptyResultLeavesTheRecordsetEmpty) {
  fakeodbc::setResult(NumberedBrands(0));
  CRecordset recordset(database.get());
  PutInOpenState(recordset);

  EXPECT_EQ(Calls().back(), FetchLine("SQL_FETCH_NEXT", 1, kNoData.c_str()));
  const PositionSnapshot empty{-1, 0, TRUE, TRUE, TRUE, FALSE, 0, -1, 1, 0};
  EXPECT_EQ(PositionSnapshot::Of(recordset), empty);
  EXPECT_TRUE(recordset.IsEOF());
  EXPECT_TRUE(recordset.IsBOF());
  EXPECT_EQ(recordset.GetRowsKnown(), 0);
  EXPECT_TRUE(traces.Texts().empty());
}

TEST_F(MoveForward, MoveNextOnAnEmptyResultRaisesOutOfRangeWithoutCallingTheDriver) {
  fakeodbc::setResult(NumberedBrands(0));
  CRecordset recordset(database.get());
  PutInOpenState(recordset);
  // The empty check comes before the end check, although m_bEOF is set too.
  ExpectMoveNextRefused(recordset, "Error: attempted to position cursor on empty recordset.\n");
}

TEST_F(MoveForward, FiveRowsCountUpToTheLastRowAndKnowTheCountOnlyAfterRunningOffTheEnd) {
  fakeodbc::setResult(NumberedBrands(5));
  CRecordset recordset(database.get());
  PutInOpenState(recordset);
  for (int i = 0; i < 4; ++i) recordset.MoveNext();

  EXPECT_EQ(recordset.m_lCurrentRow, 4);
  EXPECT_EQ(recordset.m_lRowsKnown, 5);
  EXPECT_FALSE(recordset.m_bLastRowKnown);
  EXPECT_FALSE(recordset.IsEOF());

  recordset.MoveNext();
  EXPECT_TRUE(recordset.IsEOF());
  EXPECT_FALSE(recordset.IsBOF());
  EXPECT_EQ(recordset.m_lCurrentRow, 4);
  EXPECT_EQ(recordset.m_lRowsKnown, 5);
  EXPECT_TRUE(recordset.m_bLastRowKnown);
  const CursorPosition position = recordset.GetCursorPosition();
  EXPECT_EQ(position.m_lCurrentRow, 4);
  EXPECT_TRUE(position.m_bLastRowKnown);
}

// The road by the number of rows N: after the open row 0; every MoveNext up to row N-1 fetches
// one row; the next one runs off the end without an error; any further one is refused.
using MoveForwardByRowCount = CasesOf<MoveForward, int>;

TEST_P(MoveForwardByRowCount, EachMoveFetchesOneRowAndTheEndIsReachedWithoutAnError) {
  const int rows = GetParam();
  fakeodbc::setResult(NumberedBrands(rows));
  CRecordset recordset(database.get());
  PutInOpenState(recordset);
  EXPECT_EQ(PositionSnapshot::Of(recordset), OnRow(0, 1));

  for (int row = 1; row < rows; ++row) {
    ForgetCalls();
    recordset.MoveNext();
    EXPECT_EQ(Calls(), std::vector<std::string>{FetchLine("SQL_FETCH_NEXT", 1, "SQL_SUCCESS")});
    EXPECT_EQ(PositionSnapshot::Of(recordset), OnRow(row, row + 1)) << "row " << row;
  }

  ForgetCalls();
  recordset.MoveNext();
  EXPECT_EQ(Calls(), std::vector<std::string>{FetchLine("SQL_FETCH_NEXT", 1, kNoData.c_str())});
  EXPECT_EQ(PositionSnapshot::Of(recordset), AfterEnd(rows - 1));
  EXPECT_TRUE(traces.Texts().empty());

  // Past the end: refused.
  ExpectMoveNextRefused(recordset, "Error: attempted to move past EOF.\n");
}

INSTANTIATE_TEST_SUITE_P(Rows, MoveForwardByRowCount, ::testing::Values(1, 2, 3, 5),
                         [](const auto& info) { return std::to_string(info.param) + "Rows"; });

TEST_F(MoveForward, RecordsetThatIsNotOpenRefusesToMove) {
  CRecordset recordset(database.get());
  // Never executed: the driver reports a function sequence error, so the recordset is not
  // open and nothing is fetched.
  const Raised raised = RunCatching([&] { recordset.MoveNext(); });
  EXPECT_EQ(raised.kind, Raised::InvalidArgument);
  for (const std::string& line : Calls()) EXPECT_EQ(line.find("Fetch"), std::string::npos);
  EXPECT_EQ(recordset.m_nFieldsBound, 0);

  PutInOpenState(recordset);
  recordset.Close();
  ForgetCalls();
  const Raised afterClose = RunCatching([&] { recordset.MoveNext(); });
  EXPECT_EQ(afterClose.kind, Raised::InvalidArgument);
  EXPECT_TRUE(Calls().empty());
  EXPECT_TRUE(recordset.IsEOF());
  EXPECT_TRUE(recordset.IsBOF());
}

}  // namespace
