// Reading back what a message box showed as text: the blocks on standard error and the boxes
// drawn on a terminal; a program run on a new pseudo-terminal to draw them on; and what a program
// that shows boxes writes around them: its standard output stays still while a box is up, and
// its line arrives once the box is dismissed.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/message_box_blocks.h"

namespace mbtest {

using namespace testsupport;

// Lines of a text, split at "\n" with the "\r" before it dropped.
std::vector<std::string> Lines(const std::string& text);

// A box drawn on a terminal: its lines from the top border to the bottom border (three borders
// in all), without line ends.
using TerminalBox = std::vector<std::string>;

// The complete boxes in what a terminal received so far.
std::vector<TerminalBox> TerminalBoxes(const std::string& screen);

// The rows of a box between its borders, without the frame and the padding: section 1 is the
// caption, section 2 the text (with its mark or indent), a blank row and the button.
std::vector<std::string> BoxRows(const TerminalBox& box, int section);

// The columns a UTF-8 text takes on a terminal.
size_t DisplayColumns(const std::string& text);

// Waits until the program has written as much as `expected` on standard output, and checks
// that it is exactly that; fails the test after 20 seconds.
void ExpectOutput(Child& program, const std::string& expected);

// The program is inside a box: for 300 ms its standard output stays `outSoFar` and it runs on.
void ExpectWaiting(Child& program, const std::string& outSoFar);

// A program run with a new pseudo-terminal as its controlling terminal and standard input (or
// only one of the two), while its standard output and standard error go to pipes of their own,
// so that the terminal shows only what is drawn on it.
class TerminalSession {
 public:
  // Starts the program of `options` on a terminal `columns` wide (0: the width is unknown).
  TerminalSession(ChildOptions options, unsigned short columns,
                  TerminalRole role = TerminalRole::ControllingAndInput);

  bool ok() const { return m_child->started(); }
  Child& child() { return *m_child; }
  // Everything the terminal received so far.
  const std::string& screen() const { return m_screen; }

  // Reads the terminal until it holds `count` complete boxes or the time is out.
  bool WaitForBoxes(size_t count, milliseconds timeout);
  std::vector<TerminalBox> Boxes() const { return TerminalBoxes(m_screen); }

  // Types on the terminal's keyboard.
  bool Type(const std::string& keys);

  // Reads what the terminal receives during `wait`.
  void ReadTerminal(milliseconds wait);

 private:
  std::unique_ptr<Child> m_child;
  std::string m_screen;
};

}  // namespace mbtest
