#include "framework/message_box_terminal.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cwchar>

#include "text/codepage.h"

namespace {

// One character of code-page text: its bytes and the columns it takes.
struct Glyph {
  std::string_view bytes;
  size_t width;
  bool blank;
};

std::vector<Glyph> SplitGlyphs(std::string_view text) {
  std::vector<Glyph> glyphs;
  std::mbstate_t state{};
  size_t i = 0;
  while (i < text.size()) {
    wchar_t wc = 0;
    size_t n = std::mbrtowc(&wc, text.data() + i, text.size() - i, &state);
    size_t width = 1;
    if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2) || n == 0) {
      state = std::mbstate_t{};
      n = 1;
      wc = 0;
    } else {
      int w = ::wcwidth(wc);
      width = w < 0 ? 1 : static_cast<size_t>(w);
    }
    glyphs.push_back({text.substr(i, n), width, wc == L' '});
    i += n;
  }
  return glyphs;
}

std::string Join(const std::vector<Glyph>& glyphs, size_t begin, size_t end) {
  while (end > begin && glyphs[end - 1].blank) --end;
  std::string line;
  for (size_t k = begin; k < end; ++k) line.append(glyphs[k].bytes);
  return line;
}

// The icon's mark before the text; every mark is three columns wide.
const char* IconMark(MessageBoxIcon icon) {
  switch (icon) {
    case MessageBoxIcon::Error:
      return "(X)";
    case MessageBoxIcon::Question:
      return "(?)";
    case MessageBoxIcon::Information:
      return "(i)";
    case MessageBoxIcon::Warning:
      break;
  }
  return "/!\\";
}

constexpr std::string_view kOkButton = "[ OK ]";
constexpr size_t kTextIndent = 4;  // the mark and one blank

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<size_t>(n));
  }
  return true;
}

// Reads from the terminal until a line end arrives. In the terminal's usual line mode the read
// returns with the whole line once Enter is pressed; in a raw mode it returns byte by byte and
// Enter arrives as "\r". The end of the terminal's input, or a failed read, ends the wait too:
// nobody is left to press Enter.
void WaitForEnter(int fd) {
  char buffer[256];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    std::string_view got(buffer, static_cast<size_t>(n));
    if (got.find_first_of("\r\n") != std::string_view::npos) return;
  }
}

// The process's controlling terminal, opened for drawing and reading; -1 when it has none.
// Standard input plays no part: a run from a terminal with its input from elsewhere still has
// its user at the terminal, and a terminal on standard input that is not the controlling one
// may belong to nobody who is watching.
int OpenControllingTerminal() { return ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC); }

}  // namespace

size_t TerminalTextWidth(std::string_view text) {
  size_t width = 0;
  for (const Glyph& g : SplitGlyphs(text)) width += g.width;
  return width;
}

std::vector<std::string> WrapTerminalLine(std::string_view line, size_t width) {
  width = std::max<size_t>(width, 1);
  const std::vector<Glyph> glyphs = SplitGlyphs(line);
  const size_t n = glyphs.size();
  std::vector<std::string> lines;
  size_t i = 0;
  for (bool first = true;; first = false) {
    if (!first) {
      while (i < n && glyphs[i].blank) ++i;
      if (i >= n) break;
    }
    // Take what fits; remember the last blank that follows some visible character.
    size_t used = 0;
    size_t j = i;
    size_t lastBlank = n;
    bool visibleSeen = false;
    while (j < n && used + glyphs[j].width <= width) {
      if (glyphs[j].blank) {
        if (visibleSeen) lastBlank = j;
      } else {
        visibleSeen = true;
      }
      used += glyphs[j].width;
      ++j;
    }
    size_t end = j;
    if (j < n && !glyphs[j].blank && lastBlank < n) end = lastBlank;
    if (end == i && i < n) end = i + 1;  // one character wider than the whole line
    lines.push_back(Join(glyphs, i, end));
    i = end;
    if (i >= n) break;
  }
  return lines;
}

std::vector<std::string> LayoutTerminalMessageBox(std::u16string_view caption,
                                                  std::u16string_view text, MessageBoxIcon icon,
                                                  int columns) {
  const size_t cols = columns > 0 ? static_cast<size_t>(columns) : kDefaultTerminalColumns;
  // "| " and " |" frame every row.
  const size_t limit = cols > 4 ? cols - 4 : 1;
  const size_t textLimit = limit > kTextIndent ? limit - kTextIndent : 1;

  const std::vector<std::string> captionRows =
      WrapTerminalLine(textconv::NarrowToCodePage(SingleLineMessageBoxCaption(caption)), limit);

  std::vector<std::string> textRows;
  for (const std::u16string& line : SplitMessageBoxLines(text, /*keepTabs=*/false)) {
    for (std::string& row : WrapTerminalLine(textconv::NarrowToCodePage(line), textLimit)) {
      textRows.push_back((textRows.empty() ? std::string(IconMark(icon)) + " "
                                           : std::string(kTextIndent, ' ')) +
                         row);
    }
  }

  size_t inner = kOkButton.size();
  for (const std::string& row : captionRows) inner = std::max(inner, TerminalTextWidth(row));
  for (const std::string& row : textRows) inner = std::max(inner, TerminalTextWidth(row));

  const std::string border = "+" + std::string(inner + 2, '-') + "+";
  auto framed = [inner](const std::string& content) {
    return "| " + content + std::string(inner - TerminalTextWidth(content), ' ') + " |";
  };

  std::vector<std::string> box;
  box.push_back(border);
  for (const std::string& row : captionRows) box.push_back(framed(row));
  box.push_back(border);
  for (const std::string& row : textRows) box.push_back(framed(row));
  box.push_back(framed(""));
  box.push_back(framed(std::string((inner - kOkButton.size()) / 2, ' ') + std::string(kOkButton)));
  box.push_back(border);
  return box;
}

bool ShowTerminalMessageBox(std::u16string_view caption, std::u16string_view text,
                            MessageBoxIcon icon) {
  const int terminal = OpenControllingTerminal();
  if (terminal < 0) return false;

  winsize size{};
  int columns = 0;
  if (::ioctl(terminal, TIOCGWINSZ, &size) == 0) columns = size.ws_col;

  std::string drawing;
  for (const std::string& row : LayoutTerminalMessageBox(caption, text, icon, columns)) {
    // "\r\n" keeps the frame straight on a terminal that does not turn "\n" into one.
    drawing.append(row).append("\r\n");
  }

  // Keys pressed before the box appeared must not dismiss it.
  ::tcflush(terminal, TCIFLUSH);
  if (WriteAll(terminal, drawing)) WaitForEnter(terminal);

  ::close(terminal);
  return true;
}
