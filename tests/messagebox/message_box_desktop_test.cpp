// The message box as a desktop dialog, under a virtual X server started by each test: the
// dialog is found by its title with xdotool, read through the accessibility bus, dismissed with
// real key presses, a pointer click or the window manager's close request, and the probe's
// console line must follow the dismissal, never precede it.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <thread>

#include "child_process.h"
#include "window_close.h"

namespace {

using namespace mbtest;
using namespace std::chrono_literals;

const std::string kProbe = MESSAGE_BOX_PROBE;
const std::string kInspector = DIALOG_INSPECTOR;
const std::string kPython = SYSTEM_PYTHON;
const std::string kArtifacts = ARTIFACT_DIR;
const std::string kValgrindSuppressions = VALGRIND_SUPPRESSIONS;

std::string ProbePath() { return std::filesystem::canonical(kProbe).string(); }

// Reads one line from a descriptor that a child writes to, within the timeout.
std::optional<std::string> ReadLine(int fd, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  std::string line;
  while (Clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 100) <= 0) continue;
    char c;
    ssize_t n = ::read(fd, &c, 1);
    if (n <= 0) return std::nullopt;
    if (c == '\n') return line;
    line.push_back(c);
  }
  return std::nullopt;
}

// Starts a server that announces where it listens on the descriptor `writeEnd` (which it
// keeps); the caller reads the announcement from the other end.
std::unique_ptr<Child> StartAnnouncingDaemon(std::vector<std::string> argv, int writeEnd,
                                             const EnvironmentChanges& env) {
  ChildOptions options;
  options.argv = std::move(argv);
  options.environment = env;
  options.keepFds = {writeEnd};
  return std::make_unique<Child>(options);
}

std::string EscapeRegex(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    if (std::string_view(".^$*+?()[]{}|\\").find(c) != std::string_view::npos) escaped += '\\';
    escaped += c;
  }
  return escaped;
}

std::string FromHex(const std::string& hex) {
  if (hex == "-") return {};
  std::string text;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) text += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  return text;
}

struct Element {
  std::string kind;
  std::string text;
  int x = 0, y = 0, width = 0, height = 0;
};

struct DialogView {
  Element dialog;
  std::vector<Element> icons, labels, buttons;
  int screenshotColours = -1;
};

// One X server and one session bus (with the accessibility bus it starts on demand), private to
// the test.
class DesktopMessageBox : public ::testing::Test {
 protected:
  void SetUp() override {
    // The accessibility services that the session bus starts leave their parent; this process
    // takes them over so that it can reap them after the test.
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
    ::mkdir(kArtifacts.c_str(), 0755);
    ::chmod(m_runtime.path().c_str(), 0700);

    int displayPipe[2];
    ASSERT_EQ(::pipe(displayPipe), 0);
    m_xserver = StartAnnouncingDaemon({"Xvfb", "-displayfd", std::to_string(displayPipe[1]), "-screen", "0",
                                       "1024x768x24", "-nolisten", "tcp", "-noreset"},
                                      displayPipe[1], {});
    ::close(displayPipe[1]);
    auto display = ReadLine(displayPipe[0], 20s);
    ::close(displayPipe[0]);
    if (!display || display->empty()) {
      m_xserver->Wait(2s);
      GTEST_SKIP() << "Xvfb cannot start here, so the desktop dialog cannot be shown: "
                   << m_xserver->err();
    }
    m_display = ":" + *display;

    int busPipe[2];
    ASSERT_EQ(::pipe(busPipe), 0);
    m_bus = StartAnnouncingDaemon(
        {"dbus-daemon", "--session", "--nofork", "--print-address=" + std::to_string(busPipe[1])},
        busPipe[1], {{"XDG_RUNTIME_DIR", m_runtime.path()}, {"DISPLAY", m_display}});
    ::close(busPipe[1]);
    auto bus = ReadLine(busPipe[0], 20s);
    ::close(busPipe[0]);
    ASSERT_TRUE(bus && !bus->empty()) << "the session bus did not start: " << m_bus->err();

    m_env = {{"DISPLAY", m_display},
             {"WAYLAND_DISPLAY", std::nullopt},
             {"GDK_BACKEND", std::nullopt},
             {"DBUS_SESSION_BUS_ADDRESS", *bus},
             {"AT_SPI_BUS_ADDRESS", std::nullopt},
             {"NO_AT_BRIDGE", std::nullopt},
             {"XDG_RUNTIME_DIR", m_runtime.path()},
             {"LC_ALL", "C.UTF-8"}};
  }

