// The message box as a block of lines on standard error, for a process with neither a display
// nor a terminal. The block does not wait for anyone.
//
// The block, each line ended by "\n", text in the code page of the calling thread:
//
//   [message box]
//   caption: <the caption>
//   icon: <warning | error | question | information>
//   text: <first line of the text>
//   text: <each further line>
//   [end of message box]
//
// There is one "text: " line per line of the text, so a text with n line ends has n + 1 of
// them and an empty text has one ("text: " alone). Control characters other than the tab show
// as the code page's replacement for U+FFFD.
#pragma once

#include <string>
#include <string_view>

#include "framework/message_box_text.h"

inline constexpr std::string_view kMessageBoxBlockFirstLine = "[message box]";
inline constexpr std::string_view kMessageBoxBlockLastLine = "[end of message box]";

// The block as written, for a box with this caption, text and icon.
std::string FormatMessageBoxBlock(std::u16string_view caption, std::u16string_view text,
                                  MessageBoxIcon icon);

// Writes the block to standard error in one piece and returns.
void WriteMessageBoxBlock(std::u16string_view caption, std::u16string_view text,
                          MessageBoxIcon icon);
