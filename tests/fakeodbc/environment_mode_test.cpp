// Environment mode: a program linked against the system libodbc.so.2, started with
// LD_LIBRARY_PATH pointing at the fake and FAKEODBC_SCRIPT / FAKEODBC_LOG set, is answered
// from the script and logged.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

struct Outcome {
  int exitCode = -1;
  std::string out;
  std::string err;
};

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

class EnvironmentModeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "fakeodbc-env-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }

  void TearDown() override { fs::remove_all(dir_); }

  fs::path scriptPath() const { return dir_ / "script.txt"; }
  fs::path logPath() const { return dir_ / "calls.log"; }

  void writeScript(const std::string& text) {
    std::ofstream out(scriptPath(), std::ios::binary);
    out << text;
  }

  // Starts the probe with the fake in front of the system library, no display, stdin from
  // /dev/null, and waits at most 30 seconds for it.
  Outcome runProbe(const std::vector<std::string>& args) {
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      const std::string variable = *entry;
      const std::string name = variable.substr(0, variable.find('='));
      if (name == "DISPLAY" || name == "WAYLAND_DISPLAY" || name == "LD_LIBRARY_PATH" ||
          name.rfind("FAKEODBC_", 0) == 0) {
        continue;
      }
      environment.push_back(variable);
    }
    environment.push_back(std::string("LD_LIBRARY_PATH=") + FAKEODBC_LIBRARY_DIR);
    environment.push_back("FAKEODBC_SCRIPT=" + scriptPath().string());
    environment.push_back("FAKEODBC_LOG=" + logPath().string());

    std::vector<std::string> argv = {FAKEODBC_PROBE};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<char*> argPointers, envPointers;
    for (auto& arg : argv) argPointers.push_back(arg.data());
    argPointers.push_back(nullptr);
    for (auto& variable : environment) envPointers.push_back(variable.data());
    envPointers.push_back(nullptr);

    const std::string outPath = (dir_ / "stdout.txt").string();
    const std::string errPath = (dir_ / "stderr.txt").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argPointers[0], &actions, nullptr, argPointers.data(),
                                    envPointers.data());
    posix_spawn_file_actions_destroy(&actions);
    Outcome outcome;
    if (spawned != 0) {
      ADD_FAILURE() << "cannot start " << argPointers[0] << ": " << std::strerror(spawned);
      return outcome;
    }
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (waitpid(pid, &status, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() > deadline) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ADD_FAILURE() << "the probe did not end within 30 seconds";
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    outcome.out = readFile(outPath);
    outcome.err = readFile(errPath);
    return outcome;
  }

  fs::path dir_;
};

TEST_F(EnvironmentModeTest, ProgramIsAnsweredFromTheScriptAndEveryCallIsLogged) {
  writeScript(
      "connect-out \"DRIVER={Fake};DBQ=/data/bd2.mdb\"\n"
      "info SQL_DBMS_NAME text \"ACCESS\"\n"
      "result \"SELECT marque FROM avion\"\n"
      "column marque SQL_WVARCHAR 50\n"
      "row \"Concorde\"\n"
      "row NULL\n"
      "row \"\\u00C9cureuil\"\n");
  const Outcome outcome = runProbe({"SELECT marque FROM avion"});
  ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_EQ(outcome.out,
            "connected DRIVER={Fake};DBQ=/data/bd2.mdb\n"
            "dbms ACCESS\n"
            "-- Concorde\n"
            "-- NULL\n"
            "-- \xC3\x89"
            "cureuil\n");

  const auto log = lines(readFile(logPath()));
  ASSERT_GE(log.size(), 8u);
  EXPECT_EQ(log[0], "SQLAllocEnv(&env#1) -> SQL_SUCCESS");
  EXPECT_EQ(log[1], "SQLAllocConnect(env#1, &dbc#1) -> SQL_SUCCESS");
  EXPECT_EQ(log[2],
            "SQLDriverConnectW(dbc#1, NULL, \"DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};"
            "DBQ=../../bd2.mdb\", SQL_NTS, 256, SQL_DRIVER_NOPROMPT) -> SQL_SUCCESS");
  EXPECT_EQ(log[3], "SQLGetInfoW(dbc#1, SQL_DBMS_NAME, 128) -> SQL_SUCCESS");
  EXPECT_EQ(log[4], "SQLAllocStmt(dbc#1, &stmt#1) -> SQL_SUCCESS");
  EXPECT_EQ(log[5], "SQLExecDirectW(stmt#1, \"SELECT marque FROM avion\", SQL_NTS) -> SQL_SUCCESS");
  ASSERT_GE(log.size(), 12u);
  const std::vector<std::string> tail(log.end() - 12, log.end());
  EXPECT_EQ(tail, (std::vector<std::string>{
                      "SQLExtendedFetch(stmt#1, SQL_FETCH_NEXT, 1) -> SQL_NO_DATA",
                      "SQLFreeStmt(stmt#1, SQL_DROP) -> SQL_SUCCESS",
                      "SQLDisconnect(dbc#1) -> SQL_SUCCESS",
                      "SQLFreeConnect(dbc#1) -> SQL_SUCCESS",
                      "SQLFreeEnv(env#1) -> SQL_SUCCESS",
                      "== handles",
                      "env allocated=1 freed=1 live=0",
                      "dbc allocated=1 freed=1 live=0",
                      "stmt allocated=1 freed=1 live=0 released-by-disconnect=0",
                      "invalid-handle-uses=0",
                      "live: -",
                      "balanced: yes",
                  }));
}

