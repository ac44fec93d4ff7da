#include "terminal_session.h"

#include <poll.h>
#include <unistd.h>

namespace mbtest {

TerminalSession::TerminalSession(ChildOptions options, unsigned short columns, TerminalRole role) {
  options.terminal = role;
  options.terminalColumns = columns;
  options.terminalRows = 40;
  m_child = std::make_unique<Child>(options);
}

bool TerminalSession::WaitForBoxes(size_t count, milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (Boxes().size() < count) {
    if (Clock::now() >= deadline) return false;
    ReadTerminal(milliseconds(50));
    m_child->Pump(milliseconds(0));
  }
  return true;
}

bool TerminalSession::Type(const std::string& keys) {
  return ::write(m_child->terminal(), keys.data(), keys.size()) ==
         static_cast<ssize_t>(keys.size());
}

void TerminalSession::ReadTerminal(milliseconds wait) {
  const auto deadline = Clock::now() + wait;
  do {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    pollfd p{m_child->terminal(), POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(std::max<long>(left.count(), 0))) <= 0) return;
    char buffer[4096];
    ssize_t n = ::read(m_child->terminal(), buffer, sizeof buffer);
    if (n <= 0) return;  // the last holder of the terminal's other side is gone
    m_screen.append(buffer, static_cast<size_t>(n));
  } while (Clock::now() < deadline);
}

}  // namespace mbtest
