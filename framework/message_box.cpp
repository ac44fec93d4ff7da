#include "framework/message_box.h"

#include <mutex>
#include <string>

#include "text/codepage.h"
#include "framework/executable_path.h"
#include "framework/message_box_desktop.h"
#include "framework/message_box_stderr.h"
#include "framework/message_box_terminal.h"
#include "framework/message_box_text.h"
#include "framework/string_table.h"

namespace {

// The framework's generic message, shown when a caller passes no string id.
constexpr UINT kGenericMessageId = 61472;

// The longest caption a box carries, in UTF-16 units.
constexpr size_t kCaptionLimit = 259;

enum class Presentation { Desktop, Terminal, StandardError };

// The terminal is tried at the first box: a process without a controlling terminal moves on to
// standard error from there.
Presentation ChoosePresentation() {
  if (OpenDesktopMessageBox()) return Presentation::Desktop;
  return Presentation::Terminal;
}

// One box at a time: a box is modal for the whole process.
std::mutex& BoxMutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

std::u16string MessageBoxCaption() {
  std::u16string caption = textconv::WidenFromCodePage(ExecutablePath());
  if (caption.size() > kCaptionLimit) {
    size_t cut = kCaptionLimit;
    // Never keep half of a surrogate pair.
    if (caption[cut - 1] >= 0xD800 && caption[cut - 1] <= 0xDBFF) --cut;
    caption.resize(cut);
  }
  return caption;
}

int ShowMessageBox(std::u16string_view text, UINT style, UINT /*helpId*/) {
  std::lock_guard<std::mutex> lock(BoxMutex());
  static Presentation presentation = ChoosePresentation();

  const std::u16string caption = MessageBoxCaption();
  const MessageBoxIcon icon = MessageBoxIconForStyle(style);
  switch (presentation) {
    case Presentation::Desktop:
      ShowDesktopMessageBox(caption, text, icon);
      break;
    case Presentation::Terminal:
      if (ShowTerminalMessageBox(caption, text, icon)) break;
      // No controlling terminal (or it is gone): this box and every later one go to standard
      // error.
      presentation = Presentation::StandardError;
      [[fallthrough]];
    case Presentation::StandardError:
      WriteMessageBoxBlock(caption, text, icon);
      break;
  }
  return IDOK;
}

int ShowMessageBoxById(UINT id, UINT style, UINT helpId) {
  std::u16string text;
  if (!LoadStringResource(id == 0 ? kGenericMessageId : id, text)) text.clear();
  return ShowMessageBox(text, style, helpId);
}
