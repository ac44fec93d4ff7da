// The brand listing's road through the real Open: open the program's statement, move forward
// twice, close, destroy; by the number of rows in the table.
#include "tests/db/support/open_state.h"

namespace {

class ProgramRoad : public DbConnectedTest, public ::testing::WithParamInterface<int> {
 protected:
  // Opens the program's statement as the listing does.
  void Open(CRecordset& recordset) {
    ASSERT_TRUE(recordset.Open(CRecordset::staticCursor, kBrandStatement, CRecordset::addOnly));
  }
  static std::vector<std::string> FetchCalls() {
    std::vector<std::string> fetches;
    for (const std::string& line : Calls()) {
      if (line.rfind("SQLExtendedFetch", 0) == 0 || line.rfind("SQLFetch", 0) == 0) {
        fetches.push_back(line);
      }
    }
    return fetches;
  }
};

TEST_P(ProgramRoad, TwoMovesAfterTheOpenThenCloseAndDestroy) {
  const int rows = GetParam();
  fakeodbc::setResult(NumberedBrands(rows));
  auto recordset = std::make_unique<CRecordset>(database.get());
  Open(*recordset);

  // The open's own first fetch.
  EXPECT_EQ(FetchCalls(), std::vector<std::string>{FetchLine(
                              "SQL_FETCH_NEXT", 1, rows > 0 ? "SQL_SUCCESS" : kNoData.c_str())});
  EXPECT_EQ(recordset->IsEOF(), rows == 0);
  EXPECT_EQ(recordset->IsBOF(), rows == 0);
  EXPECT_EQ(recordset->m_lCurrentRow, rows > 0 ? 0 : -1);

  // The listing moves only while it is on a row: a read after the end raises first.
  int reached = 0;
  for (int move = 1; move <= 2 && !recordset->IsEOF(); ++move) {
    ForgetCalls();
    recordset->MoveNext();
    const bool onRow = move < rows;
    EXPECT_EQ(FetchCalls(), std::vector<std::string>{FetchLine(
                                "SQL_FETCH_NEXT", 1, onRow ? "SQL_SUCCESS" : kNoData.c_str())});
    EXPECT_EQ(recordset->IsEOF(), !onRow);
    EXPECT_FALSE(recordset->IsBOF());
    EXPECT_EQ(recordset->m_lCurrentRow, onRow ? move : rows - 1);
    EXPECT_EQ(recordset->m_bLastRowKnown, !onRow);
    reached = move;
  }
  EXPECT_EQ(reached, rows == 0 ? 0 : std::min(rows, 2));

  ForgetCalls();
  recordset->Close();
  EXPECT_EQ(Calls(), std::vector<std::string>{"SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS"});
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
    Open(recordset);
    while (!recordset.IsEOF()) recordset.MoveNext();
    const Raised raised = RunCatching([&] { recordset.MoveNext(); });
    EXPECT_EQ(raised.code, dbErrorMoveOutOfRange);
    ForgetCalls();
    traces.Clear();
  }
  EXPECT_EQ(Calls(), std::vector<std::string>{"SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS"});
  EXPECT_TRUE(traces.Texts().empty());
  EXPECT_TRUE(database->m_listRecordsets.IsEmpty());
}

}  // namespace
