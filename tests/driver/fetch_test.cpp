// Moving a static cursor in every direction with SQLExtendedFetch and SQLFetchScroll, and a
// forward-only cursor with SQLFetch; and SQLGetData by the ODBC rules: pieces with 01004 and
// the remaining length, NULL, non-ASCII text in UTF-16 and UTF-8, numbers and dates as text,
// and the states without a current row or once a column is used up.
#include "driver_fixture.h"

#include <span>

namespace drivertest {
namespace {

constexpr int kNoRow = -1;

class FetchTest : public BrandDatabaseTest {
 protected:
  // Runs "SELECT id FROM avion" on a new connection (ODBC 3 behaviour when `odbc3`).
  void Open(bool odbc3, SQLULEN cursorType) {
    Connect(true, odbc3);
    ASSERT_TRUE(SQL_SUCCEEDED(SQLSetStmtOption(stmt, SQL_CURSOR_TYPE, cursorType)));
    ASSERT_EQ(session->Prepare(stmt, "SELECT id FROM avion"), SQL_SUCCESS);
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
};

// Each move and the row it lands on: before the first row and after the last there is none.
TEST_F(FetchTest, ExtendedFetchMovesAStaticCursorEveryWay) {
  Open(false, SQL_CURSOR_STATIC);
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
  Open(false, SQL_CURSOR_STATIC);
  EXPECT_EQ(Extended(SQL_FETCH_LAST), 10);
  for (int id = 9; id >= 1; --id) EXPECT_EQ(Extended(SQL_FETCH_PRIOR), id);
  EXPECT_EQ(Extended(SQL_FETCH_PRIOR), kNoRow);
}

TEST_F(FetchTest, FetchScrollMovesAStaticCursorEveryWay) {
  Open(true, SQL_CURSOR_STATIC);
  const Move moves[] = {
      {SQL_FETCH_NEXT, 0, 1}, {SQL_FETCH_LAST, 0, 10}, {SQL_FETCH_PRIOR, 0, 9},
      {SQL_FETCH_ABSOLUTE, 3, 3}, {SQL_FETCH_RELATIVE, 4, 7}, {SQL_FETCH_FIRST, 0, 1},
      {SQL_FETCH_PRIOR, 0, kNoRow}, {SQL_FETCH_ABSOLUTE, -1, 10}, {SQL_FETCH_NEXT, 0, kNoRow}};
  ExpectMoves(moves, false);
}

TEST_F(FetchTest, ForwardOnlyCursorFetchesForwardOnly) {
  Open(true, SQL_CURSOR_FORWARD_ONLY);
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
  Open(false, SQL_CURSOR_STATIC);
  for (const auto& [where, id] : {std::pair{"id = 10", 10}, std::pair{"id > 10", kNoRow}}) {
    ASSERT_EQ(SQLFreeStmt(stmt, SQL_CLOSE), SQL_SUCCESS);
    ASSERT_EQ(SQLSetStmtOption(stmt, SQL_ROWSET_SIZE, 3), SQL_SUCCESS);
    ASSERT_EQ(session->ExecDirect(stmt, std::string("SELECT id FROM avion WHERE ") + where), SQL_SUCCESS);
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
  Open(false, SQL_CURSOR_STATIC);
  SQLHSTMT first = stmt;
  SQLHSTMT second = session->AllocStmt();
  ASSERT_EQ(SQLSetStmtOption(second, SQL_CURSOR_TYPE, SQL_CURSOR_STATIC), SQL_SUCCESS);
  ASSERT_EQ(session->ExecDirect(second, "SELECT id FROM avion WHERE id > 4"), SQL_SUCCESS);
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

class GetDataTest : public ConnectedRoadsTest {
 protected:
  void SetUp() override {
    ConnectedRoadsTest::SetUp();
    ASSERT_EQ(SQLSetStmtOption(stmt, SQL_CURSOR_TYPE, SQL_CURSOR_STATIC), SQL_SUCCESS);
    ASSERT_EQ(session->Prepare(stmt, "SELECT marque, id, prix, vol, actif, notes FROM avion"),
              SQL_SUCCESS);
    ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS);
  }
  void GoTo(int row) {
    SQLULEN rows = 0;
    SQLUSMALLINT status = 0;
    ASSERT_EQ(SQLExtendedFetch(stmt, SQL_FETCH_ABSOLUTE, row, &rows, &status), SQL_SUCCESS);
  }
  // SQLGetData of column 1 into a buffer of `chars` characters until SQL_NO_DATA: each call's
  // code, length and text, and the SQLSTATEs of its diagnostics.
  template <typename Char>
  std::string Pieces(SQLSMALLINT cType, std::size_t chars) {
    std::string shown;
    for (int call = 0; call < 10; ++call) {
      std::basic_string<Char> buffer(chars, Char{});
      SQLLEN indicator = 0;
      const auto bytes = static_cast<SQLLEN>(chars * sizeof(Char));
      const SQLRETURN rc = SQLGetData(stmt, 1, cType, buffer.data(), bytes, &indicator);
      if (rc == SQL_NO_DATA) return shown + "no data";
      shown += std::to_string(rc) + " " + std::to_string(indicator) + " ";
      if constexpr (sizeof(Char) == 2) shown += Narrow(buffer.c_str());
      else shown += buffer.c_str();
      for (const Diag& d : session->Errors(stmt)) shown += " " + d.state;
      shown += "; ";
    }
    return shown;
  }
};

TEST_P(GetDataTest, ShortTextArrivesInPiecesThenNoData) {
  GoTo(3);  // "Dassault Aviation", 17 characters
  EXPECT_EQ(Pieces<char16_t>(SQL_C_WCHAR, 6),
            "1 34 Dassa 01004; 1 24 ult A 01004; 1 14 viati 01004; 0 4 on; no data");
}

TEST_P(GetDataTest, NarrowTextArrivesInPiecesThenNoData) {
  GoTo(2);  // "Boeing"
  EXPECT_EQ(Pieces<char>(SQL_C_CHAR, 4), "1 6 Boe 01004; 0 3 ing; no data");
}

TEST_P(GetDataTest, LongMemoReadTheWayTheLayerReadsIt) {
  GoTo(7);
  std::u16string expected = Wide(LongMemo());
  // First a buffer of two characters: one character and the terminator, and the whole length.
  std::u16string value(2, u'\0');
  SQLLEN indicator = 0;
  ASSERT_EQ(SQLGetData(stmt, 6, SQL_C_WCHAR, value.data(), 4, &indicator), SQL_SUCCESS_WITH_INFO);
  ASSERT_EQ(indicator, static_cast<SQLLEN>(expected.size() * 2));
  // Then the rest into a buffer that holds it and its terminator.
  size_t whole = expected.size();
  value.resize(whole + 1);
  ASSERT_EQ(SQLGetData(stmt, 6, SQL_C_WCHAR, value.data() + 1, static_cast<SQLLEN>(whole * 2), &indicator),
            SQL_SUCCESS);
  EXPECT_EQ(indicator, static_cast<SQLLEN>((whole - 1) * 2));
  value.resize(whole);
  EXPECT_EQ(value, expected);
  EXPECT_EQ(SQLGetData(stmt, 6, SQL_C_WCHAR, value.data(), 4, &indicator), SQL_NO_DATA);
}

TEST_P(GetDataTest, LongMemoInSmallPieces) {
  GoTo(7);
  EXPECT_EQ(ReadWide(stmt, 6, 7), Wide(LongMemo()));
  ASSERT_EQ(SQLExtendedFetch(stmt, SQL_FETCH_RELATIVE, 0, nullptr, nullptr), SQL_SUCCESS);
  EXPECT_EQ(ReadNarrow(stmt, 6, 5), LongMemo());
}

TEST_P(GetDataTest, NullValuesHaveTheNullIndicator) {
  GoTo(5);
  for (SQLUSMALLINT column : {1, 3, 4, 6}) {
    char16_t buffer[8] = {u'x'};
    SQLLEN indicator = 0;
    ASSERT_EQ(SQLGetData(stmt, column, SQL_C_WCHAR, buffer, sizeof buffer, &indicator), SQL_SUCCESS);
    EXPECT_EQ(indicator, SQL_NULL_DATA) << column;
    EXPECT_EQ(SQLGetData(stmt, column, SQL_C_WCHAR, buffer, sizeof buffer, &indicator), SQL_NO_DATA);
  }
  char buffer[8];
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_CHAR, buffer, sizeof buffer, nullptr), SQL_NO_DATA);
}

TEST_P(GetDataTest, EmptyTextIsNotNull) {
  GoTo(6);
  char16_t buffer[4] = {u'x'};
  SQLLEN indicator = -5;
  ASSERT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, buffer, sizeof buffer, &indicator), SQL_SUCCESS);
  EXPECT_EQ(indicator, 0);
  EXPECT_EQ(buffer[0], u'\0');
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, buffer, sizeof buffer, &indicator), SQL_NO_DATA);
}