  void TearDown() override {
    // The bus goes first: the accessibility services it started end with its process group.
    // A terminated X server removes its lock file and socket, a killed one would leave them.
    if (m_bus) m_bus->Kill(SIGTERM);
    if (m_xserver) m_xserver->Kill(SIGTERM);
    m_bus.reset();
    m_xserver.reset();
    const auto deadline = Clock::now() + 2s;
    while (Clock::now() < deadline) {
      const pid_t reaped = ::waitpid(-1, nullptr, WNOHANG);
      if (reaped < 0) break;  // no child left
      if (reaped == 0) std::this_thread::sleep_for(20ms);
    }
  }

  std::unique_ptr<Child> StartProbe(std::vector<std::string> args,
                                    const EnvironmentChanges& extra = {},
                                    std::vector<std::string> wrapper = {}) {
    ChildOptions options;
    options.argv = wrapper;
    options.argv.push_back(kProbe);
    options.argv.insert(options.argv.end(), args.begin(), args.end());
    options.environment = m_env;
    for (const auto& [name, value] : extra) options.environment[name] = value;
    return std::make_unique<Child>(options);
  }

  RunResult Tool(std::vector<std::string> argv, std::chrono::milliseconds timeout = 30s) {
    ChildOptions options;
    options.argv = std::move(argv);
    options.environment = m_env;
    return RunToEnd(options, timeout);
  }

  // Waits for a visible window titled with the probe's path and returns its id.
  std::string FindDialog(std::chrono::milliseconds timeout = 30s) {
    RunResult found = Tool({"xdotool", "search", "--sync", "--onlyvisible", "--name",
                            "^" + EscapeRegex(ProbePath()) + "$"},
                           timeout);
    EXPECT_EQ(ExitCode(found.status), 0) << "no dialog appeared: " << found.err;
    const auto ids = Lines(found.out);
    EXPECT_EQ(ids.size(), 1u) << found.out;
    return ids.empty() ? std::string() : ids.front();
  }

  std::string Title(const std::string& window) {
    RunResult name = Tool({"xdotool", "getwindowname", window});
    EXPECT_EQ(ExitCode(name.status), 0) << name.err;
    return Lines(name.out).empty() ? std::string() : Lines(name.out).front();
  }

  bool WindowExists(const std::string& window) {
    return ExitCode(Tool({"xwininfo", "-id", window}).status) == 0;
  }

  DialogView Inspect(pid_t pid, const std::string& screenshot = {}) {
    std::vector<std::string> argv = {kPython, kInspector, "--pid", std::to_string(pid)};
    if (!screenshot.empty()) argv.insert(argv.end(), {"--screenshot", screenshot});
    RunResult run = Tool(argv, 40s);
    EXPECT_EQ(ExitCode(run.status), 0) << run.err;
    DialogView view;
    for (const std::string& line : Lines(run.out)) {
      std::istringstream in(line);
      Element e;
      std::string hex;
      in >> e.kind;
      if (e.kind == "screenshot") {
        in >> view.screenshotColours;
        continue;
      }
      in >> hex >> e.x >> e.y >> e.width >> e.height;
      e.text = FromHex(hex);
      if (e.kind == "dialog") view.dialog = e;
      if (e.kind == "icon") view.icons.push_back(e);
      if (e.kind == "label") view.labels.push_back(e);
      if (e.kind == "button") view.buttons.push_back(e);
    }
    return view;
  }

  // Presses a key with the dialog focused, as a user would (XTEST, not a synthetic event).
  void PressKey(const std::string& window, const std::string& key) {
    RunResult r = Tool({"xdotool", "windowfocus", "--sync", window, "key", key});
    EXPECT_EQ(ExitCode(r.status), 0) << r.err;
  }

  void ClickAt(int x, int y) {
    RunResult r = Tool({"xdotool", "mousemove", "--sync", std::to_string(x), std::to_string(y), "click", "1"});
    EXPECT_EQ(ExitCode(r.status), 0) << r.err;
  }

  void RequestClose(const std::string& window) {
    EXPECT_TRUE(SendWindowCloseRequest(m_display, std::stoul(window)));
  }

  // The probe is inside the box: nothing on standard output yet, still running.
  void ExpectWaiting(Child& probe, const std::string& outSoFar) {
    probe.Pump(300ms);
    EXPECT_EQ(probe.out(), outSoFar);
    EXPECT_TRUE(probe.Running());
  }

  void ExpectLineAfterDismissal(Child& probe, const std::string& expectedOut) {
    EXPECT_TRUE(probe.PumpUntil([&](const std::string& out, const std::string&) { return out.size() >= expectedOut.size(); }, 20s));
    EXPECT_EQ(probe.out(), expectedOut);
  }

