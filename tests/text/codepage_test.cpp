#include "text/codepage.h"

#include <gtest/gtest.h>

#include "tests/framework/scoped_locale.h"

namespace {

// "Zlín ✈ 東京 😀": Latin-1 range, BMP symbols, CJK and a character outside the BMP.
const std::u16string kMixed = u"Zl\u00EDn \u2708 \u6771\u4EAC \U0001F600";
const std::string kMixedUtf8 = "Zl\xC3\xADn \xE2\x9C\x88 \xE6\x9D\xB1\xE4\xBA\xAC \xF0\x9F\x98\x80";

TEST(CodePage, AsciiIsTheSameInEveryLocale) {
  for (const char* name : {"C", "C.UTF-8"}) {
    ScopedThreadLocale locale(name);
    EXPECT_EQ(textconv::WidenFromCodePage("SELECT marque FROM avion "), u"SELECT marque FROM avion ");
    EXPECT_EQ(textconv::NarrowToCodePage(u"DBQ=../../bd2.mdb;DSN=''"), "DBQ=../../bd2.mdb;DSN=''");
  }
}

// A program that asked for the user's code page stays in the C locale while its texts are
// ASCII and adopts the user's character set at the first text beyond it. Run in a child: the
// process's locale is global.
TEST(CodePageDeathTest, UserCodePageLoadsAtTheFirstTextBeyondAscii) {
  EXPECT_EXIT(
      {
        ::setenv("LC_ALL", "C.UTF-8", 1);
        textconv::UseUserCodePage();
        const bool asciiKeptC = textconv::WidenFromCodePage("marque 1") == u"marque 1" &&
                                textconv::NarrowToCodePage(u"marque 1") == "marque 1" &&
                                std::string(std::setlocale(LC_CTYPE, nullptr)) == "C";
        const bool converted = textconv::NarrowToCodePage(kMixed) == kMixedUtf8 &&
                               textconv::WidenFromCodePage(kMixedUtf8) == kMixed;
        std::exit(asciiKeptC && converted ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(CodePage, Utf8LocaleConvertsNonAsciiExactly) {
  ScopedThreadLocale locale("C.UTF-8");
  EXPECT_EQ(textconv::NarrowToCodePage(kMixed), kMixedUtf8);
  EXPECT_EQ(textconv::WidenFromCodePage(kMixedUtf8), kMixed);
}

TEST(CodePage, CLocaleReplacesWhatItCannotRepresent) {
  ScopedThreadLocale locale("C");
  // One '?' per character, also for the surrogate pair.
  EXPECT_EQ(textconv::NarrowToCodePage(kMixed), "Zl?n ? ?? ?");
  // Bytes the C locale cannot decode widen to one replacement character each.
  EXPECT_EQ(textconv::WidenFromCodePage("a\xC3\xA9z"), u"a\uFFFD\uFFFDz");
}

TEST(CodePage, UnpairedSurrogatesNarrowToQuestionMarks) {
  ScopedThreadLocale locale("C.UTF-8");
  const std::u16string lone = {u'a', char16_t(0xD800), u'b', char16_t(0xDC00)};
  EXPECT_EQ(textconv::NarrowToCodePage(lone), "a?b?");
}

TEST(CodePage, NarrowingIsNeverCut) {
  ScopedThreadLocale locale("C.UTF-8");
  EXPECT_EQ(textconv::NarrowToCodePage(std::u16string(5000, u'\u00E9')).size(), 10000u);
}

}  // namespace
