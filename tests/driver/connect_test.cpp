// Connecting with the program's connect string, and every way a connection can fail; files
// with a database password and encrypted files, which the password from PWD= or Password=
// opens, while a missing, empty or wrong one fails the connect with 28000 (also when a window
// handle would allow a dialog) and no message holds a password; and the information answers
// the access layer and the driver manager read from the driver.
#include "driver_fixture.h"

#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace drivertest {
namespace {

using ConnectTest = BothRoadsTest;

TEST_P(ConnectTest, ProgramConnectStringOpensTheFileTwoLevelsUp) {
  OdbcSession session(wide());
  std::string completed;
  ASSERT_EQ(session.Connect(kProgramConnect, &completed), SQL_SUCCESS);
  EXPECT_NE(completed.find("DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)}"), std::string::npos) << completed;
  EXPECT_NE(completed.find("DBQ=../../bd2.mdb"), std::string::npos) << completed;
  EXPECT_EQ(session.InfoText(SQL_DATABASE_NAME), "../../bd2.mdb");
}

TEST_P(ConnectTest, DriverManagerKeepsItsCursorLibraryOut) {
  OdbcSession session(wide());
  ASSERT_EQ(session.Connect(kProgramConnect), SQL_SUCCESS);
  SQLHSTMT stmt = session.AllocStmt();
  ASSERT_TRUE(SQL_SUCCEEDED(SQLSetStmtOption(stmt, SQL_CURSOR_TYPE, SQL_CURSOR_STATIC)));
  ASSERT_EQ(session.Prepare(stmt, "SELECT marque FROM avion "), SQL_SUCCESS);
  ASSERT_EQ(SQLExecute(stmt), SQL_SUCCESS);
  SQLULEN rows = 0;
  SQLUSMALLINT status = 0;
  ASSERT_EQ(SQLExtendedFetch(stmt, SQL_FETCH_NEXT, 1, &rows, &status), SQL_SUCCESS);
  EXPECT_FALSE(CursorLibraryLoaded());
  EXPECT_EQ(SQLFreeStmt(stmt, SQL_DROP), SQL_SUCCESS);
}

TEST_P(ConnectTest, ConnectionCanBeClosedAndOpenedAgain) {
  OdbcSession session(wide());
  ASSERT_EQ(session.Connect(kProgramConnect), SQL_SUCCESS);
  session.Disconnect();
  ASSERT_EQ(session.Connect(kProgramConnect), SQL_SUCCESS);
  SQLHSTMT stmt = session.AllocStmt();
  EXPECT_EQ(session.ExecDirect(stmt, "SELECT id FROM avion"), SQL_SUCCESS);
  // Disconnecting with a statement still allocated releases it too.
}

// One failed connect: SQL_ERROR, exactly one diagnostic record naming the file and the reason,
// and nothing on standard output or standard error.
void ExpectConnectFailure(bool wide, const std::string& connect, const std::string& reason) {
  OdbcSession session(wide);
  CapturedOutput output;
  SQLRETURN rc = session.Connect(connect);
  std::string printed = output.Finish();
  EXPECT_EQ(rc, SQL_ERROR);
  const Diag error = OnlyDiag(session);
  EXPECT_EQ(error.state, "08001");
  EXPECT_NE(error.message.find("../../bd2.mdb"), std::string::npos) << error.message;
  EXPECT_NE(error.message.find(reason), std::string::npos) << error.message;
  EXPECT_EQ(error.message.rfind("[mdbodbc]", 0), 0u) << error.message;
  EXPECT_EQ(printed, "");
}

TEST_P(ConnectTest, MissingFileIsRefused) {
  std::filesystem::remove(folder.database());
  ExpectConnectFailure(wide(), kProgramConnect, "No such file or directory");
}

TEST_P(ConnectTest, FolderInPlaceOfTheFileIsRefused) {
  std::filesystem::remove(folder.database());
  std::filesystem::create_directory(folder.database());
  ExpectConnectFailure(wide(), kProgramConnect, "directory");
}

// Root reads files whatever their permissions, through two capabilities. Without them in its
// effective set, root meets a file's mode as its owner does, while the driver and the build
// tree stay readable wherever the checkout lies (a folder such as /root may be closed to
// every other user). The set belongs to the calling thread, which makes the connect.
class WithoutReadOverride {
 public:
  WithoutReadOverride() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    if (syscall(SYS_capget, &header, m_saved) != 0) return;
    __user_cap_data_struct lowered[2] = {m_saved[0], m_saved[1]};
    lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    m_changed = syscall(SYS_capset, &header, lowered) == 0;
  }
  ~WithoutReadOverride() {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    if (m_changed && syscall(SYS_capset, &header, m_saved) != 0) std::abort();
  }
  bool changed() const { return m_changed; }

