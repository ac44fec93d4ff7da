// The message box drawn on the process's controlling terminal, for a process without a
// display that has one (whatever its standard input is). The box goes to the terminal itself
// (never to standard output), and the user dismisses it with Enter.
//
// The box is framed in ASCII so that it draws in any code page; the caption heads it, the text
// follows the icon's mark, wrapped to the terminal's width, and the OK button closes it:
//
//   +------------------------------+
//   | /usr/local/bin/brand-listing |
//   +------------------------------+
//   | /!\ The text, wrapped at the |
//   |     terminal's width.        |
//   |                              |
//   |            [ OK ]            |
//   +------------------------------+
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "framework/message_box_text.h"

// The width the box is laid out for when the terminal does not tell its own.
inline constexpr int kDefaultTerminalColumns = 80;

// The columns that code-page text takes on a terminal, in the calling thread's locale. A
// character that does not decode, or that has no width of its own, counts one column.
size_t TerminalTextWidth(std::string_view text);

// Breaks one line of code-page text into lines of at most `width` columns, at the last blank
// that fits when there is one, inside a word otherwise. Blanks at a break are dropped. An empty
// line stays one empty line.
std::vector<std::string> WrapTerminalLine(std::string_view line, size_t width);

// The box's lines, without line ends, in the code page, for a terminal `columns` wide
// (kDefaultTerminalColumns when `columns` is not positive). No line is wider than the terminal
// unless the terminal is too narrow for the frame and the button.
std::vector<std::string> LayoutTerminalMessageBox(std::u16string_view caption,
                                                  std::u16string_view text, MessageBoxIcon icon,
                                                  int columns);

// Draws the box on the controlling terminal and returns when the user presses Enter (or the
// terminal reaches its end); keys pressed before the box appeared do not count. Returns false,
// having shown nothing, when the process has no controlling terminal.
bool ShowTerminalMessageBox(std::u16string_view caption, std::u16string_view text,
                            MessageBoxIcon icon);
