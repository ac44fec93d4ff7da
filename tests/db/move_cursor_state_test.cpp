// The position bookkeeping after a fetch, for every orientation, with and without a row found.
// UpdateCursorState makes no ODBC call; the recordset has no connection.
#include <gtest/gtest.h>

#include <limits>

#include "db/recordset.h"

namespace {

struct Position {
  LONG row;
  LONG known;
  BOOL lastKnown;
  BOOL bof;
  BOOL eof;
  bool operator==(const Position&) const = default;
};

void PrintTo(const Position& p, std::ostream* os) {
  *os << "{row " << p.row << ", known " << p.known << ", lastKnown " << p.lastKnown << ", BOF "
      << p.bof << ", EOF " << p.eof << "}";
}

constexpr RETCODE kRow = SQL_SUCCESS;
constexpr RETCODE kNoRow = SQL_NO_DATA_FOUND;

class CursorState : public ::testing::Test {
 protected:
  // Sets the position, runs UpdateCursorState and returns the position after it.
  Position After(Position start, RETCODE rc, WORD orientation, LONG rows) {
    recordset.m_lCurrentRow = start.row;
    recordset.m_lRowsKnown = start.known;
    recordset.m_bLastRowKnown = start.lastKnown;
    recordset.m_bBOF = start.bof;
    recordset.m_bEOF = start.eof;
    recordset.UpdateCursorState(rc, orientation, rows, 1);
    return {recordset.m_lCurrentRow, recordset.m_lRowsKnown, recordset.m_bLastRowKnown,
            recordset.m_bBOF, recordset.m_bEOF};
  }

