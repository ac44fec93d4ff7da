#include "tests/support/message_box_blocks.h"

namespace testsupport {

namespace {

constexpr std::string_view kFirstLine = "[message box]";
constexpr std::string_view kLastLine = "[end of message box]";

std::vector<std::string> SplitLines(std::string_view output) {
  std::vector<std::string> lines;
  while (!output.empty()) {
    const size_t end = output.find('\n');
    lines.emplace_back(output.substr(0, end));
    if (end == std::string_view::npos) break;
    output.remove_prefix(end + 1);
  }
  return lines;
}

bool TakePrefixed(const std::string& line, std::string_view prefix, std::string& rest) {
  if (!line.starts_with(prefix)) return false;
  rest = line.substr(prefix.size());
  return true;
}

}  // namespace

std::string MessageBoxBlock::Text() const {
  std::string joined;
  for (size_t i = 0; i < text.size(); ++i) joined += (i == 0 ? "" : "\n") + text[i];
  return joined;
}

std::vector<MessageBoxBlock> BlockOutput::Boxes() const {
  std::vector<MessageBoxBlock> boxes;
  for (const OutputItem& item : items) {
    if (item.box) boxes.push_back(*item.box);
  }
  return boxes;
}

BlockOutput ReadBlockOutput(std::string_view output) {
  BlockOutput read;
  const std::vector<std::string> lines = SplitLines(output);
  size_t i = 0;
  auto fail = [&](const std::string& what) {
    read.malformed = "line " + std::to_string(i + 1) + ": " + what;
    return read;
  };
  while (i < lines.size()) {
    if (lines[i] != kFirstLine) {
      read.items.push_back({std::nullopt, lines[i++]});
      continue;
    }
    MessageBoxBlock box;
    if (++i >= lines.size() || !TakePrefixed(lines[i], "caption: ", box.caption)) {
      return fail("a box without its caption line");
    }
    if (++i >= lines.size() || !TakePrefixed(lines[i], "icon: ", box.icon)) {
      return fail("a box without its icon line");
    }
    std::string text;
    while (++i < lines.size() && TakePrefixed(lines[i], "text: ", text)) box.text.push_back(text);
    if (box.text.empty()) return fail("a box without a text line");
    if (i >= lines.size()) return fail("a box left open");
    if (lines[i] != kLastLine) return fail("unexpected line in a box: \"" + lines[i] + "\"");
    ++i;
    read.items.push_back({box, {}});
  }
  return read;
}

std::vector<std::string> BoxTextLines(std::string_view text) {
  std::vector<std::string> lines(1);
  for (char c : text) {
    if (c == '\n') lines.emplace_back();
    else lines.back().push_back(c);
  }
  return lines;
}

std::string BlockOf(const std::string& caption, const std::string& text, const std::string& icon) {
  std::string block = "[message box]\ncaption: " + caption + "\nicon: " + icon + "\n";
  for (const std::string& line : BoxTextLines(text)) block += "text: " + line + "\n";
  return block + "[end of message box]\n";
}

}  // namespace testsupport
