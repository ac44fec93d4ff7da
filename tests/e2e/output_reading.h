// Reading back what a run wrote: the message boxes that the program writes as blocks on
// standard error when it has no display and no terminal, and the plain lines around them.
//
//   [message box]
//   caption: <caption>
//   icon: <icon>
//   text: <first line of the text>
//   text: <each further line; a text of n line ends has n + 1 such lines>
//   [end of message box]
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace e2e {

struct MessageBoxBlock {
  std::string caption;
  std::string icon;
  std::vector<std::string> text;  // one entry per "text: " line
};

// One thing the output holds, in order: a box, or a line outside any box.
struct OutputItem {
  std::optional<MessageBoxBlock> box;
  std::string line;  // when there is no box
};

struct ReadOutput {
  std::vector<OutputItem> items;
  std::string malformed;  // what is wrong with a block that breaks the format; empty if none

  std::vector<MessageBoxBlock> Boxes() const;
  std::vector<std::string> LinesOutsideBoxes() const;
};

// Reads a whole output. A last line without its line end counts as a line.
ReadOutput ReadProgramOutput(std::string_view output);

// The "text: " lines a box shows for `text`: its pieces between line ends.
std::vector<std::string> BoxTextLines(std::string_view text);

}  // namespace e2e
