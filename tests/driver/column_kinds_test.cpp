// Calculated, Date/Time Extended and complex columns through the driver manager: their values,
// how statements describe them, and what SQLColumns says of them, on writer-made files given
// such columns byte by byte.
#include "answers.h"
#include "later_column_files.h"
#include "test_files.h"

#include <gtest/gtest.h>

namespace drivertest {
namespace {

enum class File { Later, Complex };

std::string Bytes(File file) {
  return file == File::Later ? jettest::LaterColumnsDatabase() : jettest::ComplexDatabase(7);
}

class ColumnKindsTest : public ::testing::Test {
 protected:
  void Open(File file) {
    testsupport::WriteFile(folder.database(), Bytes(file));
    session = std::make_unique<OdbcSession>(true, true);
    ASSERT_EQ(session->Connect(kProgramConnect), SQL_SUCCESS);
  }
  void SetUp() override { folder.Enter(); }
  TestFolder folder;
  std::unique_ptr<OdbcSession> session;
};

TEST_F(ColumnKindsTest, ValuesAndTypesOfStatements) {
  struct Case {
    File file;
    const char* statement;
    const char* rows;
    const char* types;
  } cases[] = {
      {File::Later, "SELECT LastFirstLen, DecimalTest, MonthlySalary, Stamp FROM later",
       "12|50.325|83333.3333|2000-01-01 12:00:00.12345", "INTEGER|NUMERIC|DOUBLE|TIMESTAMP"},
      {File::Later, "SELECT LastFirstLen * 2, DecimalTest + 1 FROM later", "24|51.325",
       "INTEGER|NUMERIC"},
      {File::Later, "SELECT COUNT(*) FROM later WHERE Stamp > #2000-01-01 12:00:00#", "1",
       "INTEGER"},
      {File::Later, "SELECT COUNT(*) FROM later WHERE Stamp < #2000-01-01 12:00:01#", "1",
       "INTEGER"},
      {File::Later, "SELECT Stamp FROM later WHERE Stamp = Stamp", "2000-01-01 12:00:00.12345",
       "TIMESTAMP"},
      // Text gets every digit; with a Date/Time or in arithmetic it is the nearest Date/Time.
      {File::Later, "SELECT Stamp & '' FROM later", "2000-01-01 12:00:00.12345", "WVARCHAR"},
      {File::Later, "SELECT Year(Stamp), Month(Stamp), Second(Stamp) FROM later", "2000|1|0",
       "SMALLINT|SMALLINT|SMALLINT"},
      {File::Later, "SELECT Stamp + 1 FROM later", "2000-01-02 12:00:00.123", "TIMESTAMP"},
      {File::Later, "SELECT MAX(Stamp), MIN(Stamp) FROM later",
       "2000-01-01 12:00:00.12345|2000-01-01 12:00:00.12345", "TIMESTAMP|TIMESTAMP"},
      {File::Later, "SELECT COUNT(*) FROM later WHERE Stamp = #2000-01-01 12:00:00#", "0",
       "INTEGER"},
      {File::Later, "SELECT COUNT(*) FROM later WHERE Stamp = '2000-01-01 12:00:00.12345'", "1",
       "INTEGER"},
      {File::Later, "SELECT Stamp FROM later UNION ALL SELECT #1999-01-01# FROM later",
       "2000-01-01 12:00:00.123;1999-01-01 00:00:00", "TIMESTAMP"},
      {File::Later, "SELECT DecimalTest * 2, MonthlySalary / 2 FROM later", "100.650|41666.66665",
       "NUMERIC|DOUBLE"},
      {File::Complex, "SELECT name FROM owners WHERE colors LIKE '%Blue%'", "one", "WVARCHAR"},
      {File::Complex, "SELECT name, colors, files FROM owners",
       "one|Red; Blue|a.txt; b.png;two|Green|;three|NULL|", "WVARCHAR|WLONGVARCHAR|WLONGVARCHAR"},
      {File::Complex, "SELECT ColumnName, ComplexID FROM MSysComplexColumns", "colors|7;files|8",
       "WVARCHAR|INTEGER"},
      {File::Complex, "SELECT [Value], _colors FROM f_colors", "Red|1;Green|2;Blue|1;Lost|NULL",
       "WVARCHAR|INTEGER"},
  };
  for (const Case& test : cases) {
    Open(test.file);
    const Answer answer = Ask(*session, test.statement);
    EXPECT_EQ(answer.Shown(), test.rows) << test.statement;
    EXPECT_EQ(answer.types, test.types) << test.statement;
    session.reset();
  }
}

// SQLColumns: TYPE_NAME, DATA_TYPE, COLUMN_SIZE and DECIMAL_DIGITS of each kind.
TEST_F(ColumnKindsTest, CatalogDescribesEachKind) {
  struct Case {
    File file;
    const char* table;
    const char* column;
    const char* described;
  } cases[] = {
      {File::Later, "later", "LastFirstLen", "INTEGER|4|10|0"},
      {File::Later, "later", "DecimalTest", "DECIMAL|2|18|3"},
      {File::Later, "later", "MonthlySalary", "DOUBLE|8|15|NULL"},
      {File::Later, "later", "Stamp", "DATETIME2|93|27|7"},
      {File::Complex, "owners", "colors", "LONGCHAR|-10|1073741823|NULL"},
  };
  for (const Case& test : cases) {
    Open(test.file);
    SQLHSTMT stmt = session->AllocStmt();
    std::u16string table = Wide(test.table), column = Wide(test.column);
    ASSERT_EQ(SQLColumnsW(stmt, nullptr, 0, nullptr, 0, reinterpret_cast<SQLWCHAR*>(table.data()),
                          SQL_NTS, reinterpret_cast<SQLWCHAR*>(column.data()), SQL_NTS),
              SQL_SUCCESS);
    ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS) << test.column;
    std::string described;
    for (SQLUSMALLINT field : {6, 5, 7, 9}) {
      described += (field == 6 ? "" : "|") + ReadNarrow(stmt, field).value_or("NULL");
    }
    EXPECT_EQ(described, test.described) << test.column;
    SQLFreeStmt(stmt, SQL_DROP);
    session.reset();
  }
}

// A Date/Time Extended column is described with 7 fractional digits and keeps its 100 ns in a
// timestamp structure.
TEST_F(ColumnKindsTest, ExtendedDateFillsATimestampToTheNanosecond) {
  Open(File::Later);
  SQLHSTMT stmt = session->AllocStmt();
  ASSERT_EQ(session->ExecDirect(stmt, "SELECT Stamp FROM later"), SQL_SUCCESS);
  const auto described = session->Describe(stmt, 1);
  ASSERT_TRUE(described.has_value());
  EXPECT_EQ((std::vector<long>{described->type, static_cast<long>(described->size),
                               described->decimals}),
            (std::vector<long>{SQL_TYPE_TIMESTAMP, 27, 7}));
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  SQL_TIMESTAMP_STRUCT ts{};
  SQLLEN indicator = 0;
  ASSERT_EQ(SQLGetData(stmt, 1, SQL_C_TYPE_TIMESTAMP, &ts, sizeof ts, &indicator), SQL_SUCCESS);
  EXPECT_EQ((std::vector<long>{ts.year, ts.month, ts.day, ts.hour, ts.minute, ts.second,
                               static_cast<long>(ts.fraction)}),
            (std::vector<long>{2000, 1, 1, 12, 0, 0, 123450000}));
  SQLFreeStmt(stmt, SQL_DROP);
}

}  // namespace
}  // namespace drivertest
