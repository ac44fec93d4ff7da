// A program run with a new pseudo-terminal as its controlling terminal and standard input (or
// only one of the two), while its standard output and standard error go to pipes of their own,
// so that the terminal shows only what is drawn on it.
#pragma once

#include <memory>
#include <string>

#include "box_readers.h"
#include "tests/support/child_process.h"

namespace mbtest {

using namespace testsupport;

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
