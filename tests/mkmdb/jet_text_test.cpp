// Text storage: UTF-8 checking and the choice between compressed and plain UTF-16.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jet_text.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Encoded(std::u16string_view text, bool allow = true) {
  Bytes out;
  EXPECT_TRUE(mkmdb::EncodeJetText(text, allow, out));
  return out;
}

TEST(JetText, AsciiIsStoredCompressedAfterTheMarker) {
  EXPECT_EQ(Encoded(u"Boeing"), (Bytes{0xFF, 0xFE, 'B', 'o', 'e', 'i', 'n', 'g'}));
}

TEST(JetText, CompressedTextSwitchesToWideModeWithAZeroByte) {
  // Narrow "abcd", then a zero byte and U+0436 as two bytes: 9 bytes against 10.
  EXPECT_EQ(Encoded(u"abcdж"), (Bytes{0xFF, 0xFE, 'a', 'b', 'c', 'd', 0x00, 0x36, 0x04}));
  // Back to narrow for the last character.
  EXPECT_EQ(Encoded(u"abcdжe"),
            (Bytes{0xFF, 0xFE, 'a', 'b', 'c', 'd', 0x00, 0x36, 0x04, 0x00, 'e'}));
  // "abcж" would take 8 bytes either way, so it stays plain.
  EXPECT_EQ(Encoded(u"abcж"), (Bytes{'a', 0, 'b', 0, 'c', 0, 0x36, 0x04}));
}

TEST(JetText, CharactersWithALowZeroByteForbidCompression) {
  EXPECT_FALSE(mkmdb::CompressionAllowed(u"x一y"));
  EXPECT_FALSE(mkmdb::CompressionAllowed(u"xĀyz"));
  EXPECT_TRUE(mkmdb::CompressionAllowed(u"Туполев"));
  EXPECT_EQ(Encoded(u"x一y"), (Bytes{'x', 0x00, 0x00, 0x4E, 'y', 0x00}));
  EXPECT_EQ(Encoded(u"xĀyz"), (Bytes{'x', 0x00, 0x00, 0x01, 'y', 0x00, 'z', 0x00}));
}

TEST(JetText, CompressionIsUsedOnlyWhenShorter) {
  // All wide: the marker and switch make the compressed form longer.
  EXPECT_EQ(Encoded(u"Ту"), (Bytes{0x22, 0x04, 0x43, 0x04}));
  EXPECT_EQ(Encoded(u""), Bytes{});
  EXPECT_EQ(Encoded(u"a"), (Bytes{'a', 0x00}));  // 3 bytes compressed against 2
  EXPECT_EQ(Encoded(u"abc", false), (Bytes{'a', 0, 'b', 0, 'c', 0}));
}

TEST(JetText, TextStartingWithAByteOrderMarkNeverLooksLikeTheMarker) {
  // Plain UTF-16 would begin FF FE and read as compressed; it is compressed instead.
  const Bytes bom = Encoded(u"\uFEFF");
  ASSERT_GE(bom.size(), 2u);
  EXPECT_EQ(bom, (Bytes{0xFF, 0xFE, 0x00, 0xFF, 0xFE}));
  Bytes out;
  EXPECT_FALSE(mkmdb::EncodeJetText(u"\uFEFFĀ", true, out));
  EXPECT_FALSE(mkmdb::EncodeJetText(u"\uFEFFa", false, out));
}

}  // namespace
