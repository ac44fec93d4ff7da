// The message box as a desktop dialog, for a process that has a display. The dialog lives in a
// module (framework/message_box_dialog_module.h) that is loaded here on first use, so that
// nothing of the toolkit is loaded, or needed at all, by a run without a display.
#pragma once

#include <string_view>

#include "framework/message_box_text.h"

// Loads the dialog module and connects to the display, once. Returns false, quietly, when no
// display is named (DISPLAY and WAYLAND_DISPLAY unset or empty), when the module or the
// toolkit's libraries are missing, or when the display cannot be opened.
bool OpenDesktopMessageBox();

// Shows a modal dialog without a parent window: the icon, the caption as its title, the text
// as it is, and one OK button; returns once the user has dismissed it and its window is gone.
// Requires OpenDesktopMessageBox() to have returned true.
void ShowDesktopMessageBox(std::u16string_view caption, std::u16string_view text,
                           MessageBoxIcon icon);