  TempDir m_runtime;
  std::string m_display;
  std::unique_ptr<Child> m_xserver;
  std::unique_ptr<Child> m_bus;
  EnvironmentChanges m_env;
};

TEST_F(DesktopMessageBox, ShowsTitleWarningIconExactTextAndOneOkButton) {
  const std::string text = "Cessna 172 Skyhawk — Zoé ✈ «Ünïcödé»";
  auto probe = StartProbe({text});
  const std::string window = FindDialog();
  ASSERT_FALSE(window.empty());
  EXPECT_EQ(Title(window), ProbePath());

  const std::string shot = kArtifacts + "/message-box-dialog.png";
  std::filesystem::remove(shot);
  const DialogView view = Inspect(probe->pid(), shot);
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
  PressKey(window, "Return");
  ExpectLineAfterDismissal(*probe, "box 1 returned 1\n");
  EXPECT_FALSE(WindowExists(window));
  EXPECT_EQ(ExitCode(probe->Wait(20s)), 0) << probe->err();
}

TEST_F(DesktopMessageBox, EscapeDismisses) {
  auto probe = StartProbe({"Escape closes me"});
  const std::string window = FindDialog();
  ASSERT_FALSE(window.empty());
  ExpectWaiting(*probe, "");
  PressKey(window, "Escape");
  ExpectLineAfterDismissal(*probe, "box 1 returned 1\n");
  EXPECT_EQ(ExitCode(probe->Wait(20s)), 0) << probe->err();
}

TEST_F(DesktopMessageBox, ClickOnOkDismisses) {
  auto probe = StartProbe({"Click OK"});
  const std::string window = FindDialog();
  ASSERT_FALSE(window.empty());
  const DialogView view = Inspect(probe->pid());
  ASSERT_EQ(view.buttons.size(), 1u);
  const Element& ok = view.buttons[0];
  // A click on the text, away from the button, leaves the box up.
  ASSERT_EQ(view.labels.size(), 1u);
  ClickAt(view.labels[0].x + view.labels[0].width / 2, view.labels[0].y + view.labels[0].height / 2);
  ExpectWaiting(*probe, "");
  ClickAt(ok.x + ok.width / 2, ok.y + ok.height / 2);
  ExpectLineAfterDismissal(*probe, "box 1 returned 1\n");
  EXPECT_EQ(ExitCode(probe->Wait(20s)), 0) << probe->err();
}

TEST_F(DesktopMessageBox, ClosingTheWindowDismisses) {
  auto probe = StartProbe({"Close the window"});
  const std::string window = FindDialog();
  ASSERT_FALSE(window.empty());
  ExpectWaiting(*probe, "");
  RequestClose(window);
  ExpectLineAfterDismissal(*probe, "box 1 returned 1\n");
  EXPECT_EQ(ExitCode(probe->Wait(20s)), 0) << probe->err();
}

TEST_F(DesktopMessageBox, EachBoxIsGoneBeforeTheNextAndEmptyTextIsShown) {
  auto probe = StartProbe({"", "line one\nline two"});
  const std::string first = FindDialog();
  ASSERT_FALSE(first.empty());
  DialogView view = Inspect(probe->pid());
  ASSERT_EQ(view.labels.size(), 1u);
  EXPECT_EQ(view.labels[0].text, "");
  ASSERT_EQ(view.buttons.size(), 1u);
  PressKey(first, "Return");
  ExpectLineAfterDismissal(*probe, "box 1 returned 1\n");
  // The first dialog's window is destroyed by the time its line is written.
  EXPECT_FALSE(WindowExists(first));

  const std::string second = FindDialog();
  ASSERT_FALSE(second.empty());
  view = Inspect(probe->pid());
  ASSERT_EQ(view.labels.size(), 1u);
  EXPECT_EQ(view.labels[0].text, "line one\nline two");
  ExpectWaiting(*probe, "box 1 returned 1\n");
  PressKey(second, "Escape");
  ExpectLineAfterDismissal(*probe, "box 1 returned 1\nbox 2 returned 1\n");
  EXPECT_EQ(ExitCode(probe->Wait(20s)), 0) << probe->err();
  // Nothing but the boxes was shown: no message box block, no toolkit notice.
  EXPECT_EQ(probe->err().find("[message box]"), std::string::npos) << probe->err();
  EXPECT_EQ(probe->err().find("transient parent"), std::string::npos) << probe->err();
}

