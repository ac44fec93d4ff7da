// Moving a static cursor in every direction with SQLExtendedFetch and SQLFetchScroll, and a
// forward-only cursor with SQLFetch.
#include "driver_fixture.h"

#include <span>

namespace drivertest {
namespace {

constexpr int kNoRow = -1;

class FetchTest : public BrandDatabaseTest {
 protected:
  void Open(OdbcSession& session, SQLULEN cursorType) {
    ASSERT_EQ(session.Connect(kProgramConnect), SQL_SUCCESS);
    stmt = session.AllocStmt();
    ASSERT_TRUE(SQL_SUCCEEDED(SQLSetStmtOption(stmt, SQL_CURSOR_TYPE, cursorType)));
    ASSERT_EQ(session.Prepare(stmt, "SELECT id FROM avion"), SQL_SUCCESS);
    ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS);
  }
  // The id of the row a move lands on, or kNoRow when it answers SQL_NO_DATA.
  int Extended(SQLUSMALLINT orientation, SQLLEN offset = 0) {
    SQLULEN rows = 99;
    SQLUSMALLINT status = 99;
    SQLRETURN rc = SQLExtendedFetch(stmt, orientation, offset, &rows, &status);
    if (rc == SQL_NO_DATA) {
      EXPECT_EQ(rows, 0u);
      return kNoRow;
    }
    EXPECT_EQ(rc, SQL_SUCCESS);
    EXPECT_EQ(rows, 1u);
    EXPECT_EQ(status, SQL_ROW_SUCCESS);
    return Id();
  }
  int Scroll(SQLSMALLINT orientation, SQLLEN offset = 0) {
    SQLRETURN rc = SQLFetchScroll(stmt, orientation, offset);
    if (rc == SQL_NO_DATA) return kNoRow;
    EXPECT_EQ(rc, SQL_SUCCESS);
    return Id();
  }
  int Id() {
    SQLINTEGER id = 0;
    SQLLEN indicator = 0;
    EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_SLONG, &id, sizeof id, &indicator), SQL_SUCCESS);
    return id;
  }
  struct Move { SQLSMALLINT orientation; SQLLEN offset; int id; };  // id: of the row it lands on
  // Makes each move with SQLExtendedFetch or SQLFetchScroll.
  void ExpectMoves(std::span<const Move> moves, bool extended) {
    for (const Move& m : moves) {
      const int id = extended ? Extended(static_cast<SQLUSMALLINT>(m.orientation), m.offset)
                              : Scroll(m.orientation, m.offset);
      EXPECT_EQ(id, m.id) << m.orientation << " " << m.offset;
    }
  }
  SQLHSTMT stmt = SQL_NULL_HSTMT;
};

// Each move and the row it lands on: before the first row and after the last there is none.
TEST_F(FetchTest, ExtendedFetchMovesAStaticCursorEveryWay) {
  OdbcSession session;
  Open(session, SQL_CURSOR_STATIC);
  const Move moves[] = {
      {SQL_FETCH_PRIOR, 0, kNoRow}, {SQL_FETCH_NEXT, 0, 1}, {SQL_FETCH_NEXT, 0, 2},
      {SQL_FETCH_NEXT, 0, 3}, {SQL_FETCH_PRIOR, 0, 2}, {SQL_FETCH_FIRST, 0, 1},
      {SQL_FETCH_PRIOR, 0, kNoRow}, {SQL_FETCH_NEXT, 0, 1}, {SQL_FETCH_ABSOLUTE, 7, 7},
      {SQL_FETCH_RELATIVE, -3, 4}, {SQL_FETCH_RELATIVE, 2, 6}, {SQL_FETCH_RELATIVE, 0, 6},
      {SQL_FETCH_LAST, 0, 10}, {SQL_FETCH_NEXT, 0, kNoRow}, {SQL_FETCH_NEXT, 0, kNoRow},
      {SQL_FETCH_PRIOR, 0, 10}, {SQL_FETCH_ABSOLUTE, -2, 9}, {SQL_FETCH_ABSOLUTE, 11, kNoRow},
      {SQL_FETCH_RELATIVE, -1, 10}, {SQL_FETCH_ABSOLUTE, -11, kNoRow}, {SQL_FETCH_RELATIVE, 3, 3},
      {SQL_FETCH_ABSOLUTE, 0, kNoRow}, {SQL_FETCH_NEXT, 0, 1}};
  ExpectMoves(moves, true);
  EXPECT_FALSE(CursorLibraryLoaded());
}

