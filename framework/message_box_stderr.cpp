#include "framework/message_box_stderr.h"

#include <unistd.h>

#include <cerrno>

#include "text/codepage.h"

std::string FormatMessageBoxBlock(std::u16string_view caption, std::u16string_view text,
                                  MessageBoxIcon icon) {
  std::string block;
  block.append(kMessageBoxBlockFirstLine).append("\n");
  block.append("caption: ").append(textconv::NarrowToCodePage(SingleLineMessageBoxCaption(caption)));
  block.append("\n");
  block.append("icon: ").append(MessageBoxIconName(icon)).append("\n");
  for (const std::u16string& line : SplitMessageBoxLines(text, /*keepTabs=*/true)) {
    block.append("text: ").append(textconv::NarrowToCodePage(line)).append("\n");
  }
  block.append(kMessageBoxBlockLastLine).append("\n");
  return block;
}

void WriteMessageBoxBlock(std::u16string_view caption, std::u16string_view text,
                          MessageBoxIcon icon) {
  const std::string block = FormatMessageBoxBlock(caption, text, icon);
  // One write for the whole block keeps it together when other writers share the stream;
  // the loop only finishes a write that a signal or a full pipe cut short.
  size_t done = 0;
  while (done < block.size()) {
    ssize_t n = ::write(STDERR_FILENO, block.data() + done, block.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return;  // standard error is closed or broken: there is nowhere else to show the box
    }
    done += static_cast<size_t>(n);
  }
}
