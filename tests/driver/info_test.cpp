// The information answers the access layer and the driver manager read from the driver.
#include "driver_fixture.h"

namespace drivertest {
namespace {

class InfoTest : public BothRoadsTest {
 protected:
  void SetUp() override {
    BothRoadsTest::SetUp();
    Connect(wide());
  }
};

TEST_P(InfoTest, ConformanceLevelsPassTheConnectionCheck) {
  EXPECT_EQ(session->InfoShort(SQL_ODBC_API_CONFORMANCE), SQL_OAC_LEVEL1);
  EXPECT_EQ(session->InfoShort(SQL_ODBC_SQL_CONFORMANCE), SQL_OSC_MINIMUM);
}

TEST_P(InfoTest, DataSourceIsReadOnlyWithoutPositionedChanges) {
  EXPECT_EQ(session->InfoText(SQL_DATA_SOURCE_READ_ONLY), "Y");
  EXPECT_EQ(session->InfoInteger(SQL_POS_OPERATIONS), 0u);
  EXPECT_EQ(session->InfoInteger(SQL_POSITIONED_STATEMENTS), 0u);
  EXPECT_EQ(session->InfoInteger(SQL_BOOKMARK_PERSISTENCE), 0u);
  EXPECT_EQ(session->InfoInteger(SQL_SCROLL_CONCURRENCY), static_cast<SQLUINTEGER>(SQL_SCCO_READ_ONLY));
}

TEST_P(InfoTest, NoTransactionsAndCursorsSurviveCommitAndRollback) {
  EXPECT_EQ(session->InfoShort(SQL_TXN_CAPABLE), SQL_TC_NONE);
  EXPECT_EQ(session->InfoShort(SQL_CURSOR_COMMIT_BEHAVIOR), SQL_CB_PRESERVE);
  EXPECT_EQ(session->InfoShort(SQL_CURSOR_ROLLBACK_BEHAVIOR), SQL_CB_PRESERVE);
}

TEST_P(InfoTest, GetDataWorksOnAnyColumnInAnyOrder) {
  EXPECT_EQ(session->InfoInteger(SQL_GETDATA_EXTENSIONS),
            static_cast<SQLUINTEGER>(SQL_GD_ANY_COLUMN | SQL_GD_ANY_ORDER));
}

TEST_P(InfoTest, NamesDbmsAndQuoteCharacter) {
  EXPECT_EQ(session->InfoText(SQL_IDENTIFIER_QUOTE_CHAR), "`");
  EXPECT_EQ(session->InfoText(SQL_DBMS_NAME), "ACCESS");
  EXPECT_EQ(session->InfoText(SQL_DBMS_VER), "04.00.0000");
}

TEST_P(InfoTest, ScrollsStaticAndForwardOnlyInEveryDirection) {
  EXPECT_EQ(session->InfoInteger(SQL_SCROLL_OPTIONS),
            static_cast<SQLUINTEGER>(SQL_SO_FORWARD_ONLY | SQL_SO_STATIC));
  SQLUINTEGER directions = SQL_FD_FETCH_NEXT | SQL_FD_FETCH_FIRST | SQL_FD_FETCH_LAST |
                           SQL_FD_FETCH_PRIOR | SQL_FD_FETCH_ABSOLUTE | SQL_FD_FETCH_RELATIVE;
  EXPECT_EQ(session->InfoInteger(SQL_FETCH_DIRECTION), directions);
  std::optional<SQLUINTEGER> static1 = session->InfoInteger(SQL_STATIC_CURSOR_ATTRIBUTES1);
  ASSERT_TRUE(static1.has_value());
  EXPECT_EQ(*static1 & (SQL_CA1_NEXT | SQL_CA1_ABSOLUTE | SQL_CA1_RELATIVE),
            static_cast<SQLUINTEGER>(SQL_CA1_NEXT | SQL_CA1_ABSOLUTE | SQL_CA1_RELATIVE));
  EXPECT_EQ(session->InfoInteger(SQL_STATIC_CURSOR_ATTRIBUTES2),
            static_cast<SQLUINTEGER>(SQL_CA2_READ_ONLY_CONCURRENCY));
}

TEST_P(InfoTest, DriverManagerAnswersTheOdbcVersion) {
  std::optional<std::string> version = session->InfoText(SQL_ODBC_VER);
  ASSERT_TRUE(version.has_value());
  // The driver manager's own version, 03.52 for unixODBC 2.3.
  EXPECT_EQ(version->substr(0, 3), "03.");
  EXPECT_EQ(version->size(), 5u);
  EXPECT_EQ(session->InfoText(SQL_DRIVER_ODBC_VER), "03.00");
}

TEST_P(InfoTest, ExtendedFetchIsSupported) {
  SQLUSMALLINT supported = 0;
  ASSERT_EQ(SQLGetFunctions(session->dbc(), SQL_API_SQLEXTENDEDFETCH, &supported), SQL_SUCCESS);
  EXPECT_EQ(supported, SQL_TRUE);
}

TEST_P(InfoTest, UnknownInformationTypeIsAnError) {
  EXPECT_FALSE(session->InfoInteger(9999).has_value());
  EXPECT_EQ(OnlyDiag(*session).state, "S1096");
}

INSTANTIATE_TEST_SUITE_P(Roads, InfoTest, ::testing::Bool(), RoadName);

}  // namespace
}  // namespace drivertest
