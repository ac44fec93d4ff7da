// Opening the program's statement on a healthy driver: the exact ODBC calls, the state of an
// opened recordset, empty results, repeated calls, the description of the result columns, and
// the storage an open prepares around the result (field, parameter and row status state).
#include "tests/db/support/db_fixture.h"
#include "tests/db/support/recordset_fields.h"
#include "tests/db/support/scripted_answers.h"

namespace {

class OpenRoad : public DbConnectedTest {};

TEST_F(OpenRoad, ProgramStatementMakesTheListedCallsInOrder) {
  const std::size_t mark = fakeodbc::callCount();
  OpenBrands(CRecordset::addOnly);

  // The construction's allocation, the S1010 probe of IsOpen with its diagnostic read from the
  // statement, then the open itself. The healthy driver offers SQL_SCCO_LOCK only among the
  // updatable concurrencies.
  EXPECT_EQ(CallLinesAfter(mark), RecordsetOpenCalls());
  EXPECT_EQ(CountCallsAfter(mark, "SQLExecDirectW"), 0);

  // Nothing on the road is worth a trace.
  EXPECT_TRUE(traces.Texts().empty()) << traces.Joined();
}

TEST_F(OpenRoad, OpenedRecordsetStandsOnTheFirstRow) {
  CRecordset& rs = OpenBrands(CRecordset::addOnly);

  EXPECT_EQ(rs.m_lOpen, 1);
  EXPECT_FALSE(rs.m_bBOF);
  EXPECT_FALSE(rs.m_bEOF);
  EXPECT_EQ(rs.m_lCurrentRow, 0);
  EXPECT_EQ(rs.m_nOpenType, CRecordset::staticCursor);
  EXPECT_EQ(rs.m_dwOpenOptions, DWORD{CRecordset::addOnly});
  EXPECT_TRUE(rs.m_bAppendable);
  EXPECT_FALSE(rs.m_bUpdatable);
  EXPECT_TRUE(rs.m_bScrollable);
  EXPECT_EQ(rs.m_strSQL, kBrandStatement);
  EXPECT_EQ(rs.m_strOpenedSQL, kBrandStatement);
  EXPECT_EQ(rs.m_dwConcurrencyModel, DWORD{SQL_CONCUR_LOCK});
  EXPECT_EQ(rs.m_dwRowsPerFetch, 1u);
  ASSERT_NE(rs.m_pRowStatus, nullptr);
  EXPECT_EQ(rs.m_pRowStatus[0], SQL_ROW_SUCCESS);
  EXPECT_EQ(rs.m_dwFetchedRows, 1u);
  EXPECT_EQ(rs.m_nFieldsBound, -1);
  EXPECT_TRUE(rs.IsOpen());

  // The statement carries the options the open chose.
  EXPECT_EQ(fakeodbc::statementOption(rs.m_hstmt, SQL_CURSOR_TYPE), SQLULEN{SQL_CURSOR_STATIC});
  EXPECT_EQ(fakeodbc::statementOption(rs.m_hstmt, SQL_CONCURRENCY), SQLULEN{SQL_CONCUR_LOCK});
  EXPECT_EQ(fakeodbc::statementOption(rs.m_hstmt, SQL_QUERY_TIMEOUT), SQLULEN{15});

  // Registered once, at the head of its connection's list.
  ASSERT_EQ(database->m_listRecordsets.GetCount(), 1);
  EXPECT_EQ(database->m_listRecordsets.GetHead(), &rs);

  // The one column as the driver describes it.
  ASSERT_EQ(rs.m_nResultColumns, 1);
  ASSERT_NE(rs.m_pColumnInfo, nullptr);
  EXPECT_EQ(rs.m_pColumnInfo[0].m_strColumnName, u"marque");
  EXPECT_EQ(rs.m_pColumnInfo[0].m_nDataType, SQL_WVARCHAR);
  EXPECT_EQ(rs.m_pColumnInfo[0].m_nColumnSize, 50u);
  EXPECT_EQ(rs.m_pColumnInfo[0].m_nDecimalDigits, 0);
  EXPECT_EQ(rs.m_pColumnInfo[0].m_nNullable, SQL_NULLABLE);

  // The first row is really current: the next move reaches the second one.
  rs.MoveNext();
  EXPECT_EQ(rs.m_lCurrentRow, 1);
  EXPECT_FALSE(rs.m_bEOF);
}

TEST_F(OpenRoad, EmptyResultOpensWithBothEndsSet) {
  ResultSet empty = fakeodbc::healthyResult();
  empty.rows.clear();
  fakeodbc::setResult(empty);

  CRecordset& rs = OpenBrands(CRecordset::addOnly);
  EXPECT_EQ(rs.m_lOpen, 1);
  EXPECT_TRUE(rs.m_bBOF);
  EXPECT_TRUE(rs.m_bEOF);
  EXPECT_EQ(rs.m_lCurrentRow, -1);
  EXPECT_EQ(rs.m_nResultColumns, 1);
}

TEST_F(OpenRoad, SingleRowResultStandsOnItsRow) {
  ResultSet one = fakeodbc::healthyResult();
  one.rows.resize(1);
  fakeodbc::setResult(one);

  CRecordset& rs = OpenBrands(CRecordset::addOnly);
  EXPECT_FALSE(rs.m_bBOF);
  EXPECT_FALSE(rs.m_bEOF);
  EXPECT_EQ(rs.m_lCurrentRow, 0);
}

TEST_F(OpenRoad, CallsStillExecutingAreRepeatedUntilTheyAnswer) {
  fakeodbc::answer(Fn::SQLPrepareW, 1, Answer::still(2));
  fakeodbc::answer(Fn::SQLExecute, 1, Answer::still(3));
  // The first SQLNumResultCols is the probe of IsOpen; the second describes the result.
  fakeodbc::answer(Fn::SQLNumResultCols, 2, Answer::still(1));
  fakeodbc::answer(Fn::SQLDescribeColW, 1, Answer::still(2));

  const std::size_t mark = fakeodbc::callCount();
  CRecordset& rs = OpenBrands(CRecordset::addOnly);

  EXPECT_EQ(CountCallsAfter(mark, "SQLPrepareW"), 3);
  EXPECT_EQ(CountCallsAfter(mark, "SQLExecute"), 4);
  EXPECT_EQ(CountCallsAfter(mark, "SQLNumResultCols"), 3);
  EXPECT_EQ(CountCallsAfter(mark, "SQLDescribeColW"), 3);
  EXPECT_EQ(rs.m_lOpen, 1);
  EXPECT_EQ(rs.m_pColumnInfo[0].m_strColumnName, u"marque");
  EXPECT_EQ(rs.m_lCurrentRow, 0);
}

TEST_F(OpenRoad, DirectExecutionSendsTheTextOnceWithoutPrepare) {
  const std::size_t mark = fakeodbc::callCount();
  CRecordset& rs = OpenBrands(CRecordset::addOnly | CRecordset::directExecute);

  EXPECT_EQ(CountCallsAfter(mark, "SQLPrepareW"), 0);
  EXPECT_EQ(CountCallsAfter(mark, "SQLExecute"), 0);
  EXPECT_THAT(CallLinesAfter(mark), Contains("SQLExecDirectW(stmt#1, \"SELECT marque FROM avion "
                                             "\", SQL_NTS) -> SQL_SUCCESS"));
  EXPECT_EQ(rs.m_lOpen, 1);
  EXPECT_EQ(rs.m_lCurrentRow, 0);
}

TEST_F(OpenRoad, EveryResultColumnIsDescribed) {
  ResultSet result;
  result.columns = {Column{u"id", SQL_INTEGER, 10, 0, SQL_NO_NULLS},
                    Column{u"prix", SQL_DECIMAL, 12, 2, SQL_NULLABLE},
                    Column{u"marque", SQL_WVARCHAR, 50, 0, SQL_NULLABLE_UNKNOWN}};
  result.rows = {{u"1", u"3.50", u"Airbus"}};
  fakeodbc::setResult(result);

  const std::size_t mark = fakeodbc::callCount();
  CRecordset rs(database.get());
  ASSERT_TRUE(rs.Open(CRecordset::staticCursor, u"SELECT id, prix, marque FROM avion",
                      CRecordset::readOnly));

  ASSERT_EQ(rs.m_nResultColumns, 3);
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(i);
    const Column& expected = result.columns[static_cast<size_t>(i)];
    EXPECT_EQ(rs.m_pColumnInfo[i].m_strColumnName.Str(), expected.name);
    EXPECT_EQ(rs.m_pColumnInfo[i].m_nDataType, expected.sqlType);
    EXPECT_EQ(rs.m_pColumnInfo[i].m_nColumnSize, expected.size);
    EXPECT_EQ(rs.m_pColumnInfo[i].m_nDecimalDigits, expected.decimalDigits);
    EXPECT_EQ(rs.m_pColumnInfo[i].m_nNullable, expected.nullable);
  }
  for (int n = 1; n <= 3; ++n) {
    EXPECT_THAT(CallLinesAfter(mark), Contains("SQLDescribeColW(stmt#1, " + std::to_string(n) +
                                               ", 256) -> SQL_SUCCESS"));
  }
}

