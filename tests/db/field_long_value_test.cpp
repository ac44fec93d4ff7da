// Long values: the first read learns the whole length from a buffer of one or two
// characters, and one more read fetches the rest to where the first read's terminator stood.
#include <cstddef>
#include <ostream>

#include "tests/db/support/field_reading.h"
#include "tests/db/support/scripted_answers.h"
#include "tests/db/support/table_cases.h"

namespace {

// The size the drivers declare for their long text types.
Column LongColumn(SQLSMALLINT sqlType) { return NotesColumn(1073741823, sqlType); }

TEST_F(FieldReadTest, AWideLongValueOf1000CharactersTakesTwoReads) {
  const std::u16string text = Letters(1000);
  CRecordset& rs = OpenOn(SingleColumnResult(LongColumn(SQL_WLONGVARCHAR), {text}));
  CString value = ReadFirst(rs);

  EXPECT_EQ(value.GetLength(), 1000);
  EXPECT_EQ(value.Str(), text);
  // 4 bytes first, then 2000 bytes from character position 1; the expected truncation of the
  // first read is read from the driver but not traced.
  EXPECT_THAT(Calls(), ElementsAreArray(Concat(
                           Concat({GetDataLine(1, 4, "SQL_SUCCESS_WITH_INFO")}, OneRecordRead()),
                           {GetDataLine(1, 2000, "SQL_SUCCESS")})));
  EXPECT_THAT(traces.Texts(), IsEmpty());
}

// The narrow long types start with one character, so the first read only learns the length.
using FieldNarrowLong = CasesOf<FieldReadTest, SQLSMALLINT>;

TEST_P(FieldNarrowLong, StartsWithOneCharacterAndReadsTheWholeValueSecond) {
  CRecordset& rs = OpenOn(SingleColumnResult(LongColumn(GetParam()), {u"Concorde"}));
  CString value = ReadFirst(rs);
  EXPECT_EQ(value.ToUtf8(), "Concorde");
  EXPECT_THAT(Calls(), ElementsAreArray(Concat(
                           Concat({GetDataLine(1, 2, "SQL_SUCCESS_WITH_INFO")}, OneRecordRead()),
                           {GetDataLine(1, 18, "SQL_SUCCESS")})));
  EXPECT_THAT(traces.Texts(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Types, FieldNarrowLong,
                         ::testing::Values<SQLSMALLINT>(SQL_LONGVARCHAR, SQL_LONGVARBINARY));

TEST_F(FieldReadTest, ALongValueThatFitsTheFirstBufferTakesOneRead) {
  CRecordset& rs =
      OpenOn(SingleColumnResult(LongColumn(SQL_WLONGVARCHAR), {u"A", u"AB", std::nullopt}));
  CString value = ReadFirst(rs);
  EXPECT_EQ(value.ToUtf8(), "A");
  EXPECT_THAT(Calls(), ElementsAre(GetDataLine(1, 4, "SQL_SUCCESS")));

  // Two characters do not fit two characters with a terminator.
  rs.MoveNext();
  ForgetCalls();
  rs.GetFieldValue(0, value);
  EXPECT_EQ(value.ToUtf8(), "AB");
  EXPECT_EQ(Calls().back(), GetDataLine(1, 4, "SQL_SUCCESS"));
  EXPECT_EQ(CountCalls("SQLGetData"), 2);

  rs.MoveNext();
  rs.GetFieldValue(0, value);
  EXPECT_TRUE(value.IsEmpty());
  EXPECT_THAT(traces.Texts(), IsEmpty());
}

TEST_F(FieldReadTest, TheSecondReadIsAskedAgainWhileStillExecuting) {
  const std::u16string text = Letters(300);
  CRecordset& rs = OpenOn(SingleColumnResult(LongColumn(SQL_WLONGVARCHAR), {text}));
  fakeodbc::answer(Fn::SQLGetData, 2, Answer::still(3));
  CString value = ReadFirst(rs);
  EXPECT_EQ(value.Str(), text);
  const std::vector<std::string> calls = Calls();
  EXPECT_EQ(std::count(calls.begin(), calls.end(), GetDataLine(1, 600, "SQL_STILL_EXECUTING")),
            3);
  EXPECT_EQ(calls.back(), GetDataLine(1, 600, "SQL_SUCCESS"));
}

TEST_F(FieldReadTest, ASecondReadErrorRaisesWithTheDriversDiagnostics) {
  CRecordset& rs = OpenOn(SingleColumnResult(LongColumn(SQL_WLONGVARCHAR), {Letters(1000)}));
  fakeodbc::answer(Fn::SQLGetData, 2,
                   Answer::fail(SQL_ERROR, {{"S1001", 0, u"[FakeODBC][Driver]Out of memory"}}));
  const Raised raised = ReadFirstCatching(rs);

  ASSERT_TRUE(IsDbError(raised, SQL_ERROR, "Out of memory\n",
                        "State:S1001,Native:0,Origin:[FakeODBC][Driver]\n"));
  EXPECT_THAT(traces.Texts(),
              ElementsAre("Error: GetFieldValue operation failed on field 0.\n", "Out of memory\n",
                          "State:S1001,Native:0,Origin:[FakeODBC][Driver]\n\n"));
  EXPECT_EQ(rs.m_lOpen, 1);
}

TEST_F(FieldReadTest, NoDataOnTheSecondReadIsAFailureWithoutTheAlreadyFetchedLine) {
  CRecordset& rs = OpenOn(SingleColumnResult(LongColumn(SQL_WLONGVARCHAR), {Letters(10)}));
  fakeodbc::answer(Fn::SQLGetData, 2, Answer::fail(SQL_NO_DATA_FOUND));
  const Raised raised = ReadFirstCatching(rs);
  ASSERT_TRUE(IsDbError(raised, SQL_NO_DATA_FOUND, ""));
  EXPECT_THAT(traces.Texts(), ElementsAre("Error: GetFieldValue operation failed on field 0.\n"));
}

TEST_F(FieldReadTest, AWarningOnTheSecondReadIsTracedAndTheValueKept) {
  const std::u16string text = Letters(120);
  CRecordset& rs = OpenOn(SingleColumnResult(LongColumn(SQL_WLONGVARCHAR), {text}));
  fakeodbc::answer(Fn::SQLGetData, 2,
                   Answer::withInfo({{"01000", 4, u"[FakeODBC][Driver]Slow medium"}}));
  CString value = ReadFirst(rs);
  EXPECT_EQ(value.Str(), text);
  EXPECT_THAT(traces.Texts(),
              ElementsAre("Warning: ODBC Success With Info on field 0.\n", "Slow medium\n",
                          "State:01000,Native:4,Origin:[FakeODBC][Driver]\n\n"));
  EXPECT_THAT(fakeodbc::pendingDiags(rs.m_hstmt), IsEmpty());
}

TEST_F(FieldReadTest, MoreThanTheFirstReadAnnouncedIsReadOnInPieces) {
  const std::u16string text = Letters(1000);
  CRecordset& rs = OpenOn(SingleColumnResult(LongColumn(SQL_WLONGVARCHAR), {text}));
  fakeodbc::answer(Fn::SQLGetData, 1, ReportingLength(20));
  CString value = ReadFirst(rs);
  EXPECT_EQ(value.Str(), text);
  // 10 characters announced: the second read has room for the 9 after the first, is cut
  // again, and the other 990 follow in a piece of 4096.
  EXPECT_THAT(GetDataCalls(), ElementsAre(GetDataLine(1, 4, "SQL_SUCCESS_WITH_INFO"),
                                          GetDataLine(1, 20, "SQL_SUCCESS_WITH_INFO"),
                                          GetDataLine(1, 2 * 4097, "SQL_SUCCESS")));
}

// The first read announces a length other than the value's: the second read asks for the rest
// of what was announced, and the text ends where the reads ended.
struct Announced {
  const char* name;
  std::size_t held;  // characters the driver holds
  SQLLEN announcedBytes;
  std::size_t kept;  // characters the text ends with
  const char* secondRead;
  const char* firstTrace;  // null: not compared
};

DB_PRINT_ROWS_BY_NAME(Announced)

using FieldAnnouncedLength = CasesOf<FieldReadTest, Announced>;

TEST_P(FieldAnnouncedLength, BoundsTheSecondRead) {
  const Announced& c = GetParam();
  const std::u16string text = Letters(c.held);
  CRecordset& rs = OpenOn(SingleColumnResult(LongColumn(SQL_WLONGVARCHAR), {text}));
  fakeodbc::answer(Fn::SQLGetData, 1, ReportingLength(c.announcedBytes));
  CString value = ReadFirst(rs);

  EXPECT_EQ(value.GetLength(), static_cast<int>(c.kept));
  EXPECT_EQ(value.Str(), text.substr(0, c.kept));
  EXPECT_THAT(GetDataCalls(), ElementsAre(GetDataLine(1, 4, "SQL_SUCCESS_WITH_INFO"),
                                          GetDataLine(1, c.announcedBytes, c.secondRead)));
  if (c.firstTrace != nullptr) {
    ASSERT_FALSE(traces.Texts().empty());
    EXPECT_EQ(traces.Texts().front(), c.firstTrace);
  }
}

DB_NAMED_CASES(
    Reads, FieldAnnouncedLength,
    // 100 characters announced and 50 held: the second read reports the 49 it had.
    Announced{"LessThanAnnouncedEndsTheTextThere", 50, 200, 50, "SQL_SUCCESS", nullptr});

}  // namespace
