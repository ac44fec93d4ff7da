// Files the project's writer did not make as they are: made by Access itself (a Jet 4 file of
// dates, and the saved queries of an Access 97 file), or damaged after a valid header, which
// the driver reads as far as it can, reporting errors as diagnostics, never crashing and never
// printing.
#include "answers.h"
#include "driver_fixture.h"
#include "tests/support/file_edit.h"
#include "tests/support/fixtures.h"

#include <filesystem>

namespace drivertest {
namespace {

using AccessMadeFileTest = DriverTest;

TEST_F(AccessMadeFileTest, ReadsEveryRowOfTheDateTable) {
  SKIP_WITHOUT_FIXTURE("access-made-jet4.mdb");
  std::filesystem::copy_file(testsupport::FixturePath("access-made-jet4.mdb"), folder.database());
  folder.Enter();
  Connect();
  ASSERT_EQ(SQLSetStmtOption(stmt, SQL_CURSOR_TYPE, SQL_CURSOR_STATIC), SQL_SUCCESS);
  ASSERT_EQ(session->Prepare(stmt, "SELECT IDCol, DateTimeCol, LongTextCol, ShortTextCol FROM DateTest"),
            SQL_SUCCESS);
  ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS);
  EXPECT_EQ(session->Describe(stmt, 3)->type, SQL_WLONGVARCHAR);
  EXPECT_EQ(session->Describe(stmt, 4)->type, SQL_WVARCHAR);
  EXPECT_EQ(session->Describe(stmt, 4)->size, 255u);
  std::vector<std::u16string> ids, dates, longTexts, shortTexts;
  SQLULEN rows = 0;
  SQLUSMALLINT status = 0;
  while (SQLExtendedFetch(stmt, SQL_FETCH_NEXT, 1, &rows, &status) == SQL_SUCCESS) {
    ids.push_back(ReadWide(stmt, 1).value_or(u"NULL"));
    dates.push_back(ReadWide(stmt, 2).value_or(u"NULL"));
    longTexts.push_back(ReadWide(stmt, 3, 4).value_or(u"NULL"));
    shortTexts.push_back(ReadWide(stmt, 4, 4).value_or(u"NULL"));
  }
  EXPECT_EQ(ids, (std::vector<std::u16string>{u"1", u"2", u"3", u"4", u"5", u"6"}));
  EXPECT_EQ(dates[0], u"2021-12-02 00:00:00");
  EXPECT_EQ(dates[1], u"9999-01-01 00:00:00");
  EXPECT_EQ(dates[2], u"1898-01-01 00:00:00");
  EXPECT_EQ(longTexts[1], u"Year 9999");
  EXPECT_EQ(shortTexts[1], u"Year 1999");
  EXPECT_EQ(longTexts[5], u"New line\r\nin field");
  EXPECT_EQ(shortTexts[2], u"Pre-1900 years");
  EXPECT_EQ(SQLFreeStmt(stmt, SQL_DROP), SQL_SUCCESS);
}

// The saved queries of an Access 97 file: listed as views, described, and run by name, queries
// on queries, unions and parameter queries among them.
class SavedQueryTest : public DriverTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    SKIP_WITHOUT_FIXTURE("jet3-sample.mdb");
    std::filesystem::copy_file(testsupport::FixturePath("jet3-sample.mdb"), folder.database());
    folder.Enter();
    Connect(GetParam(), true);
  }
};

TEST_P(SavedQueryTest, ViewsAreListedDescribedAndRunByName) {
  std::string views = "VIEW";
  ASSERT_EQ(SQLTables(stmt, nullptr, 0, nullptr, 0, nullptr, 0, reinterpret_cast<SQLCHAR*>(views.data()), SQL_NTS),
            SQL_SUCCESS);
  std::vector<std::string> names;
  while (SQLFetch(stmt) == SQL_SUCCESS) names.push_back(ReadNarrow(stmt, 3).value_or(""));
  EXPECT_EQ(names.size(), 22u);
  EXPECT_EQ(names.front(), "Alphabetical List of Products");
  SQLFreeStmt(stmt, SQL_CLOSE);
  std::string view = "Ten Most Expensive Products";
  ASSERT_EQ(SQLColumns(stmt, nullptr, 0, nullptr, 0, reinterpret_cast<SQLCHAR*>(view.data()), SQL_NTS, nullptr, 0),
            SQL_SUCCESS);
  std::vector<std::string> columns;
  while (SQLFetch(stmt) == SQL_SUCCESS) columns.push_back(*ReadNarrow(stmt, 4) + " " + *ReadNarrow(stmt, 5));
  EXPECT_EQ(columns, (std::vector<std::string>{"TenMostExpensiveProducts -9", "UnitPrice 3"}));
  // Row counts of the Northwind queries as Access gives them; the ones that need their
  // parameters say so.
  const std::pair<const char*, const char*> counts[] = {
      {"Alphabetical List of Products", "69"}, {"Category Sales for 1995", "8"},
      {"Current Product List", "69"}, {"Customers and Suppliers by City", "120"},
      {"Invoices", "2155"}, {"Order Details Extended", "2155"}, {"Order Subtotals", "830"},
      {"Products Above Average Price", "25"}, {"Products by Category", "69"},
      {"Summary of Sales by Quarter", "809"}, {"Ten Most Expensive Products", "10"},
      {"Employee Sales by Country", "error 07002"}, {"Invoices Filter", "error 07002"},
      {"Sales by Year", "error 07002"},
  };
  for (const auto& [name, count] : counts) {
    EXPECT_EQ(Ask(*session, std::string("SELECT COUNT(*) FROM [") + name + "]").Shown(), count) << name;
  }
  EXPECT_EQ(Ask(*session, "SELECT TOP 1 * FROM [Ten Most Expensive Products]").Shown(), "Côte de Blaye|263.5000");
  // The crosstab has a row for each product, customer and year of 1995's orders, and a column
  // for each quarter.
  Answer groups = Ask(*session,
                      "SELECT COUNT(*) FROM (SELECT DISTINCT Products.ProductName, Orders.CustomerID, Year(OrderDate) "
                      "FROM (Orders INNER JOIN [Order Details] ON Orders.OrderID = [Order Details].OrderID) INNER JOIN "
                      "Products ON Products.ProductID = [Order Details].ProductID WHERE OrderDate BETWEEN #1/1/95# AND "
                      "#12/31/95#)");
  EXPECT_EQ(Ask(*session, "SELECT COUNT(*) FROM [Quarterly Orders by Product]").Shown(), groups.Shown());
  EXPECT_EQ(Ask(*session, "SELECT * FROM [Quarterly Orders by Product] WHERE ProductName = 'Alice Mutton' AND "
                          "CustomerID = 'ANTON'").Shown(),
            "Alice Mutton|ANTON|1995|NULL|NULL|702.0000|NULL");
}

