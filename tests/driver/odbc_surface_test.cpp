// What ODBC clients call beyond the access layer's road: bound columns with rowsets row-wise
// and column-wise, parameters (also values sent at execution, which SQLParamData asks for one
// after the other and SQLPutData sends whole or in pieces, after SQLExecute as after
// SQLExecDirect), the result shapes of the catalog functions, autocommit and the answers about
// all of it; and what the driver reports and hands over at the edges of ODBC's numbers: a
// message longer than any buffer, values of every column type read as SQL_C_BINARY, and fetch
// offsets at the ends of SQLLEN. (Data sources of odbc.ini are met by the client tests, whose
// processes read a configuration of their own.)
#include "answers.h"
#include "driver_direct.h"
#include "driver_fixture.h"

#include <climits>
#include <functional>

namespace drivertest {
namespace {

class OdbcSurfaceTest : public BrandDatabaseTest {
 protected:
  void SetUp() override {
    BrandDatabaseTest::SetUp();
    Connect(true, true);
  }
  std::vector<std::string> ColumnNames() {
    std::vector<std::string> names;
    SQLSMALLINT count = 0;
    SQLNumResultCols(stmt, &count);
    for (SQLUSMALLINT c = 1; c <= count; ++c) names.push_back(session->Describe(stmt, c)->name);
    return names;
  }
  std::vector<std::string> Rows(SQLUSMALLINT column) {
    std::vector<std::string> rows;
    while (SQL_SUCCEEDED(SQLFetch(stmt))) rows.push_back(Narrow(ReadWide(stmt, column).value_or(u"NULL")));
    SQLCloseCursor(stmt);
    return rows;
  }
};

TEST_F(OdbcSurfaceTest, ColumnWiseRowsetsFillArraysStatusAndCount) {
  constexpr SQLULEN kRows = 4;
  SQLINTEGER ids[kRows] = {};
  SQLLEN idLengths[kRows] = {};
  char names[kRows][6] = {};
  SQLLEN nameLengths[kRows] = {};
  SQLUSMALLINT status[kRows] = {};
  SQLULEN fetched = 0;
  ASSERT_EQ(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(kRows), 0), SQL_SUCCESS);
  ASSERT_EQ(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_STATUS_PTR, status, 0), SQL_SUCCESS);
  ASSERT_EQ(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0), SQL_SUCCESS);
  ASSERT_EQ(SQLBindCol(stmt, 1, SQL_C_SLONG, ids, 0, idLengths), SQL_SUCCESS);
  ASSERT_EQ(SQLBindCol(stmt, 2, SQL_C_CHAR, names, sizeof names[0], nameLengths), SQL_SUCCESS);
  ASSERT_EQ(session->ExecDirect(stmt, "SELECT id, marque FROM avion WHERE id > 2 ORDER BY id"), SQL_SUCCESS);
  // Rows 3 to 6: "Dassault Aviation" is cut (01004), row 5 has a NULL name.
  EXPECT_EQ(SQLFetch(stmt), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(fetched, 4u);
  EXPECT_EQ(std::vector<SQLINTEGER>(ids, ids + 4), (std::vector<SQLINTEGER>{3, 4, 5, 6}));
  EXPECT_STREQ(names[0], "Dassa");
  EXPECT_EQ(nameLengths[0], 17);
  EXPECT_EQ(nameLengths[2], SQL_NULL_DATA);
  EXPECT_EQ(nameLengths[3], 0);
  EXPECT_EQ(std::vector<SQLUSMALLINT>(status, status + 4),
            (std::vector<SQLUSMALLINT>{SQL_ROW_SUCCESS_WITH_INFO, SQL_ROW_SUCCESS_WITH_INFO, SQL_ROW_SUCCESS,
                                       SQL_ROW_SUCCESS}));
  // Rows 7 to 10 (three names cut), then nothing.
  EXPECT_EQ(SQLFetch(stmt), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(fetched, 4u);
  EXPECT_EQ(ids[3], 10);
  EXPECT_EQ(SQLFetch(stmt), SQL_NO_DATA);
}

TEST_F(OdbcSurfaceTest, RowWiseRowsetsOfAStaticCursorScroll) {
  struct Row {
    SQLINTEGER id;
    SQLLEN idLength;
    SQL_TIMESTAMP_STRUCT vol;
    SQLLEN volLength;
  } rows[3] = {};
  SQLULEN fetched = 0;
  ASSERT_EQ(SQLSetStmtAttr(stmt, SQL_ATTR_CURSOR_TYPE, reinterpret_cast<SQLPOINTER>(SQL_CURSOR_STATIC), 0), SQL_SUCCESS);
  ASSERT_EQ(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(sizeof(Row)), 0), SQL_SUCCESS);
  ASSERT_EQ(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(3), 0), SQL_SUCCESS);
  ASSERT_EQ(SQLSetStmtAttr(stmt, SQL_ATTR_ROWS_FETCHED_PTR, &fetched, 0), SQL_SUCCESS);
  ASSERT_EQ(SQLBindCol(stmt, 1, SQL_C_SLONG, &rows[0].id, 0, &rows[0].idLength), SQL_SUCCESS);
  ASSERT_EQ(SQLBindCol(stmt, 2, SQL_C_TYPE_TIMESTAMP, &rows[0].vol, 0, &rows[0].volLength), SQL_SUCCESS);
  ASSERT_EQ(session->ExecDirect(stmt, "SELECT id, vol FROM avion"), SQL_SUCCESS);
  auto ids = [&]() {
    std::vector<SQLINTEGER> got;
    for (SQLULEN i = 0; i < fetched; ++i) got.push_back(rows[i].id);
    return got;
  };
  ASSERT_EQ(SQLFetchScroll(stmt, SQL_FETCH_LAST, 0), SQL_SUCCESS);
  EXPECT_EQ(ids(), (std::vector<SQLINTEGER>{8, 9, 10}));
  EXPECT_EQ(rows[1].vol.year, 100);
  ASSERT_EQ(SQLFetchScroll(stmt, SQL_FETCH_ABSOLUTE, 2), SQL_SUCCESS);
  EXPECT_EQ(ids(), (std::vector<SQLINTEGER>{2, 3, 4}));
  EXPECT_EQ(rows[1].vol.second, 1);
  ASSERT_EQ(SQLFetchScroll(stmt, SQL_FETCH_PRIOR, 0), SQL_SUCCESS);
  EXPECT_EQ(ids(), (std::vector<SQLINTEGER>{1, 2, 3}));
  ASSERT_EQ(SQLFetchScroll(stmt, SQL_FETCH_ABSOLUTE, 9), SQL_SUCCESS);
  EXPECT_EQ(ids(), (std::vector<SQLINTEGER>{9, 10}));
}

