// The position bookkeeping after a fetch, for every orientation, with and without a row found.
// UpdateCursorState makes no ODBC call; the recordset has no connection.
#include <gtest/gtest.h>

#include <limits>
#include <ostream>

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
constexpr LONG kMax = std::numeric_limits<LONG>::max();
constexpr LONG kMin = std::numeric_limits<LONG>::min();

// A fetch's answer and request, and the position before and after it.
struct Move {
  Position start;
  RETCODE rc;
  WORD orientation;
  LONG rows;
  Position after;
};

void PrintTo(const Move& m, std::ostream* os) {
  *os << "from ";
  PrintTo(m.start, os);
  *os << ", rc " << m.rc << ", orientation " << m.orientation << ", rows " << m.rows;
}

class CursorState : public ::testing::TestWithParam<Move> {
 protected:
  CRecordset recordset{nullptr};
};

TEST_P(CursorState, SetsThePositionTheFetchReached) {
  const Move& m = GetParam();
  recordset.m_lCurrentRow = m.start.row;
  recordset.m_lRowsKnown = m.start.known;
  recordset.m_bLastRowKnown = m.start.lastKnown;
  recordset.m_bBOF = m.start.bof;
  recordset.m_bEOF = m.start.eof;
  recordset.UpdateCursorState(m.rc, m.orientation, m.rows, 1);
  EXPECT_EQ((Position{recordset.m_lCurrentRow, recordset.m_lRowsKnown, recordset.m_bLastRowKnown,
                      recordset.m_bBOF, recordset.m_bEOF}),
            m.after);
}

