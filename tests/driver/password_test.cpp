// Files with a database password and encrypted files through the driver manager: the password
// from PWD= or Password= opens them; a missing, empty or wrong one fails the connect with
// 28000, also when a window handle would allow a dialog, and no message holds a password.
#include "driver_fixture.h"

#include <gtest/gtest.h>

namespace drivertest {
namespace {

constexpr char kPassword[] = "Überflügel é";

struct ProtectedFile {
  const char* name;
  mkmdb::Encryption encryption;
  bool encode;
};

constexpr ProtectedFile kFiles[] = {
    {"database password", mkmdb::Encryption::None, false},
    {"encoded with a database password", mkmdb::Encryption::None, true},
    {"RC4 CryptoAPI", mkmdb::Encryption::Rc4CryptoApi, false},
    {"AES agile", mkmdb::Encryption::AgileSha512, false},
};

class PasswordTest : public ::testing::TestWithParam<std::tuple<bool, ProtectedFile>> {
 protected:
  void SetUp() override {
    mkmdb::Protection protection;
    protection.password = kPassword;
    protection.encryption = file().encryption;
    protection.encode = file().encode;
    protection.spinCount = 1000;
    mkmdb::WriteDatabase(folder.database(), BrandTables(), {}, protection);
    folder.Enter();
  }
  bool wide() const { return std::get<0>(GetParam()); }
  const ProtectedFile& file() const { return std::get<1>(GetParam()); }
  TestFolder folder;
};

TEST_P(PasswordTest, RightPasswordOpensTheFileAndNoOtherDoes) {
  struct Attempt {
    std::string suffix;  // after the program's connect string
    const char* state;   // nullptr: connects
  };
  const std::string right = kPassword;
  for (const Attempt& attempt : {Attempt{";PWD=" + right, nullptr},
                                 Attempt{";Password={" + right + "}", nullptr},
                                 Attempt{"", "28000"},
                                 Attempt{";PWD=", "28000"},
                                 Attempt{";PWD=überflügel é", "28000"},
                                 Attempt{";PWD=" + right + "x", "28000"}}) {
    OdbcSession session(wide());
    std::string completed;
    const SQLRETURN rc = session.Connect(kProgramConnect + attempt.suffix, &completed);
    const std::string what = std::string(file().name) + ", \"" + attempt.suffix + "\"";
    if (attempt.state == nullptr) {
      ASSERT_EQ(rc, SQL_SUCCESS) << what;
      EXPECT_EQ(completed.find(right), std::string::npos) << completed;
      SQLHSTMT stmt = session.AllocStmt();
      ASSERT_EQ(session.ExecDirect(stmt, "SELECT notes FROM avion WHERE id = 7"), SQL_SUCCESS);
      ASSERT_EQ(SQLFetch(stmt), SQL_SUCCESS);
      EXPECT_EQ(ReadNarrow(stmt, 1), LongMemo()) << what;
      continue;
    }
    EXPECT_EQ(rc, SQL_ERROR) << what;
    const Diag error = OnlyDiag(session);
    EXPECT_EQ(error.state, attempt.state) << what << ": " << error.message;
    EXPECT_NE(error.message.find("password"), std::string::npos) << error.message;
    EXPECT_EQ(error.message.find("berflügel"), std::string::npos) << error.message;
  }
}

// A window handle with SQL_DRIVER_COMPLETE or SQL_DRIVER_PROMPT asks for a dialog; there is
// none, so a missing password fails as it would without one.
TEST_P(PasswordTest, WindowHandleDoesNotMakeAMissingPasswordAPrompt) {
  for (const SQLUSMALLINT completion : {SQL_DRIVER_COMPLETE, SQL_DRIVER_PROMPT}) {
    OdbcSession session(wide());
    std::string in = kProgramConnect;
    const auto window = reinterpret_cast<SQLHWND>(static_cast<std::uintptr_t>(1));
    SQLRETURN rc;
    if (wide()) {
      std::u16string text = Wide(in);
      rc = SQLDriverConnectW(session.dbc(), window, reinterpret_cast<SQLWCHAR*>(text.data()),
                             SQL_NTS, nullptr, 0, nullptr, completion);
    } else {
      rc = SQLDriverConnect(session.dbc(), window, reinterpret_cast<SQLCHAR*>(in.data()),
                            SQL_NTS, nullptr, 0, nullptr, completion);
    }
    EXPECT_EQ(rc, SQL_ERROR) << completion;
    const std::vector<Diag> errors = session.Errors();
    ASSERT_FALSE(errors.empty()) << completion;
    EXPECT_EQ(errors[0].state, "28000") << errors[0].message;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, PasswordTest, ::testing::Combine(::testing::Bool(), ::testing::ValuesIn(kFiles)),
    [](const ::testing::TestParamInfo<PasswordTest::ParamType>& info) {
      std::string name = std::string(std::get<0>(info.param) ? "Wide_" : "Narrow_") +
                         std::get<1>(info.param).name;
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
      }
      return name;
    });

}  // namespace
}  // namespace drivertest