// The bind offset moves every bound address, values and lengths alike; a wide buffer of an odd
// size holds whole characters only.
TEST_F(OdbcSurfaceTest, BindOffsetMovesRowWiseBindingsAndOddWideBuffersHoldWholeCharacters) {
  struct Row { SQLINTEGER id; SQLLEN idLength; char16_t name[4]; SQLLEN nameLength; } rows[4] = {};
  SQLLEN offset = sizeof(Row);
  SQLUSMALLINT status[3] = {};
  ASSERT_EQ(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_TYPE, reinterpret_cast<SQLPOINTER>(sizeof(Row)), 0), SQL_SUCCESS);
  ASSERT_EQ(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_ARRAY_SIZE, reinterpret_cast<SQLPOINTER>(3), 0), SQL_SUCCESS);
  ASSERT_EQ(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_STATUS_PTR, status, 0), SQL_SUCCESS);
  ASSERT_EQ(SQLSetStmtAttr(stmt, SQL_ATTR_ROW_BIND_OFFSET_PTR, &offset, 0), SQL_SUCCESS);
  ASSERT_EQ(SQLBindCol(stmt, 1, SQL_C_SLONG, &rows[0].id, 0, &rows[0].idLength), SQL_SUCCESS);
  ASSERT_EQ(SQLBindCol(stmt, 2, SQL_C_WCHAR, rows[0].name, 7, &rows[0].nameLength), SQL_SUCCESS);
  ASSERT_EQ(session->ExecDirect(stmt, "SELECT id, marque FROM avion WHERE id >= 3 ORDER BY id"), SQL_SUCCESS);
  EXPECT_EQ(SQLFetch(stmt), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(rows[0].id, 0);
  EXPECT_EQ(rows[0].idLength, 0);
  EXPECT_EQ(rows[0].nameLength, 0);
  EXPECT_EQ((std::vector<SQLINTEGER>{rows[1].id, rows[2].id, rows[3].id}), (std::vector<SQLINTEGER>{3, 4, 5}));
  EXPECT_EQ((std::vector<SQLLEN>{rows[1].idLength, rows[1].nameLength, rows[3].nameLength}),
            (std::vector<SQLLEN>{4, 34, SQL_NULL_DATA}));
  EXPECT_EQ(std::u16string(rows[1].name), u"Da");  // 7 bytes: two characters and the terminator
  EXPECT_EQ(rows[1].name[3], u'\0');
  EXPECT_EQ(std::vector<SQLUSMALLINT>(status, status + 3),
            (std::vector<SQLUSMALLINT>{SQL_ROW_SUCCESS_WITH_INFO, SQL_ROW_SUCCESS_WITH_INFO, SQL_ROW_SUCCESS}));
}