void UseColumnNamed(const std::u16string& name) {
  ResultSet result = fakeodbc::healthyResult();
  result.columns[0].name = name;
  fakeodbc::setResult(result);
}

using OpenColumnNames = OpenRoad;

TEST_F(OpenColumnNames, NameFillingTheWholeBufferLeavesRoomForTheTerminator) {
  UseColumnNamed(std::u16string(256, u'n'));

  CRecordset& rs = OpenBrands(CRecordset::addOnly);
  // A buffer length of 256 characters takes 255 of them and the terminator; the reported
  // length (256) would take the terminator into the name.
  EXPECT_EQ(rs.m_pColumnInfo[0].m_strColumnName.Str(), std::u16string(255, u'n'));
}

TEST_F(OpenColumnNames, LongerNameIsCutWithinItsBufferAndOpenGoesOn) {
  std::u16string name;
  for (int i = 0; i < 300; ++i) name += static_cast<char16_t>(u'a' + i % 26);
  UseColumnNamed(name);

  CRecordset& rs = OpenBrands(CRecordset::addOnly);

  const CString& kept = rs.m_pColumnInfo[0].m_strColumnName;
  EXPECT_LE(kept.GetLength(), 256);
  EXPECT_EQ(kept.Str(), name.substr(0, 255));
  EXPECT_EQ(kept.View().find(u'\0'), std::u16string_view::npos);
  // The cut is the driver's success with information, traced and not an error.
  EXPECT_THAT(traces.Joined(), ::testing::AllOf(HasSubstr("Warning: ODBC Success With Info, "),
                                                HasSubstr("State:01004")));
  EXPECT_EQ(rs.m_lCurrentRow, 0);
}

