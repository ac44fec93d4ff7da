// A first read that does not tell the value's length (SQL_NO_TOTAL): a text that did not fill
// its buffer ends at its terminator; a long value, and any value that filled its buffer, is read
// on in pieces until the driver has delivered all of it.
#include <cstddef>

#include "tests/db/support/field_reading.h"
#include "tests/db/support/scripted_answers.h"
#include "tests/db/support/table_cases.h"

namespace {

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
    UnknownLengthCase{"TextThatFillsItsBuffer", Column{u"marque", SQL_WVARCHAR, 4},
                      u"Dassault", {kNoTotal},
                      {GetDataLine(1, 10, "SQL_SUCCESS_WITH_INFO"),
                       GetDataLine(1, 2 * 4097, "SQL_SUCCESS")}, false},
    // 1 character first, then a piece of 4096 characters; that one tells what remains
    // (5903 characters after it), so the last piece is read to its exact size. Truncation
    // is what piecewise reading expects: no warning.
    UnknownLengthCase{"LongValueInPieces", NotesColumn(0), Letters(10000), {kNoTotal},
                      {GetDataLine(1, 4, "SQL_SUCCESS_WITH_INFO"),
                       GetDataLine(1, 2 * 4097, "SQL_SUCCESS_WITH_INFO"),
                       GetDataLine(1, 2 * 5904, "SQL_SUCCESS")}, true},
    // 1 + 4096 characters, then a piece twice as large that the last 5903 do not fill.
    UnknownLengthCase{"PiecesThatNeverTellTheLengthGrow", NotesColumn(0), Letters(10000),
                      {kNoTotal, kNoTotal, kNoTotal},
                      {GetDataLine(1, 4, "SQL_SUCCESS_WITH_INFO"),
                       GetDataLine(1, 2 * 4097, "SQL_SUCCESS_WITH_INFO"),
                       GetDataLine(1, 2 * 8193, "SQL_SUCCESS")}, false},
    // Whole in the first read: the next one finds no more.
    UnknownLengthCase{"LongValueWholeInTheFirstRead", NotesColumn(0), u"A", {kNoTotal},
                      {GetDataLine(1, 4, "SQL_SUCCESS"),
                       GetDataLine(1, 2 * 4097, kNoData.c_str())}, true},
    // The 2999 characters of the second piece leave room in its 4096: no third read.
    UnknownLengthCase{"PieceWithInformationThatDoesNotFillItsBuffer", NotesColumn(0),
                      Letters(3000), {kNoTotal, NoTotalWarning()},
                      {GetDataLine(1, 4, "SQL_SUCCESS_WITH_INFO"),
                       GetDataLine(1, 2 * 4097, "SQL_SUCCESS_WITH_INFO")}, false});

TEST_F(FieldReadTest, AFailingPieceRaisesWithTheDriversDiagnostics) {
  CRecordset& rs =
      OpenOn(SingleColumnResult(NotesColumn(0), {Letters(500)}));
  fakeodbc::answer(Fn::SQLGetData, 1, ReportingLength(SQL_NO_TOTAL));
  fakeodbc::answer(Fn::SQLGetData, 2,
                   Answer::fail(SQL_ERROR, {{"08S01", 0, u"[FakeODBC][Driver]Link failure"}}));
  const Raised raised = ReadFirstCatching(rs);
  ASSERT_TRUE(IsDbError(raised, SQL_ERROR, "Link failure\n"));
  EXPECT_EQ(traces.Texts().front(), "Error: GetFieldValue operation failed on field 0.\n");
}

TEST_F(FieldReadTest, APieceWarningOtherThanTruncationIsTraced) {
  const std::u16string text = Letters(300);
  CRecordset& rs = OpenOn(SingleColumnResult(NotesColumn(0), {text}));
  fakeodbc::answer(Fn::SQLGetData, 1, ReportingLength(SQL_NO_TOTAL));
  fakeodbc::answer(Fn::SQLGetData, 2,
                   Answer::withInfo({{"01000", 0, u"[FakeODBC][Driver]Slow medium"}}));
  CString value = ReadFirst(rs);
  EXPECT_EQ(value.Str(), text);
  // Traced like a warning of the first read: the error text, then the state lines.
  EXPECT_THAT(traces.Texts(),
              ElementsAre("Warning: ODBC Success With Info on field 0.\n", "Slow medium\n\n",
                          "State:01000,Native:0,Origin:[FakeODBC][Driver]\n\n"));
}

}  // namespace