// SQLColAttribute's answers for a column of each type, numbers and texts alike.
TEST_F(OdbcSurfaceTest, ColumnAttributesDescribeEachType) {
  ASSERT_EQ(session->ExecDirect(stmt, "SELECT marque, id, prix, vol, actif, notes, id * 2 FROM avion"), SQL_SUCCESS);
  const SQLUSMALLINT numbers[] = {SQL_DESC_TYPE, SQL_DESC_CONCISE_TYPE, SQL_DESC_DATETIME_INTERVAL_CODE,
                                  SQL_DESC_PRECISION, SQL_DESC_LENGTH, SQL_DESC_OCTET_LENGTH, SQL_DESC_SCALE,
                                  SQL_DESC_NULLABLE, SQL_DESC_DISPLAY_SIZE, SQL_DESC_UNSIGNED, SQL_DESC_SEARCHABLE,
                                  SQL_DESC_FIXED_PREC_SCALE, SQL_DESC_NUM_PREC_RADIX, SQL_DESC_UNNAMED,
                                  SQL_DESC_AUTO_UNIQUE_VALUE, SQL_DESC_CASE_SENSITIVE, SQL_DESC_UPDATABLE};
  const SQLUSMALLINT texts[] = {SQL_DESC_LITERAL_PREFIX, SQL_DESC_LITERAL_SUFFIX, SQL_DESC_TYPE_NAME,
                                SQL_DESC_BASE_TABLE_NAME, SQL_DESC_BASE_COLUMN_NAME, SQL_DESC_LABEL};
  std::vector<std::string> described;
  for (SQLUSMALLINT column = 1; column <= 7; ++column) {
    std::string row;
    for (SQLUSMALLINT field : numbers) {
      SQLLEN value = -99;
      EXPECT_EQ(SQLColAttributeW(stmt, column, field, nullptr, 0, nullptr, &value), SQL_SUCCESS) << field;
      row += std::to_string(value) + "|";
    }
    for (SQLUSMALLINT field : texts) {
      char16_t text[32] = {};
      SQLSMALLINT length = -1;
      EXPECT_EQ(SQLColAttributeW(stmt, column, field, text, sizeof text, &length, nullptr), SQL_SUCCESS) << field;
      EXPECT_EQ(length, static_cast<SQLSMALLINT>(2 * std::u16string(text).size())) << field;
      row += Narrow(text) + (field == SQL_DESC_LABEL ? "" : "|");
    }
    described.push_back(row);
  }
  // TYPE|CONCISE_TYPE|INTERVAL_CODE|PRECISION|LENGTH|OCTET_LENGTH|SCALE|NULLABLE|DISPLAY_SIZE|
  // UNSIGNED|SEARCHABLE|FIXED_PREC_SCALE|RADIX|UNNAMED|AUTO_UNIQUE|CASE_SENSITIVE|UPDATABLE|
  // LITERAL_PREFIX|LITERAL_SUFFIX|TYPE_NAME|BASE_TABLE|BASE_COLUMN|LABEL
  EXPECT_EQ(described,
            (std::vector<std::string>{
                "-9|-9|0|50|50|100|0|1|50|1|3|0|0|0|0|0|0|'|'|VARCHAR|avion|marque|marque",
                "4|4|0|10|10|4|0|1|11|0|2|0|10|0|0|0|0|||INTEGER|avion|id|id",
                "8|8|0|15|15|8|0|1|24|0|2|0|2|0|0|0|0|||DOUBLE|avion|prix|prix",
                "9|93|3|0|23|16|3|1|23|1|2|0|0|0|0|0|0|#|#|DATETIME|avion|vol|vol",
                "-7|-7|0|1|1|1|0|0|1|1|2|0|10|0|0|0|0|||BIT|avion|actif|actif",
                "-10|-10|0|1073741823|1073741823|1073741823|0|1|1073741823|1|1|0|0|0|0|0|0|'|'|LONGCHAR|avion|notes|notes",
                "4|4|0|10|10|4|0|1|11|0|2|0|10|0|0|0|0|||INTEGER|||Expr1000"}));
  char16_t small[3] = {};
  SQLSMALLINT length = 0;
  EXPECT_EQ(SQLColAttributeW(stmt, 1, SQL_DESC_TYPE_NAME, small, sizeof small, &length, nullptr), SQL_SUCCESS_WITH_INFO);
  EXPECT_EQ(std::u16string(small), u"VA");
  EXPECT_EQ(length, 14);
  SQLLEN count = 0;
  EXPECT_EQ(SQLColAttributeW(stmt, 0, SQL_DESC_COUNT, nullptr, 0, nullptr, &count), SQL_SUCCESS);
  EXPECT_EQ(count, 7);
  EXPECT_EQ(SQLColAttributeW(stmt, 8, SQL_DESC_TYPE, nullptr, 0, nullptr, &count), SQL_ERROR);
  EXPECT_EQ(SQLColAttributeW(stmt, 1, 9999, nullptr, 0, nullptr, &count), SQL_ERROR);
}

