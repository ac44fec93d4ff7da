// The open's refusals and how the open type and option bits become the recordset's flags:
// refused requests change nothing, a second open leaves the first result usable, the default
// open type, forward-only recordsets.
#include "tests/db/support/db_fixture.h"
#include "tests/db/support/table_cases.h"

namespace {

class OpenArguments : public DbConnectedTest {};

// The members an open request writes first; a refused request must leave them all.
struct OpenArgumentState {
  UINT openType;
  DWORD options;
  BOOL updatable;
  BOOL appendable;
  BOOL dirtyCheck;
  CString openedSQL;
  HSTMT statement;
  LONG open;

  static OpenArgumentState Of(const CRecordset& rs) {
    return {rs.m_nOpenType,     rs.m_dwOpenOptions, rs.m_bUpdatable, rs.m_bAppendable,
            rs.m_bDirtyFieldCheck, rs.m_strOpenedSQL, rs.m_hstmt,     rs.m_lOpen};
  }
  bool operator==(const OpenArgumentState&) const = default;
};

struct RefusedRequest {
  const char* name;
  UINT openType;
  DWORD options;
  UINT defaultOpenType = CRecordset::staticCursor;
};

DB_PRINT_ROWS_BY_NAME(RefusedRequest)

using OpenRefusals = CasesOf<OpenArguments, RefusedRequest>;

TEST_P(OpenRefusals, RaiseInvalidArgumentAndChangeNothing) {
  const RefusedRequest& request = GetParam();
  CRecordset rs(database.get());
  rs.m_nDefaultOpenType = request.defaultOpenType;
  const OpenArgumentState before = OpenArgumentState::Of(rs);
  const std::size_t mark = fakeodbc::callCount();

  RaisedError raised = CatchRaised([&] { rs.Open(request.openType, kBrandStatement, request.options); });

  ASSERT_TRUE(raised.IsInvalidArgument());
  EXPECT_TRUE(OpenArgumentState::Of(rs) == before);
  EXPECT_EQ(rs.m_pColumnInfo, nullptr);
  EXPECT_TRUE(traces.Texts().empty()) << traces.Joined();
  // Only the question whether the recordset is open reached the driver.
  EXPECT_THAT(CallNamesAfter(mark),
              ::testing::Each(::testing::AnyOf("SQLNumResultCols", "SQLErrorW")));
  // The recordset can still be opened properly.
  EXPECT_TRUE(rs.Open(CRecordset::staticCursor, kBrandStatement, CRecordset::addOnly));
}

DB_NAMED_CASES(
    EachCheck, OpenRefusals,
    RefusedRequest{"OpenTypeFour", 4, CRecordset::none},
    RefusedRequest{"OpenTypeBeyondTheKnownOnes", 0x7FFFFFFF, CRecordset::none},
    RefusedRequest{"ReadOnlyWithAddOnly", CRecordset::staticCursor,
                   CRecordset::readOnly | CRecordset::addOnly},
    RefusedRequest{"FastBulkAddWithoutAddOnly", CRecordset::staticCursor,
                   CRecordset::fastBulkAdd},
    RefusedRequest{"FastBulkAddReadOnly", CRecordset::dynamicCursor,
                   CRecordset::fastBulkAdd | CRecordset::readOnly},
    RefusedRequest{"ForwardOnlySkippingDeletedRows", CRecordset::forwardOnly,
                   CRecordset::skipDeletedRows | CRecordset::readOnly},
    // The default open type is checked as the type it stands for.
    RefusedRequest{"DefaultForwardOnlySkippingDeletedRows", CRecordset::defaultOpenType,
                   CRecordset::skipDeletedRows | CRecordset::readOnly,
                   CRecordset::forwardOnly},
    RefusedRequest{"DefaultOpenTypeOutsideTheKnownOnes", CRecordset::defaultOpenType,
                   CRecordset::none, 9});

TEST_F(OpenArguments, FastBulkAddIsAcceptedTogetherWithAddOnly) {
  const DWORD options = CRecordset::addOnly | CRecordset::fastBulkAdd;
  EXPECT_EQ(OpenBrands(options).m_dwOpenOptions, options);
}

TEST_F(OpenArguments, SecondOpenIsRefusedAndTheFirstResultStaysUsable) {
  CRecordset& rs = OpenBrands(CRecordset::addOnly);
  const OpenArgumentState before = OpenArgumentState::Of(rs);
  const std::size_t mark = fakeodbc::callCount();

  RaisedError raised = CatchRaised(
      [&] { rs.Open(CRecordset::dynamicCursor, u"SELECT x FROM y", CRecordset::readOnly); });

  ASSERT_TRUE(raised.IsInvalidArgument());
  // The open recordset is known to be open without asking the driver.
  EXPECT_TRUE(CallNamesAfter(mark).empty());
  EXPECT_TRUE(OpenArgumentState::Of(rs) == before);
  EXPECT_EQ(rs.m_strSQL, kBrandStatement);
  EXPECT_EQ(rs.m_lCurrentRow, 0);

  // Still usable: the next rows come from the first result.
  rs.MoveNext();
  rs.MoveNext();
  EXPECT_EQ(rs.m_lCurrentRow, 2);
  EXPECT_FALSE(rs.m_bEOF);
  EXPECT_EQ(fakeodbc::calls().back().line(), "SQLExtendedFetch(stmt#1, SQL_FETCH_NEXT, 1) -> SQL_SUCCESS");
}

TEST_F(OpenArguments, FailingOpenProbeIsPassedOnAndChangesNothing) {
  fakeodbc::answer(Fn::SQLNumResultCols, 1,
                   Answer::fail(SQL_ERROR, {Diag{"08S01", 7, u"[FakeODBC][Driver]Link lost"}}));
  CRecordset rs(database.get());
  const OpenArgumentState before = OpenArgumentState::Of(rs);

  RaisedError raised = CatchRaised([&] { rs.Open(CRecordset::staticCursor, kBrandStatement); });

  ASSERT_TRUE(IsDbError(raised, SQL_ERROR));
  EXPECT_TRUE(raised.db()->HasState(u"State:08S01"));
  EXPECT_TRUE(OpenArgumentState::Of(rs) == before);
  EXPECT_EQ(traces.First(), "Error: SQLNumResultCols failed during IsOpen().\n");
}

TEST_F(OpenArguments, DefaultOpenTypeTakesTheRecordsetsDefault) {
  CRecordset& rs = OpenBrands(CRecordset::addOnly, CRecordset::defaultOpenType);
  EXPECT_EQ(rs.m_nOpenType, CRecordset::staticCursor);
  EXPECT_EQ(fakeodbc::statementOption(rs.m_hstmt, SQL_CURSOR_TYPE), SQLULEN{SQL_CURSOR_STATIC});
}

TEST_F(OpenArguments, DefaultOpenTypeFollowsAChangedDefault) {
  fakeodbc::setInfo(SQL_SCROLL_OPTIONS, InfoValue::int32(SQL_SO_FORWARD_ONLY |
                                                                     SQL_SO_DYNAMIC));
  CRecordset rs(database.get());
  rs.m_nDefaultOpenType = CRecordset::dynamicCursor;
  ASSERT_TRUE(rs.Open(CRecordset::defaultOpenType, kBrandStatement, CRecordset::readOnly));
  EXPECT_EQ(rs.m_nOpenType, CRecordset::dynamicCursor);
  EXPECT_EQ(fakeodbc::statementOption(rs.m_hstmt, SQL_CURSOR_TYPE), SQLULEN{SQL_CURSOR_DYNAMIC});
}

// ApplyOpenArguments alone: the flags follow the options as they were passed.
struct FlagCase {
  const char* name;
  UINT openType;
  DWORD options;
  BOOL appendable;
  BOOL updatable;
  BOOL dirtyCheck;
  DWORD optionsKept;
  bool forwardWarning;
};

DB_PRINT_ROWS_BY_NAME(FlagCase)

using OpenArgumentFlags = CasesOf<OpenArguments, FlagCase>;

TEST_P(OpenArgumentFlags, FollowTheOptionsAsPassed) {
  const FlagCase& c = GetParam();
  CRecordset rs(database.get());
  rs.m_strWhereClause = u"a = 1";
  rs.m_strOrderByClause = u"b";

  rs.ApplyOpenArguments(c.openType, u"SELECT a FROM t", c.options);

  EXPECT_EQ(rs.m_nOpenType, c.openType);
  EXPECT_EQ(rs.m_bAppendable, c.appendable);
  EXPECT_EQ(rs.m_bUpdatable, c.updatable);
  EXPECT_EQ(rs.m_bDirtyFieldCheck, c.dirtyCheck);
  EXPECT_EQ(rs.m_dwOpenOptions, c.optionsKept);
  EXPECT_EQ(rs.m_strOpenedSQL, u"SELECT a FROM t");
  EXPECT_EQ(rs.m_strOpenedWhere, u"a = 1");
  EXPECT_EQ(rs.m_strOpenedOrderBy, u"b");
  const char* warning = "Warning: Setting forwardOnly recordset readOnly.\n";
  EXPECT_EQ(traces.Texts(), std::vector<std::string>(c.forwardWarning ? 1 : 0, warning));
}

DB_NAMED_CASES(
    Options, OpenArgumentFlags,
    FlagCase{"NoOption", CRecordset::staticCursor, 0, TRUE, TRUE, TRUE, 0, false},
    FlagCase{"ReadOnly", CRecordset::keysetCursor, CRecordset::readOnly, FALSE, FALSE, TRUE,
             CRecordset::readOnly, false},
    FlagCase{"AddOnly", CRecordset::staticCursor, CRecordset::addOnly, TRUE, FALSE, TRUE,
             CRecordset::addOnly, false},
    FlagCase{"SkipDirtyCheck", CRecordset::dynamicCursor, CRecordset::skipDirtyCheck, TRUE,
             TRUE, FALSE, CRecordset::skipDirtyCheck, false},
    FlagCase{"MultiRowFetch", CRecordset::staticCursor,
             CRecordset::multiRowFetch | CRecordset::readOnly, FALSE, FALSE, FALSE,
             CRecordset::multiRowFetch | CRecordset::readOnly, false},
    FlagCase{"UnlistedBitsAreKept", CRecordset::staticCursor, 0x1000 | CRecordset::addOnly,
             TRUE, FALSE, TRUE, 0x1000 | CRecordset::addOnly, false},
    // A forward-only recordset becomes read-only, but its flags come from the options as
    // they were passed.
    FlagCase{"ForwardOnly", CRecordset::forwardOnly, 0, TRUE, TRUE, TRUE,
             CRecordset::readOnly, true},
    FlagCase{"ForwardOnlyAddOnly", CRecordset::forwardOnly, CRecordset::addOnly, TRUE, FALSE,
             TRUE, CRecordset::addOnly | CRecordset::readOnly, true},
    FlagCase{"ForwardOnlyMultiRow", CRecordset::forwardOnly, CRecordset::multiRowFetch, TRUE,
             TRUE, FALSE,
             CRecordset::multiRowFetch | CRecordset::readOnly | CRecordset::extendedFetch,
             true},
    FlagCase{"ForwardOnlyReadOnly", CRecordset::forwardOnly, CRecordset::readOnly, FALSE,
             FALSE, TRUE, CRecordset::readOnly, false});

TEST_F(OpenArguments, NullTextIsKeptAsAnEmptyOpenedText) {
  CRecordset rs(database.get());
  rs.m_strOpenedSQL = u"previous";
  rs.ApplyOpenArguments(CRecordset::staticCursor, nullptr, CRecordset::none);
  EXPECT_TRUE(rs.m_strOpenedSQL.IsEmpty());
}

TEST_F(OpenArguments, ForwardOnlyOpenSetsNoCursorAndFetchesWithSQLFetch) {
  const std::size_t mark = fakeodbc::callCount();
  CRecordset& rs = OpenBrands(CRecordset::none, CRecordset::forwardOnly);

  EXPECT_THAT(traces.Texts(), ElementsAre("Warning: Setting forwardOnly recordset readOnly.\n"));
  EXPECT_EQ(rs.m_dwOpenOptions, DWORD{CRecordset::readOnly});
  // The flags were derived before readOnly was added, and the text is modifiable.
  EXPECT_TRUE(rs.m_bUpdatable);
  EXPECT_TRUE(rs.m_bAppendable);
  EXPECT_FALSE(rs.m_bScrollable);
  EXPECT_EQ(rs.m_dwConcurrencyModel, DWORD{SQL_CONCUR_READ_ONLY});

  const std::vector<std::string> expected = {
      "SQLAllocStmt(dbc#1, &stmt#1) -> SQL_SUCCESS",
      "SQLNumResultCols(stmt#1) -> SQL_ERROR",
      "SQLSetStmtOption(stmt#1, SQL_QUERY_TIMEOUT, 15) -> SQL_SUCCESS",
      "SQLPrepareW(stmt#1, \"SELECT marque FROM avion \", SQL_NTS) -> SQL_SUCCESS",
      "SQLExecute(stmt#1) -> SQL_SUCCESS",
      "SQLNumResultCols(stmt#1) -> SQL_SUCCESS",
      "SQLDescribeColW(stmt#1, 1, 256) -> SQL_SUCCESS",
      "SQLFetch(stmt#1) -> SQL_SUCCESS",
  };
  EXPECT_EQ(CallLinesWithoutDiagnosticsAfter(mark), expected);
  EXPECT_FALSE(rs.m_bBOF);
  EXPECT_FALSE(rs.m_bEOF);
  EXPECT_EQ(rs.m_lCurrentRow, 0);
}

TEST_F(OpenArguments, ForwardOnlyWithExtendedFetchGetsBookmarksButNoCursorType) {
  const std::size_t mark = fakeodbc::callCount();
  OpenBrands(CRecordset::readOnly | CRecordset::extendedFetch | CRecordset::withBookmarks,
             CRecordset::forwardOnly);

  const std::vector<std::string> lines = CallLinesWithoutDiagnosticsAfter(mark);
  const std::vector<std::string> expectedFromTimeout = {
      "SQLSetStmtOption(stmt#1, SQL_QUERY_TIMEOUT, 15) -> SQL_SUCCESS",
      "SQLSetStmtOption(stmt#1, SQL_USE_BOOKMARKS, " + std::to_string(SQL_UB_ON) +
          ") -> SQL_SUCCESS",
      "SQLPrepareW(stmt#1, \"SELECT marque FROM avion \", SQL_NTS) -> SQL_SUCCESS",
      "SQLExecute(stmt#1) -> SQL_SUCCESS",
      "SQLNumResultCols(stmt#1) -> SQL_SUCCESS",
      "SQLDescribeColW(stmt#1, 1, 256) -> SQL_SUCCESS",
      "SQLExtendedFetch(stmt#1, SQL_FETCH_NEXT, 1) -> SQL_SUCCESS",
  };
  ASSERT_GE(lines.size(), expectedFromTimeout.size());
  EXPECT_EQ(std::vector<std::string>(lines.end() - static_cast<long>(expectedFromTimeout.size()),
                                     lines.end()),
            expectedFromTimeout);
}

TEST_F(OpenArguments, ReopenedForwardOnlyRecordsetDoesNotKeepAnEarlierConcurrency) {
  fakeodbc::setInfo(SQL_SCROLL_CONCURRENCY, InfoValue::int32(SQL_SCCO_OPT_VALUES));
  CRecordset& rs = OpenBrands(CRecordset::none);
  ASSERT_EQ(rs.m_dwConcurrencyModel, DWORD{SQL_CONCUR_VALUES});
  rs.Close();

  // A driver that refuses the forward-only statement as not capable: the statement has the
  // driver's read-only concurrency, so there is nothing to lower and the refusal is raised.
  fakeodbc::answer(Fn::SQLPrepareW, 1,
                   Answer::fail(SQL_ERROR, {Diag{"S1C00", 0, u"[FakeODBC][Driver]Driver not capable"}}));
  const std::size_t mark = fakeodbc::callCount();
  RaisedError raised =
      CatchRaised([&] { rs.Open(CRecordset::forwardOnly, kBrandStatement, CRecordset::readOnly); });
  ASSERT_NE(raised.db(), nullptr);
  EXPECT_TRUE(raised.db()->HasState(u"State:S1C00"));
  EXPECT_EQ(CountCallsAfter(mark, "SQLPrepareW"), 1);
  EXPECT_THAT(CallLinesAfter(mark), Not(Contains(HasSubstr("SQL_CONCURRENCY"))));
  ExpectClosed(rs, database.get());
}

}  // namespace
