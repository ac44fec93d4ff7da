// The message box of a process without a display, through the probe program: drawn on the
// controlling terminal when the process has one, on standard error otherwise.
#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cwchar>
#include <filesystem>
#include <string>

#include "box_readers.h"
#include "tests/support/temp_folder.h"

namespace {

using namespace mbtest;
using namespace testsupport;
using namespace std::chrono_literals;

const std::string kProbe = MESSAGE_BOX_PROBE;

std::string ProbePath() { return std::filesystem::canonical(kProbe).string(); }

ChildOptions ProbeWithoutDisplay(std::vector<std::string> args, const std::string& locale = "C.UTF-8") {
  ChildOptions options;
  options.argv = {kProbe};
  options.argv.insert(options.argv.end(), args.begin(), args.end());
  options.environment = {
      {"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}, {"LC_ALL", locale}};
  return options;
}

// What the probe writes for its arguments: one line a box on standard output, and on standard
// error one block a box and nothing else (an unopenable display or a missing terminal is not an
// error), each block with the probe's path as its caption.
struct StderrCase {
  const char* name;
  std::vector<std::string> args;
  std::vector<std::pair<std::string, std::string>> blocks;  // icon, text
  const char* locale = "C.UTF-8";
  const char* display = nullptr;
  // Both streams into one pipe: the order of arrival is the order of the writes, each block
  // before the line that follows its box.
  bool merged = false;
  // Standard input is a pipe that stays open and silent: a box that read it would block.
  bool silentInput = false;
};
void PrintTo(const StderrCase& c, std::ostream* os) { *os << c.name; }

const StderrCase kStderrCases[] = {
    {"caption_and_text",
     {"Cessna 172 ✈ Zoé", "first line\nsecond line", ""},
     {{"warning", "Cessna 172 ✈ Zoé"}, {"warning", "first line\nsecond line"}, {"warning", ""}}},
    // Outside a UTF-8 locale a character beyond ASCII becomes the default character.
    {"c_locale", {"Zoé ✈"}, {{"warning", "Zo? ?"}}, "C"},
    // No X server listens there: the box falls back quietly.
    {"display_unopenable", {"no display here"}, {{"warning", "no display here"}}, "C.UTF-8",
     ":65000"},
    // The string table holds no texts: a box by id is an empty warning box.
    {"styles_and_string_ids",
     {"--style=16", "bad", "--style=0x40", "note", "--style=0", "--by-id=0", "--by-id=1234"},
     {{"error", "bad"}, {"information", "note"}, {"warning", ""}, {"warning", ""}}},
    {"block_before_line", {"A", "B"}, {{"warning", "A"}, {"warning", "B"}}, "C.UTF-8", nullptr,
     true},
    {"input_never_comes", {"one", "two"}, {{"warning", "one"}, {"warning", "two"}}, "C.UTF-8",
     nullptr, false, true},
};

class MessageBoxOnStandardError : public ::testing::TestWithParam<StderrCase> {};

TEST_P(MessageBoxOnStandardError, WritesOneBlockABoxAndOneLineABox) {
  const StderrCase& c = GetParam();
  ChildOptions options = ProbeWithoutDisplay(c.args, c.locale);
  if (c.display) options.environment["DISPLAY"] = c.display;
  options.mergeErrors = c.merged;
  int input[2] = {-1, -1};
  if (c.silentInput) {
    ASSERT_EQ(::pipe(input), 0);
    options.inputFd = input[0];
  }
  const ChildResult run = RunChild(options, 20s);
  if (c.silentInput) {
    ::close(input[0]);
    ::close(input[1]);
  }
  ASSERT_EQ(run.exitCode, 0) << run.How() << ": " << run.err;
  std::string lines, blocks, both;
  for (size_t i = 0; i < c.blocks.size(); ++i) {
    const std::string line = "box " + std::to_string(i + 1) + " returned 1\n";
    const std::string block = BlockOf(ProbePath(), c.blocks[i].second, c.blocks[i].first);
    lines += line;
    blocks += block;
    both += block + line;
  }
  EXPECT_EQ(run.out, c.merged ? both : lines);
  EXPECT_EQ(run.err, c.merged ? "" : blocks);
}

INSTANTIATE_TEST_SUITE_P(Runs, MessageBoxOnStandardError, ::testing::ValuesIn(kStderrCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MessageBoxCaption, LongExecutablePathIsCutAt259Characters) {
  TempFolder dir;
  std::filesystem::path path = dir.path();
  // Non-ASCII directory names count as one character each in the caption.
  while (path.string().size() < 300) path /= "répertoire-" + std::string(40, 'x');
  std::filesystem::create_directories(path);
  path /= "probe";
  std::error_code linkError;
  std::filesystem::create_hard_link(kProbe, path, linkError);
  if (linkError) std::filesystem::copy_file(kProbe, path);

  ChildOptions options = ProbeWithoutDisplay({"--caption", "text"});
  options.argv[0] = path.string();
  ChildResult run = RunChild(options, 20s);
  ASSERT_EQ(run.exitCode, 0) << run.err;

  // The expected caption: the first 259 characters of the path (all of them in the BMP here).
  std::mbstate_t state{};
  const std::string full = path.string();
  size_t bytes = 0;
  std::setlocale(LC_CTYPE, "C.UTF-8");
  for (int chars = 0; chars < 259; ++chars) bytes += std::mbrlen(full.data() + bytes, full.size() - bytes, &state);
  std::setlocale(LC_CTYPE, "C");
  const std::string expected = full.substr(0, bytes);
  ASSERT_LT(expected.size(), full.size());

  EXPECT_EQ(Lines(run.out).at(0), "caption " + expected);
  EXPECT_EQ(run.err, BlockOf(expected, "text"));
}

// However the program was started (its full path, a symbolic link to it, a path relative to the
// working folder), the caption is the program's own file, absolute and with links resolved.
TEST(MessageBoxCaption, NamesTheProgramFileHoweverItWasStarted) {
  TempFolder dir;
  const std::filesystem::path probe = std::filesystem::canonical(kProbe);
  const std::filesystem::path links = std::filesystem::path(dir.path()) / "links";
  std::filesystem::create_directories(links);
  std::filesystem::create_symlink(probe, links / "probe-link");
  // The command's first word, and the folder it starts from.
  for (const auto& [argv0, folder] : std::vector<std::pair<std::string, std::string>>{
           {probe.string(), ""},
           {(links / "probe-link").string(), ""},
           {"./probe-link", links.string()},
           {"../links/probe-link", links.string()}}) {
    ChildOptions options = ProbeWithoutDisplay({"--caption", "text"});
    options.argv[0] = argv0;
    options.workingFolder = folder;
    ChildResult run = RunChild(options, 20s);
    ASSERT_EQ(run.exitCode, 0) << argv0 << ": " << run.err;
    EXPECT_EQ(Lines(run.out).at(0), "caption " + probe.string()) << argv0;
  }
}

// The probe on a new pseudo-terminal `columns` wide, without a display.
class TerminalProbe : public TerminalSession {
 public:
  TerminalProbe(std::vector<std::string> args, unsigned short columns,
                TerminalRole role = TerminalRole::ControllingAndInput)
      : TerminalSession(ProbeWithoutDisplay(std::move(args)), columns, role) {
    EXPECT_TRUE(ok());
  }
  // Box number `count` once it is drawn; the test fails when it is not drawn in time.
  TerminalBox Box(size_t count = 1) {
    const bool drawn = WaitForBoxes(count, 20s);
    EXPECT_TRUE(drawn) << screen() << child().err();
    return drawn ? Boxes()[count - 1] : TerminalBox{};
  }
  // Enter dismisses the box, and the probe ends with status 0.
  void EnterAndEnd() {
    EXPECT_TRUE(Type("\r"));
    EXPECT_EQ(child().Wait(20s).exitCode, 0) << child().err();
  }
};

// Every row of the box has the same width, which the terminal can hold.
void ExpectSquareBox(const TerminalBox& box, size_t maxColumns) {
  const size_t width = DisplayColumns(box.front());
  EXPECT_LE(width, maxColumns);
  for (const std::string& line : box) EXPECT_EQ(DisplayColumns(line), width) << line;
}

TEST(MessageBoxOnTerminal, DrawsTheBoxAndWaitsForEnter) {
  TerminalProbe probe({"Engine failure on Zoé's ✈", "Second box"}, 80);
  const auto box = probe.Box();
  ExpectSquareBox(box, 80);
  EXPECT_EQ(BoxRows(box, 1), std::vector<std::string>{ProbePath()});
  const auto body = BoxRows(box, 2);
  ASSERT_EQ(body.size(), 3u);
  EXPECT_EQ(body[0], "/!\\ Engine failure on Zoé's ✈");
  EXPECT_EQ(body[1], "");
  EXPECT_EQ(body[2].substr(body[2].find_first_not_of(' ')), "[ OK ]");
  ExpectWaiting(probe.child(), "");

  ASSERT_TRUE(probe.Type("\r"));
  ExpectOutput(probe.child(), "box 1 returned 1\n");

  EXPECT_EQ(BoxRows(probe.Box(2), 2).at(0), "/!\\ Second box");
  ExpectWaiting(probe.child(), "box 1 returned 1\n");

  ASSERT_TRUE(probe.Type("\n"));
  const auto status = probe.child().Wait(20s);
  EXPECT_EQ(status.exitCode, 0);
  EXPECT_EQ(probe.child().out(), "box 1 returned 1\nbox 2 returned 1\n");
  // The box is on the terminal, not on standard error.
  EXPECT_EQ(probe.child().err(), "");
}

TEST(MessageBoxOnTerminal, TextIsWrappedToTheTerminalWidth) {
  std::string text;
  for (int i = 0; i < 30; ++i) text += "word" + std::to_string(i % 10) + " ";
  text += "end\nsecond paragraph";
  TerminalProbe probe({text}, 40);
  const auto box = probe.Box();
  ExpectSquareBox(box, 40);
  EXPECT_GE(DisplayColumns(box.front()), 40u - 6);  // five-letter words leave little room unused

  // The text's words come back in order, line by line, with the paragraphs kept apart.
  const auto body = BoxRows(box, 2);
  ASSERT_GE(body.size(), 5u);
  std::string joined;
  for (size_t i = 0; i + 2 < body.size(); ++i) {
    const std::string row = body[i].substr(4);  // the mark or its indent
    if (row == "second paragraph") {
      joined += "\n";
    } else if (!joined.empty() && joined.back() != '\n') {
      joined += " ";
    }
    joined += row;
  }
  EXPECT_EQ(joined, text);
  probe.EnterAndEnd();
}

TEST(MessageBoxOnTerminal, UnknownWidthMeansEightyColumns) {
  TerminalProbe probe({std::string(200, 'x')}, 0);
  const auto box = probe.Box();
  ExpectSquareBox(box, 80);
  EXPECT_EQ(DisplayColumns(box.front()), 80u);
  probe.EnterAndEnd();
}

TEST(MessageBoxOnTerminal, ControllingTerminalGetsTheBoxWhateverStandardInputIs) {
  TerminalProbe probe({"input from elsewhere"}, 60, TerminalRole::ControllingOnly);
  EXPECT_EQ(BoxRows(probe.Box(), 2).at(0), "/!\\ input from elsewhere");
  ExpectWaiting(probe.child(), "");
  probe.EnterAndEnd();
  EXPECT_EQ(probe.child().out(), "box 1 returned 1\n");
  EXPECT_EQ(probe.child().err(), "");
}

TEST(MessageBoxOnTerminal, ATerminalOnlyOnStandardInputIsNotDrawnOn) {
  TerminalProbe probe({"no controlling terminal"}, 60, TerminalRole::InputOnly);
  const auto status = probe.child().Wait(20s);
  EXPECT_EQ(status.exitCode, 0);
  EXPECT_EQ(probe.child().out(), "box 1 returned 1\n");
  EXPECT_EQ(probe.child().err(), BlockOf(ProbePath(), "no controlling terminal"));
  probe.ReadTerminal(100ms);
  EXPECT_EQ(probe.screen(), "");
}

TEST(MessageBoxOnTerminal, KeysTypedBeforeTheBoxAppearsDoNotDismissIt) {
  TerminalProbe probe({"--pause-ms=300", "typed too early"}, 60);
  ASSERT_TRUE(probe.Type("\r\n"));
  probe.Box();
  ExpectWaiting(probe.child(), "");
  probe.EnterAndEnd();
  EXPECT_EQ(probe.child().out(), "box 1 returned 1\n");
}

TEST(MessageBoxOnTerminal, ControlCharactersInTheTextDoNotReachTheTerminal) {
  TerminalProbe probe({"clear\x1b[2Jscreen\x07"}, 80);
  const TerminalBox box = probe.Box();
  EXPECT_EQ(probe.screen().find('\x1b'), std::string::npos);
  EXPECT_EQ(probe.screen().find('\x07'), std::string::npos);
  EXPECT_EQ(BoxRows(box, 2).at(0), "/!\\ clear\uFFFD[2Jscreen\uFFFD");
  probe.EnterAndEnd();
}

}  // namespace
