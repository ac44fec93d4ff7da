// Which column a read may ask for: indexes outside the result are refused before any call to
// the driver, and a recordset without result columns leaves the target alone.
#include "tests/db/support/field_reading.h"
#include "tests/db/support/table_cases.h"

namespace {

ResultSet ThreeColumns() {
  ResultSet result;
  result.columns = {Column{u"id", SQL_INTEGER, 10, 0, SQL_NO_NULLS},
                    Column{u"pays", SQL_WVARCHAR, 30},
                    Column{u"marque", SQL_WVARCHAR, 50}};
  result.rows = {{u"7", u"France", u"Dassault"}};
  return result;
}

using FieldIndex = CasesOf<FieldReadTest, short>;

TEST_P(FieldIndex, OutsideTheResultRaisesNoSuchFieldBeforeAnyCall) {
  CRecordset& rs = OpenOn(ThreeColumns());
  const short index = GetParam() == -2 ? rs.m_nResultColumns : GetParam();
  CString value(u"kept");

  const Raised raised = RunCatching([&] { rs.GetFieldValue(index, value); });

  ASSERT_TRUE(IsDbError(raised, dbErrorNoSuchField, kMissingText, ""))
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
  EXPECT_THAT(Calls(), ElementsAre(GetDataLine(3, 102, "SQL_SUCCESS"),
                                   GetDataLine(1, 24, "SQL_SUCCESS")));
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