// SQL_ATTR_MAX_ROWS ends a forward-only result after that many rows; a bit parameter of 1 is
// Access's True, of 0 its False.
TEST_F(OdbcSurfaceTest, MaxRowsEndsTheResultAndABitParameterIsTrue) {
  ASSERT_EQ(SQLSetStmtAttr(stmt, SQL_ATTR_MAX_ROWS, reinterpret_cast<SQLPOINTER>(3), 0), SQL_SUCCESS);
  SQLULEN maxRows = 0;
  ASSERT_EQ(SQLGetStmtAttr(stmt, SQL_ATTR_MAX_ROWS, &maxRows, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(maxRows, 3u);
  ASSERT_EQ(session->ExecDirect(stmt, "SELECT id FROM avion"), SQL_SUCCESS);
  EXPECT_EQ(Rows(1), (std::vector<std::string>{"1", "2", "3"}));
  ASSERT_EQ(SQLSetStmtAttr(stmt, SQL_ATTR_MAX_ROWS, reinterpret_cast<SQLPOINTER>(0), 0), SQL_SUCCESS);
  // A forward-only cursor does not scroll, a static one does.
  SQLULEN scrollable = 99;
  ASSERT_EQ(SQLGetStmtAttr(stmt, SQL_ATTR_CURSOR_SCROLLABLE, &scrollable, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(scrollable, static_cast<SQLULEN>(SQL_NONSCROLLABLE));
  ASSERT_TRUE(SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_CURSOR_TYPE, reinterpret_cast<SQLPOINTER>(SQL_CURSOR_STATIC), 0)));
  ASSERT_EQ(SQLGetStmtAttr(stmt, SQL_ATTR_CURSOR_SCROLLABLE, &scrollable, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(scrollable, static_cast<SQLULEN>(SQL_SCROLLABLE));
  ASSERT_TRUE(SQL_SUCCEEDED(SQLSetStmtAttr(stmt, SQL_ATTR_CURSOR_TYPE, reinterpret_cast<SQLPOINTER>(SQL_CURSOR_FORWARD_ONLY), 0)));
  // Only input parameters: an output one is refused when the statement runs.
  SQLINTEGER out = 0;
  ASSERT_EQ(SQLBindParameter(stmt, 1, SQL_PARAM_OUTPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &out, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(session->ExecDirect(stmt, "SELECT id FROM avion WHERE id = ?"), SQL_ERROR);
  EXPECT_EQ(session->Errors(stmt).at(0).state, "HY105");
  SQLCHAR bit = 1;
  ASSERT_EQ(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_BIT, SQL_BIT, 1, 0, &bit, 0, nullptr), SQL_SUCCESS);
  ASSERT_EQ(session->ExecDirect(stmt, "SELECT id FROM avion WHERE actif = ? AND id < 5"), SQL_SUCCESS);
  EXPECT_EQ(Rows(1), (std::vector<std::string>{"1", "3"}));
  bit = 0;
  ASSERT_EQ(session->ExecDirect(stmt, "SELECT id FROM avion WHERE actif = ? AND id < 5"), SQL_SUCCESS);
  EXPECT_EQ(Rows(1), (std::vector<std::string>{"2", "4"}));
  // A time parameter is that time of Access's day zero, as a time literal is.
  SQL_TIME_STRUCT time{10, 30, 0};
  ASSERT_EQ(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_TYPE_TIME, SQL_TYPE_TIME, 8, 0, &time, 0, nullptr),
            SQL_SUCCESS);
  ASSERT_EQ(session->ExecDirect(stmt, "SELECT id FROM avion WHERE id = 1 AND ? = #10:30:00#"), SQL_SUCCESS);
  EXPECT_EQ(Rows(1), (std::vector<std::string>{"1"}));
  // The row descriptor counts up to the highest bound column; a record's field is that record's.
  SQLINTEGER first = 0, third = 0;
  ASSERT_EQ(SQLBindCol(stmt, 1, SQL_C_SLONG, &first, 0, nullptr), SQL_SUCCESS);
  ASSERT_EQ(SQLBindCol(stmt, 3, SQL_C_SLONG, &third, 0, nullptr), SQL_SUCCESS);
  SQLHDESC ard = SQL_NULL_HDESC;
  ASSERT_EQ(SQLGetStmtAttr(stmt, SQL_ATTR_APP_ROW_DESC, &ard, 0, nullptr), SQL_SUCCESS);
  SQLSMALLINT count = -1, type = -1;
  EXPECT_EQ(SQLGetDescField(ard, 0, SQL_DESC_COUNT, &count, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(SQLGetDescField(ard, 3, SQL_DESC_TYPE, &type, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(type, SQL_C_SLONG);
  SQLFreeStmt(stmt, SQL_UNBIND);
}

TEST_F(OdbcSurfaceTest, ParametersOfEveryKindSelectRows) {
  SQL_TIMESTAMP_STRUCT since{2000, 1, 1, 0, 0, 0, 0};
  SQLINTEGER below = 9;
  std::u16string brand = u"CESSNA";
  SQLLEN brandLength = SQL_NTS;
  ASSERT_EQ(session->Prepare(stmt, "SELECT id FROM avion WHERE (vol >= ? AND id < ?) OR marque = ? ORDER BY id"),
            SQL_SUCCESS);
  SQLSMALLINT count = 0;
  ASSERT_EQ(SQLNumParams(stmt, &count), SQL_SUCCESS);
  EXPECT_EQ(count, 3);
  // Described before execution, from the prepared statement.
  ASSERT_EQ(SQLNumResultCols(stmt, &count), SQL_SUCCESS);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(SQLExecute(stmt), SQL_ERROR);
  EXPECT_EQ(session->Errors(stmt).at(0).state, "07002");
  ASSERT_EQ(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_TYPE_TIMESTAMP, SQL_TYPE_TIMESTAMP, 19, 0, &since, 0, nullptr),
            SQL_SUCCESS);
  ASSERT_EQ(SQLBindParameter(stmt, 2, SQL_PARAM_INPUT, SQL_C_SLONG, SQL_INTEGER, 0, 0, &below, 0, nullptr), SQL_SUCCESS);
  ASSERT_EQ(SQLBindParameter(stmt, 3, SQL_PARAM_INPUT, SQL_C_WCHAR, SQL_WVARCHAR, 50, 0, brand.data(), 0, &brandLength),
            SQL_SUCCESS);
  ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS) << session->Errors(stmt).at(0).message;
  EXPECT_EQ(Rows(1), (std::vector<std::string>{"1", "7", "8"}));
  below = 100;
  brandLength = SQL_NULL_DATA;
  ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS) << session->Errors(stmt).at(0).message;
  EXPECT_EQ(Rows(1), (std::vector<std::string>{"1", "7", "8", "10"}));
}

TEST_F(OdbcSurfaceTest, CatalogFunctionsHaveTheReferenceShapes) {
  auto run = [&](const char* function) -> SQLRETURN {
    std::u16string avion = u"avion";
    auto* table = reinterpret_cast<SQLWCHAR*>(avion.data());
    std::string f = function;
    if (f == "SQLTables") return SQLTablesW(stmt, nullptr, 0, nullptr, 0, nullptr, 0, nullptr, 0);
    if (f == "SQLColumns") return SQLColumnsW(stmt, nullptr, 0, nullptr, 0, table, SQL_NTS, nullptr, 0);
    if (f == "SQLStatistics") return SQLStatisticsW(stmt, nullptr, 0, nullptr, 0, table, SQL_NTS, SQL_INDEX_ALL, SQL_QUICK);
    if (f == "SQLPrimaryKeys") return SQLPrimaryKeysW(stmt, nullptr, 0, nullptr, 0, table, SQL_NTS);
    if (f == "SQLSpecialColumns")
      return SQLSpecialColumnsW(stmt, SQL_BEST_ROWID, nullptr, 0, nullptr, 0, table, SQL_NTS, SQL_SCOPE_SESSION, SQL_NULLABLE);
    return SQLGetTypeInfoW(stmt, SQL_ALL_TYPES);
  };
  // Each result's columns in the reference order, and the values of one of its columns.
  const struct {
    const char* function;
    std::vector<std::string> columns;
    SQLUSMALLINT valueColumn;
    std::vector<std::string> values;
  } shapes[] = {
      {"SQLTables", {"TABLE_CAT", "TABLE_SCHEM", "TABLE_NAME", "TABLE_TYPE", "REMARKS"}, 3, {"MSysACEs", "MSysObjects", "MSysQueries", "MSysRelationships", "avion", "vide"}},
      {"SQLColumns",
       {"TABLE_CAT", "TABLE_SCHEM", "TABLE_NAME", "COLUMN_NAME", "DATA_TYPE", "TYPE_NAME", "COLUMN_SIZE",
        "BUFFER_LENGTH", "DECIMAL_DIGITS", "NUM_PREC_RADIX", "NULLABLE", "REMARKS", "COLUMN_DEF", "SQL_DATA_TYPE",
        "SQL_DATETIME_SUB", "CHAR_OCTET_LENGTH", "ORDINAL_POSITION", "IS_NULLABLE"},
       5, {"-9", "4", "8", "93", "-7", "-10"}},
      {"SQLStatistics",
       {"TABLE_CAT", "TABLE_SCHEM", "TABLE_NAME", "NON_UNIQUE", "INDEX_QUALIFIER", "INDEX_NAME", "TYPE",
        "ORDINAL_POSITION", "COLUMN_NAME", "ASC_OR_DESC", "CARDINALITY", "PAGES", "FILTER_CONDITION"},
       11, {"10"}},
      {"SQLPrimaryKeys", {"TABLE_CAT", "TABLE_SCHEM", "TABLE_NAME", "COLUMN_NAME", "KEY_SEQ", "PK_NAME"}, 4, {}},
      {"SQLSpecialColumns",
       {"SCOPE", "COLUMN_NAME", "DATA_TYPE", "TYPE_NAME", "COLUMN_SIZE", "BUFFER_LENGTH", "DECIMAL_DIGITS",
        "PSEUDO_COLUMN"}, 2, {}},
      {"SQLGetTypeInfo",
       {"TYPE_NAME", "DATA_TYPE", "COLUMN_SIZE", "LITERAL_PREFIX", "LITERAL_SUFFIX", "CREATE_PARAMS", "NULLABLE",
        "CASE_SENSITIVE", "SEARCHABLE", "UNSIGNED_ATTRIBUTE", "FIXED_PREC_SCALE", "AUTO_UNIQUE_VALUE",
        "LOCAL_TYPE_NAME", "MINIMUM_SCALE", "MAXIMUM_SCALE", "SQL_DATA_TYPE", "SQL_DATETIME_SUB", "NUM_PREC_RADIX",
        "INTERVAL_PRECISION"},
       2, {"-11", "-10", "-9", "-7", "-6", "-5", "-4", "-3", "2", "3", "4", "4", "5", "7", "8", "93"}},
  };
  for (const auto& shape : shapes) {
    ASSERT_EQ(run(shape.function), SQL_SUCCESS) << shape.function;
    EXPECT_EQ(ColumnNames(), shape.columns) << shape.function;
    EXPECT_EQ(Rows(shape.valueColumn), shape.values) << shape.function;
  }
}

TEST_F(OdbcSurfaceTest, ConnectionAttributesAndAnswersAboutThem) {
  SQLHDBC dbc = session->dbc();
  EXPECT_EQ(SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(SQL_AUTOCOMMIT_OFF), 0), SQL_SUCCESS);
  SQLUINTEGER value = 99;
  EXPECT_EQ(SQLGetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, &value, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(value, static_cast<SQLUINTEGER>(SQL_AUTOCOMMIT_OFF));
  EXPECT_EQ(SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_COMMIT), SQL_SUCCESS);
  EXPECT_EQ(SQLEndTran(SQL_HANDLE_DBC, dbc, SQL_ROLLBACK), SQL_SUCCESS);
  EXPECT_EQ(SQLGetConnectAttr(dbc, SQL_ATTR_ACCESS_MODE, &value, 0, nullptr), SQL_SUCCESS);
  EXPECT_EQ(value, static_cast<SQLUINTEGER>(SQL_MODE_READ_ONLY));
  // The file has no catalogs: the current one is empty, its length said.
  SQLCHAR catalog[8] = "x";
  SQLINTEGER catalogLength = 99;
  EXPECT_EQ(SQLGetConnectAttr(dbc, SQL_ATTR_CURRENT_CATALOG, catalog, sizeof catalog, &catalogLength), SQL_SUCCESS);
  EXPECT_EQ(catalogLength, 0);
  EXPECT_EQ(catalog[0], 0);
  // The driver manager answers from the bitmap the driver gave it at connect.
  for (SQLUSMALLINT function : {SQL_API_SQLBINDCOL, SQL_API_SQLBINDPARAMETER, SQL_API_SQLTABLES, SQL_API_SQLCOLUMNS,
                                SQL_API_SQLCONNECT, SQL_API_SQLFETCHSCROLL, SQL_API_SQLDESCRIBEPARAM, SQL_API_SQLSETPOS,
                                SQL_API_SQLBULKOPERATIONS}) {
    SQLUSMALLINT supported = 0;
    EXPECT_EQ(SQLGetFunctions(dbc, function, &supported), SQL_SUCCESS);
    bool implemented = function != SQL_API_SQLSETPOS && function != SQL_API_SQLBULKOPERATIONS;
    EXPECT_EQ(supported, implemented ? SQL_TRUE : SQL_FALSE) << function;
  }
  EXPECT_EQ(session->InfoText(SQL_COLUMN_ALIAS), "Y");
  EXPECT_EQ(session->InfoInteger(SQL_AGGREGATE_FUNCTIONS).value_or(0) & SQL_AF_SUM, static_cast<SQLUINTEGER>(SQL_AF_SUM));
}

class EdgesTest : public BrandDatabaseTest {
 protected:
  void SetUp() override {
    BrandDatabaseTest::SetUp();
    Connect(false, true);
  }
  SQLRETURN Exec(const std::string& text) {
    std::string copy = text;
    return SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(copy.data()), SQL_NTS);
  }
};

// A statement that names a column of 40,000 characters: its message is shortened to what
// an application's buffer of SQL_MAX_MESSAGE_LENGTH holds, and every length is the whole one.
TEST_F(EdgesTest, AnEnormousMessageIsShortenedAndItsLengthsAreTrue) {
  const std::string name(40000, 'x');
  ASSERT_EQ(Exec("SELECT " + name + " FROM avion"), SQL_ERROR);

  SQLCHAR state[6] = {};
  SQLINTEGER native = 0;
  SQLSMALLINT full = -1;
  ASSERT_EQ(SQLGetDiagRec(SQL_HANDLE_STMT, stmt, 1, state, &native, nullptr, 0, &full), SQL_SUCCESS);
  EXPECT_GT(full, 20);
  EXPECT_LT(full, SQL_MAX_MESSAGE_LENGTH);
  std::string whole(static_cast<std::size_t>(full) + 1, '\0');
  SQLSMALLINT length = -1;
  ASSERT_EQ(SQLGetDiagRec(SQL_HANDLE_STMT, stmt, 1, state, &native, reinterpret_cast<SQLCHAR*>(whole.data()),
                          static_cast<SQLSMALLINT>(whole.size()), &length),
            SQL_SUCCESS);
  whole.resize(static_cast<std::size_t>(length));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(state)), "42S22");
  EXPECT_NE(whole.find("[...]"), std::string::npos) << whole;
  EXPECT_NE(whole.find("not found"), std::string::npos) << whole;

  struct Case {
    SQLSMALLINT buffer;  // characters, with the terminator
    SQLRETURN rc;
  };
  for (const Case& c : {Case{1, SQL_SUCCESS_WITH_INFO}, Case{100, SQL_SUCCESS_WITH_INFO},
                        Case{static_cast<SQLSMALLINT>(full), SQL_SUCCESS_WITH_INFO},
                        Case{static_cast<SQLSMALLINT>(full + 1), SQL_SUCCESS}}) {
    std::string narrow(static_cast<std::size_t>(c.buffer), '#');
    length = -1;
    EXPECT_EQ(SQLGetDiagRec(SQL_HANDLE_STMT, stmt, 1, state, &native, reinterpret_cast<SQLCHAR*>(narrow.data()),
                            c.buffer, &length),
              c.rc)
        << c.buffer;
    EXPECT_EQ(length, full) << c.buffer;
    EXPECT_EQ(std::string(narrow.c_str()), whole.substr(0, static_cast<std::size_t>(c.buffer) - 1));

    std::u16string wide(static_cast<std::size_t>(c.buffer), u'#');
    SQLWCHAR wideState[6] = {};
    length = -1;
    EXPECT_EQ(SQLGetDiagRecW(SQL_HANDLE_STMT, stmt, 1, wideState, &native, reinterpret_cast<SQLWCHAR*>(wide.data()),
                             c.buffer, &length),
              c.rc)
        << c.buffer;
    EXPECT_EQ(length, full) << c.buffer;
    EXPECT_EQ(Narrow(std::u16string(wide.c_str())), whole.substr(0, static_cast<std::size_t>(c.buffer) - 1));
  }
}

// The origins of the class and the subclass of each SQLSTATE, as the driver itself reports them
// (the driver manager answers these fields for its applications from its own table).
TEST_F(EdgesTest, EachSqlstateNamesTheDocumentsThatDefineIt) {
  using GetDiagField = SQLRETURN (*)(SQLSMALLINT, SQLHANDLE, SQLSMALLINT, SQLSMALLINT, SQLPOINTER, SQLSMALLINT,
                                     SQLSMALLINT*);
  using Fetch = SQLRETURN (*)(SQLHSTMT);
  const auto getDiagField = DriverEntry<GetDiagField>("SQLGetDiagField");
  const auto fetch = DriverEntry<Fetch>("SQLFetch");
  ASSERT_TRUE(getDiagField != nullptr && fetch != nullptr);
  const SQLHSTMT driverStmt = DriverStatement(session->dbc(), stmt);
  struct Case {
    std::function<SQLRETURN()> failing;
    const char* state;
    const char* classOrigin;
    const char* subclassOrigin;
  };
  const Case cases[] = {
      {[&] { return Exec("SELECT nope FROM avion"); }, "42S22", "ISO 9075", "ODBC 3.0"},
      {[&] { return Exec("SELECT FROM WHERE"); }, "42000", "ISO 9075", "ISO 9075"},
      {[&] { return fetch(driverStmt); }, "HY010", "ISO 9075", "ISO 9075"},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(c.failing(), SQL_ERROR) << c.state;
    char state[6] = {}, classOrigin[32] = {}, subclassOrigin[32] = {};
    SQLSMALLINT length = 0;
    ASSERT_EQ(getDiagField(SQL_HANDLE_STMT, driverStmt, 1, SQL_DIAG_SQLSTATE, state, sizeof state, &length),
              SQL_SUCCESS);
    EXPECT_EQ(std::string(state), c.state);
    getDiagField(SQL_HANDLE_STMT, driverStmt, 1, SQL_DIAG_CLASS_ORIGIN, classOrigin, sizeof classOrigin, &length);
    getDiagField(SQL_HANDLE_STMT, driverStmt, 1, SQL_DIAG_SUBCLASS_ORIGIN, subclassOrigin, sizeof subclassOrigin,
                 &length);
    EXPECT_EQ(std::string(classOrigin), c.classOrigin) << c.state;
    EXPECT_EQ(std::string(subclassOrigin), c.subclassOrigin) << c.state;
  }
}

// Every column of a row read as SQL_C_BINARY: the bytes of the value in its default C type.
TEST_F(EdgesTest, EveryColumnReadsAsTheBytesOfItsDefaultCType) {
  ASSERT_EQ(Exec("SELECT marque, id, prix, vol, actif FROM avion WHERE id = 7"), SQL_SUCCESS);
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  auto bytesOf = [](const auto& value) { return std::string(reinterpret_cast<const char*>(&value), sizeof value); };
  const SQL_TIMESTAMP_STRUCT vol{2000, 2, 29, 23, 59, 59, 0};
  const std::u16string marque = u"Cessna";
  struct Case { SQLUSMALLINT column; std::string bytes; };
  const Case cases[] = {
      {1, std::string(reinterpret_cast<const char*>(marque.data()), marque.size() * 2)},
      {2, bytesOf(SQLINTEGER{7})}, {3, bytesOf(SQLDOUBLE{2.5e10})}, {4, bytesOf(vol)},
      {5, bytesOf(SQLCHAR{1})},
  };
  for (const Case& c : cases) {
    char buffer[64] = {};
    SQLLEN indicator = 0;
    SQLRETURN rc = SQLGetData(stmt, c.column, SQL_C_BINARY, buffer, sizeof buffer, &indicator);
    std::vector<Diag> errors = session->Errors(stmt);
    ASSERT_EQ(rc, SQL_SUCCESS) << "column " << c.column << ": " << (errors.empty() ? "" : errors[0].state);
    EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(indicator)), c.bytes) << "column " << c.column;
  }
}

