// Long values: the first read learns the whole length from a buffer of one or two
// characters, and one more read fetches the rest to where the first read's terminator stood.
// A first read that does not tell the length (SQL_NO_TOTAL) ends a text that did not fill its
// buffer at its terminator and reads anything else on in pieces until all of it is delivered.
// And the two steps of a read used on their own, as the field exchange of long values uses
// them: ReadColumn answers the reported length, ReadRemainingText reads the rest.
#include <cstddef>

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
  EXPECT_EQ(ReadFirst(rs).ToUtf8(), "Concorde");
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
  EXPECT_EQ(ReadFirst(rs).Str(), text);
  EXPECT_THAT(Calls(), Contains(GetDataLine(1, 600, "SQL_STILL_EXECUTING")).Times(3));
  EXPECT_EQ(Calls().back(), GetDataLine(1, 600, "SQL_SUCCESS"));
}

TEST_F(FieldReadTest, ASecondReadErrorRaisesWithTheDriversDiagnostics) {
  CRecordset& rs = OpenOn(SingleColumnResult(LongColumn(SQL_WLONGVARCHAR), {Letters(1000)}));
  fakeodbc::answer(Fn::SQLGetData, 2,
                   Answer::fail(SQL_ERROR, {{"S1001", 0, u"[FakeODBC][Driver]Out of memory"}}));
  ASSERT_TRUE(IsDbError(ReadFirstCatching(rs), SQL_ERROR, "Out of memory\n",
                        "State:S1001,Native:0,Origin:[FakeODBC][Driver]\n"));
  EXPECT_THAT(traces.Texts(),
              ElementsAre("Error: GetFieldValue operation failed on field 0.\n", "Out of memory\n",
                          "State:S1001,Native:0,Origin:[FakeODBC][Driver]\n\n"));
  EXPECT_EQ(rs.m_lOpen, 1);
}

TEST_F(FieldReadTest, NoDataOnTheSecondReadIsAFailureWithoutTheAlreadyFetchedLine) {
  CRecordset& rs = OpenOn(SingleColumnResult(LongColumn(SQL_WLONGVARCHAR), {Letters(10)}));
  fakeodbc::answer(Fn::SQLGetData, 2, Answer::fail(SQL_NO_DATA_FOUND));
  ASSERT_TRUE(IsDbError(ReadFirstCatching(rs), SQL_NO_DATA_FOUND, ""));
  EXPECT_THAT(traces.Texts(), ElementsAre("Error: GetFieldValue operation failed on field 0.\n"));
}

TEST_F(FieldReadTest, AWarningOnTheSecondReadIsTracedAndTheValueKept) {
  const std::u16string text = Letters(120);
  CRecordset& rs = OpenOn(SingleColumnResult(LongColumn(SQL_WLONGVARCHAR), {text}));
  fakeodbc::answer(Fn::SQLGetData, 2,
                   Answer::withInfo({{"01000", 4, u"[FakeODBC][Driver]Slow medium"}}));
  EXPECT_EQ(ReadFirst(rs).Str(), text);
  EXPECT_THAT(traces.Texts(),
              ElementsAre("Warning: ODBC Success With Info on field 0.\n", "Slow medium\n",
                          "State:01000,Native:4,Origin:[FakeODBC][Driver]\n\n"));
  EXPECT_THAT(fakeodbc::pendingDiags(rs.m_hstmt), IsEmpty());
}

TEST_F(FieldReadTest, MoreThanTheFirstReadAnnouncedIsReadOnInPieces) {
  const std::u16string text = Letters(1000);
  CRecordset& rs = OpenOn(SingleColumnResult(LongColumn(SQL_WLONGVARCHAR), {text}));
  fakeodbc::answer(Fn::SQLGetData, 1, ReportingLength(20));
  EXPECT_EQ(ReadFirst(rs).Str(), text);
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
}

DB_NAMED_CASES(
    Reads, FieldAnnouncedLength,
    // 100 characters announced and 50 held: the second read reports the 49 it had.
    Announced{"LessThanAnnouncedEndsTheTextThere", 50, 200, 50, "SQL_SUCCESS"});

// A value read with the first read answering SQL_NO_TOTAL, and the reads that fetch all of it.
struct UnknownLengthCase {
  const char* name;
  Column column;
  std::u16string text;
  std::vector<Answer> answers;  // for the first reads, in order
  std::vector<std::string> reads;
  bool quiet;  // nothing is traced
};
DB_PRINT_ROWS_BY_NAME(UnknownLengthCase)

