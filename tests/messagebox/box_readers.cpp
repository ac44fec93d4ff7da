#include "box_readers.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <clocale>
#include <cwchar>
#include <sstream>

namespace mbtest {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    while (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

std::vector<TerminalBox> TerminalBoxes(const std::string& screen) {
  std::vector<TerminalBox> boxes;
  TerminalBox current;
  int borders = 0;
  const std::vector<std::string> lines = Lines(screen);
  // A last line without its line end is still being written.
  const size_t complete = screen.ends_with("\n") || lines.empty() ? lines.size() : lines.size() - 1;
  for (size_t i = 0; i < complete; ++i) {
    const std::string& line = lines[i];
    const bool border = line.starts_with("+-") && line.ends_with("-+");
    if (borders == 0 && !border) continue;
    current.push_back(line);
    if (border && ++borders == 3) {
      boxes.push_back(current);
      current.clear();
      borders = 0;
    }
  }
  return boxes;
}

std::vector<std::string> BoxRows(const TerminalBox& box, int section) {
  std::vector<std::string> rows;
  int borders = 0;
  for (const std::string& line : box) {
    if (line.starts_with("+-")) {
      ++borders;
      continue;
    }
    if (borders != section) continue;
    EXPECT_TRUE(line.starts_with("| ") && line.ends_with(" |")) << line;
    std::string row = line.substr(2, line.size() - 4);
    while (!row.empty() && row.back() == ' ') row.pop_back();
    rows.push_back(row);
  }
  return rows;
}

size_t DisplayColumns(const std::string& text) {
  locale_t utf8 = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  locale_t previous = ::uselocale(utf8);
  std::mbstate_t state{};
  size_t columns = 0;
  for (size_t i = 0; i < text.size();) {
    wchar_t wc = 0;
    size_t n = std::mbrtowc(&wc, text.data() + i, text.size() - i, &state);
    if (n == 0 || n > text.size()) {
      n = 1;
      state = std::mbstate_t{};
    }
    int w = ::wcwidth(wc);
    columns += w < 0 ? 1 : static_cast<size_t>(w);
    i += n;
  }
  ::uselocale(previous);
  ::freelocale(utf8);
  return columns;
}

void ExpectOutput(Child& program, const std::string& expected) {
  EXPECT_TRUE(program.PumpUntil(
      [&](const std::string& out, const std::string&) { return out.size() >= expected.size(); },
      milliseconds(20000)))
      << "standard output so far: " << program.out();
  EXPECT_EQ(program.out(), expected);
}

void ExpectWaiting(Child& program, const std::string& outSoFar) {
  program.Pump(milliseconds(300));
  EXPECT_EQ(program.out(), outSoFar);
  EXPECT_TRUE(program.Running());
}

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