TEST_F(EdgesTest, FetchOffsetsAtTheEndsOfTheirRangeLeaveTheResult) {
  ASSERT_EQ(SQLSetStmtAttr(stmt, SQL_ATTR_CURSOR_TYPE, reinterpret_cast<SQLPOINTER>(SQL_CURSOR_STATIC), 0),
            SQL_SUCCESS);
  ASSERT_EQ(Exec("SELECT id FROM avion ORDER BY id"), SQL_SUCCESS);
  struct Case {
    SQLSMALLINT orientation;
    SQLLEN offset;
    SQLRETURN rc;
    SQLINTEGER id;  // the current row after the move, when there is one
  };
  const Case cases[] = {
      {SQL_FETCH_ABSOLUTE, 3, SQL_SUCCESS, 3}, {SQL_FETCH_RELATIVE, LLONG_MAX, SQL_NO_DATA, 0},
      {SQL_FETCH_PRIOR, 0, SQL_SUCCESS, 10}, {SQL_FETCH_RELATIVE, LLONG_MIN, SQL_NO_DATA, 0},
      {SQL_FETCH_NEXT, 0, SQL_SUCCESS, 1}, {SQL_FETCH_ABSOLUTE, LLONG_MIN, SQL_NO_DATA, 0},
      {SQL_FETCH_ABSOLUTE, LLONG_MAX, SQL_NO_DATA, 0},
      {SQL_FETCH_RELATIVE, LLONG_MIN + 1, SQL_NO_DATA, 0}, {SQL_FETCH_LAST, 0, SQL_SUCCESS, 10},
      {SQL_FETCH_RELATIVE, -LLONG_MAX, SQL_NO_DATA, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SQLFetchScroll(stmt, c.orientation, c.offset), c.rc) << c.orientation << " " << c.offset;
    if (c.rc != SQL_SUCCESS) continue;
    SQLINTEGER id = 0;
    ASSERT_EQ(SQLGetData(stmt, 1, SQL_C_SLONG, &id, 0, nullptr), SQL_SUCCESS);
    EXPECT_EQ(id, c.id) << c.orientation << " " << c.offset;
  }
}

