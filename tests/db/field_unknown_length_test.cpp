// A first read that does not tell the value's length (SQL_NO_TOTAL): a text that did not fill
// its buffer ends at its terminator; a long value, and any value that filled its buffer, is read
// on in pieces until the driver has delivered all of it.
#include <gtest/gtest.h>

#include "tests/db/support/field_reading.h"
#include "tests/db/support/scripted_answers.h"

namespace {

TEST_F(FieldReadTest, AShortTextOfUnknownLengthEndsAtItsTerminator) {
  CRecordset& rs = OpenOn(SingleColumnResult(kBrandColumn, {u"Airbus"}));
  fakeodbc::answer(Fn::SQLGetData, 1, ReportingLength(SQL_NO_TOTAL));
  CString value;
  rs.GetFieldValue(0, value);
  EXPECT_EQ(value.ToUtf8(), "Airbus");
  EXPECT_THAT(GetDataCalls(), ElementsAre(GetDataLine(1, 102, "SQL_SUCCESS")));
}

TEST_F(FieldReadTest, ATextOfUnknownLengthThatFillsItsBufferIsReadOn) {
  CRecordset& rs =
      OpenOn(SingleColumnResult(Column{u"marque", SQL_WVARCHAR, 4}, {u"Dassault"}));
  fakeodbc::answer(Fn::SQLGetData, 1, ReportingLength(SQL_NO_TOTAL));
  CString value;
  rs.GetFieldValue(0, value);
  EXPECT_EQ(value.ToUtf8(), "Dassault");
  // 4 characters, then a piece of 4096 that the other 4 do not fill.
  EXPECT_THAT(GetDataCalls(), ElementsAre(GetDataLine(1, 10, "SQL_SUCCESS_WITH_INFO"),
                                          GetDataLine(1, 2 * 4097, "SQL_SUCCESS")));
}

TEST_F(FieldReadTest, ALongValueOfUnknownLengthIsReadInPiecesToItsEnd) {
  const std::u16string text = Letters(10000);
  CRecordset& rs = OpenOn(SingleColumnResult(NotesColumn(0), {text}));
  fakeodbc::answer(Fn::SQLGetData, 1, ReportingLength(SQL_NO_TOTAL));
  CString value;
  rs.GetFieldValue(0, value);

  EXPECT_EQ(value.GetLength(), 10000);
  EXPECT_EQ(value.Str(), text);
  // 1 character first, then a piece of 4096 characters; that one tells what remains (5903
  // characters after it), so the last piece is read to its exact size.
  EXPECT_THAT(GetDataCalls(), ElementsAre(GetDataLine(1, 4, "SQL_SUCCESS_WITH_INFO"),
                                          GetDataLine(1, 2 * 4097, "SQL_SUCCESS_WITH_INFO"),
                                          GetDataLine(1, 2 * 5904, "SQL_SUCCESS")));
  // Truncation is what piecewise reading expects: no warning.
  EXPECT_THAT(traces.Texts(), IsEmpty());
}

TEST_F(FieldReadTest, PiecesThatNeverTellTheLengthGrowUntilOneIsNotFilled) {
  const std::u16string text = Letters(10000);
  CRecordset& rs = OpenOn(SingleColumnResult(NotesColumn(0), {text}));
  fakeodbc::answer(Fn::SQLGetData, 1, ReportingLength(SQL_NO_TOTAL));
  fakeodbc::answer(Fn::SQLGetData, 2, ReportingLength(SQL_NO_TOTAL));
  fakeodbc::answer(Fn::SQLGetData, 3, ReportingLength(SQL_NO_TOTAL));
  CString value;
  rs.GetFieldValue(0, value);

  EXPECT_EQ(value.Str(), text);
  // 1 + 4096 characters, then a piece twice as large that the last 5903 do not fill.
  EXPECT_THAT(GetDataCalls(), ElementsAre(GetDataLine(1, 4, "SQL_SUCCESS_WITH_INFO"),
                                          GetDataLine(1, 2 * 4097, "SQL_SUCCESS_WITH_INFO"),
                                          GetDataLine(1, 2 * 8193, "SQL_SUCCESS")));
}

TEST_F(FieldReadTest, ALongValueWholeInTheFirstReadEndsWhenTheDriverHasNoMore) {
  CRecordset& rs = OpenOn(SingleColumnResult(NotesColumn(0), {u"A"}));
  fakeodbc::answer(Fn::SQLGetData, 1, ReportingLength(SQL_NO_TOTAL));
  CString value;
  rs.GetFieldValue(0, value);
  EXPECT_EQ(value.ToUtf8(), "A");
  EXPECT_THAT(GetDataCalls(), ElementsAre(GetDataLine(1, 4, "SQL_SUCCESS"),
                                          GetDataLine(1, 2 * 4097, kNoData.c_str())));
  EXPECT_THAT(traces.Texts(), IsEmpty());
}

TEST_F(FieldReadTest, AFailingPieceRaisesWithTheDriversDiagnostics) {
  CRecordset& rs =
      OpenOn(SingleColumnResult(NotesColumn(0), {Letters(500)}));
  fakeodbc::answer(Fn::SQLGetData, 1, ReportingLength(SQL_NO_TOTAL));
  fakeodbc::answer(Fn::SQLGetData, 2,
                   Answer::fail(SQL_ERROR, {{"08S01", 0, u"[FakeODBC][Driver]Link failure"}}));
  CString value;
  const Raised raised = RunCatching([&] { rs.GetFieldValue(0, value); });
  ASSERT_EQ(raised.kind, Raised::Database);
  EXPECT_EQ(raised.code, SQL_ERROR);
  EXPECT_EQ(raised.errorText, "Link failure\n");
  EXPECT_EQ(traces.Texts().front(), "Error: GetFieldValue operation failed on field 0.\n");
}

TEST_F(FieldReadTest, APieceWarningOtherThanTruncationIsTraced) {
  const std::u16string text = Letters(300);
  CRecordset& rs = OpenOn(SingleColumnResult(NotesColumn(0), {text}));
  fakeodbc::answer(Fn::SQLGetData, 1, ReportingLength(SQL_NO_TOTAL));
  fakeodbc::answer(Fn::SQLGetData, 2,
                   Answer::withInfo({{"01000", 0, u"[FakeODBC][Driver]Slow medium"}}));
  CString value;
  rs.GetFieldValue(0, value);
  EXPECT_EQ(value.Str(), text);
  // Traced like a warning of the first read: the error text, then the state lines.
  EXPECT_THAT(traces.Texts(),
              ElementsAre("Warning: ODBC Success With Info on field 0.\n", "Slow medium\n\n",
                          "State:01000,Native:0,Origin:[FakeODBC][Driver]\n\n"));
}

TEST_F(FieldReadTest, APieceWithInformationThatDoesNotFillItsBufferIsTheLast) {
  const std::u16string text = Letters(3000);
  CRecordset& rs = OpenOn(SingleColumnResult(NotesColumn(0), {text}));
  fakeodbc::answer(Fn::SQLGetData, 1, ReportingLength(SQL_NO_TOTAL));
  Answer warning = Answer::withInfo({{"01000", 0, u"[FakeODBC][Driver]Slow medium"}});
  warning.length = SQL_NO_TOTAL;
  fakeodbc::answer(Fn::SQLGetData, 2, warning);
  CString value;
  rs.GetFieldValue(0, value);
  EXPECT_EQ(value.Str(), text);
  // The 2999 characters of the second piece leave room in its 4096: no third read.
  EXPECT_THAT(GetDataCalls(), ElementsAre(GetDataLine(1, 4, "SQL_SUCCESS_WITH_INFO"),
                                          GetDataLine(1, 2 * 4097, "SQL_SUCCESS_WITH_INFO")));
}

}  // namespace
