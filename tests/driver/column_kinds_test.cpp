// Calculated, Date/Time Extended and complex columns through the driver manager: their values,
// how statements describe them, and what SQLColumns says of them, on writer-made files given
// such columns byte by byte.
#include "answers.h"
#include "driver_fixture.h"
#include "later_column_files.h"

namespace drivertest {
namespace {

enum class File { Later, Complex };

class ColumnKindsTest : public DriverTest {
 protected:
  void Open(File file) {
    testsupport::WriteFile(folder.database(), file == File::Later ? jettest::LaterColumnsDatabase()
                                                                  : jettest::ComplexDatabase(7));
    Connect(true, true);
  }
  void SetUp() override { folder.Enter(); }
};

TEST_F(ColumnKindsTest, ValuesAndTypesOfStatements) {
  // The statements on each file, each with its answer as "TYPES: ROWS".
  const std::pair<File, std::vector<std::pair<const char*, const char*>>> files[] = {
      {File::Later,
       {{"SELECT LastFirstLen, DecimalTest, MonthlySalary, Stamp FROM later",
         "INTEGER|NUMERIC|DOUBLE|TIMESTAMP: 12|50.325|83333.3333|2000-01-01 12:00:00.12345"},
        {"SELECT LastFirstLen * 2, DecimalTest + 1 FROM later", "INTEGER|NUMERIC: 24|51.325"},
        {"SELECT COUNT(*) FROM later WHERE Stamp > #2000-01-01 12:00:00#", "INTEGER: 1"},
        {"SELECT COUNT(*) FROM later WHERE Stamp < #2000-01-01 12:00:01#", "INTEGER: 1"},
        {"SELECT Stamp FROM later WHERE Stamp = Stamp", "TIMESTAMP: 2000-01-01 12:00:00.12345"},
        // Text gets every digit; with a Date/Time or in arithmetic it is the nearest Date/Time.
        {"SELECT Stamp & '' FROM later", "WVARCHAR: 2000-01-01 12:00:00.12345"},
        {"SELECT Year(Stamp), Month(Stamp), Second(Stamp) FROM later",
         "SMALLINT|SMALLINT|SMALLINT: 2000|1|0"},
        {"SELECT Stamp + 1 FROM later", "TIMESTAMP: 2000-01-02 12:00:00.123"},
        {"SELECT MAX(Stamp), MIN(Stamp) FROM later",
         "TIMESTAMP|TIMESTAMP: 2000-01-01 12:00:00.12345|2000-01-01 12:00:00.12345"},
        {"SELECT COUNT(*) FROM later WHERE Stamp = #2000-01-01 12:00:00#", "INTEGER: 0"},
        {"SELECT COUNT(*) FROM later WHERE Stamp = '2000-01-01 12:00:00.12345'", "INTEGER: 1"},
        {"SELECT Stamp FROM later UNION ALL SELECT #1999-01-01# FROM later",
         "TIMESTAMP: 2000-01-01 12:00:00.123;1999-01-01 00:00:00"},
        {"SELECT DecimalTest * 2, MonthlySalary / 2 FROM later",
         "NUMERIC|DOUBLE: 100.650|41666.66665"}}},
      {File::Complex,
       {{"SELECT name FROM owners WHERE colors LIKE '%Blue%'", "WVARCHAR: one"},
        {"SELECT name, colors, files FROM owners",
         "WVARCHAR|WLONGVARCHAR|WLONGVARCHAR: one|Red; Blue|a.txt; b.png;two|Green|;three|NULL|"},
        {"SELECT ColumnName, ComplexID FROM MSysComplexColumns",
         "WVARCHAR|INTEGER: colors|7;files|8"},
        {"SELECT [Value], _colors FROM f_colors",
         "WVARCHAR|INTEGER: Red|1;Green|2;Blue|1;Lost|NULL"}}},
  };
  for (const auto& [file, cases] : files) {
    Open(file);
    for (const auto& [statement, answer] : cases) {
      EXPECT_EQ(Ask(*session, statement).Typed(), answer) << statement;
    }
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
    session.reset();
  }
}

// A Date/Time Extended column is described with 7 fractional digits and keeps its 100 ns in a
// timestamp structure.
TEST_F(ColumnKindsTest, ExtendedDateFillsATimestampToTheNanosecond) {
  Open(File::Later);
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
}

}  // namespace
}  // namespace drivertest
