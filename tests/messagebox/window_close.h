// Closing a window the way a window manager does, for a test display without one.
#pragma once

#include <string>

namespace mbtest {

// Sends WM_DELETE_WINDOW to the window on the display; returns false when the display cannot
// be opened.
bool SendWindowCloseRequest(const std::string& display, unsigned long window);

}  // namespace mbtest
