// Values of the current row read in one call into a buffer sized from the column's
// description: plain texts, NULL, numbers and texts cut to their buffer, and the answers of a
// driver that refuses the read.
#include "tests/db/support/field_reading.h"
#include "tests/db/support/table_cases.h"

namespace {

TEST_F(FieldReadTest, AShortTextIsReadInOneCallWithABufferOfItsColumnSize) {
  CRecordset& rs = OpenOn(SingleColumnResult(kBrandColumn, {u"Airbus"}));
  CString value = ReadFirst(rs);
  EXPECT_EQ(value.ToUtf8(), "Airbus");
  EXPECT_EQ(value.GetLength(), 6);
  // 51 characters: the column size and a terminator.
  EXPECT_THAT(Calls(), ElementsAre(GetDataLine(1, 102, "SQL_SUCCESS")));
  EXPECT_THAT(traces.Texts(), IsEmpty());
}

TEST_F(FieldReadTest, AReadReplacesWhateverTheTargetHeld) {
  CRecordset& rs = OpenOn(SingleColumnResult(kBrandColumn, {u"Boeing"}));
  CString value(Letters(80));
  rs.GetFieldValue(0, value);
  EXPECT_EQ(value.ToUtf8(), "Boeing");
}

TEST_F(FieldReadTest, ANullValueReadsAsTheEmptyTextWithoutTrace) {
  CRecordset& rs = OpenOn(SingleColumnResult(kBrandColumn, {std::nullopt, u"Cessna"}));
  CString value(u"previous");
  rs.GetFieldValue(0, value);
  EXPECT_TRUE(value.IsEmpty());
  EXPECT_THAT(Calls(), ElementsAre(GetDataLine(1, 102, "SQL_SUCCESS")));
  EXPECT_THAT(traces.Texts(), IsEmpty());

  // The recordset goes on as before: the next row reads normally.
  rs.MoveNext();
  rs.GetFieldValue(0, value);
  EXPECT_EQ(value.ToUtf8(), "Cessna");
}

TEST_F(FieldReadTest, AnEmptyTextIsNotNullButReadsTheSame) {
  CRecordset& rs = OpenOn(SingleColumnResult(kBrandColumn, {u""}));
  CString value(u"previous");
  rs.GetFieldValue(0, value);
  EXPECT_TRUE(value.IsEmpty());
  EXPECT_THAT(traces.Texts(), IsEmpty());
}

// The first buffer by SQL type: the column size and room for a terminator, a sign and a
// decimal point as the type needs them.
struct BufferCase {
  SQLSMALLINT sqlType;
  SQLULEN columnSize;
  const char16_t* value;
  long bufferBytes;
};

void PrintTo(const BufferCase& c, std::ostream* os) {
  *os << "SQL type " << c.sqlType << " size " << c.columnSize;
}

using FieldBuffer = CasesOf<FieldReadTest, BufferCase>;

TEST_P(FieldBuffer, IsSizedFromTheColumnDescription) {
  const BufferCase& c = GetParam();
  CRecordset& rs = OpenOn(SingleColumnResult(Column{u"v", c.sqlType, c.columnSize}, {c.value}));
  EXPECT_EQ(ReadFirst(rs).Str(), c.value);
  EXPECT_THAT(Calls(), ElementsAre(GetDataLine(1, c.bufferBytes, "SQL_SUCCESS")));
  EXPECT_THAT(traces.Texts(), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    SqlTypes, FieldBuffer,
    ::testing::Values(
        BufferCase{SQL_TYPE_TIMESTAMP, 19, u"2024-02-29 23:59:59", 2 * 20},
        BufferCase{SQL_DOUBLE, 15, u"-1.2345678901234", 2 * 18},
        BufferCase{SQL_INTEGER, 10, u"-2147483648", 2 * 12}, BufferCase{SQL_BIT, 1, u"1", 2 * 2},
        BufferCase{SQL_NUMERIC, 10, u"-12345.6789", 2 * 13},
        BufferCase{SQL_WVARCHAR, 50, u"Airbus", 2 * 51}, BufferCase{SQL_WVARCHAR, 0, u"", 2 * 1},
        BufferCase{SQL_FLOAT, 15, u"-1.5E+300", 2 * 18}, BufferCase{SQL_WCHAR, 3, u"ABC", 2 * 4},
        BufferCase{SQL_VARCHAR, 8, u"Dassault", 2 * 9}, BufferCase{SQL_DECIMAL, 4, u"-1.25", 2 * 7},
        BufferCase{SQL_SMALLINT, 5, u"-32768", 2 * 7}, BufferCase{SQL_REAL, 7, u"-1.5E+30", 2 * 10},
        // The long types start with one or two characters.
        BufferCase{SQL_LONGVARBINARY, 65535, u"", 2 * 1},
        BufferCase{SQL_WLONGVARCHAR, 65535, u"X", 2 * 2},
        BufferCase{SQL_LONGVARCHAR, 65535, u"", 2 * 1}));

// A value whose text does not fit the buffer its description gives: the driver reports the
// truncation and the whole length, and the rest is read in one more call, whatever the type.
struct LongerValueCase {
  const char* name;
  fakeodbc::Column column;
  std::u16string value;
  long firstBytes;
  long restBytes;
};

DB_PRINT_ROWS_BY_NAME(LongerValueCase)

using LongerThanItsBuffer = CasesOf<FieldReadTest, LongerValueCase>;

TEST_P(LongerThanItsBuffer, IsReadWholeInASecondCall) {
  const LongerValueCase& c = GetParam();
  CRecordset& rs = OpenOn(SingleColumnResult(c.column, {c.value}));
  EXPECT_EQ(ReadFirst(rs).Str(), c.value);
  EXPECT_THAT(GetDataCalls(), ElementsAre(GetDataLine(1, c.firstBytes, "SQL_SUCCESS_WITH_INFO"),
                                          GetDataLine(1, c.restBytes, "SQL_SUCCESS")));
  // The truncation is what reading in pieces expects: no warning.
  EXPECT_THAT(traces.Texts(), IsEmpty());
}

DB_NAMED_CASES(
    Values, LongerThanItsBuffer,
    // 18 characters for size 15: 17 arrive, the other 6 and a terminator follow.
    LongerValueCase{"double", Column{u"v", SQL_DOUBLE, 15}, u"1.2345678901234567e+300",
                    2 * 18, 2 * 7},
    LongerValueCase{"tinyint", Column{u"v", SQL_TINYINT, 3}, u"-128", 2 * 4, 2 * 2},
    // A text beyond its described size, as SQLite keeps one.
    LongerValueCase{"varchar", Column{u"marque", SQL_WVARCHAR, 5}, u"Dassault Aviation",
                    2 * 6, 2 * 13});

// A driver that delivers only 8-bit text refuses the wide read; the column is read as text in
// the code page instead, in pieces when it is longer than its description.
TEST_F(FieldReadTest, AColumnTheDriverRefusesAsWideTextIsReadInTheCodePage) {
  CRecordset& rs =
      OpenOn(SingleColumnResult(Column{u"marque", SQL_VARCHAR, 4}, {u"Dassault", u"Airbus"}));
  const Answer refused = Answer::fail(
      SQL_ERROR, {{"07006", 14, u"[FakeODBC][Driver]Restricted data type attribute violation"}});
  fakeodbc::answer(Fn::SQLGetData, 1, refused);
  CString value = ReadFirst(rs);
  EXPECT_EQ(value.ToUtf8(), "Dassault");
  // 4 bytes and a terminator, then the other 4 with theirs.
  EXPECT_THAT(GetDataCalls(),
              ElementsAre(GetDataLine(1, 10, "SQL_ERROR"),
                          "SQLGetData(stmt#1, 1, SQL_C_CHAR, 5) -> SQL_SUCCESS_WITH_INFO",
                          "SQLGetData(stmt#1, 1, SQL_C_CHAR, 5) -> SQL_SUCCESS"));
  EXPECT_THAT(traces.Texts(), Contains("Warning: field 0 read as text in the code page.\n"));

  // Any other failure of the wide read is raised.
  rs.MoveNext();
  fakeodbc::answer(Fn::SQLGetData, 1,
                   Answer::fail(SQL_ERROR, {{"S1000", 0, u"[FakeODBC][Driver]Broken"}}));
  EXPECT_TRUE(IsDbError(RunCatching([&] { rs.GetFieldValue(0, value); }), SQL_ERROR, "Broken\n"));
}

TEST_F(FieldReadTest, AWarningOtherThanTruncationIsTracedAndTheValueKept) {
  CRecordset& rs = OpenOn(SingleColumnResult(kBrandColumn, {u"Airbus"}));
  fakeodbc::answer(Fn::SQLGetData, 1,
                   Answer::withInfo({{"01000", 12, u"[FakeODBC][Driver]General warning"},
                                     {"01S07", 0, u"[FakeODBC][Driver]Fractional truncation"}}));
  const std::string kStates =
      "State:01000,Native:12,Origin:[FakeODBC][Driver]\n"
      "State:01S07,Native:0,Origin:[FakeODBC][Driver]\n";
  EXPECT_EQ(ReadFirst(rs).ToUtf8(), "Airbus");
  EXPECT_THAT(traces.Texts(),
              ElementsAre("Warning: ODBC Success With Info on field 0.\n",
                          "General warning\nFractional truncation\n\n",
                          // Two state lines make 94 characters: traced in pieces of 80.
                          kStates.substr(0, 80) + "\n", kStates.substr(80) + "\n"));
  // The records are consumed: three reads, the last finding none left.
  EXPECT_EQ(CountCalls("SQLErrorW"), 3);
  EXPECT_THAT(fakeodbc::pendingDiags(rs.m_hstmt), IsEmpty());
}

TEST_F(FieldReadTest, StillExecutingIsAskedAgainUntilTheDriverAnswers) {
  CRecordset& rs = OpenOn(SingleColumnResult(kBrandColumn, {u"Airbus"}));
  fakeodbc::answer(Fn::SQLGetData, 1, Answer::still(5));
  EXPECT_EQ(ReadFirst(rs).ToUtf8(), "Airbus");
  std::vector<std::string> expected(5, GetDataLine(1, 102, "SQL_STILL_EXECUTING"));
  expected.push_back(GetDataLine(1, 102, "SQL_SUCCESS"));
  EXPECT_THAT(Calls(), ElementsAreArray(expected));
  EXPECT_THAT(traces.Texts(), IsEmpty());
}

}  // namespace