TEST_F(OpenColumnNames, ReportedLengthIsTrustedOnlyWithinTheWrittenName) {
  struct Case {
    SQLLEN reported;
    const char16_t* name;
  };
  // Far larger than what the driver wrote, negative, or shorter, which closes the name there.
  for (const Case& c : {Case{1000, u"marque"}, Case{-5, u"marque"}, Case{3, u"mar"}}) {
    SCOPED_TRACE(c.reported);
    fakeodbc::answer(Fn::SQLDescribeColW, 1, ReportingLength(c.reported));
    EXPECT_EQ(OpenBrands(CRecordset::addOnly).m_pColumnInfo[0].m_strColumnName, c.name);
  }
}

// A recordset that records how the open asked for its rows per fetch.
class CountingRowsPerFetch : public CRecordset {
 public:
  using CRecordset::CRecordset;
  void SetRowsPerFetch(DWORD rows) override { m_asked.push_back(rows); }
  std::vector<DWORD> m_asked;
};

class OpenFieldState : public DbConnectedTest {
 protected:
  void SetUp() override {
    DbConnectedTest::SetUp();
    ResultSet result = fakeodbc::healthyResult();
    result.columns.push_back(Column{u"pays", SQL_WVARCHAR, 30, 0, SQL_NULLABLE});
    for (auto& row : result.rows) row.push_back(u"France");
    fakeodbc::setResult(result);
  }
};

