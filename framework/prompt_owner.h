// Owner windows for modal prompts.
//
// The program has no window of its own. FindPromptOwner therefore finds no owner and disables
// nothing; GetDesktopWindow gives the handle that stands in for the desktop.
#pragma once

#include "framework/types.h"

// Returns the window that should own a modal prompt (null: none) and, through
// `disabledTopLevel`, the top-level window it disabled for the prompt (null: none).
HWND FindPromptOwner(HWND parent, HWND* disabledTopLevel);

// A non-null handle standing in for the desktop window. unixODBC reads a prompt's window
// handle as a block that may name its prompt plug-in; this one points at a zero-filled block,
// which names none.
HWND GetDesktopWindow();

// Enables or disables a window; returns whether it was disabled before. There are no windows,
// so nothing changes.
BOOL EnableWindow(HWND window, BOOL enable);