 private:
  __user_cap_data_struct m_saved[2] = {};
  bool m_changed = false;
};

TEST_P(ConnectTest, UnreadableFileIsRefused) {
  chmod(folder.database().c_str(), 0);
  if (geteuid() != 0) {
    ExpectConnectFailure(wide(), kProgramConnect, "Permission denied");
    return;
  }
  WithoutReadOverride asOwner;
  if (!asOwner.changed()) GTEST_SKIP() << "cannot leave the capabilities that read any file";
  ExpectConnectFailure(wide(), kProgramConnect, "Permission denied");
}

TEST_P(ConnectTest, EmptyFileIsRefused) {
  testsupport::WriteFile(folder.database(), "");
  ExpectConnectFailure(wide(), kProgramConnect, "empty");
}

TEST_P(ConnectTest, RandomBytesAreNotAnAccessDatabase) {
  std::string noise;
  unsigned state = 12345;
  for (int i = 0; i < 64 * 1024; ++i) {
    state = state * 1103515245 + 12345;
    noise += static_cast<char>(state >> 16);
  }
  testsupport::WriteFile(folder.database(), noise);
  ExpectConnectFailure(wide(), kProgramConnect, "not an Access database");
}

TEST_P(ConnectTest, TextFileIsNotAnAccessDatabase) {
  testsupport::WriteFile(folder.database(), std::string(10000, 'a'));
  ExpectConnectFailure(wide(), kProgramConnect, "not an Access database");
}

TEST_P(ConnectTest, FileCutBeforeItsCatalogIsRefused) {
  testsupport::WriteFile(folder.database(), testsupport::ReadFile(folder.database()).substr(0, 6000));
  ExpectConnectFailure(wide(), kProgramConnect, "truncated");
}

TEST_P(ConnectTest, FileWithADestroyedCatalogIsRefused) {
  std::string bytes = testsupport::ReadFile(folder.database());
  // Page 2 holds the definition of the catalog table.
  std::fill(bytes.begin() + 2 * 4096, bytes.begin() + 3 * 4096, '\0');
  testsupport::WriteFile(folder.database(), bytes);
  ExpectConnectFailure(wide(), kProgramConnect, "catalog's definition is broken");
}

TEST_P(ConnectTest, ConnectStringWithoutDbqIsRefused) {
  OdbcSession session(wide());
  EXPECT_EQ(session.Connect("DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DSN=''"), SQL_ERROR);
  const Diag error = OnlyDiag(session);
  EXPECT_EQ(error.state, "08001");
  EXPECT_NE(error.message.find("DBQ"), std::string::npos) << error.message;
}

TEST_P(ConnectTest, AbsolutePathAndBracedValueAreAccepted) {
  OdbcSession session(wide());
  std::string connect = "Driver={MICROSOFT ACCESS DRIVER (*.mdb)};dbq={" + folder.database() + "}";
  EXPECT_EQ(session.Connect(connect), SQL_SUCCESS);
}

INSTANTIATE_TEST_SUITE_P(Roads, ConnectTest, ::testing::Bool(), RoadName);

using InfoTest = ConnectedRoadsTest;

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

constexpr char kPassword[] = "Überflügel é";

struct ProtectedFile { const char* name; mkmdb::Encryption encryption; bool encode; };

constexpr ProtectedFile kFiles[] = {
    {"database password", mkmdb::Encryption::None, false},
    {"encoded with a database password", mkmdb::Encryption::None, true},
    {"RC4 CryptoAPI", mkmdb::Encryption::Rc4CryptoApi, false},
    {"AES agile", mkmdb::Encryption::AgileSha512, false},
};

class PasswordTest : public DriverTest,
                     public ::testing::WithParamInterface<std::tuple<bool, ProtectedFile>> {
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
};

TEST_P(PasswordTest, RightPasswordOpensTheFileAndNoOtherDoes) {
  struct Attempt {
    std::string suffix;  // after the program's connect string
    const char* state;   // nullptr: connects
  };
  const std::string right = kPassword;
  const Attempt attempts[] = {{";PWD=" + right, nullptr}, {";Password={" + right + "}", nullptr},
                              {"", "28000"}, {";PWD=", "28000"}, {";PWD=überflügel é", "28000"},
                              {";PWD=" + right + "x", "28000"}};
  for (const Attempt& attempt : attempts) {
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
  const auto window = reinterpret_cast<SQLHWND>(static_cast<std::uintptr_t>(1));
  for (const SQLUSMALLINT completion : {SQL_DRIVER_COMPLETE, SQL_DRIVER_PROMPT}) {
    OdbcSession session(wide());
    EXPECT_EQ(session.Connect(kProgramConnect, nullptr, completion, window), SQL_ERROR) << completion;
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
      for (char& c : name) c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
      return name;
    });

}  // namespace
}  // namespace drivertest
