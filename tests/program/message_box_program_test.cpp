// The message boxes of the brand listing program itself, on a demo database written for each
// test: the three presentations, the order of each box and its console line, and (where a
// desktop can be had) the program under a leak checker with its dialogs.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "box_readers.h"
#include "tests/support/memcheck.h"
#include "tests/support/temp_folder.h"
#if MESSAGE_BOX_DESKTOP_TESTS
#include "desktop_session.h"
#endif

namespace {

using namespace mbtest;
using namespace testsupport;
using namespace std::chrono_literals;

const std::string kProgram = BRAND_LISTING_PROGRAM;

// More rows than the program reads: only the first three are shown.
const std::vector<std::string> kBrands = {"Aérospatiale", "Airbus", "Антонов", "Boeing"};
const std::string kListing = "-- Aérospatiale\n-- Airbus\n-- Антонов\n";

std::string ProgramPath() { return std::filesystem::canonical(kProgram).string(); }

// A demo database bd2.mdb with the table avion, and the folder two levels below it from which
// the program finds it ("../../bd2.mdb").
class DemoDatabase {
 public:
  explicit DemoDatabase(bool withTable = true) {
    std::string lines;
    for (const std::string& brand : kBrands) lines += brand + "\n";
    WriteFile(m_dir.Path("brands.tsv"), lines);
    ChildOptions writer;
    writer.argv = {MDB_WRITER, m_dir.Path("bd2.mdb"), "--table", "avion", "--column",
                   "marque:text(50)", "--rows", m_dir.Path("brands.tsv")};
    if (!withTable) {
      writer.argv = {MDB_WRITER, m_dir.Path("bd2.mdb"), "--table", "helicoptere", "--column",
                     "nom:text(50)"};
    }
    m_written = RunChild(writer, 60s);
    std::filesystem::create_directories(workingDirectory());
  }

  const ChildResult& written() const { return m_written; }
  std::string workingDirectory() const { return m_dir.path() + "/hangar/bay"; }

  // The program, run from the folder below the database, without a display.
  ChildOptions Program() const {
    ChildOptions options;
    options.argv = {kProgram};
    options.workingFolder = workingDirectory();
    options.environment = {{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt},
                           {"ODBCSYSINI", ODBC_SYSINI_DIR}, {"LC_ALL", "C.UTF-8"}};
    return options;
  }

 private:
  TempFolder m_dir;
  ChildResult m_written;
};

#define ASSERT_DATABASE_WRITTEN(db)  \
  ASSERT_EQ((db).written().exitCode, 0) \
      << "the demo database was not written: " << (db).written().err

// Standard output holds only the listing, standard error only the boxes. Both streams into
// one pipe (merged): the order of arrival is the order of the writes, each box before its line.
class ProgramMessageBoxStreams : public ::testing::TestWithParam<bool> {};

TEST_P(ProgramMessageBoxStreams, EachValueIsShownBeforeItsLine) {
  DemoDatabase db;
  ASSERT_DATABASE_WRITTEN(db);
  ChildOptions options = db.Program();
  options.mergeErrors = GetParam();
  const ChildResult run = RunChild(options, 60s);
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  std::string blocks, merged;
  for (size_t i = 0; i < 3; ++i) {
    blocks += BlockOf(ProgramPath(), kBrands[i]);
    merged += BlockOf(ProgramPath(), kBrands[i]) + "-- " + kBrands[i] + "\n";
  }
  EXPECT_EQ(run.out, GetParam() ? merged : kListing);
  EXPECT_EQ(run.err, GetParam() ? "" : blocks);
}

INSTANTIATE_TEST_SUITE_P(Program, ProgramMessageBoxStreams, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Merged" : "Apart"; });

TEST(ProgramMessageBoxOnStandardError, DatabaseErrorIsOneBoxAndNoLine) {
  DemoDatabase db(/*withTable=*/false);
  ASSERT_DATABASE_WRITTEN(db);
  ChildResult run = RunChild(db.Program(), 60s);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "");
  const BlockOutput read = ReadBlockOutput(run.err);
  EXPECT_EQ(read.malformed, "") << run.err;
  const auto blocks = read.Boxes();
  ASSERT_EQ(blocks.size(), 1u) << run.err;
  EXPECT_EQ(blocks[0].caption, ProgramPath());
  EXPECT_FALSE(blocks[0].text.front().empty()) << "the error box has the driver's message";
}

TEST(ProgramMessageBoxOnTerminal, EachValueWaitsForEnterBeforeItsLine) {
  DemoDatabase db;
  ASSERT_DATABASE_WRITTEN(db);
  TerminalSession terminal(db.Program(), 60);
  ASSERT_TRUE(terminal.ok());
  std::string expected;
  for (size_t i = 0; i < 3; ++i) {
    ASSERT_TRUE(terminal.WaitForBoxes(i + 1, 60s)) << terminal.screen() << terminal.child().err();
    const TerminalBox box = terminal.Boxes()[i];
    EXPECT_EQ(BoxRows(box, 1), std::vector<std::string>{ProgramPath()});
    EXPECT_EQ(BoxRows(box, 2).at(0), "/!\\ " + kBrands[i]);
    ExpectWaiting(terminal.child(), expected);
    ASSERT_TRUE(terminal.Type(i == 1 ? "\n" : "\r"));
    expected += "-- " + kBrands[i] + "\n";
    ExpectOutput(terminal.child(), expected);
  }
  EXPECT_EQ(terminal.child().Wait(30s).exitCode, 0) << terminal.child().err();
  EXPECT_EQ(terminal.child().out(), kListing);
  EXPECT_EQ(terminal.Boxes().size(), 3u);
}

#if MESSAGE_BOX_DESKTOP_TESTS

class ProgramMessageBoxOnDesktop : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_DATABASE_WRITTEN(m_db);
    std::string whyNot;
    if (!m_desktop.StartDisplay(whyNot)) GTEST_SKIP() << whyNot;
    ASSERT_TRUE(m_desktop.StartBus(whyNot)) << whyNot;
  }

  DemoDatabase m_db;
  DesktopSession m_desktop{SYSTEM_PYTHON, DIALOG_READER};
};

