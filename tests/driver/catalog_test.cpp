// The catalog in full through the driver manager: SQLForeignKeys from the file's relationships,
// SQLColumns' nullability, defaults and remarks from the properties Access keeps, SQLTables'
// remarks and linked tables, and links read from the file they lead to, or failing saying
// which link and which target.
#include "answers.h"
#include "driver_fixture.h"
#include "tests/support/fixtures.h"

#include <filesystem>
#include <set>

namespace drivertest {
namespace {

using mkmdb::ColumnType;

// The stock of another file, which the links of the main file lead to.
mkmdb::TableSpec StockTable() {
  mkmdb::TableSpec stock{"stock", {{"item", ColumnType::Text, 20}, {"quantity", ColumnType::Long}},
                         {{"wing", "4"}, {"wheel", "12"}, {"seat", std::nullopt}}, "What the hangar holds"};
  stock.columns[0].description = "Name of the part";
  stock.columns[0].required = true;
  return stock;
}

// Makers, planes and flights related by keys; defaults of every kind; links of every kind.
std::vector<mkmdb::TableSpec> MainTables() {
  mkmdb::TableSpec maker{"maker",
                         {{"country", ColumnType::Text, 2}, {"number", ColumnType::Long}, {"name", ColumnType::Text, 50}},
                         {{"FR", "1", "Aérospatiale"}},
                         "Makers of planes"};
  maker.columns[0].required = true;
  maker.columns[0].description = "ISO code, 国";
  maker.columns[2].default_value = "\"(unknown)\"";
  mkmdb::TableSpec plane{"plane",
                         {{"id", ColumnType::Long}, {"country", ColumnType::Text, 2}, {"maker", ColumnType::Long},
                          {"model", ColumnType::Text, 30}},
                         {{"1", "FR", "1", "Concorde"}}};
  plane.columns[3].required = true;
  mkmdb::TableSpec flight{"flight", {{"plane", ColumnType::Long}, {"day", ColumnType::DateTime}}, {}};
  mkmdb::TableSpec defaults{"defaults", {}, {}};
  for (const char* value : {"\"(unknown)\"", "0", "Date()", "=Now()", "\"it's\"", "\"say \"\"hi\"\"\""}) {
    defaults.columns.push_back({"d" + std::to_string(defaults.columns.size()), ColumnType::Text, 50});
    defaults.columns.back().default_value = value;
  }
  return {maker, plane, flight, defaults};
}

mkmdb::CatalogSpec MainCatalog() {
  mkmdb::CatalogSpec catalog;
  catalog.relationships = {
      {"makerplane", "plane", {"country", "maker"}, "maker", {"country", "number"}, true, true, true},
      {"planeflight", "flight", {"plane"}, "plane", {"id"}},
      {"aplane", "maker", {"number"}, "plane", {"id"}},  // named against its table's order
      {"modelmodel", "plane", {"model"}, "plane", {"model"}, false, false, false},
  };
  catalog.links = {
      {"far", "C:\\hangar\\other.mdb", "stock"},
      {"near", "other.mdb", "STOCK"},
      {"gone", "C:\\hangar\\missing.mdb", "stock"},
      {"remote", "", "dbo.stock", "ODBC;DSN=hangar;UID=pilot;PWD=secret;"},
      {"sheet", "C:\\hangar\\stock.xls", "Sheet1$", "Excel 8.0;HDR=YES;"},
  };
  return catalog;
}

// The rows of the result open on `stmt`, the values of `columns` joined by '|'.
std::vector<std::string> RowsOf(SQLHSTMT stmt, const std::vector<SQLUSMALLINT>& columns) {
  std::vector<std::string> rows;
  while (SQL_SUCCEEDED(SQLFetch(stmt))) {
    std::string row;
    for (SQLUSMALLINT c : columns) row += (row.empty() ? "" : "|") + ReadNarrow(stmt, c).value_or("NULL");
    rows.push_back(row);
  }
  SQLCloseCursor(stmt);
  return rows;
}

SQLRETURN ColumnsOf(SQLHSTMT stmt, const char* table) {
  std::u16string t = Wide(table ? table : "");
  return SQLColumnsW(stmt, nullptr, 0, nullptr, 0, table ? reinterpret_cast<SQLWCHAR*>(t.data()) : nullptr,
                     SQL_NTS, nullptr, 0);
}

class CatalogTest : public DriverTest, public ::testing::WithParamInterface<bool> {
 protected:
  // Connects to the writer's files (`fixture` empty) or to a copy of an Access-made file;
  // false when the file is missing.
  bool Open(const std::string& fixture = "") {
    if (fixture.empty()) {
      mkmdb::WriteDatabase(folder.database(), MainTables(), MainCatalog());
      mkmdb::WriteDatabase(folder.root() + "/other.mdb", {StockTable()});
    } else {
      if (!testsupport::HaveFixture(fixture)) return false;
      std::filesystem::copy_file(testsupport::FixturePath(fixture), folder.database());
    }
    folder.Enter();
    Connect(true, odbc3());
    return true;
  }
  std::vector<std::string> Rows(const std::vector<SQLUSMALLINT>& columns) { return RowsOf(stmt, columns); }
  SQLRETURN ForeignKeys(const char* primary, const char* foreign, const char* catalog = nullptr) {
    std::u16string p = Wide(primary ? primary : ""), f = Wide(foreign ? foreign : ""), c = Wide(catalog ? catalog : "");
    auto text = [](const char* given, std::u16string& wide) {
      return given ? reinterpret_cast<SQLWCHAR*>(wide.data()) : nullptr;
    };
    return SQLForeignKeysW(stmt, text(catalog, c), SQL_NTS, nullptr, 0, text(primary, p), SQL_NTS, nullptr, 0,
                           nullptr, 0, text(foreign, f), SQL_NTS);
  }
  SQLRETURN Columns(const char* table) { return ColumnsOf(stmt, table); }
  // The keys SQLForeignKeys gives for a primary table, a foreign one or both, as
  // PKTABLE_NAME|PKCOLUMN_NAME|FKTABLE_NAME|FKCOLUMN_NAME|KEY_SEQ|UPDATE_RULE|DELETE_RULE|FK_NAME|
  // PK_NAME|DEFERRABILITY.
  struct Keys { const char* primary; const char* foreign; std::vector<std::string> rows; };
  void ExpectKeys(const std::vector<Keys>& cases) {
    for (const Keys& c : cases) {
      ASSERT_EQ(ForeignKeys(c.primary, c.foreign), SQL_SUCCESS) << session->Errors(stmt).at(0).message;
      EXPECT_EQ(Rows({3, 4, 7, 8, 9, 10, 11, 12, 13, 14}), c.rows)
          << (c.primary ? c.primary : "-") << " " << (c.foreign ? c.foreign : "-");
    }
  }
  bool odbc3() const { return GetParam(); }
  // An ODBC 3 SQLSTATE as the driver manager gives it to this application.
  std::string State(const std::string& state) const {
    if (odbc3()) return state;
    if (state == "42S02") return "S0002";
    return "S1" + state.substr(2);  // HY000, HY009
  }
};

TEST_P(CatalogTest, ForeignKeysOfRelationshipsBothWays) {
  Open();
  // Without a cascade there is no action (ODBC 2: RESTRICT); the relationship Access does not
  // enforce is no key; the writer makes no indexes, so no key has an index name.
  const std::string none = odbc3() ? "3" : "1";
  const std::vector<std::string> makerPlane = {"maker|country|plane|country|1|0|0|makerplane|NULL|7",
                                               "maker|number|plane|maker|2|0|0|makerplane|NULL|7"};
  const std::string planeFlight = "plane|id|flight|plane|1|" + none + "|" + none + "|planeflight|NULL|7";
  const std::string aPlane = "plane|id|maker|number|1|" + none + "|" + none + "|aplane|NULL|7";
  ExpectKeys({
      {"maker", nullptr, makerPlane},
      {"MAKER", "Plane", makerPlane},
      {nullptr, "plane", makerPlane},
      // By the other table first: flight before maker, although "aplane" < "planeflight".
      {"plane", nullptr, {planeFlight, aPlane}},
      {nullptr, "flight", {planeFlight}},
      {"plane", "maker", {aPlane}},
      {"maker", "plane", makerPlane},
      {"avion", nullptr, {}},
  });
  ASSERT_EQ(ForeignKeys("maker", nullptr, "elsewhere"), SQL_SUCCESS);
  EXPECT_TRUE(Rows({3}).empty());
  EXPECT_EQ(ForeignKeys(nullptr, nullptr), SQL_ERROR);
  EXPECT_EQ(session->Errors(stmt).at(0).state, State("HY009"));
  SQLUSMALLINT supported = SQL_FALSE;
  EXPECT_EQ(SQLGetFunctions(session->dbc(), SQL_API_SQLFOREIGNKEYS, &supported), SQL_SUCCESS);
  EXPECT_EQ(supported, SQL_TRUE);
}

TEST_P(CatalogTest, TheSevenRelationshipsOfNorthwind) {
  if (!Open("jet3-sample.mdb")) GTEST_SKIP() << testsupport::MissingFixture("jet3-sample.mdb");
  // By the table on the other side; each key of Northwind is one column, every primary key
  // index is called PrimaryKey. CustomersOrders cascades updates, OrdersOrder Details deletes.
  const std::string n = odbc3() ? "3" : "1";
  ExpectKeys({
      {nullptr, "Orders",
       {"Customers|CustomerID|Orders|CustomerID|1|0|" + n + "|CustomersOrders|PrimaryKey|7",
        "Employees|EmployeeID|Orders|EmployeeID|1|" + n + "|" + n + "|EmployeesOrders|PrimaryKey|7",
        "Shippers|ShipperID|Orders|ShipVia|1|" + n + "|" + n + "|ShippersOrders|PrimaryKey|7"}},
      {"Orders", nullptr, {"Orders|OrderID|Order Details|OrderID|1|" + n + "|0|OrdersOrder Details|PrimaryKey|7"}},
      {nullptr, "Products",
       {"Categories|CategoryID|Products|CategoryID|1|" + n + "|" + n + "|CategoriesProducts|PrimaryKey|7",
        "Suppliers|SupplierID|Products|SupplierID|1|" + n + "|" + n + "|SuppliersProducts|PrimaryKey|7"}},
      {"Products", "Order Details",
       {"Products|ProductID|Order Details|ProductID|1|" + n + "|" + n + "|ProductsOrder Details|PrimaryKey|7"}},
  });
  // Asked table by table, the file holds seven keys.
  std::set<std::string> keys;
  for (const char* table : {"Categories", "Customers", "Employees", "Order Details", "Orders", "Products",
                            "Shippers", "Suppliers"}) {
    ASSERT_EQ(ForeignKeys(table, nullptr), SQL_SUCCESS);
    for (const std::string& row : Rows({12})) keys.insert(row);
  }
  EXPECT_EQ(keys.size(), 7u);
}

// TABLE|COLUMN|NULLABLE|REMARKS|COLUMN_DEF|IS_NULLABLE
const std::vector<SQLUSMALLINT> kColumnFacts = {3, 4, 11, 12, 13, 18};

TEST_P(CatalogTest, ColumnsTellRequiredDefaultsAndDescriptions) {
  Open();
  const struct { const char* table; std::vector<std::string> rows; } cases[] = {
      {"maker", {"maker|country|0|ISO code, 国|NULL|NO", "maker|number|1|NULL|NULL|YES",
        "maker|name|1|NULL|'(unknown)'|YES"}},
      {"plane",
       {"plane|id|1|NULL|NULL|YES", "plane|country|1|NULL|NULL|YES", "plane|maker|1|NULL|NULL|YES",
        "plane|model|0|NULL|NULL|NO"}},
      // A text in quotes as ODBC quotes it, an expression as Access keeps it.
      {"defaults",
       {"defaults|d0|1|NULL|'(unknown)'|YES", "defaults|d1|1|NULL|0|YES", "defaults|d2|1|NULL|Date()|YES",
        "defaults|d3|1|NULL|Now()|YES", "defaults|d4|1|NULL|'it''s'|YES", "defaults|d5|1|NULL|'say \"hi\"'|YES"}},
      // A link's columns are those of the table it leads to, with their properties.
      {"near", {"near|item|0|Name of the part|NULL|NO", "near|quantity|1|NULL|NULL|YES"}},
  };
  for (const auto& c : cases) {
    ASSERT_EQ(Columns(c.table), SQL_SUCCESS) << c.table;
    EXPECT_EQ(Rows(kColumnFacts), c.rows) << c.table;
  }
}

TEST_P(CatalogTest, ColumnsOfAccessMadeFiles) {
  const struct {
    const char* fixture;
    const char* table;
    std::vector<std::string> rows;
  } cases[] = {
      {"jet3-sample.mdb", "Order Details",
       {"Order Details|OrderID|1|Same as Order ID in Orders table.|NULL|YES",
        "Order Details|ProductID|0|Same as Product ID in Products table.|NULL|NO",
        "Order Details|UnitPrice|0|NULL|0|NO", "Order Details|Quantity|0|NULL|1|NO",
        "Order Details|Discount|0|NULL|0|NO"}},
      {"access-made-jet4.mdb", "DateTest",
       {"DateTest|IDCol|1|NULL|0|YES", "DateTest|DateTimeCol|1|NULL|NULL|YES", "DateTest|DateCol|1|NULL|NULL|YES",
        "DateTest|TimeCol|1|NULL|NULL|YES", "DateTest|LongTextCol|1|NULL|NULL|YES",
        "DateTest|ShortTextCol|1|NULL|NULL|YES"}},
  };
  for (const auto& c : cases) {
    SKIP_WITHOUT_FIXTURE(c.fixture);
    TestFolder here;
    std::filesystem::copy_file(testsupport::FixturePath(c.fixture), here.database());
    here.Enter();
    OdbcSession own(true, GetParam());
    ASSERT_EQ(own.Connect(kProgramConnect), SQL_SUCCESS);
    SQLHSTMT columns = own.AllocStmt();
    ASSERT_EQ(ColumnsOf(columns, c.table), SQL_SUCCESS);
    EXPECT_EQ(RowsOf(columns, kColumnFacts), c.rows) << c.fixture;
    SQLFreeHandle(SQL_HANDLE_STMT, columns);
  }
}

TEST_P(CatalogTest, TablesListLinksAndDescriptions) {
  Open();
  std::u16string all = u"%";
  ASSERT_EQ(SQLTablesW(stmt, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0), SQL_SUCCESS);
  std::vector<std::string> listed;
  for (const std::string& row : Rows({3, 4, 5})) {
    if (row.find("SYSTEM TABLE") == std::string::npos) listed.push_back(row);
  }
  EXPECT_EQ(listed, (std::vector<std::string>{
                        "far|LINK|What the hangar holds", "gone|LINK|NULL", "near|LINK|What the hangar holds",
                        "sheet|LINK|NULL", "remote|PASS-THROUGH|NULL", "defaults|TABLE|NULL", "flight|TABLE|NULL",
                        "maker|TABLE|Makers of planes", "plane|TABLE|NULL"}));
  std::u16string links = u"'LINK','PASS-THROUGH'";
  ASSERT_EQ(SQLTablesW(stmt, nullptr, 0, nullptr, 0, nullptr, 0, reinterpret_cast<SQLWCHAR*>(links.data()), SQL_NTS),
            SQL_SUCCESS);
  EXPECT_EQ(Rows({3}), (std::vector<std::string>{"far", "gone", "near", "sheet", "remote"}));
  std::u16string empty;
  ASSERT_EQ(SQLTablesW(stmt, reinterpret_cast<SQLWCHAR*>(empty.data()), 0, reinterpret_cast<SQLWCHAR*>(empty.data()), 0,
                       reinterpret_cast<SQLWCHAR*>(empty.data()), 0, reinterpret_cast<SQLWCHAR*>(all.data()), SQL_NTS),
            SQL_SUCCESS);
  EXPECT_EQ(Rows({4}), (std::vector<std::string>{"LINK", "PASS-THROUGH", "SYSTEM TABLE", "TABLE", "VIEW"}));
}

TEST_P(CatalogTest, LinksReadTheirFileOrFailNamingLinkAndTarget) {
  Open();
  const struct {
    const char* statement;
    const char* shown;      // the answer, or the SQLSTATE of its failure
    const char* message;    // pieces of the message
  } cases[] = {
      {"SELECT item, quantity FROM far ORDER BY item", "seat|NULL;wheel|12;wing|4", ""},
      {"SELECT COUNT(*) FROM near WHERE quantity > 5", "1", ""},
      {"SELECT p.model, n.item FROM plane AS p, near AS n WHERE n.quantity = 4", "Concorde|wing", ""},
      {"SELECT * FROM gone", "42S02", "table \"gone\" is a link to table \"stock\" in \"C:\\hangar\\missing.mdb\""},
      {"SELECT * FROM remote", "HY000", "ODBC data source \"ODBC;DSN=hangar;UID=pilot;PWD=...;\""},
      {"SELECT * FROM sheet", "HY000", "a file of kind \"Excel 8.0\""},
  };
  for (const auto& c : cases) {
    const Answer answer = Ask(*session, c.statement);
    if (*c.message == '\0') {
      EXPECT_EQ(answer.Shown(), c.shown) << c.statement;
      continue;
    }
    EXPECT_EQ(answer.Shown(), "error " + State(c.shown)) << c.statement;
    SQLHSTMT failing = session->AllocStmt();
    EXPECT_EQ(session->ExecDirect(failing, c.statement), SQL_ERROR);
    const std::string message = session->Errors(failing).at(0).message;
    EXPECT_NE(message.find(c.message), std::string::npos) << message;
    EXPECT_EQ(message.find("secret"), std::string::npos) << message;
    SQLFreeHandle(SQL_HANDLE_STMT, failing);
  }
  // Described without them, the links that cannot be followed are warnings.
  ASSERT_EQ(Columns(nullptr), SQL_SUCCESS_WITH_INFO);
  std::vector<std::string> warned;
  for (const Diag& d : session->Errors(stmt)) {
    EXPECT_EQ(d.state, "01000") << d.message;
    const std::size_t named = d.message.find("table \"");
    ASSERT_NE(named, std::string::npos) << d.message;
    warned.push_back(d.message.substr(named, d.message.find('"', named + 7) + 1 - named));
  }
  EXPECT_EQ(warned, (std::vector<std::string>{"table \"gone\"", "table \"remote\"", "table \"sheet\""}));
  EXPECT_EQ(Rows({3}).size(), 3u + 4u + 2u + 6u + 2u + 2u);  // maker, plane, flight, defaults, far, near
}

TEST_P(CatalogTest, BrokenPropertiesAreAWarningAndTheRowsStay) {
  mkmdb::WriteDatabase(folder.database(), MainTables(), MainCatalog());
  std::string bytes = testsupport::ReadFile(folder.database());
  // The blob of table maker, which holds its description.
  std::string description;
  for (char c : std::string("Makers of planes")) description += std::string{c, '\0'};
  const std::size_t blob = bytes.rfind(std::string("MR2\0", 4), bytes.find(description));
  ASSERT_NE(blob, std::string::npos);
  bytes[blob + 7] = '\x7F';  // the names block now runs far past the blob
  testsupport::WriteFile(folder.database(), bytes);
  folder.Enter();
  Connect(true, odbc3());
  ASSERT_EQ(Columns("maker"), SQL_SUCCESS_WITH_INFO);
  const Diag warning = session->Errors(stmt).at(0);
  EXPECT_EQ(warning.state, "01000");
  EXPECT_NE(warning.message.find("table \"maker\": its properties are broken: the property block at offset 4"),
            std::string::npos)
      << warning.message;
  EXPECT_EQ(Rows(kColumnFacts), (std::vector<std::string>{"maker|country|1|NULL|NULL|YES", "maker|number|1|NULL|NULL|YES",
                                                          "maker|name|1|NULL|NULL|YES"}));
  ASSERT_EQ(SQLTablesW(stmt, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(Ask(*session, "SELECT name FROM maker").Shown(), "Aérospatiale");
}

// Every value SQLGetTypeInfo gives for each of Access's types (an ODBC 2 application sees the
// date type as SQL_TIMESTAMP, 11, and finds it by either number).
TEST_P(CatalogTest, TypeInfoDescribesEachAccessType) {
  Open();
  ASSERT_EQ(SQLGetTypeInfo(stmt, SQL_ALL_TYPES), SQL_SUCCESS);
  std::vector<SQLUSMALLINT> all(19);
  for (SQLUSMALLINT c = 0; c < 19; ++c) all[c] = static_cast<SQLUSMALLINT>(c + 1);
  const std::string date = odbc3() ? "93" : "11";
  // TYPE_NAME|DATA_TYPE|COLUMN_SIZE|LITERAL_PREFIX|LITERAL_SUFFIX|CREATE_PARAMS|NULLABLE|
  // CASE_SENSITIVE|SEARCHABLE|UNSIGNED_ATTRIBUTE|FIXED_PREC_SCALE|AUTO_UNIQUE_VALUE|
  // LOCAL_TYPE_NAME|MINIMUM_SCALE|MAXIMUM_SCALE|SQL_DATA_TYPE|SQL_DATETIME_SUB|NUM_PREC_RADIX|
  // INTERVAL_PRECISION
  const std::vector<std::string> expected = {
      "GUID|-11|36|{guid |}|NULL|1|0|2|NULL|0|NULL|GUID|NULL|NULL|-11|NULL|NULL|NULL",
      "LONGCHAR|-10|1073741823|'|'|NULL|1|0|1|NULL|0|NULL|LONGCHAR|NULL|NULL|-10|NULL|NULL|NULL",
      "VARCHAR|-9|255|'|'|max length|1|0|3|NULL|0|NULL|VARCHAR|NULL|NULL|-9|NULL|NULL|NULL",
      "BIT|-7|1|NULL|NULL|NULL|0|0|2|1|0|0|BIT|0|0|-7|NULL|10|NULL",
      "BYTE|-6|3|NULL|NULL|NULL|1|0|2|1|0|0|BYTE|0|0|-6|NULL|10|NULL",
      "BIGINT|-5|19|NULL|NULL|NULL|1|0|2|0|0|0|BIGINT|0|0|-5|NULL|10|NULL",
      "LONGBINARY|-4|1073741823|0x|NULL|NULL|1|0|0|NULL|0|NULL|LONGBINARY|NULL|NULL|-4|NULL|NULL|NULL",
      "VARBINARY|-3|255|0x|NULL|max length|1|0|2|NULL|0|NULL|VARBINARY|NULL|NULL|-3|NULL|NULL|NULL",
      "DECIMAL|2|28|NULL|NULL|precision,scale|1|0|2|0|0|0|DECIMAL|0|28|2|NULL|10|NULL",
      "CURRENCY|3|19|NULL|NULL|NULL|1|0|2|0|1|0|CURRENCY|4|4|3|NULL|10|NULL",
      "COUNTER|4|10|NULL|NULL|NULL|1|0|2|0|0|1|COUNTER|0|0|4|NULL|10|NULL",
      "INTEGER|4|10|NULL|NULL|NULL|1|0|2|0|0|0|INTEGER|0|0|4|NULL|10|NULL",
      "SMALLINT|5|5|NULL|NULL|NULL|1|0|2|0|0|0|SMALLINT|0|0|5|NULL|10|NULL",
      "REAL|7|7|NULL|NULL|NULL|1|0|2|0|0|0|REAL|NULL|NULL|7|NULL|2|NULL",
      "DOUBLE|8|15|NULL|NULL|NULL|1|0|2|0|0|0|DOUBLE|NULL|NULL|8|NULL|2|NULL",
      "DATETIME|" + date + "|19|#|#|NULL|1|0|2|NULL|0|NULL|DATETIME|0|0|9|3|NULL|NULL",
  };
  EXPECT_EQ(Rows(all), expected);
  for (SQLSMALLINT type : {SQL_TYPE_TIMESTAMP, SQL_TIMESTAMP}) {
    if (type == SQL_TIMESTAMP && odbc3()) continue;  // an ODBC 2 number
    ASSERT_EQ(SQLGetTypeInfo(stmt, type), SQL_SUCCESS);
    EXPECT_EQ(Rows({1, 2}), std::vector<std::string>{"DATETIME|" + date}) << type;
  }
}

INSTANTIATE_TEST_SUITE_P(OdbcVersions, CatalogTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Odbc3" : "Odbc2"; });

}  // namespace
}  // namespace drivertest
