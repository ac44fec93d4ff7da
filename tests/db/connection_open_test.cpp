// Opening a connection: the connect string, the ODBC calls of the open, the option bits, a
// cancelled dialog, every failure with the state it leaves, and the shared environment.
#include <ostream>

#include "tests/db/support/db_fixture.h"
#include "tests/db/support/table_cases.h"

namespace {

// Opens `database` on `connect` as the program does, read-only as asked.
BOOL OpenDb(CDatabase& database, const char16_t* connect = u"DSN=a", BOOL readOnly = FALSE) {
  return database.Open(nullptr, FALSE, readOnly, connect, TRUE);
}

// What an open of `database` on `connect` raised.
RaisedError OpenRaising(CDatabase& database, const char16_t* connect = u"DSN=a") {
  return CatchRaised([&] { OpenDb(database, connect); });
}

// No connection counted, no environment, every handle freed.
void ExpectNothingAllocated() {
  EXPECT_EQ(GetDatabaseProcessState().nAllocated, 0);
  EXPECT_EQ(GetDatabaseProcessState().henvAllConnections, nullptr);
  EXPECT_TRUE(fakeodbc::handleBalance().balanced()) << fakeodbc::handleBalance().text();
}

// The state of a connection released after a failure, as the first one of the process.
void ExpectReleased(const CDatabase& database) {
  EXPECT_FALSE(database.IsOpen());
  ExpectNothingAllocated();
}

// The driver manager's answer to a disconnect of a handle that never connected.
const std::vector<std::string> kReleaseUnconnectedCalls = ReleaseCalls("dbc#1", true, "SQL_ERROR");

// The healthy open's calls up to the login timeout, then the connect answering `rc`.
std::vector<std::string> ConnectAnswering(const std::string& rc) {
  std::vector<std::string> calls = HealthyOpenCalls("DSN=a");
  calls.resize(4);
  calls.push_back(
      "SQLDriverConnectW(dbc#1, hwnd, \"DSN=a\", SQL_NTS, 1024, SQL_DRIVER_COMPLETE) -> " + rc);
  return calls;
}

// The release calls are the last three of the log.
void ExpectEndsWithRelease() {
  const std::vector<std::string> calls = fakeodbc::callLines();
  ASSERT_GE(calls.size(), 3u);
  EXPECT_THAT(std::vector<std::string>(calls.end() - 3, calls.end()),
              ElementsAreArray(ReleaseCalls()));
}

class OpenTest : public DbTest {
 protected:
  OpenTest() { expectBalancedHandles = false; }
  CDatabase database;  // the connection a test opens, in place of the fixture's
};

// A successful open and its release

TEST_F(OpenTest, ProgramOpenMakesTheCallsOfTheOverviewWithTheCursorLibraryOnlyIfNeeded) {
  fakeodbc::setCompletedConnectString(
      u"DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DSN='';DBQ=../../bd2.mdb;UID=admin");
  {
    CDatabase database;
    EXPECT_TRUE(database.Open(
        nullptr, FALSE, FALSE,
        u"ODBC;DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DSN='';DBQ=../../bd2.mdb", TRUE));

    EXPECT_THAT(Calls(), ElementsAreArray(HealthyOpenCalls(
                             "DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DSN='';DBQ=../../bd2.mdb")));
    EXPECT_TRUE(database.IsOpen());
    EXPECT_EQ(database.m_strConnect.ToUtf8(),
              "ODBC;DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DSN='';DBQ=../../bd2.mdb;UID=admin");
    EXPECT_EQ(database.m_bUpdatable, TRUE);
    EXPECT_EQ(database.m_bCountAddedRows, TRUE);
    EXPECT_EQ(Process().nAllocated, 1);
    EXPECT_NE(Process().henvAllConnections, nullptr);
    EXPECT_EQ(fakeodbc::connectionOption(database.m_hdbc, SQL_ODBC_CURSORS),
              SQLULEN{SQL_CUR_USE_IF_NEEDED});
    EXPECT_EQ(fakeodbc::connectionOption(database.m_hdbc, SQL_LOGIN_TIMEOUT), SQLULEN{15});
    EXPECT_THAT(traces.Texts(), ElementsAreArray(HealthyCapabilityTraces()));
    EXPECT_THAT(traces.Texts(TraceCategory::AppMsg), IsEmpty());
    for (const TraceRecord& r : traces.Records()) EXPECT_EQ(r.level, 0);
    fakeodbc::clearLog();
  }
  // Destruction disconnects, frees the connection and, as the last one, the environment.
  EXPECT_THAT(Calls(), ElementsAreArray(ReleaseCalls()));
  ExpectNothingAllocated();
}

TEST_F(OpenTest, CloseKeepsTheEnvironmentUntilTheRelease) {
  ASSERT_TRUE(OpenDb(database, u"ODBC;DSN=x"));
  const CString connect = database.m_strConnect;
  EXPECT_THAT(CallsOf([&] { database.Close(); }), ElementsAreArray(ReleaseCalls("dbc#1", false)));
  EXPECT_FALSE(database.IsOpen());
  EXPECT_EQ(Process().nAllocated, 0);
  EXPECT_NE(Process().henvAllConnections, nullptr);
  // Close leaves the texts and capabilities as they are.
  EXPECT_EQ(database.m_strConnect, connect);
  EXPECT_EQ(database.m_bUpdatable, TRUE);

  // Closing again makes no call.
  EXPECT_THAT(CallsOf([&] { database.Close(); }), IsEmpty());
  EXPECT_EQ(Process().nAllocated, 0);

  database.Free();
  EXPECT_THAT(Calls(), ElementsAre("SQLFreeEnv(env#1) -> SQL_SUCCESS"));
  EXPECT_EQ(Process().henvAllConnections, nullptr);
}

TEST_F(OpenTest, AClosedConnectionOpensAgainWithANewHandle) {
  ASSERT_TRUE(OpenDb(database, u"ODBC;DSN=x"));
  database.Close();
  fakeodbc::clearLog();
  ASSERT_TRUE(OpenDb(database, u"ODBC;DSN=y"));
  EXPECT_THAT(Calls(), ElementsAreArray(HealthyOpenCalls("DSN=y", false, "dbc#2")));
  EXPECT_EQ(Process().nAllocated, 1);
}

TEST_F(OpenTest, DestroyingAConnectionNeverOpenedCallsNothing) {
  { CDatabase database; }
  EXPECT_THAT(Calls(), IsEmpty());
}

TEST_F(OpenTest, DestroyingAConnectionNeverOpenedFreesAnEnvironmentLeftUncounted) {
  {
    CDatabase first;
    ASSERT_TRUE(OpenDb(first, u"DSN=x"));
    first.Close();
    fakeodbc::clearLog();
    { CDatabase never; }
    EXPECT_THAT(Calls(), ElementsAre("SQLFreeEnv(env#1) -> SQL_SUCCESS"));
    fakeodbc::clearLog();
  }
  EXPECT_THAT(Calls(), IsEmpty());
}

// The connect string

struct ConnectCase {
  const char16_t* dataSource;
  const char16_t* connect;
  const char* given;  // the text the driver receives
};

void PrintTo(const ConnectCase& c, std::ostream* os) {
  auto text = [](const char16_t* t) { return t ? '"' + CString(t).ToUtf8() + '"' : "null"; };
  *os << "source " << text(c.dataSource) << ", connect " << text(c.connect);
}

using ConnectStringTest = CasesOf<OpenTest, ConnectCase>;

TEST_P(ConnectStringTest, TheDriverReceivesTheComposedText) {
  ASSERT_TRUE(database.Open(GetParam().dataSource, FALSE, FALSE, GetParam().connect, TRUE));
  const std::vector<std::string> calls = Calls();
  ASSERT_GE(calls.size(), 5u);
  EXPECT_EQ(calls[4], std::string("SQLDriverConnectW(dbc#1, hwnd, \"") + GetParam().given +
                          "\", SQL_NTS, 1024, SQL_DRIVER_COMPLETE) -> SQL_SUCCESS");
  // The driver completes the text unchanged here; the connection keeps it behind "ODBC;".
  EXPECT_EQ(database.m_strConnect.ToUtf8(), std::string("ODBC;") + GetParam().given);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ConnectStringTest,
    ::testing::Values(
        ConnectCase{nullptr, u"ODBC;DSN=a", "DSN=a"}, ConnectCase{nullptr, u"odbc;DSN=a", "DSN=a"},
        ConnectCase{nullptr, u"oDbC;DSN=a", "DSN=a"},
        ConnectCase{nullptr, u" ODBC;DSN=a", " ODBC;DSN=a"}, ConnectCase{nullptr, u"ODBC", "ODBC"},
        ConnectCase{nullptr, u"ODBC;", ""}, ConnectCase{nullptr, u"ODBC;ODBC;x", "ODBC;x"},
        ConnectCase{nullptr, u"DSN=a", "DSN=a"}, ConnectCase{u"X", nullptr, ";DSN=X"},
        ConnectCase{u"X", u"ODBC;UID=u", "UID=u;DSN=X"}, ConnectCase{u"", u"ODBC;UID=u", "UID=u"},
        ConnectCase{nullptr, nullptr, ""}));

TEST_F(OpenTest, OpenWithOptionsTakesTheTextAsItIs) {
  ASSERT_TRUE(database.OpenWithOptions(u"ODBC;DSN=a", 0));
  // Without the cursor library bit no cursor option is set and added rows are not counted.
  EXPECT_EQ(Calls()[2], "SQLSetConnectOptionW(dbc#1, SQL_LOGIN_TIMEOUT, 15) -> SQL_SUCCESS");
  EXPECT_EQ(Calls()[3],
            "SQLDriverConnectW(dbc#1, hwnd, \"ODBC;DSN=a\", SQL_NTS, 1024, SQL_DRIVER_COMPLETE)"
            " -> SQL_SUCCESS");
  EXPECT_EQ(database.m_bCountAddedRows, FALSE);
  EXPECT_FALSE(fakeodbc::connectionOption(database.m_hdbc, SQL_ODBC_CURSORS).has_value());
}

// Option bits

TEST_F(OpenTest, ReadOnlyOpenSetsTheAccessModeTwiceAndSkipsTheReadOnlyQuery) {
  ASSERT_TRUE(OpenDb(database, u"DSN=a", TRUE));
  const std::string accessMode = "SQLSetConnectOptionW(dbc#1, SQL_ACCESS_MODE, 1) -> SQL_SUCCESS";
  std::vector<std::string> expected = HealthyOpenCalls("DSN=a");
  // The access mode follows the login timeout, and SQL_DATA_SOURCE_READ_ONLY (the 8th
  // capability query) gives way to it, set once more.
  expected.insert(expected.begin() + 3, accessMode);
  expected[8 + 7] = accessMode;
  EXPECT_THAT(Calls(), ElementsAreArray(expected));
  EXPECT_EQ(database.m_bUpdatable, FALSE);
  EXPECT_THAT(traces.Texts(), ElementsAreArray(HealthyCapabilityTraces()));
}

TEST_F(OpenTest, ExclusiveFlagChangesNothing) {
  ASSERT_TRUE(database.Open(nullptr, TRUE, FALSE, u"DSN=a", TRUE));
  EXPECT_THAT(Calls(), ElementsAreArray(HealthyOpenCalls("DSN=a")));
}

// The options of OpenWithOptions and the completion they choose.
using Prompt = std::pair<DWORD, const char*>;
using PromptBits = CasesOf<OpenTest, Prompt>;

TEST_P(PromptBits, ChooseTheCompletion) {
  ASSERT_TRUE(database.OpenWithOptions(u"DSN=a", GetParam().first));
  // No cursor library bit: the connect follows the login timeout.
  EXPECT_EQ(Calls()[3], std::string("SQLDriverConnectW(dbc#1, hwnd, \"DSN=a\", SQL_NTS, 1024, ") +
                            GetParam().second + ") -> SQL_SUCCESS");
}

INSTANTIATE_TEST_SUITE_P(
    Options, PromptBits,
    ::testing::Values(Prompt{0, "SQL_DRIVER_COMPLETE"},
                      Prompt{CDatabase::noDriverPrompt, "SQL_DRIVER_NOPROMPT"},
                      Prompt{CDatabase::alwaysDriverPrompt, "SQL_DRIVER_PROMPT"},
                      Prompt{0x0100 | CDatabase::noDriverPrompt, "SQL_DRIVER_NOPROMPT"}));

TEST_F(OpenTest, BothPromptBitsAreRefusedBeforeAnythingChanges) {
  database.m_strConnect = u"before";
  RaisedError e = CatchRaised([&] {
    database.OpenWithOptions(u"DSN=a", CDatabase::noDriverPrompt | CDatabase::alwaysDriverPrompt);
  });
  ASSERT_TRUE(e);
  EXPECT_TRUE(e.get()->IsKindOf(RUNTIME_CLASS_OF(CInvalidArgException)));
  EXPECT_THAT(Calls(), IsEmpty());
  EXPECT_EQ(database.m_bUpdatable, FALSE);
  EXPECT_EQ(database.m_strConnect.ToUtf8(), "before");
}

TEST_F(OpenTest, LoginTimeoutComesFromTheMember) {
  database.SetLoginTimeout(42);
  ASSERT_TRUE(OpenDb(database));
  EXPECT_EQ(Calls()[2], "SQLSetConnectOptionW(dbc#1, SQL_LOGIN_TIMEOUT, 42) -> SQL_SUCCESS");
}

// Options the driver refuses while connecting

TEST_F(OpenTest, RefusedLoginTimeoutOrReadOnlyAccessModeIsTracedAndTheOpenGoesOn) {
  struct Case {
    int nth;  // of the connection options
    BOOL readOnly;
    const char* warning;
  };
  for (const Case& c : {Case{1, FALSE, "Warning: Failure setting login timeout.\n"},
                        Case{2, TRUE, "Warning: Failure setting read only access mode.\n"}}) {
    SCOPED_TRACE(c.warning);
    SetUp();
    fakeodbc::answer(Fn::SQLSetConnectOptionW, c.nth, Answer::fail(SQL_ERROR));
    CDatabase database;
    EXPECT_TRUE(OpenDb(database, u"DSN=a", c.readOnly));
    EXPECT_THAT(traces.Texts(), ElementsAreArray(Concat({c.warning}, HealthyCapabilityTraces())));
    // The refusal's record is not read.
    EXPECT_EQ(fakeodbc::callNames()[3], "SQLSetConnectOptionW");
  }
}

TEST_F(OpenTest, OptionAnswersAreNotJudged) {
  // Success with information is no failure and is not traced; the cursor option's answer is
  // not looked at at all.
  fakeodbc::answer(Fn::SQLSetConnectOptionW, 1, Answer::withInfo({{"01S02", 0, u"Changed"}}));
  fakeodbc::answer(Fn::SQLSetConnectOptionW, 2, Answer::withInfo({{"01S02", 0, u"Changed"}}));
  fakeodbc::answer(Fn::SQLSetConnectOptionW, 3, Answer::fail(SQL_ERROR));
  EXPECT_TRUE(OpenDb(database, u"DSN=a", TRUE));
  EXPECT_THAT(traces.Texts(), ElementsAreArray(HealthyCapabilityTraces()));
  EXPECT_EQ(database.m_bCountAddedRows, TRUE);
}

// The user cancels the driver's dialog

TEST_F(OpenTest, CancelledDialogGivesFalseWithEverythingReleased) {
  fakeodbc::answer(Fn::SQLDriverConnectW, 1, Answer::fail(SQL_NO_DATA));
  RaisedError e = CatchRaised([&] { EXPECT_FALSE(OpenDb(database)); });
  EXPECT_FALSE(e);
  EXPECT_THAT(Calls(),
              ElementsAreArray(Concat(ConnectAnswering("SQL_NO_DATA"), kReleaseUnconnectedCalls)));
  ExpectReleased(database);
  EXPECT_EQ(database.m_strConnect.ToUtf8(), "DSN=a");
  EXPECT_THAT(traces.Records(), IsEmpty());
}

// Failures

TEST_F(OpenTest, NoEnvironmentRaisesTheMemoryError) {
  fakeodbc::answer(Fn::SQLAllocEnv, 1, Answer::fail(SQL_ERROR));
  RaisedError e = OpenRaising(database);
  ASSERT_TRUE(e);
  EXPECT_TRUE(e.get()->IsKindOf(RUNTIME_CLASS_OF(CMemoryException)));
  EXPECT_THAT(Calls(), ElementsAre("SQLAllocEnv(&NULL) -> SQL_ERROR"));
  ExpectReleased(database);
  EXPECT_EQ(database.m_bUpdatable, TRUE);  // set at the start of the open, kept
}

TEST_F(OpenTest, RefusedConnectionHandleIsRaisedAndTheEnvironmentFreed) {
  fakeodbc::answer(Fn::SQLAllocConnect, 1,
                   Answer::fail(SQL_ERROR, {{"S1001", 0, u"[unixODBC][Driver Manager]Memory allocation error"}}));
  ASSERT_TRUE(IsDbError(OpenRaising(database), SQL_ERROR, "Memory allocation error\n"));
  EXPECT_THAT(Calls(), ElementsAre("SQLAllocEnv(&env#1) -> SQL_SUCCESS",
                                   "SQLAllocConnect(env#1, &NULL) -> SQL_ERROR",
                                   "SQLErrorW(env#1, NULL, NULL, 511) -> SQL_SUCCESS",
                                   "SQLErrorW(env#1, NULL, NULL, 511) -> SQL_NO_DATA",
                                   "SQLFreeEnv(env#1) -> SQL_SUCCESS"));
  ExpectReleased(database);
}

TEST_F(OpenTest, RefusedConnectionHandleKeepsTheEnvironmentOfAnotherConnection) {
  CDatabase first;
  ASSERT_TRUE(OpenDb(first));
  fakeodbc::answer(Fn::SQLAllocConnect, 1, Answer::fail(SQL_ERROR));
  fakeodbc::clearLog();
  CDatabase second;
  ASSERT_TRUE(OpenRaising(second, u"DSN=b"));
  EXPECT_THAT(Calls(), ElementsAre("SQLAllocConnect(env#1, &NULL) -> SQL_ERROR",
                                   "SQLErrorW(env#1, NULL, NULL, 511) -> SQL_NO_DATA"));
  EXPECT_EQ(Process().nAllocated, 1);
  EXPECT_NE(Process().henvAllConnections, nullptr);
  EXPECT_TRUE(first.IsOpen());
}

TEST_F(OpenTest, RefusedConnectIsRaisedWithTheDriversTextAfterItIsRead) {
  fakeodbc::answer(Fn::SQLDriverConnectW, 1,
                   Answer::fail(SQL_ERROR, {{"08001", 0, u"[FakeODBC][Driver]Unable to connect"},
                                            {"01000", 1, u"[FakeODBC][Driver]Second"}}));
  ASSERT_TRUE(IsDbError(OpenRaising(database, u"ODBC;DSN=a"), SQL_ERROR,
                        "Unable to connect\nSecond\n"));
  const std::string read = "SQLErrorW(env#1, dbc#1, NULL, 511) -> ";
  // The diagnostics are read while the handles exist; the release comes after.
  EXPECT_THAT(Calls(), ElementsAreArray(Concat(Concat(ConnectAnswering("SQL_ERROR"),
                                                      {read + "SQL_SUCCESS", read + "SQL_SUCCESS",
                                                       read + "SQL_NO_DATA"}),
                                               kReleaseUnconnectedCalls)));
  ExpectReleased(database);
  EXPECT_EQ(database.m_strConnect.ToUtf8(), "DSN=a");
  EXPECT_THAT(traces.Texts(),
              ElementsAre("Unable to connect\n", "State:08001,Native:0,Origin:[FakeODBC][Driver]\n\n",
                          "Second\n", "State:01000,Native:1,Origin:[FakeODBC][Driver]\n\n"));
}

TEST_F(OpenTest, InvalidHandleFromTheConnectIsRaisedWithoutText) {
  fakeodbc::answer(Fn::SQLDriverConnectW, 1, Answer::fail(SQL_INVALID_HANDLE));
  ASSERT_TRUE(IsDbError(OpenRaising(database), SQL_INVALID_HANDLE, ""));
  EXPECT_THAT(fakeodbc::callNames(), Not(Contains("SQLErrorW")));
  EXPECT_FALSE(database.IsOpen());
  EXPECT_EQ(Process().nAllocated, 0);
}

TEST_F(OpenTest, ConnectWithInformationIsTracedAndSucceeds) {
  fakeodbc::answer(Fn::SQLDriverConnectW, 1,
                   Answer::withInfo({{"01S00", 0, u"[FakeODBC][Driver]Invalid attribute"}}));
  EXPECT_TRUE(OpenDb(database));
  EXPECT_THAT(traces.Texts(),
              ElementsAreArray(Concat({"Warning: ODBC Success With Info, ", "Invalid attribute\n",
                                       "State:01S00,Native:0,Origin:[FakeODBC][Driver]\n\n"},
                                      HealthyCapabilityTraces())));
  EXPECT_TRUE(database.IsOpen());
}

TEST_F(OpenTest, FailedConformanceQueriesAreRaisedWithTheCompletedString) {
  for (int nth : {1, 2}) {
    SCOPED_TRACE(nth);
    SetUp();
    fakeodbc::setCompletedConnectString(u"DSN=a;UID=z");
    fakeodbc::answer(Fn::SQLGetInfoW, nth,
                     Answer::fail(SQL_ERROR, {{"S1000", 0, u"[FakeODBC][Driver]No level"}}));
    CDatabase database;
    ASSERT_TRUE(IsDbError(OpenRaising(database), SQL_ERROR, "No level\n"));
    EXPECT_EQ(database.m_strConnect.ToUtf8(), "ODBC;DSN=a;UID=z");
    ASSERT_EQ(Calls().size(), 5u + nth + 2 + 3);
    ExpectEndsWithRelease();
    ExpectReleased(database);
  }
}

TEST_F(OpenTest, ConformanceBelowTheLevelsRaisesTheOwnCodes) {
  struct Case {
    SQLUSMALLINT info;
    std::uint16_t level;
    RETCODE code;
    size_t queries;  // conformance queries made
  };
  for (const Case& c : {Case{SQL_ODBC_API_CONFORMANCE, SQL_OAC_NONE, dbErrorApiConformanceLevel, 1},
                        Case{SQL_ODBC_SQL_CONFORMANCE, 0xFFFF, dbErrorSqlConformanceLevel, 2}}) {
    SCOPED_TRACE(c.code);
    SetUp();
    fakeodbc::setInfo(c.info, InfoValue::int16(c.level));
    CDatabase database;
    ASSERT_TRUE(IsDbError(OpenRaising(database), c.code, kMissingText));
    EXPECT_THAT(traces.Texts(), ElementsAre(kMissingTextTrace));
    EXPECT_EQ(Calls().size(), 5u + c.queries + 3);
    ExpectReleased(database);
  }
}

TEST_F(OpenTest, TheLowestAcceptedConformanceLevelsOpen) {
  fakeodbc::setInfo(SQL_ODBC_API_CONFORMANCE, InfoValue::int16(SQL_OAC_LEVEL1));
  fakeodbc::setInfo(SQL_ODBC_SQL_CONFORMANCE, InfoValue::int16(SQL_OSC_MINIMUM));
  EXPECT_TRUE(OpenDb(database));
}

TEST_F(OpenTest, AnyOtherErrorInsideTheOpenReleasesAndTravelsOn) {
  // A framework error raised from inside the open (here by the trace of the DBMS name).
  CException* thrown = nullptr;
  TraceSink previous = SetTraceSink([&](const TraceRecord& r) {
    if (r.text.rfind("DBMS: ", 0) == 0) {
      thrown = new CInvalidArgException;
      throw thrown;
    }
  });
  RaisedError e = OpenRaising(database);
  SetTraceSink(previous);
  ASSERT_TRUE(e);
  EXPECT_EQ(e.get(), thrown);  // the same object, raised again
  ExpectEndsWithRelease();
  ExpectReleased(database);
}

TEST_F(OpenTest, OpeningAnOpenConnectionIsRefusedByTheDriverManagerAndReleases) {
  ASSERT_TRUE(OpenDb(database));
  fakeodbc::clearLog();
  ASSERT_TRUE(IsDbError(OpenRaising(database, u"DSN=b"), SQL_ERROR, "Connection name in use\n"));
  // No new handle and no option: straight to the connect.
  EXPECT_THAT(
      Calls(),
      ElementsAreArray(Concat(
          {"SQLDriverConnectW(dbc#1, hwnd, \"DSN=b\", SQL_NTS, 1024, SQL_DRIVER_COMPLETE) -> SQL_ERROR",
           "SQLErrorW(env#1, dbc#1, NULL, 511) -> SQL_SUCCESS",
           "SQLErrorW(env#1, dbc#1, NULL, 511) -> SQL_NO_DATA"},
          ReleaseCalls())));
  ExpectReleased(database);
  EXPECT_EQ(database.m_strConnect.ToUtf8(), "DSN=b");
}

// The shared environment

TEST_F(OpenTest, TwoConnectionsShareOneEnvironment) {
  {
    CDatabase first;
    CDatabase second;
    ASSERT_TRUE(OpenDb(first));
    fakeodbc::clearLog();
    ASSERT_TRUE(OpenDb(second, u"DSN=b"));
    EXPECT_THAT(Calls(), ElementsAreArray(HealthyOpenCalls("DSN=b", false, "dbc#2")));
    EXPECT_EQ(Process().nAllocated, 2);

    fakeodbc::clearLog();
    first.Close();
    EXPECT_EQ(Process().nAllocated, 1);
    second.Close();
    EXPECT_EQ(Process().nAllocated, 0);
    EXPECT_THAT(Calls(), ElementsAreArray(Concat(ReleaseCalls("dbc#1", false),
                                                 ReleaseCalls("dbc#2", false))));
    // Closing frees no environment; the first release that finds the count at 0 does.
    EXPECT_NE(Process().henvAllConnections, nullptr);
    fakeodbc::clearLog();
  }
  EXPECT_THAT(Calls(), ElementsAre("SQLFreeEnv(env#1) -> SQL_SUCCESS"));
  ExpectNothingAllocated();
}

TEST_F(OpenTest, TheEnvironmentStaysWhileAnotherConnectionIsOpen) {
  CDatabase second;
  {
    CDatabase first;
    ASSERT_TRUE(OpenDb(first));
    ASSERT_TRUE(OpenDb(second, u"DSN=b"));
    fakeodbc::clearLog();
  }
  EXPECT_THAT(Calls(), ElementsAreArray(ReleaseCalls("dbc#1", false)));
  EXPECT_EQ(Process().nAllocated, 1);
  EXPECT_TRUE(second.IsOpen());

  // A later connection allocates from the same environment.
  CDatabase third;
  fakeodbc::clearLog();
  ASSERT_TRUE(OpenDb(third, u"DSN=c"));
  EXPECT_EQ(Calls().front(), "SQLAllocConnect(env#1, &dbc#3) -> SQL_SUCCESS");
}

TEST_F(OpenTest, AFreedEnvironmentIsAllocatedAgainByTheNextOpen) {
  {
    CDatabase first;
    ASSERT_TRUE(OpenDb(first));
  }
  fakeodbc::clearLog();
  CDatabase next;
  ASSERT_TRUE(OpenDb(next));
  EXPECT_THAT(Calls(), ElementsAreArray(HealthyOpenCalls("DSN=a", true, "dbc#2", "env#2")));
}

}  // namespace