using FieldUnknownLength = CasesOf<FieldReadTest, UnknownLengthCase>;

TEST_P(FieldUnknownLength, ReadsTheWholeValue) {
  const UnknownLengthCase& c = GetParam();
  CRecordset& rs = OpenOn(SingleColumnResult(c.column, {c.text}));
  for (std::size_t i = 0; i < c.answers.size(); ++i) {
    fakeodbc::answer(Fn::SQLGetData, static_cast<int>(i + 1), c.answers[i]);
  }
  CString value = ReadFirst(rs);
  EXPECT_EQ(value.GetLength(), static_cast<int>(c.text.size()));
  EXPECT_EQ(value.Str(), c.text);
  EXPECT_THAT(GetDataCalls(), ElementsAreArray(c.reads));
  if (c.quiet) {
    EXPECT_THAT(traces.Texts(), IsEmpty());
  }
}

const Answer kNoTotal = ReportingLength(SQL_NO_TOTAL);

// A warning that tells no length either.
Answer NoTotalWarning() {
  Answer warning = Answer::withInfo({{"01000", 0, u"[FakeODBC][Driver]Slow medium"}});
  warning.length = SQL_NO_TOTAL;
  return warning;
}

DB_NAMED_CASES(
    Values, FieldUnknownLength,
    // A short text ends at its terminator.
    UnknownLengthCase{"ShortText", kBrandColumn, u"Airbus", {kNoTotal},
                      {GetDataLine(1, 102, "SQL_SUCCESS")}, false},
    // 4 characters, then a piece of 4096 that the other 4 do not fill.
    UnknownLengthCase{"TextThatFillsItsBuffer", Column{u"marque", SQL_WVARCHAR, 4}, u"Dassault",
                      {kNoTotal},
                      {GetDataLine(1, 10, "SQL_SUCCESS_WITH_INFO"),
                       GetDataLine(1, 2 * 4097, "SQL_SUCCESS")},
                      false},
    // 1 character first, then a piece of 4096 characters; that one tells what remains (5903
    // characters after it), so the last piece is read to its exact size. Truncation is what
    // piecewise reading expects: no warning.
    UnknownLengthCase{"LongValueInPieces", NotesColumn(0), Letters(10000), {kNoTotal},
                      {GetDataLine(1, 4, "SQL_SUCCESS_WITH_INFO"),
                       GetDataLine(1, 2 * 4097, "SQL_SUCCESS_WITH_INFO"),
                       GetDataLine(1, 2 * 5904, "SQL_SUCCESS")},
                      true},
    // 1 + 4096 characters, then a piece twice as large that the last 5903 do not fill.
    UnknownLengthCase{"PiecesThatNeverTellTheLengthGrow", NotesColumn(0), Letters(10000),
                      {kNoTotal, kNoTotal, kNoTotal},
                      {GetDataLine(1, 4, "SQL_SUCCESS_WITH_INFO"),
                       GetDataLine(1, 2 * 4097, "SQL_SUCCESS_WITH_INFO"),
                       GetDataLine(1, 2 * 8193, "SQL_SUCCESS")},
                      false},
    // Whole in the first read: the next one finds no more.
    UnknownLengthCase{"LongValueWholeInTheFirstRead", NotesColumn(0), u"A", {kNoTotal},
                      {GetDataLine(1, 4, "SQL_SUCCESS"), GetDataLine(1, 2 * 4097, kNoData.c_str())},
                      true},
    // The 2999 characters of the second piece leave room in its 4096: no third read.
    UnknownLengthCase{"PieceWithInformationThatDoesNotFillItsBuffer", NotesColumn(0), Letters(3000),
                      {kNoTotal, NoTotalWarning()},
                      {GetDataLine(1, 4, "SQL_SUCCESS_WITH_INFO"),
                       GetDataLine(1, 2 * 4097, "SQL_SUCCESS_WITH_INFO")},
                      false});

TEST_F(FieldReadTest, AFailingPieceRaisesWithTheDriversDiagnostics) {
  CRecordset& rs = OpenOn(SingleColumnResult(NotesColumn(0), {Letters(500)}));
  fakeodbc::answer(Fn::SQLGetData, 1, ReportingLength(SQL_NO_TOTAL));
  fakeodbc::answer(Fn::SQLGetData, 2,
                   Answer::fail(SQL_ERROR, {{"08S01", 0, u"[FakeODBC][Driver]Link failure"}}));
  ASSERT_TRUE(IsDbError(ReadFirstCatching(rs), SQL_ERROR, "Link failure\n"));
  EXPECT_EQ(traces.Texts().front(), "Error: GetFieldValue operation failed on field 0.\n");
}

