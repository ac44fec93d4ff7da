// What every message box presentation derives from a box's style and text: the icon, and the
// text as a list of lines fit for a character device.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "framework/message_box.h"

enum class MessageBoxIcon { Error, Question, Warning, Information };

// The icon a style asks for; a style that names none (style 0 included) gets the warning icon.
inline MessageBoxIcon MessageBoxIconForStyle(UINT style) {
  switch (style & MB_ICONMASK) {
    case MB_ICONHAND:
      return MessageBoxIcon::Error;
    case MB_ICONQUESTION:
      return MessageBoxIcon::Question;
    case MB_ICONASTERISK:
      return MessageBoxIcon::Information;
    default:
      return MessageBoxIcon::Warning;
  }
}

// The icon's name in the text presentations.
inline const char* MessageBoxIconName(MessageBoxIcon icon) {
  switch (icon) {
    case MessageBoxIcon::Error:
      return "error";
    case MessageBoxIcon::Question:
      return "question";
    case MessageBoxIcon::Information:
      return "information";
    case MessageBoxIcon::Warning:
      break;
  }
  return "warning";
}

// Splits a box's text into its lines for a character device. "\r\n" and a lone "\r" end a
// line as "\n" does; a text of n line ends has n + 1 lines (an empty text is one empty line).
// Other control characters (C0 except the tab, DEL, C1) would act on the device instead of
// showing, so each becomes U+FFFD; a tab becomes a space when `keepTabs` is false.
inline std::vector<std::u16string> SplitMessageBoxLines(std::u16string_view text, bool keepTabs) {
  std::vector<std::u16string> lines(1);
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c == u'\r' || c == u'\n') {
      if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') ++i;
      lines.emplace_back();
    } else if (c == u'\t') {
      lines.back().push_back(keepTabs ? u'\t' : u' ');
    } else if (c < 0x20 || (c >= 0x7F && c < 0xA0)) {
      lines.back().push_back(u'\uFFFD');
    } else {
      lines.back().push_back(c);
    }
  }
  return lines;
}

// The caption on one line for a character device: every control character, line ends and tabs
// included, becomes U+FFFD.
inline std::u16string SingleLineMessageBoxCaption(std::u16string_view caption) {
  std::u16string line(caption);
  for (char16_t& c : line) {
    if (c < 0x20 || (c >= 0x7F && c < 0xA0)) c = u'\uFFFD';
  }
  return line;
}