// Every move, by orientation.
const Move kMoves[] = {
    // Next: a step forward, counting the rows reached.
    {{2, 3, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_NEXT, 1, {3, 4, FALSE, FALSE, FALSE}},
    // The first fetch of an open starts before the first row.
    {{-1, 0, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_NEXT, 1, {0, 1, FALSE, FALSE, FALSE}},
    // A rowset of several rows.
    {{0, 1, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_NEXT, 5, {5, 6, FALSE, FALSE, FALSE}},
    // Back below the highest row reached: the count stays.
    {{1, 6, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_NEXT, 1, {2, 6, FALSE, FALSE, FALSE}},
    // Once the last row is known the count no longer grows.
    {{4, 3, TRUE, FALSE, FALSE}, kRow, SQL_FETCH_NEXT, 1, {5, 3, TRUE, FALSE, FALSE}},
    // A lost position stays lost.
    {{-2, 4, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_NEXT, 1, {-2, 4, FALSE, FALSE, FALSE}},
    // From before the start (a prior move from row 0 found no row) the driver stands on the
    // first row, whatever index was kept.
    {{0, 4, FALSE, TRUE, FALSE}, kRow, SQL_FETCH_NEXT, 1, {0, 4, FALSE, FALSE, FALSE}},
    {{-2, 4, FALSE, TRUE, FALSE}, kRow, SQL_FETCH_NEXT, 1, {0, 4, FALSE, FALSE, FALSE}},

    // Next finding no row: the end, and the count known only from the highest row.
    {{3, 4, FALSE, FALSE, FALSE}, kNoRow, SQL_FETCH_NEXT, 1, {3, 4, TRUE, FALSE, TRUE}},
    // Not right after the highest row reached: the count is not known.
    {{1, 4, FALSE, FALSE, FALSE}, kNoRow, SQL_FETCH_NEXT, 1, {1, 4, FALSE, FALSE, TRUE}},
    // An empty result.
    {{-1, 0, FALSE, FALSE, FALSE}, kNoRow, SQL_FETCH_NEXT, 1, {-1, 0, TRUE, FALSE, TRUE}},
    // From before the start (BOF) the move clears BOF.
    {{0, 4, FALSE, TRUE, FALSE}, kNoRow, SQL_FETCH_NEXT, 1, {0, 4, FALSE, FALSE, TRUE}},

    // First: row zero, or everything forgotten.
    {{3, 4, TRUE, FALSE, TRUE}, kRow, SQL_FETCH_FIRST, 1, {0, 4, TRUE, FALSE, FALSE}},
    {{3, 4, TRUE, FALSE, FALSE}, kNoRow, SQL_FETCH_FIRST, 1, {-2, 0, TRUE, TRUE, TRUE}},

    // Last: the last row, only when the count is known.
    {{0, 5, TRUE, FALSE, FALSE}, kRow, SQL_FETCH_LAST, -1, {4, 5, TRUE, FALSE, FALSE}},
    {{0, 5, FALSE, TRUE, FALSE}, kRow, SQL_FETCH_LAST, -1, {-2, 5, FALSE, FALSE, FALSE}},
    {{0, 5, TRUE, FALSE, FALSE}, kNoRow, SQL_FETCH_LAST, -1, {-2, 0, TRUE, TRUE, TRUE}},

    // Prior: a step back, unless it comes from after the end.
    {{3, 4, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_PRIOR, -1, {2, 4, FALSE, FALSE, FALSE}},
    // From after the end the driver lands on the last row, where the index already stands.
    {{3, 4, TRUE, FALSE, TRUE}, kRow, SQL_FETCH_PRIOR, -1, {3, 4, TRUE, FALSE, FALSE}},
    // No row before: before the start, the index kept.
    {{0, 4, FALSE, FALSE, FALSE}, kNoRow, SQL_FETCH_PRIOR, -1, {0, 4, FALSE, TRUE, FALSE}},
    // A backward move does not count rows.
    {{9, 4, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_PRIOR, -1, {8, 4, FALSE, FALSE, FALSE}},

    // Absolute: positive, negative and zero positions.
    {{0, 1, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_ABSOLUTE, 3, {2, 3, FALSE, FALSE, FALSE}},
    {{0, 5, TRUE, FALSE, FALSE}, kRow, SQL_FETCH_ABSOLUTE, -2, {3, 5, TRUE, FALSE, FALSE}},
    {{0, 5, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_ABSOLUTE, -2, {-2, 5, FALSE, FALSE, FALSE}},
    // Positive beyond the rows: the end; negative beyond them: the start; zero: the end side.
    {{1, 5, FALSE, FALSE, FALSE}, kNoRow, SQL_FETCH_ABSOLUTE, 9, {-2, 5, FALSE, FALSE, TRUE}},
    {{1, 5, FALSE, FALSE, FALSE}, kNoRow, SQL_FETCH_ABSOLUTE, -9, {-2, 5, FALSE, TRUE, FALSE}},
    {{1, 5, FALSE, FALSE, FALSE}, kNoRow, SQL_FETCH_ABSOLUTE, 0, {-2, 5, FALSE, FALSE, TRUE}},

    // Relative: by its count in either direction.
    {{1, 2, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_RELATIVE, 2, {3, 4, FALSE, FALSE, FALSE}},
    // Forward from before the start counts from the start.
    {{0, 4, FALSE, TRUE, FALSE}, kRow, SQL_FETCH_RELATIVE, 2, {1, 4, FALSE, FALSE, FALSE}},
    {{3, 4, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_RELATIVE, -2, {1, 4, FALSE, FALSE, FALSE}},
    {{3, 4, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_RELATIVE, 0, {3, 4, FALSE, FALSE, FALSE}},
    {{3, 4, FALSE, FALSE, FALSE}, kNoRow, SQL_FETCH_RELATIVE, 5, {3, 4, FALSE, FALSE, TRUE}},
    {{3, 4, FALSE, FALSE, FALSE}, kNoRow, SQL_FETCH_RELATIVE, -5, {3, 4, FALSE, TRUE, FALSE}},
    // Unlike a next request, running off the end here does not make the count known.
    {{3, 4, FALSE, FALSE, FALSE}, kNoRow, SQL_FETCH_RELATIVE, 1, {3, 4, FALSE, FALSE, TRUE}},
    {{-2, 4, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_RELATIVE, 3, {-2, 4, FALSE, FALSE, FALSE}},

    // Bookmark: the index is lost.
    {{2, 4, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_BOOKMARK, 77, {-2, 4, FALSE, FALSE, FALSE}},
    {{2, 4, FALSE, FALSE, FALSE}, kNoRow, SQL_FETCH_BOOKMARK, 77, {-2, 4, FALSE, TRUE, TRUE}},

    // Any other orientation: only the end flags are set.
    {{2, 4, FALSE, TRUE, TRUE}, kRow, 99, 3, {2, 4, FALSE, FALSE, FALSE}},
    {{2, 4, FALSE, FALSE, FALSE}, kNoRow, 99, -3, {2, 4, FALSE, FALSE, TRUE}},

    // Every return code other than no data counts as a row.
    {{2, 3, FALSE, TRUE, TRUE}, SQL_SUCCESS_WITH_INFO, SQL_FETCH_NEXT, 1,
     {3, 4, FALSE, FALSE, FALSE}},
    {{2, 3, FALSE, TRUE, TRUE}, SQL_NEED_DATA, SQL_FETCH_RELATIVE, 1, {3, 4, FALSE, FALSE, FALSE}},

    // An index that cannot be held becomes unknown.
    {{5, 6, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_RELATIVE, kMax, {-2, 6, FALSE, FALSE, FALSE}},
    {{-1, 0, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_RELATIVE, kMin, {-2, 0, FALSE, FALSE, FALSE}},
    // The highest index whose row count still fits.
    {{kMax - 2, kMax - 1, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_NEXT, 1,
     {kMax - 1, kMax, FALSE, FALSE, FALSE}},
    {{kMax - 1, kMax, FALSE, FALSE, FALSE}, kRow, SQL_FETCH_NEXT, 1,
     {-2, kMax, FALSE, FALSE, FALSE}},
};

INSTANTIATE_TEST_SUITE_P(Moves, CursorState, ::testing::ValuesIn(kMoves));

}  // namespace