TEST_F(DesktopMessageBox, DisplayIsPreferredToTheTerminal) {
  winsize size{};
  size.ws_row = 24;
  size.ws_col = 80;
  int master = -1, slave = -1;
  ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, &size), 0);
  ChildOptions options;
  options.argv = {kProbe, "window, not terminal"};
  options.environment = m_env;
  options.stdinFd = slave;
  Child probe(options);
  ::close(slave);

  const std::string window = FindDialog();
  ASSERT_FALSE(window.empty());
  PressKey(window, "Return");
  ExpectLineAfterDismissal(probe, "box 1 returned 1\n");
  EXPECT_EQ(ExitCode(probe.Wait(20s)), 0);

  // Nothing was drawn on the terminal.
  std::string screen;
  pollfd p{master, POLLIN, 0};
  char buffer[4096];
  while (::poll(&p, 1, 100) > 0) {
    ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n <= 0) break;
    screen.append(buffer, static_cast<size_t>(n));
  }
  ::close(master);
  EXPECT_EQ(screen.find("[ OK ]"), std::string::npos) << screen;
}

// ---- Leaks ----------------------------------------------------------------------------------

class DesktopMessageBoxLeaks : public DesktopMessageBox {
 protected:
  // Runs the probe under `wrapper` until its one dialog is dismissed with Enter. The toolkit's
  // accessibility bridge is left out: it only adds start-up time under valgrind.
  RunResult RunDismissed(std::vector<std::string> wrapper, std::vector<std::string> args) {
    auto probe = StartProbe(args, {{"NO_AT_BRIDGE", "1"}}, wrapper);
    const std::string window = FindDialog(120s);
    RunResult result;
    if (window.empty()) return result;
    PressKey(window, "Return");
    result.status = probe->Wait(120s);
    result.out = probe->out();
    result.err = probe->err();
    return result;
  }

  std::vector<std::string> Valgrind() const {
    return {"valgrind", "--leak-check=full", "--show-leak-kinds=definite",
            "--errors-for-leak-kinds=definite", "--error-exitcode=99", "--num-callers=30",
            "--suppressions=" + kValgrindSuppressions};
  }

  void SetUp() override {
    DesktopMessageBox::SetUp();
    if (IsSkipped()) return;
#if MESSAGE_BOX_SANITIZED
    m_sanitized = true;
#endif
  }

  bool m_sanitized = false;
};

#define SKIP_UNDER_SANITIZERS()                                                              \
  if (m_sanitized)                                                                           \
  GTEST_SKIP() << "valgrind cannot run a sanitizer build; there LeakSanitizer checks every "  \
                  "desktop run instead"

TEST_F(DesktopMessageBoxLeaks, ValgrindFindsNoLeakOfTheProgramsOwn) {
  SKIP_UNDER_SANITIZERS();
  RunResult run = RunDismissed(Valgrind(), {"Shown under valgrind"});
  EXPECT_EQ(ExitCode(run.status), 0) << run.err;
  EXPECT_EQ(run.out, "box 1 returned 1\n");
  EXPECT_NE(run.err.find("ERROR SUMMARY: 0 errors"), std::string::npos) << run.err;
}

TEST_F(DesktopMessageBoxLeaks, ValgrindStillSeesALeakOfTheProgramsOwn) {
  // The suppressions name the toolkit's libraries only: a block the probe drops is reported,
  // with the probe's own frame, and fails the run.
  SKIP_UNDER_SANITIZERS();
  RunResult run = RunDismissed(Valgrind(), {"--leak-a-block", "Shown under valgrind"});
  EXPECT_EQ(ExitCode(run.status), 99) << run.err;
  EXPECT_NE(run.err.find("definitely lost: 4,096 bytes in 1 blocks"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("main (message_box_probe.cpp"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("ERROR SUMMARY: 1 errors"), std::string::npos) << run.err;
}

TEST_F(DesktopMessageBoxLeaks, LeakSanitizerStillSeesALeakOfTheProgramsOwn) {
  if (!m_sanitized) GTEST_SKIP() << "only a sanitizer build has LeakSanitizer; valgrind checks here";
  // Every desktop test ends with exit status 0, so LeakSanitizer, with the suppressions of
  // tests/lsan.supp, found nothing there; the same suppressions let a dropped block through.
  RunResult run = RunDismissed({}, {"--leak-a-block", "Shown under LeakSanitizer"});
  EXPECT_NE(ExitCode(run.status), 0) << run.err;
  EXPECT_NE(run.err.find("ERROR: LeakSanitizer"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("message_box_probe.cpp"), std::string::npos) << run.err;
  EXPECT_NE(run.err.find("4096 byte(s) leaked in 1 allocation(s)"), std::string::npos) << run.err;
}

}  // namespace
