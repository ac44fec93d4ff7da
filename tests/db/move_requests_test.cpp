// The positioning requests and the fetches they make: the pairs each request passes to
// MoveRows, and the fetches that step over deleted rows.
#include "tests/db/support/open_state.h"
#include "tests/db/support/scripted_answers.h"

namespace {

const std::string kOk = "SQL_SUCCESS";
// Single-row steps forward and backward that find a row.
const std::string kNext = FetchLine("SQL_FETCH_NEXT", 1, "SQL_SUCCESS");
const std::string kPrior = FetchLine("SQL_FETCH_PRIOR", 1, "SQL_SUCCESS");
// A fetch that finds its row deleted.
const Answer kDeleted = ReportingRowStatus(SQL_ROW_DELETED);

class MoveRequests : public OpenStateTest {};

TEST_F(MoveRequests, EachRequestFetchesWithItsOrientationAndCount) {
  fakeodbc::setResult(NumberedBrands(6));
  CRecordset& recordset = Opened();

  struct Step {
    std::function<void()> request;
    std::string fetch;
    LONG row;
  };
  const std::vector<Step> steps = {
      {[&] { recordset.MoveLast(); }, FetchLine("SQL_FETCH_LAST", -1, kOk.c_str()), -2},
      {[&] { recordset.MovePrev(); }, FetchLine("SQL_FETCH_PRIOR", -1, kOk.c_str()), -2},
      {[&] { recordset.MoveFirst(); }, FetchLine("SQL_FETCH_FIRST", 1, kOk.c_str()), 0},
      {[&] { recordset.SetAbsolutePosition(4); }, FetchLine("SQL_FETCH_ABSOLUTE", 4, kOk.c_str()),
       3},
      {[&] { recordset.MovePrev(); }, FetchLine("SQL_FETCH_PRIOR", -1, kOk.c_str()), 2},
      {[&] { recordset.MoveRows(3, SQL_FETCH_RELATIVE); },
       FetchLine("SQL_FETCH_RELATIVE", 3, kOk.c_str()), 5},
      {[&] { recordset.MoveNext(); }, FetchLine("SQL_FETCH_NEXT", 1, kNoData.c_str()), 5},
      {[&] { recordset.MoveLast(); }, FetchLine("SQL_FETCH_LAST", -1, kOk.c_str()), 5},
      {[&] { recordset.SetAbsolutePosition(-2); },
       FetchLine("SQL_FETCH_ABSOLUTE", -2, kOk.c_str()), 4},
  };
  for (std::size_t i = 0; i < steps.size(); ++i) {
    EXPECT_THAT(CallsOf([&] { steps[i].request(); }), ElementsAre(steps[i].fetch)) << "step " << i;
    EXPECT_EQ(recordset.m_lCurrentRow, steps[i].row) << "step " << i;
  }
  EXPECT_EQ(recordset.m_lRowsKnown, 6);
  EXPECT_TRUE(recordset.m_bLastRowKnown);
}

TEST_F(MoveRequests, SkippingDeletedRowsStepsOnInTheDirectionOfTheRequest) {
  CRecordset& recordset = Opened({CRecordset::staticCursor, CRecordset::skipDeletedRows});

  // Next: rows 1 and 2 deleted, row 3 not.
  fakeodbc::answer(Fn::SQLExtendedFetch, 1, kDeleted);
  fakeodbc::answer(Fn::SQLExtendedFetch, 2, kDeleted);
  EXPECT_THAT(CallsOf([&] { recordset.MoveNext(); }), ElementsAre(kNext, kNext, kNext));
  EXPECT_FALSE(recordset.IsDeleted());
  EXPECT_FALSE(recordset.IsEOF());

  // Prior: each step with a row count of 1.
  fakeodbc::answer(Fn::SQLExtendedFetch, 1, kDeleted);
  EXPECT_THAT(CallsOf([&] { recordset.MovePrev(); }), ElementsAre(kPrior, kPrior));

  // First steps forward, last steps backward.
  fakeodbc::answer(Fn::SQLExtendedFetch, 1, kDeleted);
  EXPECT_THAT(CallsOf([&] { recordset.MoveFirst(); }),
              ElementsAre(FetchLine("SQL_FETCH_FIRST", 1, kOk.c_str()), kNext));
  EXPECT_EQ(recordset.m_lCurrentRow, 0);

  fakeodbc::answer(Fn::SQLExtendedFetch, 1, kDeleted);
  EXPECT_THAT(CallsOf([&] { recordset.MoveLast(); }),
              ElementsAre(FetchLine("SQL_FETCH_LAST", 1, kOk.c_str()), kPrior));
}

TEST_F(MoveRequests, SkippingDeletedRowsRelativeCountsOnlyRowsThatAreNotDeleted) {
  fakeodbc::setResult(NumberedBrands(8));
  CRecordset& recordset = Opened({CRecordset::staticCursor, CRecordset::skipDeletedRows});

  // +2 from row 0: row 1 kept, row 2 deleted, row 3 kept.
  fakeodbc::answer(Fn::SQLExtendedFetch, 2, kDeleted);
  EXPECT_THAT(CallsOf([&] { recordset.MoveRows(2, SQL_FETCH_RELATIVE); }),
              ElementsAre(kNext, kNext, kNext));
  EXPECT_EQ(recordset.m_lCurrentRow, 2);

  // -1 from row 3: row 2 deleted, row 1 kept.
  fakeodbc::answer(Fn::SQLExtendedFetch, 1, kDeleted);
  EXPECT_THAT(CallsOf([&] { recordset.MoveRows(-1, SQL_FETCH_RELATIVE); }),
              ElementsAre(kPrior, kPrior));

  // A relative move of 0 fetches the current row again.
  EXPECT_THAT(CallsOf([&] { recordset.MoveRows(0, SQL_FETCH_RELATIVE); }),
              ElementsAre(FetchLine("SQL_FETCH_RELATIVE", 0, kOk.c_str())));

  // Absolute requests do not skip.
  fakeodbc::answer(Fn::SQLExtendedFetch, 1, kDeleted);
  EXPECT_THAT(CallsOf([&] { recordset.SetAbsolutePosition(3); }),
              ElementsAre(FetchLine("SQL_FETCH_ABSOLUTE", 3, kOk.c_str())));
  EXPECT_TRUE(recordset.IsDeleted());
}

TEST_F(MoveRequests, SkippingDeletedRowsStopsAtTheEnd) {
  CRecordset& recordset = Opened({CRecordset::staticCursor, CRecordset::skipDeletedRows});
  for (int n = 1; n <= 3; ++n) fakeodbc::answer(Fn::SQLExtendedFetch, n, kDeleted);
  ForgetCalls();
  recordset.MoveNext();
  EXPECT_THAT(Calls(),
              ElementsAre(kNext, kNext, kNext, FetchLine("SQL_FETCH_NEXT", 1, kNoData.c_str())));
  EXPECT_TRUE(recordset.IsEOF());
  EXPECT_FALSE(recordset.IsBOF());

  // Relative steps stop there too.
  recordset.MoveFirst();
  for (int n = 1; n <= 3; ++n) fakeodbc::answer(Fn::SQLExtendedFetch, n, kDeleted);
  ForgetCalls();
  recordset.MoveRows(2, SQL_FETCH_RELATIVE);
  EXPECT_EQ(Calls().size(), 4u);
  EXPECT_TRUE(recordset.IsEOF());
}

TEST_F(MoveRequests, SkippingStepThatFailsIsRaised) {
  CRecordset& recordset = Opened({CRecordset::staticCursor, CRecordset::skipDeletedRows});
  fakeodbc::answer(Fn::SQLExtendedFetch, 1, kDeleted);
  fakeodbc::answer(Fn::SQLExtendedFetch, 2, Answer::fail(SQL_ERROR, {{"S1000", 0, u"Broken"}}));
  EXPECT_TRUE(IsDbError(RunCatching([&] { recordset.MoveNext(); }), SQL_ERROR, "Broken\n"));
  EXPECT_EQ(recordset.m_lCurrentRow, 0);
}

}  // namespace
