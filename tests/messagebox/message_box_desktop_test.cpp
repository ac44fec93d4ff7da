// The message box as a desktop dialog, through the probe program, on a private Xvfb desktop
// started by each test: the dialog is found by its title, read through the accessibility bus,
// dismissed with real key presses, a pointer click or the window manager's close request, and
// the probe's console line must follow the dismissal, never precede it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "box_readers.h"
#include "desktop_session.h"
#include "tests/support/memcheck.h"
#include "tests/support/temp_folder.h"

namespace {

using namespace mbtest;
using namespace testsupport;
using namespace std::chrono_literals;

const std::string kProbe = MESSAGE_BOX_PROBE;
const std::string kArtifacts = ARTIFACT_DIR;

std::string ProbePath() { return std::filesystem::canonical(kProbe).string(); }

class DesktopMessageBox : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string whyNot;
    if (!m_desktop.StartDisplay(whyNot)) GTEST_SKIP() << whyNot;
    ASSERT_TRUE(m_desktop.StartBus(whyNot)) << whyNot;
  }

  std::unique_ptr<Child> StartProbe(std::vector<std::string> args,
                                    const EnvironmentChanges& extra = {},
                                    std::vector<std::string> wrapper = {}) {
    ChildOptions options;
    options.argv = wrapper;
    options.argv.push_back(kProbe);
    options.argv.insert(options.argv.end(), args.begin(), args.end());
    return m_desktop.Start(options, extra);
  }

  std::string FindDialog(std::chrono::milliseconds timeout = 30s) {
    return m_desktop.FindWindowTitled(ProbePath(), timeout);
  }

  DesktopSession m_desktop{SYSTEM_PYTHON, DIALOG_READER};
};

TEST_F(DesktopMessageBox, ShowsTitleWarningIconExactTextAndOneOkButton) {
  const std::string text = "Cessna 172 Skyhawk — Zoé ✈ «Ünïcödé»";
  auto probe = StartProbe({text});
  const std::string window = FindDialog();
  ASSERT_FALSE(window.empty());
  EXPECT_EQ(m_desktop.Title(window), ProbePath());

  std::filesystem::create_directories(kArtifacts);
  const std::string shot = kArtifacts + "/message-box-dialog.png";
  std::filesystem::remove(shot);
  const DialogView view = m_desktop.Inspect(probe->pid(), shot);
  ASSERT_EQ(view.labels.size(), 1u);
  EXPECT_EQ(view.labels[0].text, text);
  ASSERT_EQ(view.icons.size(), 1u);
  EXPECT_EQ(view.icons[0].text, "Warning");
  EXPECT_GE(view.icons[0].width, 32);  // a dialog-sized icon, not an inline one
  ASSERT_EQ(view.buttons.size(), 1u);
  EXPECT_EQ(view.buttons[0].text, "OK");
  // A screenshot of the dialog is kept for a person to look at; it must show something.
  EXPECT_GT(view.screenshotColours, 10);
  EXPECT_GT(std::filesystem::file_size(shot), 1000u);

  ExpectWaiting(*probe, "");
  m_desktop.PressKey(window, "Return");
  ExpectOutput(*probe, "box 1 returned 1\n");
  EXPECT_FALSE(m_desktop.WindowExists(window));
  EXPECT_EQ(probe->Wait(20s).exitCode, 0) << probe->err();
}

// Escape, a click on OK and the window manager's close request dismiss the box too; a click on
// the text, away from the button, leaves it up.
class DesktopMessageBoxDismissal : public DesktopMessageBox,
                                   public ::testing::WithParamInterface<const char*> {};

TEST_P(DesktopMessageBoxDismissal, DismissesTheBox) {
  const std::string way = GetParam();
  auto probe = StartProbe({"Dismissed with " + way});
  const std::string window = FindDialog();
  ASSERT_FALSE(window.empty());
  const DialogView view = m_desktop.Inspect(probe->pid());
  ASSERT_EQ(view.buttons.size(), 1u);
  ASSERT_EQ(view.labels.size(), 1u);
  m_desktop.ClickOn(view.labels[0]);
  ExpectWaiting(*probe, "");
  if (way == "Escape") m_desktop.PressKey(window, "Escape");
  if (way == "Click") m_desktop.ClickOn(view.buttons[0]);
  if (way == "Close") m_desktop.RequestClose(window);
  ExpectOutput(*probe, "box 1 returned 1\n");
  EXPECT_EQ(probe->Wait(20s).exitCode, 0) << probe->err();
}

INSTANTIATE_TEST_SUITE_P(Ways, DesktopMessageBoxDismissal,
                         ::testing::Values("Escape", "Click", "Close"),
                         [](const auto& info) { return std::string(info.param); });

TEST_F(DesktopMessageBox, EachBoxIsGoneBeforeTheNextAndEmptyTextIsShown) {
  auto probe = StartProbe({"", "line one\nline two"});
  const std::string first = FindDialog();
  ASSERT_FALSE(first.empty());
  DialogView view = m_desktop.Inspect(probe->pid());
  ASSERT_EQ(view.labels.size(), 1u);
  EXPECT_EQ(view.labels[0].text, "");
  ASSERT_EQ(view.buttons.size(), 1u);
  m_desktop.PressKey(first, "Return");
  ExpectOutput(*probe, "box 1 returned 1\n");
  // The first dialog's window is destroyed by the time its line is written.
  EXPECT_FALSE(m_desktop.WindowExists(first));

  const std::string second = FindDialog();
  ASSERT_FALSE(second.empty());
  view = m_desktop.Inspect(probe->pid());
  ASSERT_EQ(view.labels.size(), 1u);
  EXPECT_EQ(view.labels[0].text, "line one\nline two");
  ExpectWaiting(*probe, "box 1 returned 1\n");
  m_desktop.PressKey(second, "Escape");
  ExpectOutput(*probe, "box 1 returned 1\nbox 2 returned 1\n");
  EXPECT_EQ(probe->Wait(20s).exitCode, 0) << probe->err();
  // Nothing but the dialogs was shown: no text block on standard error.
  EXPECT_EQ(probe->err().find("[message box]"), std::string::npos) << probe->err();
}