// What the application sends for one parameter: the pieces in its C type (the bytes of each
// SQLPutData call), or NULL.
struct Sent { SQLSMALLINT cType, sqlType; std::vector<std::string> pieces; bool null = false; };

std::string Utf16Bytes(const std::string& utf8) {
  std::u16string wide = Wide(utf8);
  return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
}

std::string Int32Bytes(SQLINTEGER value) { return std::string(reinterpret_cast<const char*>(&value), sizeof value); }

// On the narrow road, as EdgesTest.
class DataAtExecTest : public EdgesTest, public ::testing::WithParamInterface<bool> {
 protected:
  bool prepared() const { return GetParam(); }
  // Runs `text` with SQLExecute after SQLPrepare, or with SQLExecDirect.
  SQLRETURN Start(std::string text) {
    if (!prepared()) return Exec(text);
    EXPECT_EQ(SQLPrepare(stmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS), SQL_SUCCESS);
    return SQLExecute(stmt);
  }

  // Binds every parameter for data at execution, runs `text` and answers SQLParamData with
  // `sent`. Returns the SQLSTATE of a failure, or the rows as "a|b;c|d".
  std::string RunWith(const std::string& text, const std::vector<Sent>& sent) {
    std::vector<SQLLEN> lengths(sent.size());
    for (std::size_t i = 0; i < sent.size(); ++i) {
      // Even parameters give the length to come, odd ones do not: both forms are ODBC's.
      lengths[i] = i % 2 == 0 ? SQL_LEN_DATA_AT_EXEC(0) : SQL_DATA_AT_EXEC;
      // The parameter's buffer address is its token: SQLParamData hands it back.
      auto token = reinterpret_cast<SQLPOINTER>(i + 1);
      EXPECT_EQ(SQLBindParameter(stmt, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, sent[i].cType,
                                 sent[i].sqlType, 255, 0, token, 0, &lengths[i]),
                SQL_SUCCESS);
    }
    SQLRETURN rc = Start(text);
    std::size_t asked = 0;
    while (rc == SQL_NEED_DATA) {
      SQLPOINTER token = nullptr;
      rc = SQLParamData(stmt, &token);
      if (rc != SQL_NEED_DATA) break;
      auto index = reinterpret_cast<std::size_t>(token) - 1;
      EXPECT_EQ(index, asked++) << "parameters are asked for in their order";
      if (index >= sent.size()) return "unknown token";
      if (sent[index].null) {
        EXPECT_EQ(SQLPutData(stmt, nullptr, SQL_NULL_DATA), SQL_SUCCESS);
        continue;
      }
      for (const std::string& piece : sent[index].pieces) {
        std::string copy = piece;
        SQLRETURN put = SQLPutData(stmt, copy.data(), static_cast<SQLLEN>(copy.size()));
        if (put != SQL_SUCCESS) return Error();
      }
    }
    if (rc != SQL_SUCCESS) return Error();
    Answer answer;
    ReadRows(*session, stmt, answer);
    SQLFreeStmt(stmt, SQL_CLOSE);
    SQLFreeStmt(stmt, SQL_RESET_PARAMS);
    return answer.rows;
  }