// A parameter query takes its parameters by position, whether it is read as a table or called.
TEST_P(SavedQueryTest, ParametersAreGivenByPosition) {
  auto count = [&](const std::string& text) {
    SQLHSTMT stmt = session->AllocStmt();
    EXPECT_EQ(session->Prepare(stmt, text), SQL_SUCCESS) << text;
    SQL_DATE_STRUCT from{1995, 1, 1}, to{1995, 6, 30};
    SQLLEN size = sizeof from;
    SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_TYPE_DATE, SQL_TYPE_DATE, 10, 0, &from, 0, &size);
    SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_TYPE_DATE, SQL_TYPE_DATE, 10, 0, &to, 0, &size);
    EXPECT_EQ(SQLExecute(stmt), SQL_SUCCESS) << text;
    std::string rows;
    while (SQLFetch(stmt) == SQL_SUCCESS) rows += ReadNarrow(stmt, 1).value_or("NULL") + ";";
    SQLFreeStmt(stmt, SQL_DROP);
    return rows;
  };
  std::string direct = count(
      "SELECT COUNT(*) FROM Orders INNER JOIN [Order Subtotals] ON Orders.OrderID = [Order Subtotals].OrderID "
      "WHERE Orders.ShippedDate BETWEEN ? AND ?");
  EXPECT_NE(direct, "0;");
  EXPECT_EQ(count("SELECT COUNT(*) FROM [Employee Sales by Country]"), direct);
  ASSERT_EQ(session->Prepare(stmt, "{call [Employee Sales by Country](?, ?)}"), SQL_SUCCESS);
  SQLSMALLINT parameters = 0;
  ASSERT_EQ(SQLNumParams(stmt, &parameters), SQL_SUCCESS);
  EXPECT_EQ(parameters, 2);
}

INSTANTIATE_TEST_SUITE_P(Roads, SavedQueryTest, ::testing::Bool(), RoadName);

// Connects and reads every row and column both forward and backward; returns what was printed.
std::string ReadEverything(bool wide) {
  CapturedOutput output;
  {
    OdbcSession session(wide);
    if (SQL_SUCCEEDED(session.Connect(kProgramConnect))) {
      SQLHSTMT stmt = session.AllocStmt();
      SQLSetStmtOption(stmt, SQL_CURSOR_TYPE, SQL_CURSOR_STATIC);
      if (SQL_SUCCEEDED(session.ExecDirect(stmt, "SELECT * FROM avion"))) {
        for (SQLUSMALLINT direction : {SQL_FETCH_NEXT, SQL_FETCH_PRIOR}) {
          for (int row = 0; row < 20; ++row) {
            SQLRETURN rc = SQLExtendedFetch(stmt, direction, 0, nullptr, nullptr);
            if (rc != SQL_SUCCESS) break;
            for (SQLUSMALLINT column = 1; column <= 6; ++column) {
              char16_t buffer[300];
              SQLLEN indicator = 0;
              while (SQLGetData(stmt, column, SQL_C_WCHAR, buffer, sizeof buffer, &indicator) ==
                     SQL_SUCCESS_WITH_INFO) {
              }
            }
          }
        }
      }
      session.Errors(stmt);
      SQLFreeStmt(stmt, SQL_DROP);
    }
    session.Errors();
  }
  return output.Finish();
}

class DamagedFileTest : public DriverTest {
 protected:
  void SetUp() override {
    Write(BrandTables());
    original = testsupport::ReadFile(folder.database());
  }
  std::string original;
};

TEST_F(DamagedFileTest, TruncatedAfterTheCatalogReadsWithoutCrashOrOutput) {
  for (size_t pages : {4, 5, 6, 7}) {
    testsupport::FileEdit edit(original);
    edit.Cut(pages * edit.PageSize() + 100);
    edit.Save(folder.database());
    EXPECT_EQ(ReadEverything(true), "") << pages << " pages";
  }
}

TEST_F(DamagedFileTest, RandomDamageToTheDataReadsWithoutCrashOrOutput) {
  unsigned state = 2024;
  auto next = [&state]() {
    state = state * 1664525u + 1013904223u;
    return state >> 8;
  };
  for (int round = 0; round < 60; ++round) {
    testsupport::FileEdit edit(original);
    // Damage only after the first page, so the header check lets the file through.
    for (int i = 0; i < 24; ++i) {
      size_t at = edit.PageSize() + next() % (original.size() - edit.PageSize());
      edit.Byte(at) = static_cast<std::uint8_t>(next());
    }
    edit.Save(folder.database());
    EXPECT_EQ(ReadEverything(round % 2 == 0), "") << "round " << round;
  }
}

}  // namespace
}  // namespace drivertest