TEST_P(GetDataTest, NonAsciiTextArrivesAsStored) {
  GoTo(4);
  EXPECT_EQ(ReadWide(stmt, 1, 3), u"Überflügel Ælfred 日本語 😀");
  EXPECT_EQ(ReadWide(stmt, 6, 3), u"Überflügel Ælfred 日本語 😀");
  ASSERT_EQ(SQLExtendedFetch(stmt, SQL_FETCH_RELATIVE, 0, nullptr, nullptr), SQL_SUCCESS);
  EXPECT_EQ(ReadNarrow(stmt, 1, 4), kNonAscii);
}

// Columns of several rows as text, on the wide road or the narrow one.
TEST_P(GetDataTest, NumbersDatesAndYesNoAsText) {
  const struct { int row; SQLUSMALLINT column; bool wide; const char* text; } cases[] = {
      {1, 2, true, "1"}, {1, 3, true, "3.25"}, {1, 4, true, "2021-12-02 13:45:07"},
      {1, 5, true, "1"}, {2, 3, false, "-0.001"}, {2, 4, false, "1999-01-31 00:00:00"},
      {2, 5, false, "0"}, {6, 4, true, "1850-06-15 12:00:00"}, {8, 2, true, "8"}, {8, 3, true, "-42"},
      {8, 4, true, "9999-12-31 23:59:59"}, {9, 4, true, "0100-01-01 00:00:00"}};
  for (const auto& c : cases) {
    GoTo(c.row);
    EXPECT_EQ(ReadText(stmt, c.column, c.wide), c.text) << c.row << "/" << c.column;
  }
}