  std::string Error() {
    std::vector<Diag> errors = session->Errors(stmt);
    return errors.empty() ? "no diagnostic" : errors[0].state;
  }
};

TEST_P(DataAtExecTest, ValuesSentAtExecutionSelectTheirRows) {
  const std::string nonAscii = kNonAscii;
  struct Case { const char* statement; std::vector<Sent> sent; std::string rows; };
  const Case cases[] = {
      // Narrow text in pieces, a multi-byte character cut between two of them.
      {"SELECT id FROM avion WHERE marque = ?",
       {{SQL_C_CHAR, SQL_VARCHAR, {"Das", "sault Av", "iation"}}}, "3"},
      {"SELECT id FROM avion WHERE marque = ?",
       {{SQL_C_CHAR, SQL_VARCHAR, {nonAscii.substr(0, 2), nonAscii.substr(2)}}}, "4"},
      // Wide text in pieces of whole UTF-16 units.
      {"SELECT id FROM avion WHERE marque = ?",
       {{SQL_C_WCHAR, SQL_WVARCHAR, {Utf16Bytes("Emb"), Utf16Bytes("raer")}}}, "8"},
      {"SELECT id FROM avion WHERE marque = ?", {{SQL_C_WCHAR, SQL_WVARCHAR, {Utf16Bytes(nonAscii)}}}, "4"},
      // Binary in pieces, one of them empty, handed back as the hexadecimal text of its bytes.
      {"PARAMETERS [bytes] LongBinary; SELECT [bytes] FROM avion WHERE id = 1",
       {{SQL_C_BINARY, SQL_VARBINARY, {"Pip", "", std::string("e\0r", 3)}}}, "5069706500" "72"},
      // A fixed-size value, NULL, and several parameters of each kind in one statement.
      {"SELECT marque FROM avion WHERE id = ?", {{SQL_C_SLONG, SQL_INTEGER, {Int32Bytes(7)}}}, "Cessna"},
      {"SELECT COUNT(*) FROM avion WHERE marque = ?", {{SQL_C_CHAR, SQL_VARCHAR, {}, true}}, "0"},
      {"SELECT id FROM avion WHERE id > ? AND marque <> ? AND ? IS NULL ORDER BY id",
       {{SQL_C_SLONG, SQL_INTEGER, {Int32Bytes(7)}},
        {SQL_C_WCHAR, SQL_WVARCHAR, {Utf16Bytes("Pip"), Utf16Bytes("er")}},
        {SQL_C_CHAR, SQL_VARCHAR, {}, true}}, "8;10"},
      // Pieces that break the rules of SQLPutData.
      {"SELECT id FROM avion WHERE id = ?", {{SQL_C_SLONG, SQL_INTEGER, {Int32Bytes(7), Int32Bytes(8)}}}, "HY019"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RunWith(c.statement, c.sent), c.rows) << c.statement;
  }
}

