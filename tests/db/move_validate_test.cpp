// Which moves are refused before any ODBC call: moves other than next on a forward-only
// recordset, any move on an empty result, forward moves after the end and backward moves
// before the start (except on a dynamic cursor); and the requests that pass.
#include "tests/db/support/open_state.h"

namespace {

const char kForwardOnly[] = "Error: forward-only recordsets only support MoveNext.\n";
const char kEmpty[] = "Error: attempted to position cursor on empty recordset.\n";
const char kPastEnd[] = "Error: attempted to move past EOF.\n";
const char kBeforeStart[] = "Error: attempted to move before BOF.\n";

// A row count and the orientation of a move.
using Request = std::pair<LONG, WORD>;

class ValidateMove : public OpenStateTest {
 protected:
  // Runs a move that must be refused: the error's code, the traces (the move's message and
  // the own code's text), no ODBC call and no member changed.
  void ExpectRefused(CRecordset& recordset, LONG rows, WORD orientation, RETCODE code,
                     const std::string& message) {
    const PositionSnapshot before = PositionSnapshot::Of(recordset);
    ForgetCallsAndTraces();
    EXPECT_TRUE(IsDbError(RunCatching([&] { recordset.MoveRows(rows, orientation); }), code));
    EXPECT_THAT(traces.Texts(), ElementsAre(message, kMissingTextTrace));
    EXPECT_TRUE(Calls().empty());
    EXPECT_EQ(PositionSnapshot::Of(recordset), before);
  }

  // Runs a move that must reach the driver.
  void ExpectFetched(CRecordset& recordset, LONG rows, WORD orientation) {
    ForgetCalls();
    EXPECT_EQ(RunCatching([&] { recordset.MoveRows(rows, orientation); }).kind, Raised::Nothing);
    ASSERT_EQ(Calls().size(), 1u);
    EXPECT_EQ(Calls()[0].rfind("SQLExtendedFetch(stmt#1, ", 0), 0u) << Calls()[0];
  }

