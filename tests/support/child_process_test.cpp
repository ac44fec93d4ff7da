// The shared runner: how a child ends, what it reads and writes, its environment and folder,
// and the deadline.
#include "tests/support/child_process.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <thread>

#include "tests/support/temp_folder.h"

namespace testsupport {
namespace {

using namespace std::chrono_literals;

struct RunCase {
  const char* name;
  std::string script;        // run by /bin/sh -c
  std::string input;
  EnvironmentChanges environment;
  bool mergeErrors;
  ChildResult expected;
};

void PrintTo(const RunCase& c, std::ostream* os) { *os << c.name; }

ChildResult Ended(int exitCode, int signal, std::string out, std::string err) {
  return {signal == 0, signal == 0 ? exitCode : -1, signal, false, std::move(out), std::move(err)};
}

class ChildRun : public testing::TestWithParam<RunCase> {};

TEST_P(ChildRun, EndsAndWritesAsExpected) {
  const RunCase& c = GetParam();
  ::setenv("TESTSUPPORT_ONE", "1", 1);
  ::setenv("TESTSUPPORT_TWO", "2", 1);
  ChildOptions options;
  options.argv = {"/bin/sh", "-c", c.script};
  options.input = c.input;
  options.environment = c.environment;
  options.mergeErrors = c.mergeErrors;
  const ChildResult run = RunChild(options, 20s);
  EXPECT_EQ(run.How(), c.expected.How()) << run.err;
  EXPECT_EQ(run.exitCode, c.expected.exitCode);
  EXPECT_EQ(run.signal, c.expected.signal);
  EXPECT_EQ(run.out, c.expected.out);
  EXPECT_EQ(run.err, c.expected.err);
}

const std::string kLarge(300000, 'x');

INSTANTIATE_TEST_SUITE_P(
    Cases, ChildRun,
    testing::Values(
        RunCase{"exit_code", "echo out; echo err >&2; exit 3", "", {}, false,
                Ended(3, 0, "out\n", "err\n")},
        RunCase{"signal", "kill -s TERM $$", "", {}, false, Ended(0, SIGTERM, "", "")},
        RunCase{"no_input", "cat; echo end", "", {}, false, Ended(0, 0, "end\n", "")},
        // Larger than a pipe holds both ways: the input is written while the output is read.
        RunCase{"large_input", "cat", kLarge, {}, false, Ended(0, 0, kLarge, "")},
        RunCase{"merged", "echo a; echo b >&2; echo c", "", {}, true,
                Ended(0, 0, "a\nb\nc\n", "")},
        RunCase{"environment", "echo ${TESTSUPPORT_ONE-unset} ${TESTSUPPORT_TWO-unset} $ADDED",
                "", {{"TESTSUPPORT_ONE", std::nullopt}, {"ADDED", "yes"}}, false,
                Ended(0, 0, "unset 2 yes\n", "")},
        RunCase{"environment_prefix", "echo ${TESTSUPPORT_ONE-unset} ${TESTSUPPORT_TWO-unset}",
                "", {{"TESTSUPPORT_*", std::nullopt}}, false, Ended(0, 0, "unset unset\n", "")}),
    [](const testing::TestParamInfo<RunCase>& info) { return info.param.name; });

TEST(ChildProcess, AChildPastItsDeadlineIsKilledWithWhatItStarted) {
  TempFolder folder("child-process");
  ChildOptions options;
  options.argv = {"/bin/sh", "-c", "sleep 30 & echo $! > started; echo waiting; wait"};
  options.workingFolder = folder.path();
  const auto begun = Clock::now();
  const ChildResult run = RunChild(options, 300ms);
  EXPECT_LT(Clock::now() - begun, 10s);
  EXPECT_TRUE(run.timedOut);
  EXPECT_EQ(run.How(), "killed at its deadline");
  EXPECT_EQ(run.out, "waiting\n");
  const std::string grandchild = ReadFile(folder.Path("started"));
  ASSERT_FALSE(grandchild.empty());
  // Killed, it lingers until its new parent reaps it.
  const auto reaped = Clock::now() + 10s;
  while (::kill(std::stoi(grandchild), 0) == 0 && Clock::now() < reaped) {
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_NE(::kill(std::stoi(grandchild), 0), 0) << "the background sleep outlived the run";
}

TEST(ChildProcess, ACommandThatCannotStartSaysWhy) {
  for (const auto& [argv, folder, why] :
       {std::tuple<std::string, std::string, std::string>{"/nonexistent/program", "",
                                                          "cannot run it"},
        {"/bin/true", "/nonexistent/folder", "cannot enter /nonexistent/folder"}}) {
    ChildOptions options;
    options.argv = {argv};
    options.workingFolder = folder;
    Child child(options);
    EXPECT_FALSE(child.started());
    EXPECT_NE(child.err().find("cannot start " + argv + ": " + why), std::string::npos)
        << child.err();
    EXPECT_EQ(child.Wait(1s).How(), "did not start");
  }
}

TEST(ChildProcess, InputWrittenInPiecesAndIgnoredSignals) {
  ChildOptions options;
  options.argv = {"/bin/sh", "-c", "read first; echo \"got $first\"; read second; echo $second"};
  options.inputOpen = true;
  options.ignoredSignals = {SIGHUP};
  Child child(options);
  ASSERT_TRUE(child.started());
  child.Write("one\n");
  ASSERT_TRUE(child.PumpUntil([](const std::string& out, const std::string&) {
    return out == "got one\n";
  }, 20s)) << child.out();
  child.Signal(SIGHUP);
  child.Write("two\n");
  const ChildResult run = child.Wait(20s);
  EXPECT_EQ(run.How(), "exit 0");
  EXPECT_EQ(run.out, "got one\ntwo\n");
}

TEST(ChildProcess, ATerminalIsInputOrControllingAsAsked) {
  for (const auto& [role, expected] :
       {std::pair<TerminalRole, std::string>{TerminalRole::None, ""},
        {TerminalRole::ControllingAndInput, "input\ncontrolling\n"},
        {TerminalRole::InputOnly, "input\n"},
        {TerminalRole::ControllingOnly, "controlling\n"}}) {
    ChildOptions options;
    options.argv = {"/bin/sh", "-c",
                    "[ -t 0 ] && echo input; (: </dev/tty) 2>/dev/null && echo controlling; true"};
    options.terminal = role;
    Child child(options);
    EXPECT_EQ(child.terminal() >= 0, role != TerminalRole::None);
    const ChildResult run = child.Wait(20s);
    EXPECT_EQ(run.How(), "exit 0") << run.err;
    EXPECT_EQ(run.out, expected) << static_cast<int>(role);
  }
}

TEST(ChildProcess, TempFolderFilesAndRemoval) {
  std::string path;
  {
    TempFolder folder("temp-folder");
    path = folder.path();
    WriteFile(folder.Path("b"), std::string("\0\xff", 2));
    WriteFile(folder.Path(".a"), "");
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{".a", "b"}));
    EXPECT_EQ(ReadFile(folder.Path("b")), std::string("\0\xff", 2));
    EXPECT_EQ(ReadFile(folder.Path("absent")), "");
    EXPECT_THROW(WriteFile(folder.Path("no/such/folder"), "x"), std::runtime_error);
  }
  EXPECT_NE(::access(path.c_str(), F_OK), 0);
}

}  // namespace
}  // namespace testsupport
