// Moving forward through results of 0 to 5 rows the way the brand listing does: the position
// after every move, the one fetch per move, the end reached without an error, the moves after
// the end refused before any ODBC call; and the listing's road through the real Open.
#include "tests/db/support/open_state.h"
#include "tests/db/support/table_cases.h"

namespace {

PositionSnapshot OnRow(LONG row, LONG rowsKnown, BOOL lastRowKnown = FALSE) {
  return {row, rowsKnown, lastRowKnown, FALSE, FALSE, FALSE, 1, -1, 1, 0};
}

PositionSnapshot AfterEnd(LONG lastRow) {
  return {lastRow, lastRow + 1, TRUE, FALSE, TRUE, FALSE, 0, -1, 1, 0};
}

class MoveForward : public OpenStateTest {
 protected:
  // MoveNext is refused twice alike with the reason traced, before any ODBC call and with no
  // member changed.
  void ExpectMoveNextRefused(CRecordset& recordset, const std::string& reason) {
    const PositionSnapshot before = PositionSnapshot::Of(recordset);
    for (int attempt = 0; attempt < 2; ++attempt) {
      SCOPED_TRACE(attempt);
      ForgetCallsAndTraces();
      EXPECT_TRUE(IsDbError(RunCatching([&] { recordset.MoveNext(); }), dbErrorMoveOutOfRange,
                            kMissingText));
      EXPECT_THAT(traces.Texts(), ElementsAre(reason, kMissingTextTrace));
      EXPECT_TRUE(Calls().empty());
      EXPECT_EQ(PositionSnapshot::Of(recordset), before);
      EXPECT_NE(recordset.m_hstmt, nullptr);
    }
  }
};

TEST_F(MoveForward, FirstFetchOnAnEmptyResultLeavesTheRecordsetEmpty) {
  fakeodbc::setResult(NumberedBrands(0));
  CRecordset& recordset = Opened();

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
  CRecordset& recordset = Opened();
  // The empty check comes before the end check, although m_bEOF is set too.
  ExpectMoveNextRefused(recordset, "Error: attempted to position cursor on empty recordset.\n");
}

TEST_F(MoveForward, FiveRowsCountUpToTheLastRowAndKnowTheCountOnlyAfterRunningOffTheEnd) {
  fakeodbc::setResult(NumberedBrands(5));
  CRecordset& recordset = Opened();
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
  CRecordset& recordset = Opened();
  EXPECT_EQ(PositionSnapshot::Of(recordset), OnRow(0, 1));

  for (int row = 1; row < rows; ++row) {
    EXPECT_THAT(CallsOf([&] { recordset.MoveNext(); }),
                ElementsAre(FetchLine("SQL_FETCH_NEXT", 1, "SQL_SUCCESS")));
    EXPECT_EQ(PositionSnapshot::Of(recordset), OnRow(row, row + 1)) << "row " << row;
  }

  EXPECT_THAT(CallsOf([&] { recordset.MoveNext(); }),
              ElementsAre(FetchLine("SQL_FETCH_NEXT", 1, kNoData.c_str())));
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
  EXPECT_EQ(RunCatching([&] { recordset.MoveNext(); }).kind, Raised::InvalidArgument);
  EXPECT_THAT(Calls(), Not(Contains(HasSubstr("Fetch"))));
  EXPECT_EQ(recordset.m_nFieldsBound, 0);

  PutInOpenState(recordset);
  recordset.Close();
  ForgetCalls();
  EXPECT_EQ(RunCatching([&] { recordset.MoveNext(); }).kind, Raised::InvalidArgument);
  EXPECT_TRUE(Calls().empty());
  EXPECT_TRUE(recordset.IsEOF());
  EXPECT_TRUE(recordset.IsBOF());
}

// The brand listing's road through the real Open: open the program's statement, move forward
// twice, close, destroy; by the number of rows in the table.
using ProgramRoad = CasesOf<DbConnectedTest, int>;

std::vector<std::string> FetchCalls() {
  std::vector<std::string> fetches = fakeodbc::callLines();
  std::erase_if(fetches, [](const std::string& line) { return line.find("Fetch(") == line.npos; });
  return fetches;
}

TEST_P(ProgramRoad, TwoMovesAfterTheOpenThenCloseAndDestroy) {
  const int rows = GetParam();
  fakeodbc::setResult(NumberedBrands(rows));
  auto recordset = std::make_unique<CRecordset>(database.get());
  ASSERT_TRUE(recordset->Open(CRecordset::staticCursor, kBrandStatement, CRecordset::addOnly));

  // The open's own first fetch.
  EXPECT_THAT(FetchCalls(), ElementsAre(FetchLine("SQL_FETCH_NEXT", 1,
                                                  rows > 0 ? "SQL_SUCCESS" : kNoData.c_str())));
  EXPECT_EQ(recordset->IsEOF(), rows == 0);
  EXPECT_EQ(recordset->IsBOF(), rows == 0);
  EXPECT_EQ(recordset->m_lCurrentRow, rows > 0 ? 0 : -1);

  // The listing moves only while it is on a row: a read after the end raises first.
  int reached = 0;
  for (int move = 1; move <= 2 && !recordset->IsEOF(); ++move) {
    ForgetCalls();
    recordset->MoveNext();
    const bool onRow = move < rows;
    EXPECT_THAT(FetchCalls(), ElementsAre(FetchLine("SQL_FETCH_NEXT", 1,
                                                    onRow ? "SQL_SUCCESS" : kNoData.c_str())));
    EXPECT_EQ(recordset->IsEOF(), !onRow);
    EXPECT_FALSE(recordset->IsBOF());
    EXPECT_EQ(recordset->m_lCurrentRow, onRow ? move : rows - 1);
    EXPECT_EQ(recordset->m_bLastRowKnown, !onRow);
    reached = move;
  }
  EXPECT_EQ(reached, rows == 0 ? 0 : std::min(rows, 2));

  EXPECT_THAT(CallsOf([&] { recordset->Close(); }),
              ElementsAre("SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS"));
  EXPECT_FALSE(IsRegistered(recordset.get()));

  ForgetCalls();
  recordset.reset();
  EXPECT_TRUE(Calls().empty());
  EXPECT_TRUE(database->m_listRecordsets.IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Rows, ProgramRoad, ::testing::Values(0, 1, 2, 3, 5),
                         [](const auto& info) { return std::to_string(info.param) + "Rows"; });

TEST_P(ProgramRoad, DestroyingTheRecordsetAfterAnErrorClosesIt) {
  const int rows = GetParam();
  fakeodbc::setResult(NumberedBrands(rows));
  {
    CRecordset recordset(database.get());
    ASSERT_TRUE(recordset.Open(CRecordset::staticCursor, kBrandStatement, CRecordset::addOnly));
    while (!recordset.IsEOF()) recordset.MoveNext();
    EXPECT_EQ(RunCatching([&] { recordset.MoveNext(); }).code, dbErrorMoveOutOfRange);
    ForgetCallsAndTraces();
  }
  EXPECT_THAT(Calls(), ElementsAre("SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS"));
  EXPECT_TRUE(traces.Texts().empty());
  EXPECT_TRUE(database->m_listRecordsets.IsEmpty());
}

}  // namespace
