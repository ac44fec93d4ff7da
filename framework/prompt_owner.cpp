#include "framework/prompt_owner.h"

namespace {
// Large enough for the driver manager's prompt block (a file name buffer and a window handle).
alignas(16) unsigned char g_desktop[8192];
}  // namespace

HWND FindPromptOwner(HWND /*parent*/, HWND* disabledTopLevel) {
  if (disabledTopLevel) *disabledTopLevel = nullptr;
  return nullptr;
}

HWND GetDesktopWindow() { return static_cast<HWND>(g_desktop); }

BOOL EnableWindow(HWND /*window*/, BOOL /*enable*/) { return FALSE; }
