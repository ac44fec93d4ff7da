// The desktop dialog as a loadable module: the two functions it exports, and where a program
// finds it. The program itself links no toolkit; a run with a display named loads the module
// (and with it GTK 3) on its first message box.
#pragma once

// The module's file, relative to the folder of the running executable: installed programs sit
// in bin/ beside lib/, and so do the build tree's (app/ and bin/ beside lib/).
#ifndef DRAVON_DIALOG_MODULE
#define DRAVON_DIALOG_MODULE "../lib/brand-listing/message-box-gtk.so"
#endif
inline constexpr char kDialogModuleRelativePath[] = DRAVON_DIALOG_MODULE;

// Connects to the display once; returns nonzero when it could be opened, 0 (quietly) when not.
// The process's locale is left as it is.
inline constexpr char kDialogOpenSymbol[] = "brand_listing_dialog_open";
using DialogOpenFunction = int (*)();

// Shows a modal dialog without a parent window: the icon (a MessageBoxIcon as int), the title
// and the text (UTF-8) as they are, and one OK button. Returns when the user presses OK, Enter
// or Escape or closes the window, once the window is gone from the display. Requires a
// successful open.
inline constexpr char kDialogShowSymbol[] = "brand_listing_dialog_show";
using DialogShowFunction = void (*)(const char* title, const char* text, int icon);