TEST_F(EnvironmentModeTest, BalanceLineClosesTheLog) {
  writeScript("");
  const Outcome outcome = runProbe({"SELECT marque FROM avion"});
  ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_EQ(outcome.out,
            "connected DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DBQ=../../bd2.mdb\n"
            "dbms FakeDB\n-- Airbus\n-- Boeing\n-- Cessna\n-- Dassault\n");
  const auto log = lines(readFile(logPath()));
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.back(), "balanced: yes");
}

TEST_F(EnvironmentModeTest, ScriptedFailureReachesTheProgramThroughSQLErrorW) {
  writeScript(
      "answer SQLExecDirectW 1 rc SQL_ERROR diag 42S02 0 "
      "\"[FakeODBC][Driver]avion is not a table in this database\"\n");
  const Outcome outcome = runProbe({"SELECT marque FROM avion"});
  ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
  EXPECT_NE(outcome.out.find("error 42S02 [FakeODBC][Driver]avion is not a table in this "
                             "database\n"),
            std::string::npos)
      << outcome.out;
  EXPECT_EQ(outcome.out.find("-- "), std::string::npos);
  const std::string log = readFile(logPath());
  EXPECT_NE(log.find("SQLExecDirectW(stmt#1, \"SELECT marque FROM avion\", SQL_NTS) -> "
                     "SQL_ERROR\nSQLErrorW(env#1, dbc#1, stmt#1, 511) -> SQL_SUCCESS\n"
                     "SQLErrorW(env#1, dbc#1, stmt#1, 511) -> SQL_NO_DATA\n"),
            std::string::npos)
      << log;
}

TEST_F(EnvironmentModeTest, AStatementLeftToDisconnectUnbalancesTheLog) {
  writeScript("");
  const Outcome outcome = runProbe({"SELECT marque FROM avion", "--keep-statement"});
  ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
  const auto log = lines(readFile(logPath()));
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[log.size() - 3], "invalid-handle-uses=0");
  EXPECT_NE(readFile(logPath()).find("released-by-disconnect=1"), std::string::npos);
  EXPECT_EQ(log.back(), "balanced: no");
}

TEST_F(EnvironmentModeTest, AMalformedScriptStopsTheProgramWithItsLine) {
  writeScript("column marque SQL_WVARCHAR 50\nrow \"a\" \"b\"\n");
  const Outcome outcome = runProbe({"SELECT marque FROM avion"});
  EXPECT_EQ(outcome.exitCode, 2);
  EXPECT_NE(outcome.err.find("fakeodbc: "), std::string::npos) << outcome.err;
  EXPECT_NE(outcome.err.find("line 2: row has 2 values for 1 columns"), std::string::npos)
      << outcome.err;
  EXPECT_EQ(outcome.out, "");
}

}  // namespace