TEST_F(DesktopMessageBox, DisplayIsPreferredToTheTerminal) {
  ChildOptions options;
  options.argv = {kProbe, "window, not terminal"};
  options.environment = m_desktop.environment();
  TerminalSession terminal(options, 80);
  const std::string window = FindDialog();
  ASSERT_FALSE(window.empty());
  m_desktop.PressKey(window, "Return");
  ExpectOutput(terminal.child(), "box 1 returned 1\n");
  EXPECT_EQ(terminal.child().Wait(20s).exitCode, 0) << terminal.child().err();
  // Nothing was drawn on the terminal.
  terminal.ReadTerminal(100ms);
  EXPECT_EQ(terminal.screen().find("[ OK ]"), std::string::npos) << terminal.screen();
}

// The probe copied into a folder of its own, where the dialog module's place (../lib/...) is
// empty or holds a file that is no module: with the display open, the box must still be shown,
// as the block on standard error, with nothing else said.
class DesktopMessageBoxWithoutModule : public DesktopMessageBox,
                                       public ::testing::WithParamInterface<bool> {};

TEST_P(DesktopMessageBoxWithoutModule, FallsBackToStandardErrorWithTheSameText) {
  const TempFolder folder("probe-without-module");
  const std::filesystem::path top = folder.path();
  std::filesystem::create_directories(top / "bin");
  const std::filesystem::path copy = top / "bin" / "message_box_probe";
  std::filesystem::copy_file(kProbe, copy);
  if (GetParam()) {
    std::filesystem::create_directories(top / "lib" / "brand-listing");
    WriteFile(top / "lib" / "brand-listing" / "message-box-gtk.so", "not a module\n");
  }

  ChildOptions options;
  options.argv = {copy.string(), "Zoé ✈ without a dialog"};
  auto probe = m_desktop.Start(options, {{"LC_ALL", "C.UTF-8"}});
  const auto status = probe->Wait(20s);
  EXPECT_EQ(status.exitCode, 0) << probe->err();
  EXPECT_EQ(probe->out(), "box 1 returned 1\n");
  // The block is all there is: no loader or toolkit message.
  EXPECT_EQ(probe->err(), BlockOf(copy.string(), "Zoé ✈ without a dialog"));
}

INSTANTIATE_TEST_SUITE_P(Module, DesktopMessageBoxWithoutModule, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Unloadable" : "Absent"; });

class DesktopMessageBoxLeaks : public DesktopMessageBox {
 protected:
  // Runs the probe under `wrapper` until its one dialog is dismissed with Enter. The toolkit's
  // accessibility bridge is left out: it only adds start-up time under valgrind.
  ChildResult RunDismissed(std::vector<std::string> wrapper, std::vector<std::string> args) {
    auto probe = StartProbe(args, {{"NO_AT_BRIDGE", "1"}}, wrapper);
    const std::string window = FindDialog(120s);
    if (window.empty()) return {};
    m_desktop.PressKey(window, "Return");
    return probe->Wait(120s);
  }

  static std::vector<std::string> Valgrind() { return UnderMemcheck({}, "", "definite"); }
};

// In a sanitizer build LeakSanitizer checks every desktop run instead of valgrind.
TEST_F(DesktopMessageBoxLeaks, ValgrindFindsNoLeakOfTheProgramsOwn) {
  if (const std::string why = MemcheckUnavailable(); !why.empty()) GTEST_SKIP() << why;
  ChildResult run = RunDismissed(Valgrind(), {"Shown under valgrind"});
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "box 1 returned 1\n");
  EXPECT_NE(run.err.find("ERROR SUMMARY: 0 errors"), std::string::npos) << run.err;
}

TEST_F(DesktopMessageBoxLeaks, ValgrindStillSeesALeakOfTheProgramsOwn) {
  if (const std::string why = MemcheckUnavailable(); !why.empty()) GTEST_SKIP() << why;
  // The suppressions name the toolkit's libraries only: a block the probe drops is reported,
  // with the probe's own frame, and fails the run.
  ChildResult run = RunDismissed(Valgrind(), {"--leak-a-block", "Shown under valgrind"});
  EXPECT_EQ(run.exitCode, kMemcheckErrorStatus) << run.err;
  EXPECT_NE(run.err.find("definitely lost: 4,096 bytes in 1 blocks"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("main (message_box_probe.cpp"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("ERROR SUMMARY: 1 errors"), std::string::npos) << run.err;
}

TEST_F(DesktopMessageBoxLeaks, LeakSanitizerStillSeesALeakOfTheProgramsOwn) {
  if (!MESSAGE_BOX_SANITIZED) {
    GTEST_SKIP() << "only a sanitizer build has LeakSanitizer; valgrind checks here";
  }
  // Every desktop test ends with exit status 0, so LeakSanitizer, with the suppressions of
  // tests/lsan.supp, found nothing there; the same suppressions let a dropped block through.
  ChildResult run = RunDismissed({}, {"--leak-a-block", "Shown under LeakSanitizer"});
  EXPECT_NE(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("ERROR: LeakSanitizer"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("message_box_probe.cpp"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("4096 byte(s) leaked in 1 allocation(s)"), std::string::npos) << run.err;
}

}  // namespace
