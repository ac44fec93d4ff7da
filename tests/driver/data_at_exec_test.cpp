// Parameters whose values are sent at execution (SQL_DATA_AT_EXEC, SQL_LEN_DATA_AT_EXEC):
// SQLParamData asks for them one after the other, SQLPutData sends them whole or in pieces,
// and the statement then runs with them, after SQLExecute as after SQLExecDirect.
#include "answers.h"
#include "driver_fixture.h"

namespace drivertest {
namespace {

// What the application sends for one parameter: the pieces in its C type, or NULL.
struct Sent {
  SQLSMALLINT cType;
  SQLSMALLINT sqlType;
  std::vector<std::string> pieces;  // the bytes of each SQLPutData call
  bool null = false;
};

std::string Utf16Bytes(const std::string& utf8) {
  std::u16string wide = Wide(utf8);
  return std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2);
}

std::string Int32Bytes(SQLINTEGER value) { return std::string(reinterpret_cast<const char*>(&value), sizeof value); }

class DataAtExecTest : public BrandDatabaseTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    BrandDatabaseTest::SetUp();
    Connect(false, true);
  }
  bool prepared() const { return GetParam(); }

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
    std::string statement = text;
    SQLRETURN rc = SQL_ERROR;
    if (prepared()) {
      EXPECT_EQ(SQLPrepare(stmt, reinterpret_cast<SQLCHAR*>(statement.data()), SQL_NTS), SQL_SUCCESS);
      rc = SQLExecute(stmt);
    } else {
      rc = SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(statement.data()), SQL_NTS);
    }
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
  struct Case {
    const char* statement;
    std::vector<Sent> sent;
    std::string rows;
  };
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
       {{SQL_C_BINARY, SQL_VARBINARY, {"Pip", "", std::string("e\0r", 3)}}},
       "5069706500" "72"},
      // A fixed-size value, NULL, and several parameters of each kind in one statement.
      {"SELECT marque FROM avion WHERE id = ?", {{SQL_C_SLONG, SQL_INTEGER, {Int32Bytes(7)}}}, "Cessna"},
      {"SELECT COUNT(*) FROM avion WHERE marque = ?", {{SQL_C_CHAR, SQL_VARCHAR, {}, true}}, "0"},
      {"SELECT id FROM avion WHERE id > ? AND marque <> ? AND ? IS NULL ORDER BY id",
       {{SQL_C_SLONG, SQL_INTEGER, {Int32Bytes(7)}},
        {SQL_C_WCHAR, SQL_WVARCHAR, {Utf16Bytes("Pip"), Utf16Bytes("er")}},
        {SQL_C_CHAR, SQL_VARCHAR, {}, true}},
       "8;10"},
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
  std::string text = "SELECT id FROM avion WHERE marque = ?";
  auto start = [&] {
    return prepared() ? (SQLPrepare(stmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS), SQLExecute(stmt))
                      : SQLExecDirect(stmt, reinterpret_cast<SQLCHAR*>(text.data()), SQL_NTS);
  };
  // Data before its parameter is named, and a piece after NULL.
  ASSERT_EQ(start(), SQL_NEED_DATA);
  EXPECT_EQ(SQLPutData(stmt, text.data(), 1), SQL_ERROR);
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
  ASSERT_EQ(start(), SQL_NEED_DATA);
  ASSERT_EQ(SQLParamData(stmt, &token), SQL_NEED_DATA);
  EXPECT_EQ(SQLPutData(stmt, const_cast<char*>("Airbus"), SQL_NTS), SQL_SUCCESS);
  ASSERT_EQ(SQLParamData(stmt, &token), SQL_SUCCESS);
  ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
  EXPECT_EQ(ReadNarrow(stmt, 1), "1");
}

INSTANTIATE_TEST_SUITE_P(Driver, DataAtExecTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "Execute" : "ExecDirect");
                         });

}  // namespace
}  // namespace drivertest