  // Runs forward off the end of the default four rows.
  static void RunOffTheEnd(CRecordset& recordset) {
    while (!recordset.IsEOF()) recordset.MoveNext();
  }
};

TEST_F(ValidateMove, ForwardOnlyRecordsetAllowsOnlyNext) {
  CRecordset& recordset = Opened({CRecordset::forwardOnly, CRecordset::readOnly});
  ASSERT_FALSE(recordset.m_bScrollable);

  for (auto [rows, orientation] : {Request{-1, SQL_FETCH_PRIOR}, Request{1, SQL_FETCH_FIRST},
                                    Request{-1, SQL_FETCH_LAST}, Request{3, SQL_FETCH_ABSOLUTE},
                                    Request{1, SQL_FETCH_RELATIVE}}) {
    ExpectRefused(recordset, rows, orientation, dbErrorForwardOnlyMove, kForwardOnly);
  }

  // The public requests pass the same pairs.
  for (auto move : {&CRecordset::MovePrev, &CRecordset::MoveFirst, &CRecordset::MoveLast}) {
    ForgetCalls();
    EXPECT_EQ(RunCatching([&] { (recordset.*move)(); }).code, dbErrorForwardOnlyMove);
    EXPECT_TRUE(Calls().empty());
  }
  EXPECT_EQ(RunCatching([&] { recordset.SetAbsolutePosition(2); }).code,
            dbErrorForwardOnlyMove);

  EXPECT_THAT(CallsOf([&] { recordset.MoveNext(); }),
              ElementsAre("SQLFetch(stmt#1) -> SQL_SUCCESS"));
  EXPECT_EQ(recordset.m_lCurrentRow, 1);
}

TEST_F(ValidateMove, ForwardOnlyCheckComesBeforeTheEmptyCheck) {
  fakeodbc::setResult(NumberedBrands(0));
  CRecordset& recordset = Opened({CRecordset::forwardOnly, CRecordset::readOnly});
  ASSERT_TRUE(recordset.IsEOF() && recordset.IsBOF());

  ExpectRefused(recordset, -1, SQL_FETCH_PRIOR, dbErrorForwardOnlyMove, kForwardOnly);
  ExpectRefused(recordset, 1, SQL_FETCH_NEXT, dbErrorMoveOutOfRange, kEmpty);
}

TEST_F(ValidateMove, EveryMoveOnAnEmptyResultIsRefused) {
  fakeodbc::setResult(NumberedBrands(0));
  CRecordset& recordset = Opened();

  for (auto [rows, orientation] : {Request{1, SQL_FETCH_NEXT}, Request{-1, SQL_FETCH_PRIOR},
                                    Request{1, SQL_FETCH_FIRST}, Request{-1, SQL_FETCH_LAST},
                                    Request{1, SQL_FETCH_ABSOLUTE},
                                    Request{-2, SQL_FETCH_RELATIVE}}) {
    ExpectRefused(recordset, rows, orientation, dbErrorMoveOutOfRange, kEmpty);
  }
}

TEST_F(ValidateMove, AfterTheEndForwardMovesAreRefusedAndOthersPass) {
  CRecordset& recordset = Opened();
  RunOffTheEnd(recordset);

  ExpectRefused(recordset, 1, SQL_FETCH_NEXT, dbErrorMoveOutOfRange, kPastEnd);
  ExpectRefused(recordset, 2, SQL_FETCH_RELATIVE, dbErrorMoveOutOfRange, kPastEnd);

  // A relative move of 0 is neither forward nor backward.
  for (auto [rows, orientation] : {Request{0, SQL_FETCH_RELATIVE}, Request{-1, SQL_FETCH_RELATIVE},
                                    Request{-1, SQL_FETCH_PRIOR}, Request{1, SQL_FETCH_FIRST},
                                    Request{-1, SQL_FETCH_LAST}, Request{2, SQL_FETCH_ABSOLUTE}}) {
    RunOffTheEnd(recordset);
    ExpectFetched(recordset, rows, orientation);
  }
}

TEST_F(ValidateMove, BeforeTheStartBackwardMovesAreRefusedAndOthersPass) {
  CRecordset& recordset = Opened();
  recordset.MovePrev();
  ASSERT_TRUE(recordset.IsBOF());
  ASSERT_FALSE(recordset.IsEOF());

  ExpectRefused(recordset, -1, SQL_FETCH_PRIOR, dbErrorMoveOutOfRange, kBeforeStart);
  ExpectRefused(recordset, -3, SQL_FETCH_RELATIVE, dbErrorMoveOutOfRange, kBeforeStart);

  for (auto [rows, orientation] : {Request{-1, SQL_FETCH_LAST}, Request{1, SQL_FETCH_FIRST},
                                    Request{3, SQL_FETCH_ABSOLUTE}, Request{2, SQL_FETCH_RELATIVE},
                                    Request{1, SQL_FETCH_NEXT}}) {
    recordset.MoveFirst();
    recordset.MovePrev();
    ExpectFetched(recordset, rows, orientation);
  }
  EXPECT_FALSE(recordset.IsBOF());
}

TEST_F(ValidateMove, DynamicCursorLeavesTheEndsToTheDriver) {
  CRecordset& recordset = Opened({CRecordset::dynamicCursor, CRecordset::addOnly});
  RunOffTheEnd(recordset);

  ForgetCallsAndTraces();
  recordset.MoveNext();
  EXPECT_THAT(Calls(), ElementsAre(FetchLine("SQL_FETCH_NEXT", 1, kNoData.c_str())));
  EXPECT_TRUE(recordset.IsEOF());
  EXPECT_TRUE(traces.Texts().empty());

  recordset.MoveFirst();
  recordset.MovePrev();
  ASSERT_TRUE(recordset.IsBOF());
  EXPECT_THAT(CallsOf([&] { recordset.MovePrev(); }),
              ElementsAre(FetchLine("SQL_FETCH_PRIOR", -1, kNoData.c_str())));
  EXPECT_TRUE(recordset.IsBOF());

  // An empty result is refused all the same.
  recordset.m_bEOF = TRUE;
  ExpectRefused(recordset, 1, SQL_FETCH_NEXT, dbErrorMoveOutOfRange, kEmpty);
}

}  // namespace
