// The field exchange passes, the rows-per-fetch setting, the overridable hooks' base
// behaviour and the diagnostic dump.
#include "db/field_exchange.h"
#include "framework/dump_context.h"
#include "tests/db/support/db_fixture.h"
#include "tests/db/support/recordset_fields.h"

namespace {

TEST(FieldNames, ListsEveryBoundFieldWithTheSeparator) {
  FieldRecordset rs(nullptr, {u"a", u"[b c]", u"d"});
  CString text(u"x:");
  EXPECT_EQ(rs.AppendFieldNames(&text, u", "), 3u);
  EXPECT_EQ(text, u"x:a, [b c], d, ");
  EXPECT_THAT(rs.m_modes, ElementsAre(CFieldExchange::Name));
}

TEST(FieldNames, NoBoundFieldAppendsNothing) {
  CRecordset rs(nullptr);
  CString text(u"SELECT ");
  EXPECT_EQ(rs.AppendFieldNames(&text, u","), 0u);
  EXPECT_EQ(text, u"SELECT ");
}

TEST(FieldNames, MultiRowFetchUsesTheMultiRowExchange) {
  FieldRecordset rs(nullptr, {u"a", u"b"});
  rs.m_dwOpenOptions = CRecordset::multiRowFetch;
  rs.m_bBulkExchange = true;
  CString text;
  EXPECT_EQ(rs.AppendFieldNames(&text, u","), 2u);
  EXPECT_EQ(text, u"a,b,");
  EXPECT_THAT(rs.m_bulkPasses, ElementsAre(true));
}

TEST(FieldNames, MultiRowFetchWithoutAMultiRowExchangeIsRefused) {
  CRecordset rs(nullptr);
  rs.m_dwOpenOptions = CRecordset::multiRowFetch;
  CString text;
  EXPECT_TRUE(RaisesInvalidArg([&] { rs.AppendFieldNames(&text, u","); }));
  EXPECT_TRUE(text.IsEmpty());
}

TEST(FieldNames, NullTextIsRefused) {
  FieldRecordset rs(nullptr, {u"a"});
  EXPECT_TRUE(RaisesInvalidArg([&] { rs.AppendFieldNames(nullptr, u","); }));
}

TEST(FieldPasses, BindParametersCountsWhatTheExchangeDeclares) {
  FieldRecordset rs(nullptr, {u"p1", u"p2", u"p3"});
  EXPECT_EQ(rs.BindParameters(SQL_NULL_HSTMT), 3u);
  EXPECT_THAT(rs.m_modes, ElementsAre(CFieldExchange::BindParam));
  CRecordset none(nullptr);
  EXPECT_EQ(none.BindParameters(SQL_NULL_HSTMT), 0u);
}

TEST(FieldPasses, MarkFieldsChangedSetsEachStatusByte) {
  FieldRecordset rs(nullptr, {u"a", u"b", u"c"});
  auto state = std::make_unique<BYTE[]>(3);
  rs.m_pFieldState = state.get();
  rs.MarkFieldsChanged();
  EXPECT_THAT(std::vector<BYTE>(state.get(), state.get() + 3), ::testing::Each(::testing::Ne(0)));
  rs.m_pFieldState = nullptr;
}

TEST(FieldPasses, MarkFieldsChangedStaysInsideTheStatusBytes) {
  // More fields exchanged than the status bytes were made for: only those are marked.
  FieldRecordset rs(nullptr, {u"a", u"b", u"c"});
  rs.m_nFields = 1;
  auto state = std::make_unique<BYTE[]>(1);
  rs.m_pFieldState = state.get();
  rs.MarkFieldsChanged();
  EXPECT_NE(state[0], 0);
  rs.m_pFieldState = nullptr;
}

TEST(FieldPasses, MarkFieldsChangedWithoutStatusBytesChangesNothing) {
  FieldRecordset rs(nullptr, {u"a"});
  rs.MarkFieldsChanged();
  EXPECT_EQ(rs.m_pFieldState, nullptr);
  EXPECT_THAT(rs.m_modes, ElementsAre(CFieldExchange::MarkChanged));
}

TEST(FieldPasses, EachModeDoesItsOwnShare) {
  CString value;
  CString names;
  for (CFieldExchange::Mode mode :
       {CFieldExchange::BindParam, CFieldExchange::BindFieldToColumn, CFieldExchange::Fixup,
        CFieldExchange::MarkChanged, CFieldExchange::Name, CFieldExchange::FreeBuffers}) {
    CRecordset rs(nullptr);
    CFieldExchange fx(mode, &rs);
    fx.m_pstr = &names;
    fx.m_lpszSeparator = u";";
    ExchangeField(&fx, u"col", value);
    ExchangeField(&fx, u"col2", value);
    const bool countsFields = mode == CFieldExchange::BindFieldToColumn ||
                              mode == CFieldExchange::MarkChanged || mode == CFieldExchange::Name;
    EXPECT_EQ(fx.m_nFields, countsFields ? 2u : 0u) << mode;
    EXPECT_EQ(fx.m_nParams, mode == CFieldExchange::BindParam ? 2u : 0u) << mode;
  }
  // Only the name pass wrote text; no pass touched the value.
  EXPECT_EQ(names, u"col;col2;");
  EXPECT_TRUE(value.IsEmpty());
}

TEST(FieldPasses, BadArgumentsAreRefused) {
  CRecordset rs(nullptr);
  CString value;
  CFieldExchange names(CFieldExchange::Name, &rs);
  EXPECT_TRUE(RaisesInvalidArg([&] { ExchangeField(nullptr, u"a", value); }));
  EXPECT_TRUE(RaisesInvalidArg([&] { ExchangeField(&names, nullptr, value); }));
  // The name pass needs its text.
  EXPECT_TRUE(RaisesInvalidArg([&] { ExchangeField(&names, u"a", value); }));
  EXPECT_EQ(names.m_nFields, 0u);
}

TEST(RecordsetHooks, BaseBehaviour) {
  CRecordset rs(nullptr);
  EXPECT_EQ(rs.DefaultConnectString(), u"ODBC;");
  EXPECT_TRUE(rs.DefaultStatementText().IsEmpty());
  EXPECT_EQ(rs.NextLongFetchSize(100), 200u);
  EXPECT_EQ(rs.NextLongBufferSize(100), 200u);
  CFieldExchange fx(CFieldExchange::Name, &rs);
  EXPECT_TRUE(RaisesInvalidArg([&] { rs.ExchangeFieldsInBulk(&fx); }));
  EXPECT_TRUE(RaisesInvalidArg([&] { rs.ApplyUpdateStatementOptions(SQL_NULL_HSTMT); }));
}

using RowsPerFetchOnStatement = DbConnectedTest;

TEST_F(RowsPerFetchOnStatement, UpdateStatementHookAsksTheDriverNothing) {
  CRecordset statement(&db);
  fakeodbc::clearLog();
  statement.ApplyUpdateStatementOptions(statement.m_hstmt);
  EXPECT_THAT(fakeodbc::callNames(), IsEmpty());
  statement.Close();
}

TEST_F(RowsPerFetchOnStatement, RowsPerFetchSetsTheRowsetSizeAndTheStatusArray) {
  CRecordset statement(&db);
  fakeodbc::clearLog();
  statement.SetRowsPerFetch(5);
  EXPECT_THAT(fakeodbc::callLines(),
              ElementsAre("SQLSetStmtOption(stmt#1, SQL_ROWSET_SIZE, 5) -> SQL_SUCCESS"));
  EXPECT_EQ(fakeodbc::statementOption(statement.m_hstmt, SQL_ROWSET_SIZE), 5u);
  EXPECT_EQ(statement.m_dwRowsPerFetch, 5u);
  ASSERT_NE(statement.m_pRowStatus, nullptr);
  for (int row = 0; row < 5; ++row) EXPECT_EQ(statement.m_pRowStatus[row], 0);

  // A smaller size replaces the array.
  statement.SetRowsPerFetch(2);
  EXPECT_EQ(statement.m_dwRowsPerFetch, 2u);
  EXPECT_EQ(fakeodbc::statementOption(statement.m_hstmt, SQL_ROWSET_SIZE), 2u);
  statement.Close();
  EXPECT_EQ(statement.m_pRowStatus, nullptr);
}

TEST_F(RowsPerFetchOnStatement, RowsPerFetchFailureIsRaisedAndChangesNothing) {
  CRecordset statement(&db);
  fakeodbc::answer(Fn::SQLSetStmtOption, 1,
                   Answer::fail(SQL_ERROR, {{"S1092", 0, u"[D]Option out of range"}}));
  EXPECT_TRUE(IsDbError(RunCatching([&] { statement.SetRowsPerFetch(5); }), SQL_ERROR,
                        "Option out of range\n"));
  EXPECT_THAT(traces.Texts(),
              ElementsAre("Error: ODBC failure setting rows per fetch.\n",
                          "Option out of range\n", "State:S1092,Native:0,Origin:[D]\n\n"));
  EXPECT_EQ(statement.m_dwRowsPerFetch, 25u);
  EXPECT_EQ(statement.m_pRowStatus, nullptr);
  statement.Close();
}

TEST(RowsPerFetch, WithoutAStatementOnlyTheSizeIsKept) {
  fakeodbc::reset();
  CRecordset rs(nullptr);
  rs.SetRowsPerFetch(10);
  EXPECT_EQ(rs.m_dwRowsPerFetch, 10u);
  EXPECT_EQ(rs.m_pRowStatus, nullptr);
  EXPECT_THAT(fakeodbc::callNames(), IsEmpty());
  EXPECT_TRUE(RaisesInvalidArg([&] { rs.SetRowsPerFetch(0); }));
  EXPECT_EQ(rs.m_dwRowsPerFetch, 10u);
}

TEST(RecordsetDump, MembersThenTheConnection) {
  CDatabase db;
  db.m_strConnect = u"ODBC;DSN=x";
  CRecordset rs(&db);
  rs.m_strSQL = u"SELECT a FROM t";
  rs.m_strFromTable = u"t";
  CDumpContext dc;
  rs.Dump(dc);
  const std::string& text = dc.Text();
  EXPECT_THAT(text, HasSubstr("a CRecordset at $"));
  EXPECT_THAT(text, HasSubstr("\nm_strSQL = SELECT a FROM t\n"));
  EXPECT_THAT(text, HasSubstr("\nm_strFromTable = t\n"));
  EXPECT_THAT(text, HasSubstr("\nm_lOpen = -1\n"));
  const size_t connection = text.find("a CDatabase at $");
  ASSERT_NE(connection, std::string::npos);
  EXPECT_GT(connection, text.find("m_strSQL = "));
  EXPECT_THAT(text.substr(connection), HasSubstr("m_strConnect = ODBC;DSN=x"));
}

TEST(RecordsetDump, NoConnectionNoConnectionDump) {
  CRecordset rs(nullptr);
  CDumpContext dc;
  rs.Dump(dc);
  EXPECT_THAT(dc.Text(), HasSubstr("a CRecordset at $"));
  EXPECT_THAT(dc.Text(), Not(HasSubstr("CDatabase")));
}

}  // namespace
