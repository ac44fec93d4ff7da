// The pieces of the message box that do not need a device: the icon a style asks for, the
// splitting of a text into lines, the block written to standard error, and the wrapping and
// framing of the box drawn on a terminal.
#include <gtest/gtest.h>

#include <string>

#include "framework/message_box.h"
#include "framework/message_box_stderr.h"
#include "framework/message_box_terminal.h"
#include "framework/message_box_text.h"
#include "tests/framework/scoped_locale.h"

namespace {

using V = std::vector<std::string>;
using V16 = std::vector<std::u16string>;

TEST(MessageBoxStyle, StyleWithoutIconGetsTheWarningIcon) {
  using enum MessageBoxIcon;
  // The last: bits outside the icon field do not change the icon.
  const std::pair<UINT, MessageBoxIcon> cases[] = {
      {0, Warning}, {MB_OK, Warning}, {MB_ICONEXCLAMATION, Warning}, {MB_ICONHAND, Error},
      {MB_ICONQUESTION, Question}, {MB_ICONASTERISK, Information}, {MB_ICONHAND | 0x1000, Error}};
  for (const auto& [style, icon] : cases) EXPECT_EQ(MessageBoxIconForStyle(style), icon) << style;
}

TEST(MessageBoxLines, EveryKindOfLineEndSplitsOnce) {
  EXPECT_EQ(SplitMessageBoxLines(u"", true), V16{u""});
  EXPECT_EQ(SplitMessageBoxLines(u"one", true), V16{u"one"});
  EXPECT_EQ(SplitMessageBoxLines(u"a\nb\r\nc\rd", true), (V16{u"a", u"b", u"c", u"d"}));
  EXPECT_EQ(SplitMessageBoxLines(u"a\n", true), (V16{u"a", u""}));
  EXPECT_EQ(SplitMessageBoxLines(u"\n\n", true), (V16{u"", u"", u""}));
}

TEST(MessageBoxLines, ControlCharactersCannotReachTheDevice) {
  EXPECT_EQ(SplitMessageBoxLines(u"a\x1b[2Jb\x7f\x85", true), V16{u"a\uFFFD[2Jb\uFFFD\uFFFD"});
  EXPECT_EQ(SplitMessageBoxLines(u"a\tb", true), V16{u"a\tb"});
  EXPECT_EQ(SplitMessageBoxLines(u"a\tb", false), V16{u"a b"});
  EXPECT_EQ(SingleLineMessageBoxCaption(u"/tmp/a\nb\tc"), u"/tmp/a\uFFFDb\uFFFDc");
}

TEST(MessageBoxBlock, HoldsCaptionIconAndEveryLineBetweenFixedMarkers) {
  ScopedThreadLocale locale("C.UTF-8");
  EXPECT_EQ(FormatMessageBoxBlock(u"/opt/x/prog", u"Première ligne\r\n\tseconde", MessageBoxIcon::Warning),
            "[message box]\n"
            "caption: /opt/x/prog\n"
            "icon: warning\n"
            "text: Première ligne\n"
            "text: \tseconde\n"
            "[end of message box]\n");
  EXPECT_EQ(FormatMessageBoxBlock(u"p", u"", MessageBoxIcon::Error),
            "[message box]\ncaption: p\nicon: error\ntext: \n[end of message box]\n");
}

TEST(MessageBoxBlock, CharactersOutsideTheCodePageAreReplaced) {
  ScopedThreadLocale locale("C");
  EXPECT_EQ(FormatMessageBoxBlock(u"p", u"Cessna \u2708 é", MessageBoxIcon::Warning),
            "[message box]\ncaption: p\nicon: warning\ntext: Cessna ? ?\n[end of message box]\n");
}

class TerminalLayout : public ::testing::Test {
  ScopedThreadLocale m_locale{"C.UTF-8"};
};

TEST_F(TerminalLayout, WidthCountsColumnsNotBytes) {
  EXPECT_EQ(TerminalTextWidth("abc"), 3u);
  EXPECT_EQ(TerminalTextWidth("é✈"), 2u);    // 5 bytes
  EXPECT_EQ(TerminalTextWidth("日本"), 4u);   // wide characters
  EXPECT_EQ(TerminalTextWidth("a\xff" "b"), 3u);  // an undecodable byte still takes a column
}

TEST_F(TerminalLayout, WrapsAtTheLastBlankThatFits) {
  EXPECT_EQ(WrapTerminalLine("the quick brown fox", 10), (V{"the quick", "brown fox"}));
  EXPECT_EQ(WrapTerminalLine("the quick brown fox", 9), (V{"the quick", "brown fox"}));
  EXPECT_EQ(WrapTerminalLine("the quick brown fox", 8), (V{"the", "quick", "brown", "fox"}));
  EXPECT_EQ(WrapTerminalLine("short", 10), V{"short"});
  EXPECT_EQ(WrapTerminalLine("", 10), V{""});
  // Blanks at a break are dropped; blanks inside a line stay.
  EXPECT_EQ(WrapTerminalLine("ab   cd  ef", 5), (V{"ab", "cd", "ef"}));
  EXPECT_EQ(WrapTerminalLine("a  b", 10), V{"a  b"});
}

TEST_F(TerminalLayout, BreaksAWordLongerThanTheLine) {
  EXPECT_EQ(WrapTerminalLine("abcdefghij", 4), (V{"abcd", "efgh", "ij"}));
  EXPECT_EQ(WrapTerminalLine("ab cdefghij", 4), (V{"ab", "cdef", "ghij"}));
  // A leading indent is not a break point.
  EXPECT_EQ(WrapTerminalLine("  abcdef", 4), (V{"  ab", "cdef"}));
}

TEST_F(TerminalLayout, WrapsMultibyteAndWideTextByColumns) {
  EXPECT_EQ(WrapTerminalLine("été été été", 7), (V{"été été", "été"}));
  EXPECT_EQ(WrapTerminalLine("日本語テキスト", 6), (V{"日本語", "テキス", "ト"}));
  // A wide character never goes half on a line.
  EXPECT_EQ(WrapTerminalLine("a日本", 4), (V{"a日", "本"}));
}

// Every row of a box has the same width, which the terminal can hold.
void ExpectStraightFrame(const std::vector<std::string>& box, size_t columns) {
  ASSERT_GE(box.size(), 7u);
  const size_t width = TerminalTextWidth(box.front());
  EXPECT_LE(width, columns);
  for (const std::string& row : box) {
    EXPECT_EQ(TerminalTextWidth(row), width) << row;
    EXPECT_TRUE(row.front() == '+' || row.front() == '|') << row;
  }
  EXPECT_EQ(box.back(), box.front());
}

TEST_F(TerminalLayout, BoxHasCaptionMarkTextAndButton) {
  const auto box = LayoutTerminalMessageBox(u"/usr/bin/prog", u"Engine failure", MessageBoxIcon::Warning, 80);
  ExpectStraightFrame(box, 80);
  // As wide as its widest row, the mark and the text: 18 columns inside the frame.
  EXPECT_EQ(box, (V{"+--------------------+", "| /usr/bin/prog      |", "+--------------------+",
                    "| /!\\ Engine failure |", "|                    |", "|       [ OK ]       |",
                    "+--------------------+"}));
}

TEST_F(TerminalLayout, LongTextFillsTheTerminalWidth) {
  std::u16string text;
  for (int i = 0; i < 60; ++i) text += u"word ";
  for (int columns : {40, 80, 132}) {
    const auto box = LayoutTerminalMessageBox(u"/p", text, MessageBoxIcon::Warning, columns);
    ExpectStraightFrame(box, static_cast<size_t>(columns));
    // Words of four letters leave at most four columns free at the end of a line.
    EXPECT_GE(TerminalTextWidth(box.front()), static_cast<size_t>(columns) - 5) << columns;
    // Lines after the first are indented under the text, not under the mark.
    EXPECT_EQ(box[4].substr(0, 7), "|     w");
  }
}

TEST_F(TerminalLayout, UnknownWidthMeansEightyColumns) {
  std::u16string text(300, u'x');
  const auto box = LayoutTerminalMessageBox(u"/p", text, MessageBoxIcon::Warning, 0);
  ExpectStraightFrame(box, 80);
  EXPECT_EQ(TerminalTextWidth(box.front()), 80u);
}

TEST_F(TerminalLayout, LongCaptionIsWrappedToo) {
  std::u16string caption = u"/" + std::u16string(100, u'd') + u"/prog";
  const auto box = LayoutTerminalMessageBox(caption, u"t", MessageBoxIcon::Warning, 40);
  ExpectStraightFrame(box, 40);
  std::string joined;
  for (size_t i = 1; box[i] != box[0]; ++i) {
    std::string row = box[i].substr(2, box[i].size() - 4);
    while (!row.empty() && row.back() == ' ') row.pop_back();
    joined += row;
  }
  EXPECT_EQ(joined, "/" + std::string(100, 'd') + "/prog");
}

TEST_F(TerminalLayout, EmptyTextShowsTheMarkAlone) {
  const auto box = LayoutTerminalMessageBox(u"/p", u"", MessageBoxIcon::Warning, 80);
  ExpectStraightFrame(box, 80);
  // The button sets the width: six columns inside the frame.
  EXPECT_EQ(box[3], "| /!\\    |");
}

TEST_F(TerminalLayout, EachIconHasItsMark) {
  EXPECT_EQ(LayoutTerminalMessageBox(u"/p", u"t", MessageBoxIcon::Error, 80)[3].substr(2, 3), "(X)");
  EXPECT_EQ(LayoutTerminalMessageBox(u"/p", u"t", MessageBoxIcon::Question, 80)[3].substr(2, 3), "(?)");
  EXPECT_EQ(LayoutTerminalMessageBox(u"/p", u"t", MessageBoxIcon::Information, 80)[3].substr(2, 3), "(i)");
}

TEST_F(TerminalLayout, WideCharactersKeepTheFrameStraight) {
  const auto box = LayoutTerminalMessageBox(u"/p", u"日本 ✈ Zoé\nline two", MessageBoxIcon::Warning, 30);
  ExpectStraightFrame(box, 30);
  EXPECT_EQ(box[3], "| /!\\ 日本 ✈ Zoé |");
  EXPECT_EQ(box[4], "|     line two   |");
}

TEST(TerminalLayoutInCLocale, NonAsciiBecomesReplacementAndFrameStaysStraight) {
  ScopedThreadLocale locale("C");
  const auto box = LayoutTerminalMessageBox(u"/p", u"Zoé ✈", MessageBoxIcon::Warning, 80);
  ExpectStraightFrame(box, 80);
  EXPECT_EQ(box[3], "| /!\\ Zo? ? |");
}

TEST(TerminalLayoutNarrow, TooNarrowTerminalStillGetsAConsistentBox) {
  ScopedThreadLocale locale("C.UTF-8");
  const auto box = LayoutTerminalMessageBox(u"/p", u"some words here", MessageBoxIcon::Warning, 6);
  // The frame and the button need ten columns: the box is wider than the terminal but square.
  const size_t width = TerminalTextWidth(box.front());
  for (const std::string& row : box) EXPECT_EQ(TerminalTextWidth(row), width) << row;
  EXPECT_EQ(width, 10u);
}

}  // namespace