TEST_F(FieldReadTest, APieceWarningOtherThanTruncationIsTraced) {
  const std::u16string text = Letters(300);
  CRecordset& rs = OpenOn(SingleColumnResult(NotesColumn(0), {text}));
  fakeodbc::answer(Fn::SQLGetData, 1, ReportingLength(SQL_NO_TOTAL));
  fakeodbc::answer(Fn::SQLGetData, 2,
                   Answer::withInfo({{"01000", 0, u"[FakeODBC][Driver]Slow medium"}}));
  EXPECT_EQ(ReadFirst(rs).Str(), text);
  // Traced like a warning of the first read: the error text, then the state lines.
  EXPECT_THAT(traces.Texts(),
              ElementsAre("Warning: ODBC Success With Info on field 0.\n", "Slow medium\n\n",
                          "State:01000,Native:0,Origin:[FakeODBC][Driver]\n\n"));
}

class FieldReadSteps : public FieldReadTest {
 protected:
  // Opens on a long value and reads its start into two characters of `value`, as the
  // exchange of long values does; the length that read reported.
  SQLLEN ReadStart(const std::u16string& text) {
    statement = OpenOn(SingleColumnResult(NotesColumn(0), {text})).m_hstmt;
    first = value.GetBufferSetLength(2);
    return CRecordset::ReadColumn(database.get(), statement, 1, SQL_C_WCHAR, first, 4,
                                  SQL_WLONGVARCHAR);
  }
  // Reads the rest of a value of `characters` to `target`, after the first one.
  void ReadRest(SQLLEN characters, void** target) {
    CRecordset::ReadRemainingText(database.get(), statement, 1, characters, target, 2, value,
                                  SQL_WLONGVARCHAR, SQL_C_WCHAR);
  }

  HSTMT statement = SQL_NULL_HSTMT;
  CString value;
  char16_t* first = nullptr;
};

TEST_F(FieldReadSteps, TheFirstReadReportsTheWholeLengthAndTheSecondTheRest) {
  const std::u16string text = Letters(1000);
  const SQLLEN reported = ReadStart(text);
  EXPECT_EQ(reported, 2000);
  EXPECT_EQ(first[0], u'A');
  EXPECT_EQ(first[1], u'\0');

  void* target = first;
  ReadRest(reported / 2, &target);
  // The rest went to character position 1 of the grown text.
  EXPECT_EQ(target, static_cast<const void*>(value.GetString() + 1));
  EXPECT_EQ(value.GetLength(), 1000);
  EXPECT_EQ(value.Str(), text);
  EXPECT_EQ(Calls().back(), GetDataLine(1, 2000, "SQL_SUCCESS"));
}

TEST_F(FieldReadSteps, ANullValueIsReportedAsSuch) {
  CRecordset& rs = OpenOn(SingleColumnResult(kBrandColumn, {std::nullopt}));
  char16_t buffer[51] = {};
  EXPECT_EQ(CRecordset::ReadColumn(database.get(), rs.m_hstmt, 1, SQL_C_WCHAR, buffer,
                                   sizeof buffer, SQL_WVARCHAR),
            SQL_NULL_DATA);
}

TEST_F(FieldReadSteps, AValueThatFitTakesItsReportedLengthWithoutAnotherCall) {
  const SQLLEN reported = ReadStart(u"A");
  ForgetCalls();
  void* target = first;
  ReadRest(reported / 2, &target);
  EXPECT_EQ(value.ToUtf8(), "A");
  EXPECT_THAT(Calls(), IsEmpty());
}

TEST_F(FieldReadSteps, TheRestOfALongValueNeedsAPlaceForItsTarget) {
  const SQLLEN reported = ReadStart(Letters(10));
  ForgetCalls();
  EXPECT_EQ(RunCatching([&] { ReadRest(reported / 2, nullptr); }).kind, Raised::InvalidArgument);
  EXPECT_THAT(Calls(), IsEmpty());
}

TEST_F(FieldReadSteps, AnImpossibleLengthIsAMemoryErrorBeforeTheTargetIsExamined) {
  statement = OpenOn(SingleColumnResult(NotesColumn(0), {Letters(10)})).m_hstmt;
  value.GetBufferSetLength(2);
  EXPECT_EQ(RunCatching([&] { ReadRest(SQLLEN{0x7FFFFFFF}, nullptr); }).kind, Raised::Memory);
  EXPECT_THAT(Calls(), IsEmpty());
}

}  // namespace
