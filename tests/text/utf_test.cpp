#include "text/case_fold.h"
#include "text/utf.h"

#include <gtest/gtest.h>

namespace {

// Every reader of UTF-8 in the project goes through NextUtf8, so one table pins the rule for all
// of them: each byte of a malformed sequence is one U+FFFD, never skipped and never read as the
// character an overlong form spells.
TEST(Utf8, EachMalformedByteIsOneReplacementCharacter) {
  const std::u16string r(1, u'\uFFFD');
  struct Case {
    const char* bytes;
    std::u16string utf16;
  };
  const Case cases[] = {
      {"a\xC3\xA9\xD0\x96\xE4\xB8\x80\xF0\x9F\x98\x80", u"aéЖ一😀"},  // well-formed, every length
      {"", u""},
      {"\xF4\x8F\xBF\xBF", u"\U0010FFFF"},  // the last code point
      {"\xC0\xAF", r + r},                   // overlong '/'
      {"\xE0\x80\xAF", r + r + r},           // overlong, three bytes
      {"\xE0\x9F\xBF", r + r + r},           // overlong U+07FF, the last two-byte value
      {"\xF0\x80\x80\xAF", r + r + r + r},   // overlong, four bytes
      {"\xED\xA0\x80", r + r + r},           // an encoded surrogate
      {"\xF4\x90\x80\x80", r + r + r + r},   // past U+10FFFF
      {"x\xE2\x82", u"x" + r + r},           // cut at the end
      {"\xC3\x28", r + u"("},                // a lead byte without its continuation
      {"\x80", r},                           // a stray continuation byte
      {"\xFF", r},
      {"\xF8\x88\x80\x80\x80", r + r + r + r + r},  // the old five-byte form
  };
  for (const Case& c : cases) {
    const std::string_view bytes(c.bytes);
    const bool wellFormed = c.utf16.find(u'\uFFFD') == std::u16string::npos;
    SCOPED_TRACE(testing::PrintToString(std::string(bytes)));
    EXPECT_EQ(textconv::Utf8ToUtf16(bytes), c.utf16);
    std::u16string out = u"old text";
    EXPECT_EQ(textconv::Utf8ToUtf16(bytes, out), wellFormed);
    EXPECT_EQ(out, c.utf16);
    EXPECT_EQ(textconv::IsWellFormedUtf8(bytes), wellFormed);
    // Case-blind comparison reads the same characters.
    EXPECT_EQ(textconv::CompareFolded(bytes, textconv::Utf16ToUtf8(c.utf16)), 0);
    std::size_t count = 0;
    for (std::size_t at = 0; at < bytes.size(); ++count) textconv::NextUtf8(bytes, at);
    std::size_t expected = 0;
    for (std::size_t at = 0; at < c.utf16.size(); ++expected) textconv::NextUtf16(c.utf16, at);
    EXPECT_EQ(count, expected);
  }
}

TEST(Utf16, UnpairedSurrogatesAndOutOfRangeValuesBecomeReplacementCharacters) {
  const std::string r = "\xEF\xBF\xBD";
  const std::pair<std::u16string, std::string> cases[] = {
      {u"Zl\u00EDn \u2708 \u6771\u4EAC \U0001F600",
       "Zl\xC3\xADn \xE2\x9C\x88 \xE6\x9D\xB1\xE4\xBA\xAC \xF0\x9F\x98\x80"},
      {std::u16string(1, char16_t(0xDBFF)), r},
      {std::u16string(1, char16_t(0xDC00)) + u"a", r + "a"},
      {std::u16string{char16_t(0xD800), char16_t(0xD800), char16_t(0xDC00)}, r + "\xF0\x90\x80\x80"},
  };
  for (const auto& [utf16, utf8] : cases) EXPECT_EQ(textconv::Utf16ToUtf8(utf16), utf8);
  std::string out;
  for (char32_t c : {char32_t(0xD800), char32_t(0x110000)}) textconv::AppendUtf8(out, c);
  EXPECT_EQ(out, r + r);
  std::u16string wide;
  textconv::AppendUtf16(wide, 0x110000);
  EXPECT_EQ(wide, u"\uFFFD");
}

TEST(Utf8, PrefixesNeverEndInsideACharacter) {
  const std::string text = "a\xC3\xA9\xF0\x9F\x98\x80";  // a, é (2 bytes), 😀 (4 bytes)
  const std::pair<std::size_t, std::size_t> cases[] = {{0, 0}, {1, 1}, {2, 1}, {3, 3}, {4, 3},
                                                       {6, 3}, {7, 7}, {100, 7}};
  for (const auto& [limit, size] : cases) {
    EXPECT_EQ(textconv::Utf8Prefix(text, limit).size(), size) << limit;
  }
}

TEST(CaseFold, EveryScriptFoldsWhateverTheLocale) {
  const std::pair<const char*, const char*> equal[] = {
      {"ÉCLAIR", "éclair"}, {"АНТОНОВ", "антонов"}, {"ẞ", "ß"}, {"ΣΊΣΥΦΟΣ", "σίσυφος"},
      {"ΣΊΣΥΦΟΣ", "σίσυφοσ"}};
  for (const auto& [a, b] : equal) EXPECT_TRUE(textconv::EqualFolded(a, b)) << a << " / " << b;
  EXPECT_LT(textconv::CompareFolded("Airbus", "boeing"), 0);
  EXPECT_GT(textconv::CompareFolded("ab", "A"), 0);
  EXPECT_EQ(textconv::FoldCase(u"A\U00010400"), u"a\U00010428");  // Deseret, outside the BMP
}

}  // namespace