  CRecordset recordset{nullptr};
};

TEST_F(CursorState, NextAdvancesAndCountsTheRowsReached) {
  EXPECT_EQ(After({2, 3, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_NEXT, 1),
            (Position{3, 4, FALSE, FALSE, FALSE}));
  // The first fetch of an open starts before the first row.
  EXPECT_EQ(After({-1, 0, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_NEXT, 1),
            (Position{0, 1, FALSE, FALSE, FALSE}));
  // A rowset of several rows.
  EXPECT_EQ(After({0, 1, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_NEXT, 5),
            (Position{5, 6, FALSE, FALSE, FALSE}));
  // Back below the highest row reached: the count stays.
  EXPECT_EQ(After({1, 6, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_NEXT, 1),
            (Position{2, 6, FALSE, FALSE, FALSE}));
  // Once the last row is known the count no longer grows.
  EXPECT_EQ(After({4, 3, TRUE, FALSE, FALSE}, kRow, SQL_FETCH_NEXT, 1),
            (Position{5, 3, TRUE, FALSE, FALSE}));
  // A lost position stays lost.
  EXPECT_EQ(After({-2, 4, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_NEXT, 1),
            (Position{-2, 4, FALSE, FALSE, FALSE}));
}

TEST_F(CursorState, NextThatFindsNoRowMarksTheEndAndKnowsTheCountOnlyFromTheHighestRow) {
  EXPECT_EQ(After({3, 4, FALSE, FALSE, FALSE}, kNoRow, SQL_FETCH_NEXT, 1),
            (Position{3, 4, TRUE, FALSE, TRUE}));
  // Not right after the highest row reached: the count is not known.
  EXPECT_EQ(After({1, 4, FALSE, FALSE, FALSE}, kNoRow, SQL_FETCH_NEXT, 1),
            (Position{1, 4, FALSE, FALSE, TRUE}));
  // An empty result.
  EXPECT_EQ(After({-1, 0, FALSE, FALSE, FALSE}, kNoRow, SQL_FETCH_NEXT, 1),
            (Position{-1, 0, TRUE, FALSE, TRUE}));
  // From before the start (BOF) the move clears BOF.
  EXPECT_EQ(After({0, 4, FALSE, TRUE, FALSE}, kNoRow, SQL_FETCH_NEXT, 1),
            (Position{0, 4, FALSE, FALSE, TRUE}));
}

TEST_F(CursorState, FirstGoesToRowZeroOrForgetsEverything) {
  EXPECT_EQ(After({3, 4, TRUE, FALSE, TRUE}, kRow, SQL_FETCH_FIRST, 1),
            (Position{0, 4, TRUE, FALSE, FALSE}));
  EXPECT_EQ(After({3, 4, TRUE, FALSE, FALSE}, kNoRow, SQL_FETCH_FIRST, 1),
            (Position{-2, 0, TRUE, TRUE, TRUE}));
}

TEST_F(CursorState, LastGoesToTheLastRowOnlyWhenTheCountIsKnown) {
  EXPECT_EQ(After({0, 5, TRUE, FALSE, FALSE}, kRow, SQL_FETCH_LAST, -1),
            (Position{4, 5, TRUE, FALSE, FALSE}));
  EXPECT_EQ(After({0, 5, FALSE, TRUE, FALSE}, kRow, SQL_FETCH_LAST, -1),
            (Position{-2, 5, FALSE, FALSE, FALSE}));
  EXPECT_EQ(After({0, 5, TRUE, FALSE, FALSE}, kNoRow, SQL_FETCH_LAST, -1),
            (Position{-2, 0, TRUE, TRUE, TRUE}));
}

TEST_F(CursorState, PriorStepsBackUnlessItComesFromAfterTheEnd) {
  EXPECT_EQ(After({3, 4, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_PRIOR, -1),
            (Position{2, 4, FALSE, FALSE, FALSE}));
  // From after the end the driver lands on the last row, where the index already stands.
  EXPECT_EQ(After({3, 4, TRUE, FALSE, TRUE}, kRow, SQL_FETCH_PRIOR, -1),
            (Position{3, 4, TRUE, FALSE, FALSE}));
  // No row before: before the start, the index kept.
  EXPECT_EQ(After({0, 4, FALSE, FALSE, FALSE}, kNoRow, SQL_FETCH_PRIOR, -1),
            (Position{0, 4, FALSE, TRUE, FALSE}));
  // A backward move does not count rows.
  EXPECT_EQ(After({9, 4, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_PRIOR, -1),
            (Position{8, 4, FALSE, FALSE, FALSE}));
}

TEST_F(CursorState, AbsoluteWithPositiveNegativeAndZeroPositions) {
  EXPECT_EQ(After({0, 1, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_ABSOLUTE, 3),
            (Position{2, 3, FALSE, FALSE, FALSE}));
  EXPECT_EQ(After({0, 5, TRUE, FALSE, FALSE}, kRow, SQL_FETCH_ABSOLUTE, -2),
            (Position{3, 5, TRUE, FALSE, FALSE}));
  EXPECT_EQ(After({0, 5, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_ABSOLUTE, -2),
            (Position{-2, 5, FALSE, FALSE, FALSE}));
  // Positive beyond the rows: the end; negative beyond them: the start; zero: the end side.
  EXPECT_EQ(After({1, 5, FALSE, FALSE, FALSE}, kNoRow, SQL_FETCH_ABSOLUTE, 9),
            (Position{-2, 5, FALSE, FALSE, TRUE}));
  EXPECT_EQ(After({1, 5, FALSE, FALSE, FALSE}, kNoRow, SQL_FETCH_ABSOLUTE, -9),
            (Position{-2, 5, FALSE, TRUE, FALSE}));
  EXPECT_EQ(After({1, 5, FALSE, FALSE, FALSE}, kNoRow, SQL_FETCH_ABSOLUTE, 0),
            (Position{-2, 5, FALSE, FALSE, TRUE}));
}

TEST_F(CursorState, RelativeMovesByItsCountInEitherDirection) {
  EXPECT_EQ(After({1, 2, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_RELATIVE, 2),
            (Position{3, 4, FALSE, FALSE, FALSE}));
  EXPECT_EQ(After({3, 4, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_RELATIVE, -2),
            (Position{1, 4, FALSE, FALSE, FALSE}));
  EXPECT_EQ(After({3, 4, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_RELATIVE, 0),
            (Position{3, 4, FALSE, FALSE, FALSE}));
  EXPECT_EQ(After({3, 4, FALSE, FALSE, FALSE}, kNoRow, SQL_FETCH_RELATIVE, 5),
            (Position{3, 4, FALSE, FALSE, TRUE}));
  EXPECT_EQ(After({3, 4, FALSE, FALSE, FALSE}, kNoRow, SQL_FETCH_RELATIVE, -5),
            (Position{3, 4, FALSE, TRUE, FALSE}));
  // Unlike a next request, running off the end here does not make the count known.
  EXPECT_EQ(After({3, 4, FALSE, FALSE, FALSE}, kNoRow, SQL_FETCH_RELATIVE, 1),
            (Position{3, 4, FALSE, FALSE, TRUE}));
  EXPECT_EQ(After({-2, 4, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_RELATIVE, 3),
            (Position{-2, 4, FALSE, FALSE, FALSE}));
}

TEST_F(CursorState, BookmarkLosesTheIndex) {
  EXPECT_EQ(After({2, 4, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_BOOKMARK, 77),
            (Position{-2, 4, FALSE, FALSE, FALSE}));
  EXPECT_EQ(After({2, 4, FALSE, FALSE, FALSE}, kNoRow, SQL_FETCH_BOOKMARK, 77),
            (Position{-2, 4, FALSE, TRUE, TRUE}));
}

TEST_F(CursorState, AnyOtherOrientationOnlySetsTheEndFlags) {
  EXPECT_EQ(After({2, 4, FALSE, TRUE, TRUE}, kRow, 99, 3), (Position{2, 4, FALSE, FALSE, FALSE}));
  EXPECT_EQ(After({2, 4, FALSE, FALSE, FALSE}, kNoRow, 99, -3),
            (Position{2, 4, FALSE, FALSE, TRUE}));
}

TEST_F(CursorState, EveryReturnCodeOtherThanNoDataCountsAsARow) {
  EXPECT_EQ(After({2, 3, FALSE, TRUE, TRUE}, SQL_SUCCESS_WITH_INFO, SQL_FETCH_NEXT, 1),
            (Position{3, 4, FALSE, FALSE, FALSE}));
  EXPECT_EQ(After({2, 3, FALSE, TRUE, TRUE}, SQL_NEED_DATA, SQL_FETCH_RELATIVE, 1),
            (Position{3, 4, FALSE, FALSE, FALSE}));
}

TEST_F(CursorState, IndexThatCannotBeHeldBecomesUnknown) {
  constexpr LONG kMax = std::numeric_limits<LONG>::max();
  EXPECT_EQ(After({5, 6, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_RELATIVE, kMax),
            (Position{-2, 6, FALSE, FALSE, FALSE}));
  EXPECT_EQ(After({-1, 0, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_RELATIVE,
                  std::numeric_limits<LONG>::min()),
            (Position{-2, 0, FALSE, FALSE, FALSE}));
  // The highest index whose row count still fits.
  EXPECT_EQ(After({kMax - 2, kMax - 1, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_NEXT, 1),
            (Position{kMax - 1, kMax, FALSE, FALSE, FALSE}));
  EXPECT_EQ(After({kMax - 1, kMax, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_NEXT, 1),
            (Position{-2, kMax, FALSE, FALSE, FALSE}));
}

}  // namespace
