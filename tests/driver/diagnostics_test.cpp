// What the driver reports and hands over at the edges of ODBC's numbers: a message longer than
// any buffer, values of every column type read as SQL_C_BINARY, and fetch offsets at the ends
// of SQLLEN.
#include "driver_direct.h"
#include "driver_fixture.h"

#include <climits>
#include <functional>

namespace drivertest {
namespace {

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
  struct Case {
    SQLUSMALLINT column;
    std::string bytes;
  };
  const Case cases[] = {
      {1, std::string(reinterpret_cast<const char*>(marque.data()), marque.size() * 2)},
      {2, bytesOf(SQLINTEGER{7})},
      {3, bytesOf(SQLDOUBLE{2.5e10})},
      {4, bytesOf(vol)},
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
      {SQL_FETCH_ABSOLUTE, 3, SQL_SUCCESS, 3},
      {SQL_FETCH_RELATIVE, LLONG_MAX, SQL_NO_DATA, 0},
      {SQL_FETCH_PRIOR, 0, SQL_SUCCESS, 10},
      {SQL_FETCH_RELATIVE, LLONG_MIN, SQL_NO_DATA, 0},
      {SQL_FETCH_NEXT, 0, SQL_SUCCESS, 1},
      {SQL_FETCH_ABSOLUTE, LLONG_MIN, SQL_NO_DATA, 0},
      {SQL_FETCH_ABSOLUTE, LLONG_MAX, SQL_NO_DATA, 0},
      {SQL_FETCH_RELATIVE, LLONG_MIN + 1, SQL_NO_DATA, 0},
      {SQL_FETCH_LAST, 0, SQL_SUCCESS, 10},
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

}  // namespace
}  // namespace drivertest
