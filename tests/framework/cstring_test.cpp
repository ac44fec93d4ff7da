#include "framework/cstring.h"

#include <gtest/gtest.h>

#include "tests/framework/scoped_locale.h"

namespace {

TEST(CStringBuffer, SetLengthGivesRoomForTheTextAndATerminator) {
  CString s;
  char16_t* buffer = s.GetBufferSetLength(5);
  ASSERT_EQ(s.GetLength(), 5);
  for (int i = 0; i < 5; ++i) buffer[i] = static_cast<char16_t>(u'a' + i);
  buffer[5] = u'\0';  // the terminator's place belongs to the caller too
  s.ReleaseBuffer(3);
  EXPECT_EQ(s, u"abc");
}

TEST(CStringBuffer, MadeLongerKeepsItsCharacters) {
  CString s(u"Dassault");
  char16_t* buffer = s.GetBufferSetLength(12);
  EXPECT_EQ(std::u16string_view(buffer, 8), u"Dassault");
  std::u16string_view(u" F7X").copy(buffer + 8, 4);
  s.ReleaseBuffer(12);
  EXPECT_EQ(s, u"Dassault F7X");
}

TEST(CStringBuffer, ReleaseWithoutLengthStopsAtTheFirstNull) {
  CString s;
  char16_t* buffer = s.GetBufferSetLength(10);
  std::u16string_view(u"Airbus\0", 7).copy(buffer, 7);
  s.ReleaseBuffer();
  EXPECT_EQ(s.GetLength(), 6);
  EXPECT_EQ(s, u"Airbus");
}

TEST(CStringBuffer, ReleaseNeverGrowsBeyondTheBuffer) {
  CString s(u"abc");
  s.GetBufferSetLength(2);
  s.ReleaseBuffer(40);
  EXPECT_EQ(s, u"ab");
  s.GetBuffer(1);
  EXPECT_EQ(s, u"ab");  // GetBuffer keeps a longer text
}

TEST(CStringText, NullAndEmptyTextsAreEmpty) {
  const char16_t* none = nullptr;
  CString a(none);
  CString b(u"");
  EXPECT_TRUE(a.IsEmpty());
  EXPECT_EQ(a, b);
  b = none;
  EXPECT_TRUE(b.IsEmpty());
  EXPECT_EQ(*a.GetString(), u'\0');
}

TEST(CStringText, WidensAndNarrowsWithTheThreadsCodePage) {
  ScopedThreadLocale locale("C.UTF-8");
  CString s("Zl\xC3\xADn");
  EXPECT_EQ(s, u"Zl\u00EDn");
  EXPECT_EQ(s.ToCodePage(), "Zl\xC3\xADn");
  ScopedThreadLocale c("C");
  EXPECT_EQ(s.ToCodePage(), "Zl?n");
  EXPECT_EQ(s.ToUtf8(), "Zl\xC3\xADn");
}

TEST(CStringText, SearchingAndSlicing) {
  CString s(u"ODBC;DRIVER={X};DSN=''");
  EXPECT_TRUE(s.StartsWithNoCase(u"odbc;"));
  EXPECT_FALSE(CString(u" ODBC;").StartsWithNoCase(u"ODBC;"));
  EXPECT_FALSE(CString(u"ODB").StartsWithNoCase(u"ODBC;"));
  EXPECT_EQ(s.Find(u';'), 4);
  EXPECT_EQ(s.Find(u';', 5), 15);
  EXPECT_EQ(s.Find(u"DSN"), 16);
  EXPECT_EQ(s.Find(u"nope"), -1);
  EXPECT_EQ(s.Find(u';', 100), -1);
  EXPECT_EQ(s.Mid(5), u"DRIVER={X};DSN=''");
  EXPECT_EQ(s.Mid(5, 6), u"DRIVER");
  EXPECT_EQ(s.Mid(99), u"");
  EXPECT_EQ(s.Left(4), u"ODBC");
  EXPECT_EQ(s.Left(-1), u"");
  EXPECT_EQ(CString(u"a") + u"b" + u'c' + CString(u"d"), u"abcd");
}

}  // namespace
