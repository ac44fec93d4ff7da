// Reading back what a process wrote where its message boxes went as blocks (standard error,
// when it has neither a display nor a terminal), in the format of
// framework/message_box_stderr.h, and the plain lines around the blocks.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace testsupport {

struct MessageBoxBlock {
  std::string caption;
  std::string icon;
  std::vector<std::string> text;  // one entry per "text: " line

  // The text lines joined by "\n": the text the box was given.
  std::string Text() const;
};

// One thing the output holds, in order: a box, or a line outside any box.
struct OutputItem {
  std::optional<MessageBoxBlock> box;
  std::string line;  // when there is no box
};

struct BlockOutput {
  std::vector<OutputItem> items;   // up to the first broken block
  std::string malformed;           // what breaks the format, and where; empty if nothing

  std::vector<MessageBoxBlock> Boxes() const;
};

// Reads a whole output. A last line without its line end counts as a line.
BlockOutput ReadBlockOutput(std::string_view output);

// The "text: " lines a box shows for `text`: its pieces between line ends.
std::vector<std::string> BoxTextLines(std::string_view text);

// The block a box with this caption, text and icon writes.
std::string BlockOf(const std::string& caption, const std::string& text,
                    const std::string& icon = "warning");

}  // namespace testsupport
