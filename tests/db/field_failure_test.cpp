// Reads the driver refuses: a column read twice on a row, a read with no current row, driver
// errors with and without diagnostics. Each raises the driver's code with the read's own
// traces and leaves the recordset open.
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

  const Raised raised = RunCatching([&] { rs.GetFieldValue(0, value); });

  ASSERT_TRUE(IsDbError(raised, SQL_NO_DATA_FOUND, "", ""));
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
  const Raised raised = ReadFirstCatching(rs);

  ASSERT_TRUE(IsDbError(raised, GetParam(), "", ""));
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
  ForgetCalls();
  traces.Clear();

  const Raised raised = ReadFirstCatching(rs);

  ASSERT_TRUE(IsDbError(raised, SQL_ERROR, "Invalid cursor state\n",
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
  const Raised raised = ReadFirstCatching(rs);
  ASSERT_TRUE(IsDbError(raised, SQL_ERROR, "Timeout expired\n"));
  EXPECT_EQ(CountCalls("SQLGetData"), 3);
  // Only the final answer is an error; the repeats trace nothing.
  EXPECT_EQ(traces.Texts().front(), "Error: GetFieldValue operation failed on field 0.\n");
}

}  // namespace