TEST_P(GetDataTest, NumbersAndDatesIntoTheirOwnTypes) {
  GoTo(7);
  SQLINTEGER id = 0;
  SQLDOUBLE prix = 0;
  SQL_TIMESTAMP_STRUCT vol{};
  SQLCHAR actif = 9;
  SQLLEN indicator = 0;
  SQLSMALLINT small = 0;
  EXPECT_EQ(SQLGetData(stmt, 3, SQL_C_SSHORT, &small, 0, &indicator), SQL_ERROR);
  EXPECT_EQ(session->Errors(stmt).at(0).state, "22003");
  ASSERT_EQ(SQLGetData(stmt, 2, SQL_C_SLONG, &id, 0, &indicator), SQL_SUCCESS);
  EXPECT_EQ(id, 7);
  ASSERT_EQ(SQLGetData(stmt, 3, SQL_C_DOUBLE, &prix, 0, &indicator), SQL_SUCCESS);
  EXPECT_EQ(prix, 2.5e10);
  ASSERT_EQ(SQLGetData(stmt, 4, SQL_C_TIMESTAMP, &vol, 0, &indicator), SQL_SUCCESS);
  EXPECT_EQ((std::vector<int>{vol.year, vol.month, vol.day, vol.hour, vol.minute, vol.second}),
            (std::vector<int>{2000, 2, 29, 23, 59, 59}));
  ASSERT_EQ(SQLGetData(stmt, 5, SQL_C_BIT, &actif, 0, &indicator), SQL_SUCCESS);
  EXPECT_EQ(actif, 1);
  EXPECT_EQ(SQLGetData(stmt, 2, SQL_C_SLONG, &id, 0, &indicator), SQL_NO_DATA);
}

TEST_P(GetDataTest, ColumnsInAnyOrder) {
  GoTo(1);
  EXPECT_EQ(ReadWide(stmt, 6), u"short memo");
  EXPECT_EQ(ReadWide(stmt, 1), u"Airbus");
  EXPECT_EQ(ReadWide(stmt, 2), u"1");
}

TEST_P(GetDataTest, NoCurrentRowIsAnInvalidCursorState) {
  char16_t buffer[16];
  SQLLEN indicator = 0;
  ASSERT_EQ(SQLExtendedFetch(stmt, SQL_FETCH_LAST, 0, nullptr, nullptr), SQL_SUCCESS);
  EXPECT_EQ(SQLExtendedFetch(stmt, SQL_FETCH_NEXT, 0, nullptr, nullptr), SQL_NO_DATA);
  EXPECT_EQ(SQLGetData(stmt, 1, SQL_C_WCHAR, buffer, sizeof buffer, &indicator), SQL_ERROR);
  EXPECT_EQ(OnlyDiag(*session, stmt).state, "24000");
}

TEST_P(GetDataTest, ColumnOutsideTheResultIsAnError) {
  GoTo(1);
  char16_t buffer[16];
  SQLLEN indicator = 0;
  EXPECT_EQ(SQLGetData(stmt, 7, SQL_C_WCHAR, buffer, sizeof buffer, &indicator), SQL_ERROR);
  EXPECT_EQ(session->Errors(stmt).at(0).state, "S1002");
}

INSTANTIATE_TEST_SUITE_P(Roads, GetDataTest, ::testing::Bool(), RoadName);

}  // namespace
}  // namespace drivertest
