// Reads the driver refuses: a column read twice on a row, a read with no current row, driver
// errors with and without diagnostics; each raises the driver's code with the read's own
// traces and leaves the recordset open. And which column a read may ask for: indexes outside
// the result are refused before any call, a recordset without result columns reads nothing.
#include "tests/db/support/field_reading.h"
#include "tests/db/support/table_cases.h"

namespace {

void ExpectStillOpen(const CRecordset& rs) {
  EXPECT_EQ(rs.m_lOpen, 1);
  EXPECT_NE(rs.m_hstmt, nullptr);
  EXPECT_EQ(rs.m_nResultColumns, 1);
  EXPECT_NE(rs.m_pColumnInfo, nullptr);
}

TEST_F(FieldReadTest, ASecondReadOfAColumnRaisesNoDataWithEmptyTexts) {
  CRecordset& rs = OpenOn(SingleColumnResult(kBrandColumn, {u"Airbus", u"Boeing"}));
  CString value = ReadFirst(rs);
  ASSERT_EQ(value.ToUtf8(), "Airbus");
  ForgetCalls();

  ASSERT_TRUE(
      IsDbError(RunCatching([&] { rs.GetFieldValue(0, value); }), SQL_NO_DATA_FOUND, "", ""));
  EXPECT_THAT(traces.Texts(), ElementsAre("Error: GetFieldValue operation failed on field 0.\n",
                                          "\tData already fetched for this field.\n"));
  // No diagnostics are read for this code.
  EXPECT_THAT(Calls(), ElementsAre(GetDataLine(1, 102, kNoData.c_str())));
  ExpectStillOpen(rs);
  EXPECT_EQ(rs.m_lCurrentRow, 0);

  // The next row can be read as usual.
  rs.MoveNext();
  rs.GetFieldValue(0, value);
  EXPECT_EQ(value.ToUtf8(), "Boeing");
}

TEST_F(FieldReadTest, ADriverErrorCarriesTheDriversDiagnostics) {
  CRecordset& rs = OpenOn(SingleColumnResult(kBrandColumn, {u"Airbus"}));
  fakeodbc::answer(Fn::SQLGetData, 1,
                   Answer::fail(SQL_ERROR, {{"S1000", 7, u"[FakeODBC][Driver]Disk I/O error"},
                                            {"HY000", -3, u"Retry later"}}));
  const Raised raised = ReadFirstCatching(rs);

  ASSERT_TRUE(IsDbError(
      raised, SQL_ERROR, "Disk I/O error\nRetry later\n",
      "State:S1000,Native:7,Origin:[FakeODBC][Driver]\nState:HY000,Native:-3,Origin:\n"));
  EXPECT_THAT(traces.Texts(),
              ElementsAre("Error: GetFieldValue operation failed on field 0.\n",
                          "Disk I/O error\n", "State:S1000,Native:7,Origin:[FakeODBC][Driver]\n\n",
                          "Retry later\n", "State:HY000,Native:-3,Origin:\n\n"));
  EXPECT_THAT(Calls(), ElementsAre(GetDataLine(1, 102, "SQL_ERROR"),
                                   "SQLErrorW(env#1, dbc#1, stmt#1, 511) -> SQL_SUCCESS",
                                   "SQLErrorW(env#1, dbc#1, stmt#1, 511) -> SQL_SUCCESS",
                                   "SQLErrorW(env#1, dbc#1, stmt#1, 511) -> SQL_NO_DATA"));
  ExpectStillOpen(rs);
}

using FieldOtherFailure = CasesOf<FieldReadTest, SQLRETURN>;

TEST_P(FieldOtherFailure, IsRaisedWithItsCodeAndNoText) {
  CRecordset& rs = OpenOn(SingleColumnResult(kBrandColumn, {u"Airbus"}));
  fakeodbc::answer(Fn::SQLGetData, 1,
                   Answer::fail(GetParam(), {{"S1000", 0, u"[FakeODBC][Driver]Not read"}}));
  ASSERT_TRUE(IsDbError(ReadFirstCatching(rs), GetParam(), "", ""));
  EXPECT_THAT(traces.Texts(), ElementsAre("Error: GetFieldValue operation failed on field 0.\n"));
  EXPECT_THAT(Calls(), ElementsAre(GetDataLine(1, 102, fakeodbc::returnCodeName(GetParam()).c_str())));
  ExpectStillOpen(rs);
}

INSTANTIATE_TEST_SUITE_P(Codes, FieldOtherFailure,
                         ::testing::Values<SQLRETURN>(SQL_INVALID_HANDLE, SQL_NEED_DATA, 101));

// The read has no check of its own that a row is current: the driver's answer decides.
using FieldWithoutRow = CasesOf<FieldReadTest, int>;

TEST_P(FieldWithoutRow, AsksTheDriverWhoseErrorIsRaised) {
  const int rows = GetParam();
  std::vector<fakeodbc::Cell> cells;
  for (int i = 0; i < rows; ++i) cells.emplace_back(u"Brand " + Letters(1 + i));
  CRecordset& rs = OpenOn(SingleColumnResult(kBrandColumn, cells));
  // Past the last row: an empty result is there already, a one-row result after one move.
  if (rows > 0) rs.MoveNext();
  ASSERT_TRUE(rs.IsEOF());
  ForgetCallsAndTraces();

  ASSERT_TRUE(IsDbError(ReadFirstCatching(rs), SQL_ERROR, "Invalid cursor state\n",
                        "State:24000,Native:0,Origin:[unixODBC][Driver Manager]\n"));
  EXPECT_THAT(traces.Texts(),
              ElementsAre("Error: GetFieldValue operation failed on field 0.\n",
                          "Invalid cursor state\n",
                          "State:24000,Native:0,Origin:[unixODBC][Driver Manager]\n\n"));
  EXPECT_THAT(Calls(), ElementsAreArray(Concat({GetDataLine(1, 102, "SQL_ERROR")},
                                               OneRecordRead())));
  ExpectStillOpen(rs);
  EXPECT_TRUE(rs.IsEOF());
}

INSTANTIATE_TEST_SUITE_P(Rows, FieldWithoutRow, ::testing::Values(0, 1));

TEST_F(FieldReadTest, StillExecutingBeforeAnErrorIsAskedAgainThenRaised) {
  CRecordset& rs = OpenOn(SingleColumnResult(kBrandColumn, {u"Airbus"}));
  Answer answer = Answer::fail(SQL_ERROR, {{"S1T00", 0, u"[FakeODBC][Driver]Timeout expired"}});
  answer.stillExecuting = 2;
  fakeodbc::answer(Fn::SQLGetData, 1, answer);
  ASSERT_TRUE(IsDbError(ReadFirstCatching(rs), SQL_ERROR, "Timeout expired\n"));
  EXPECT_EQ(CountCalls("SQLGetData"), 3);
  // Only the final answer is an error; the repeats trace nothing.
  EXPECT_EQ(traces.Texts().front(), "Error: GetFieldValue operation failed on field 0.\n");
}

ResultSet ThreeColumns() {
  ResultSet result;
  result.columns = {Column{u"id", SQL_INTEGER, 10, 0, SQL_NO_NULLS},
                    Column{u"pays", SQL_WVARCHAR, 30}, Column{u"marque", SQL_WVARCHAR, 50}};
  result.rows = {{u"7", u"France", u"Dassault"}};
  return result;
}

using FieldIndex = CasesOf<FieldReadTest, short>;

TEST_P(FieldIndex, OutsideTheResultRaisesNoSuchFieldBeforeAnyCall) {
  CRecordset& rs = OpenOn(ThreeColumns());
  const short index = GetParam() == -2 ? rs.m_nResultColumns : GetParam();
  CString value(u"kept");

  ASSERT_TRUE(IsDbError(RunCatching([&] { rs.GetFieldValue(index, value); }), dbErrorNoSuchField,
                        kMissingText, ""))
      << "for index " << index;
  EXPECT_THAT(Calls(), IsEmpty());
  // The read traces nothing of its own; the one trace is the raise's text of the own code.
  EXPECT_THAT(traces.Texts(), ElementsAre(kMissingTextTrace));
  EXPECT_EQ(value.ToUtf8(), "kept");
  EXPECT_EQ(rs.m_lOpen, 1);
  EXPECT_NE(rs.m_hstmt, nullptr);
}

// -1 is below the first column, -2 stands for m_nResultColumns (one past the last), and 32767
// wraps below 1 once one is added in 16 bits.
INSTANTIATE_TEST_SUITE_P(Indexes, FieldIndex, ::testing::Values<short>(-1, -2, 32767, -32768));

TEST_F(FieldReadTest, TheLastColumnIsReadByItsNumber) {
  CRecordset& rs = OpenOn(ThreeColumns());
  CString value;
  rs.GetFieldValue(2, value);
  EXPECT_EQ(value.ToUtf8(), "Dassault");
  EXPECT_THAT(Calls(), ElementsAre(GetDataLine(3, 102, "SQL_SUCCESS")));
  rs.GetFieldValue(0, value);
  EXPECT_EQ(value.ToUtf8(), "7");
  EXPECT_THAT(Calls(),
              ElementsAre(GetDataLine(3, 102, "SQL_SUCCESS"), GetDataLine(1, 24, "SQL_SUCCESS")));
  EXPECT_THAT(traces.Texts(), IsEmpty());
}

TEST_F(FieldReadTest, AResultWithoutColumnsLeavesTheTargetUnchanged) {
  CRecordset& rs = OpenOn(ThreeColumns());
  const std::int16_t described = rs.m_nResultColumns;
  CString value(u"kept");
  for (const std::int16_t columns : {std::int16_t{0}, std::int16_t{-1}}) {
    rs.m_nResultColumns = columns;
    // Not even an index that is plainly wrong is examined.
    rs.GetFieldValue(0, value);
    rs.GetFieldValue(-1, value);
    EXPECT_EQ(value.ToUtf8(), "kept") << "with " << columns << " result columns";
  }
  rs.m_nResultColumns = described;
  EXPECT_THAT(Calls(), IsEmpty());
  EXPECT_THAT(traces.Texts(), IsEmpty());
}

TEST_F(FieldReadTest, ARecordsetNeverOpenedReadsNothing) {
  CRecordset rs(database.get());
  ASSERT_EQ(rs.m_nResultColumns, -1);
  ForgetCalls();
  CString value(u"kept");
  rs.GetFieldValue(0, value);
  EXPECT_EQ(value.ToUtf8(), "kept");
  EXPECT_THAT(Calls(), IsEmpty());
}

}  // namespace