TEST_P(DataAtExecTest, OutOfTurnCallsAndCancelEndTheExchangeCleanly) {
  SQLLEN length = SQL_DATA_AT_EXEC;
  ASSERT_EQ(SQLBindParameter(stmt, 1, SQL_PARAM_INPUT, SQL_C_CHAR, SQL_VARCHAR, 50, 0,
                             reinterpret_cast<SQLPOINTER>(1), 0, &length),
            SQL_SUCCESS);
  const std::string text = "SELECT id FROM avion WHERE marque = ?";
  // Data before its parameter is named, and a piece after NULL.
  ASSERT_EQ(Start(text), SQL_NEED_DATA);
  EXPECT_EQ(SQLPutData(stmt, const_cast<char*>("A"), 1), SQL_ERROR);
  SQLPOINTER token = nullptr;
  ASSERT_EQ(SQLParamData(stmt, &token), SQL_NEED_DATA);
  EXPECT_EQ(token, reinterpret_cast<SQLPOINTER>(1));
  EXPECT_EQ(SQLPutData(stmt, nullptr, SQL_NULL_DATA), SQL_SUCCESS);
  EXPECT_EQ(SQLPutData(stmt, const_cast<char*>("Air"), SQL_NTS), SQL_ERROR);
  std::vector<Diag> errors = session->Errors(stmt);
  ASSERT_FALSE(errors.empty());
  EXPECT_EQ(errors[0].state, "HY020") << errors[0].message;
  // SQLCancel ends the exchange; the statement runs again from the start.
  EXPECT_EQ(SQLCancel(stmt), SQL_SUCCESS);
  ASSERT_EQ(Start(text), SQL_NEED_DATA);
  ASSERT_EQ(SQLParamData(stmt, &token), SQL_NEED_DATA);
  EXPECT_EQ(SQLPutData(stmt, const_cast<char*>("Airbus"), SQL_NTS), SQL_SUCCESS);
  ASSERT_EQ(SQLParamData(stmt, &token), SQL_SUCCESS);
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  EXPECT_EQ(ReadNarrow(stmt, 1), "1");
}

INSTANTIATE_TEST_SUITE_P(Driver, DataAtExecTest, ::testing::Bool(),
                         [](const auto& info) { return std::string(info.param ? "Execute" : "ExecDirect"); });

}  // namespace
}  // namespace drivertest
