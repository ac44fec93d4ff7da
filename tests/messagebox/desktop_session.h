// A private desktop for a test: a virtual X server (Xvfb) and a session bus, on which the
// toolkit's accessibility bus starts on demand. Windows are found by title with xdotool, read
// through the accessibility bus (dialog_reader.py), and handled as a user would: keys and
// pointer clicks through XTEST, and the window manager's close request.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/temp_folder.h"

namespace mbtest {

using namespace testsupport;

// An element of a dialog as the accessibility bus shows it, in screen coordinates.
struct DialogElement {
  std::string kind;  // dialog, icon, label or button
  std::string text;  // a label's text, the others' accessible names
  int x = 0, y = 0, width = 0, height = 0;
};

struct DialogView {
  DialogElement dialog;
  std::vector<DialogElement> icons, labels, buttons;
  int screenshotColours = -1;  // distinct colours in the screenshot, when one was taken
};

class DesktopSession {
 public:
  // `reader` is dialog_reader.py, `python` a Python with its modules (python3-gi).
  DesktopSession(std::string python, std::string reader);
  ~DesktopSession();
  DesktopSession(const DesktopSession&) = delete;
  DesktopSession& operator=(const DesktopSession&) = delete;

  // Starts the X server; false, with the reason, when it cannot start here.
  bool StartDisplay(std::string& whyNot);
  // Starts the session bus; false, with the reason, when it does not start.
  bool StartBus(std::string& whyNot);

  // The environment of a program on this desktop (C.UTF-8 locale).
  const EnvironmentChanges& environment() const { return m_env; }
  const std::string& display() const { return m_display; }

  // Starts a program on this desktop; `extra` adds to or overrides the environment.
  std::unique_ptr<Child> Start(ChildOptions options, const EnvironmentChanges& extra = {}) const;
  // Runs a tool on this desktop to its end.
  ChildResult Tool(std::vector<std::string> argv, milliseconds timeout = milliseconds(30000)) const;

  // Waits for one visible window with exactly this title and returns its id ("" when none
  // appeared in time, or when several did: both fail the test).
  std::string FindWindowTitled(const std::string& title, milliseconds timeout = milliseconds(30000)) const;
  std::string Title(const std::string& window) const;
  bool WindowExists(const std::string& window) const;

  // Waits until the process shows a dialog on the accessibility bus and reads it; saves a
  // screenshot of it when `screenshot` names a file.
  DialogView Inspect(pid_t pid, const std::string& screenshot = {}) const;

  // Focuses the window and presses the key (XTEST, as a keyboard does).
  void PressKey(const std::string& window, const std::string& key) const;
  // Moves the pointer there (the element's middle) and clicks the first button.
  void ClickAt(int x, int y) const;
  void ClickOn(const DialogElement& e) const { ClickAt(e.x + e.width / 2, e.y + e.height / 2); }
  // Sends WM_DELETE_WINDOW, as a window manager's close button does.
  void RequestClose(const std::string& window) const;

 private:
  std::string m_python;
  std::string m_reader;
  TempFolder m_runtime;
  std::string m_display;
  std::unique_ptr<Child> m_xserver;
  std::unique_ptr<Child> m_bus;
  EnvironmentChanges m_env;
};

}  // namespace mbtest