TEST_F(OpenFieldState, RecordsetWithBoundFieldsGetsZeroedStateForEach) {
  FieldRecordset rs(database.get(), {u"marque", u"pays"});
  ASSERT_TRUE(rs.Open(CRecordset::staticCursor, u"avion", CRecordset::readOnly));

  // The bare table became a SELECT of the bound fields.
  EXPECT_EQ(rs.m_strSQL, u"SELECT marque,pays  FROM avion");
  ASSERT_NE(rs.m_pBoundFieldInfo, nullptr);
  ASSERT_NE(rs.m_pFieldState, nullptr);
  for (DWORD i = 0; i < rs.m_nFields; ++i) {
    EXPECT_EQ(rs.m_pFieldState[i], 0) << i;
    EXPECT_EQ(rs.m_pBoundFieldInfo[i].m_nLength, 0) << i;
    EXPECT_EQ(rs.m_pBoundFieldInfo[i].m_nStatus, 0) << i;
  }
  // No parameters, no parameter state.
  EXPECT_EQ(rs.m_pParamState, nullptr);
  EXPECT_EQ(rs.m_pParamLengths, nullptr);
  EXPECT_EQ(rs.m_nFieldsBound, 2);
  EXPECT_EQ(rs.m_lCurrentRow, 0);
}

TEST_F(OpenFieldState, FieldStateIsMadeOnlyWhereItIsMissing) {
  CRecordset rs(database.get());
  rs.m_nFields = 3;
  rs.m_nParams = 2;
  BYTE kept[3] = {7, 8, 9};
  rs.m_pFieldState = kept;

  rs.AllocateFieldState();

  EXPECT_EQ(rs.m_pFieldState, kept);
  EXPECT_EQ(kept[0], 7);
  ASSERT_NE(rs.m_pBoundFieldInfo, nullptr);
  ASSERT_NE(rs.m_pParamState, nullptr);
  ASSERT_NE(rs.m_pParamLengths, nullptr);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(rs.m_pBoundFieldInfo[i].m_pValueCopy, nullptr);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(rs.m_pParamState[i], 0);
    EXPECT_EQ(rs.m_pParamLengths[i], 0);
  }
  rs.m_pFieldState = nullptr;  // not ours to free
  rs.Close();
  EXPECT_EQ(rs.m_pBoundFieldInfo, nullptr);
  EXPECT_EQ(rs.m_pParamState, nullptr);
  EXPECT_EQ(rs.m_pParamLengths, nullptr);
}

TEST_F(OpenFieldState, RecordsetWithoutFieldsOrParametersGetsNoState) {
  CRecordset& rs = OpenBrands(CRecordset::addOnly);
  EXPECT_EQ(rs.m_pBoundFieldInfo, nullptr);
  EXPECT_EQ(rs.m_pFieldState, nullptr);
  EXPECT_EQ(rs.m_pParamState, nullptr);
  EXPECT_EQ(rs.m_pParamLengths, nullptr);
}

TEST_F(OpenFieldState, SingleRowFetchGetsOneStatusEntry) {
  CRecordset rs(database.get());
  ASSERT_EQ(rs.m_dwRowsPerFetch, 25u);
  rs.SetUpRowStatus();
  ASSERT_NE(rs.m_pRowStatus, nullptr);
  EXPECT_EQ(rs.m_pRowStatus[0], 0);
  EXPECT_EQ(rs.m_dwRowsPerFetch, 1u);
  rs.Close();
}

TEST_F(OpenFieldState, MultiRowFetchLeavesTheRowsToSetRowsPerFetch) {
  CountingRowsPerFetch rs(database.get());
  rs.m_dwOpenOptions = CRecordset::multiRowFetch;
  rs.m_dwRowsPerFetch = 40;
  rs.SetUpRowStatus();
  EXPECT_EQ(rs.m_asked, std::vector<DWORD>{40});
  EXPECT_EQ(rs.m_pRowStatus, nullptr);
  EXPECT_EQ(rs.m_dwRowsPerFetch, 40u);
}

}  // namespace
