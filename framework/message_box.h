// The modal message box.
//
// One presentation is chosen once per process, in this order: a desktop dialog when a display
// can be opened, a box drawn on the controlling terminal when the process has one (whatever its
// standard input is), otherwise the box's text written to standard error (the run goes on at
// once). The caption is the full path
// of the running executable, cut at 259 characters.
#pragma once

#include <string_view>

#include "framework/types.h"

// Style bits understood by ShowMessageBox.
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_ICONMASK = 0x000000F0;
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONASTERISK = 0x00000040;

// Button code returned for the OK button.
constexpr int IDOK = 1;

// Shows `text` in a modal box and returns when the user has dismissed it. Style 0 (one OK
// button, no icon given) gets the warning icon. `helpId` is accepted and not used: there is no
// help system. Returns the code of the button that dismissed the box (IDOK).
int ShowMessageBox(std::u16string_view text, UINT style, UINT helpId);

// Shows the string-table text with the given id (the framework's generic message 61472 when id
// is 0); a text missing from the table shows as an empty box.
int ShowMessageBoxById(UINT id, UINT style, UINT helpId);

// The caption every box carries: the running executable's full path, at most 259 characters.
std::u16string MessageBoxCaption();
