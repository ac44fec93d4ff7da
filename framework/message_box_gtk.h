// The message box as a desktop dialog (GTK 3), for a process that can open a display.
#pragma once

#include <string_view>

#include "framework/message_box_text.h"

// Connects to the display once; returns false, quietly, when no display can be opened. The
// process's locale is left as it is.
bool OpenMessageBoxDisplay();

// Shows a modal dialog without a parent window: the icon, the caption as its title, the text
// as it is, and one OK button. Returns when the user presses OK, Enter or Escape or closes the
// window, once the dialog's window is gone from the display. Requires OpenMessageBoxDisplay().
void ShowDesktopMessageBox(std::u16string_view caption, std::u16string_view text,
                           MessageBoxIcon icon);