TEST_F(FetchTest, LastRowFirstReadsTheWholeTableOnce) {
  OdbcSession session;
  Open(session, SQL_CURSOR_STATIC);
  EXPECT_EQ(Extended(SQL_FETCH_LAST), 10);
  for (int id = 9; id >= 1; --id) EXPECT_EQ(Extended(SQL_FETCH_PRIOR), id);
  EXPECT_EQ(Extended(SQL_FETCH_PRIOR), kNoRow);
}

TEST_F(FetchTest, FetchScrollMovesAStaticCursorEveryWay) {
  OdbcSession session(true, true);
  Open(session, SQL_CURSOR_STATIC);
  const Move moves[] = {
      {SQL_FETCH_NEXT, 0, 1}, {SQL_FETCH_LAST, 0, 10}, {SQL_FETCH_PRIOR, 0, 9},
      {SQL_FETCH_ABSOLUTE, 3, 3}, {SQL_FETCH_RELATIVE, 4, 7}, {SQL_FETCH_FIRST, 0, 1},
      {SQL_FETCH_PRIOR, 0, kNoRow}, {SQL_FETCH_ABSOLUTE, -1, 10}, {SQL_FETCH_NEXT, 0, kNoRow}};
  ExpectMoves(moves, false);
}

TEST_F(FetchTest, ForwardOnlyCursorFetchesForwardOnly) {
  OdbcSession session(true, true);
  Open(session, SQL_CURSOR_FORWARD_ONLY);
  for (int id = 1; id <= 10; ++id) {
    ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
    EXPECT_EQ(Id(), id);
    if (id == 5) {
      EXPECT_EQ(SQLFetchScroll(stmt, SQL_FETCH_PRIOR, 0), SQL_ERROR);
    }
  }
  EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
}

// A rowset larger than the result: the last rowset starts at the first row, an empty result
// has none.
TEST_F(FetchTest, LastRowsetOfAShortResultStartsAtItsFirstRow) {
  OdbcSession session;
  Open(session, SQL_CURSOR_STATIC);
  for (const auto& [where, id] : {std::pair{"id = 10", 10}, std::pair{"id > 10", kNoRow}}) {
    ASSERT_EQ(SQLFreeStmt(stmt, SQL_CLOSE), SQL_SUCCESS);
    ASSERT_EQ(SQLSetStmtOption(stmt, SQL_ROWSET_SIZE, 3), SQL_SUCCESS);
    ASSERT_EQ(session.ExecDirect(stmt, std::string("SELECT id FROM avion WHERE ") + where), SQL_SUCCESS);
    SQLULEN rows = 99;
    SQLUSMALLINT status[3] = {};
    const SQLRETURN rc = SQLExtendedFetch(stmt, SQL_FETCH_LAST, 0, &rows, status);
    EXPECT_EQ(rc, id == kNoRow ? SQL_NO_DATA : SQL_SUCCESS) << where;
    EXPECT_EQ(rows, id == kNoRow ? 0u : 1u) << where;
    if (id != kNoRow) {
      EXPECT_EQ(Id(), id);
    }
  }
}

TEST_F(FetchTest, CursorsOfOneConnectionMoveIndependently) {
  OdbcSession session;
  Open(session, SQL_CURSOR_STATIC);
  SQLHSTMT first = stmt;
  SQLHSTMT second = session.AllocStmt();
  ASSERT_EQ(SQLSetStmtOption(second, SQL_CURSOR_TYPE, SQL_CURSOR_STATIC), SQL_SUCCESS);
  ASSERT_EQ(session.ExecDirect(second, "SELECT id FROM avion WHERE id > 4"), SQL_SUCCESS);
  EXPECT_EQ(Extended(SQL_FETCH_NEXT), 1);
  stmt = second;
  EXPECT_EQ(Extended(SQL_FETCH_NEXT), 5);
  EXPECT_EQ(Extended(SQL_FETCH_LAST), 10);
  stmt = first;
  EXPECT_EQ(Extended(SQL_FETCH_NEXT), 2);
  EXPECT_EQ(Extended(SQL_FETCH_ABSOLUTE, 1), 1);
  EXPECT_EQ(Extended(SQL_FETCH_NEXT), 2);
  EXPECT_EQ(Extended(SQL_FETCH_NEXT), 3);
  stmt = second;
  EXPECT_EQ(Extended(SQL_FETCH_PRIOR), 9);
  EXPECT_EQ(SQLFreeStmt(second, SQL_DROP), SQL_SUCCESS);
}

}  // namespace
}  // namespace drivertest
