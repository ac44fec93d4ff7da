#include "desktop_session.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <sstream>
#include <thread>

#include "box_readers.h"

// Last: its macros (None, Bool, Status...) would clash with the names above.
#include <X11/Xlib.h>

namespace mbtest {

namespace {

// Starts a server that announces where it listens as the first line of its standard output,
// and returns that line; none when the server ends or says nothing within 20 seconds.
std::optional<std::string> StartAnnouncingServer(std::unique_ptr<Child>& server,
                                                 std::vector<std::string> argv,
                                                 const EnvironmentChanges& env) {
  ChildOptions options;
  options.argv = std::move(argv);
  options.environment = env;
  server = std::make_unique<Child>(options);
  Child& started = *server;
  started.PumpUntil([&started](const std::string& out, const std::string&) {
    return out.find('\n') != std::string::npos || !started.Running();
  }, milliseconds(20000));
  const size_t end = started.out().find('\n');
  if (end == 0 || end == std::string::npos) return std::nullopt;
  return started.out().substr(0, end);
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
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    text += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
  }
  return text;
}

// Sends WM_DELETE_WINDOW to the window on the display, as a window manager's close button does;
// false when the display cannot be opened.
bool SendWindowCloseRequest(const std::string& displayName, unsigned long window) {
  Display* display = XOpenDisplay(displayName.c_str());
  if (!display) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XSync(display, False);
  XCloseDisplay(display);
  return true;
}

}  // namespace

DesktopSession::DesktopSession(std::string python, std::string reader)
    : m_python(std::move(python)), m_reader(std::move(reader)) {
  // The accessibility services that the session bus starts leave their parent; this process
  // takes them over so that it can reap them at the end.
  ::prctl(PR_SET_CHILD_SUBREAPER, 1);
  ::chmod(m_runtime.path().c_str(), 0700);
}

DesktopSession::~DesktopSession() {
  // The bus goes first: the accessibility services it started end with its process group.
  // A terminated X server removes its lock file and socket; a killed one would leave them.
  for (Child* server : {m_bus.get(), m_xserver.get()}) {
    if (server == nullptr) continue;
    server->Signal(SIGTERM, true);
    server->Wait(milliseconds(5000));
  }
  m_bus.reset();
  m_xserver.reset();
  const auto deadline = Clock::now() + milliseconds(2000);
  while (Clock::now() < deadline) {
    const pid_t reaped = ::waitpid(-1, nullptr, WNOHANG);
    if (reaped < 0) break;  // no child left
    if (reaped == 0) std::this_thread::sleep_for(milliseconds(20));
  }
}

bool DesktopSession::StartDisplay(std::string& whyNot) {
  auto display = StartAnnouncingServer(
      m_xserver,
      {"Xvfb", "-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"},
      {});
  if (!display) {
    m_xserver->Wait(milliseconds(2000));
    whyNot = "Xvfb cannot start here: " + m_xserver->err();
    return false;
  }
  m_display = ":" + *display;
  m_env = {{"DISPLAY", m_display},         {"WAYLAND_DISPLAY", std::nullopt},
           {"GDK_BACKEND", std::nullopt},  {"DBUS_SESSION_BUS_ADDRESS", std::nullopt},
           {"NO_AT_BRIDGE", std::nullopt}, {"AT_SPI_BUS_ADDRESS", std::nullopt},
           {"LC_ALL", "C.UTF-8"},          {"XDG_RUNTIME_DIR", m_runtime.path()}};
  return true;
}

bool DesktopSession::StartBus(std::string& whyNot) {
  auto address = StartAnnouncingServer(
      // Its socket in the session's own runtime folder, removed with it: the session
      // configuration's default puts it in /tmp, where a killed daemon leaves it behind.
      m_bus,
      {"dbus-daemon", "--session", "--nofork", "--address=unix:dir=" + m_runtime.path(),
       "--print-address=1"},
      {{"XDG_RUNTIME_DIR", m_runtime.path()}, {"DISPLAY", m_display}});
  if (!address) {
    whyNot = "the session bus did not start: " + m_bus->err();
    return false;
  }
  m_env["DBUS_SESSION_BUS_ADDRESS"] = *address;
  return true;
}

std::unique_ptr<Child> DesktopSession::Start(ChildOptions options,
                                             const EnvironmentChanges& extra) const {
  EnvironmentChanges env = m_env;
  for (const auto& [name, value] : options.environment) env[name] = value;
  for (const auto& [name, value] : extra) env[name] = value;
  options.environment = env;
  return std::make_unique<Child>(options);
}

ChildResult DesktopSession::Tool(std::vector<std::string> argv, milliseconds timeout) const {
  ChildOptions options;
  options.argv = std::move(argv);
  options.environment = m_env;
  return RunChild(options, timeout);
}

std::string DesktopSession::FindWindowTitled(const std::string& title, milliseconds timeout) const {
  ChildResult found = Tool(
      {"xdotool", "search", "--sync", "--onlyvisible", "--name", "^" + EscapeRegex(title) + "$"},
      timeout);
  EXPECT_EQ(found.exitCode, 0) << "no window titled " << title << " appeared: " << found.err;
  const auto ids = Lines(found.out);
  EXPECT_EQ(ids.size(), 1u) << "windows titled " << title << ": " << found.out;
  return ids.size() == 1 ? ids.front() : std::string();
}

std::string DesktopSession::Title(const std::string& window) const {
  ChildResult name = Tool({"xdotool", "getwindowname", window});
  EXPECT_EQ(name.exitCode, 0) << name.err;
  const auto lines = Lines(name.out);
  return lines.empty() ? std::string() : lines.front();
}

bool DesktopSession::WindowExists(const std::string& window) const {
  return Tool({"xwininfo", "-id", window}).exitCode == 0;
}

DialogView DesktopSession::Inspect(pid_t pid, const std::string& screenshot) const {
  std::vector<std::string> argv = {m_python, m_reader, "--pid", std::to_string(pid)};
  if (!screenshot.empty()) argv.insert(argv.end(), {"--screenshot", screenshot});
  ChildResult run = Tool(argv, milliseconds(40000));
  EXPECT_EQ(run.exitCode, 0) << run.err;
  DialogView view;
  for (const std::string& line : Lines(run.out)) {
    std::istringstream in(line);
    DialogElement e;
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

void DesktopSession::PressKey(const std::string& window, const std::string& key) const {
  ChildResult r = Tool({"xdotool", "windowfocus", "--sync", window, "key", key});
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

void DesktopSession::ClickAt(int x, int y) const {
  ChildResult r = Tool({"xdotool", "mousemove", "--sync", std::to_string(x), std::to_string(y),
                      "click", "1"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
}

void DesktopSession::RequestClose(const std::string& window) const {
  EXPECT_TRUE(SendWindowCloseRequest(m_display, std::stoul(window)));
}

}  // namespace mbtest