TEST_F(ProgramMessageBoxOnDesktop, EachValueIsADialogDismissedBeforeItsLine) {
  auto program = m_desktop.Start(m_db.Program(), {{"DISPLAY", m_desktop.display()}});
  std::string expected;
  for (size_t i = 0; i < 3; ++i) {
    const std::string window = m_desktop.FindWindowTitled(ProgramPath());
    ASSERT_FALSE(window.empty()) << program->err();
    const DialogView view = m_desktop.Inspect(program->pid());
    ASSERT_EQ(view.labels.size(), 1u);
    EXPECT_EQ(view.labels[0].text, kBrands[i]);
    ASSERT_EQ(view.icons.size(), 1u);
    ASSERT_EQ(view.buttons.size(), 1u);
    ExpectWaiting(*program, expected);
    // Each dialog is dismissed another way: Enter, Escape, a click on OK.
    if (i < 2) m_desktop.PressKey(window, i == 0 ? "Return" : "Escape");
    if (i == 2) m_desktop.ClickOn(view.buttons[0]);
    expected += "-- " + kBrands[i] + "\n";
    ExpectOutput(*program, expected);
    EXPECT_FALSE(m_desktop.WindowExists(window));
  }
  EXPECT_EQ(program->Wait(30s).exitCode, 0) << program->err();
  EXPECT_EQ(program->out(), kListing);
  EXPECT_EQ(program->err().find("[message box]"), std::string::npos) << program->err();
}

TEST_F(ProgramMessageBoxOnDesktop, UnderValgrindNoLeakOfTheProgramsOwn) {
  // In a sanitizer build LeakSanitizer checks the desktop run above instead.
  if (const std::string why = MemcheckUnavailable(); !why.empty()) GTEST_SKIP() << why;
  ChildOptions options = m_db.Program();
  options.argv = UnderMemcheck(options.argv, "", "definite");
  auto program =
      m_desktop.Start(options, {{"DISPLAY", m_desktop.display()}, {"NO_AT_BRIDGE", "1"}});
  std::string expected;
  for (size_t i = 0; i < 3; ++i) {
    const std::string window = m_desktop.FindWindowTitled(ProgramPath(), 120s);
    ASSERT_FALSE(window.empty()) << program->err();
    m_desktop.PressKey(window, "Return");
    expected += "-- " + kBrands[i] + "\n";
    ExpectOutput(*program, expected);
  }
  EXPECT_EQ(program->Wait(120s).exitCode, 0) << program->err();
  EXPECT_EQ(ReadMemcheckReport(program->err()).errors, 0) << program->err();
}

#endif

}  // namespace
