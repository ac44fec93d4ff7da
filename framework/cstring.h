// CString: UTF-16 text with its length.
//
// Besides the usual text operations, CString gives direct access to its buffer: a caller sets
// a length, writes into the buffer (which always has room for that many characters and a
// terminator) and then sets the final length. Text made longer keeps its characters.
#pragma once

#include <string>
#include <string_view>

#include "framework/types.h"

class CString {
 public:
  CString() = default;
  CString(const char16_t* text);  // NOLINT: implicit, like a literal; null gives empty text
  CString(const char16_t* text, int length);
  CString(std::u16string_view text);  // NOLINT
  CString(const std::u16string& text);  // NOLINT
  // Widens 8-bit text with the calling thread's code page.
  explicit CString(const char* codePageText);

  CString(const CString&) = default;
  CString(CString&&) noexcept = default;
  CString& operator=(const CString&) = default;
  CString& operator=(CString&&) noexcept = default;
  CString& operator=(const char16_t* text);
  CString& operator=(std::u16string_view text);
  // Widens 8-bit text with the calling thread's code page.
  CString& operator=(const char* codePageText);

  int GetLength() const { return static_cast<int>(m_text.size()); }
  bool IsEmpty() const { return m_text.empty(); }
  void Empty() { m_text.clear(); }

  const char16_t* GetString() const { return m_text.c_str(); }
  operator const char16_t*() const { return m_text.c_str(); }  // NOLINT
  std::u16string_view View() const { return m_text; }
  operator std::u16string_view() const { return m_text; }  // NOLINT
  const std::u16string& Str() const { return m_text; }
  char16_t GetAt(int index) const { return m_text.at(static_cast<size_t>(index)); }

  // Direct buffer access.
  // GetBuffer: a writable buffer of at least `minLength` characters (the current length when
  // that is larger) plus a terminator; the length becomes the buffer's length.
  char16_t* GetBuffer(int minLength);
  // GetBufferSetLength: the length becomes `length`; existing characters are kept, new ones
  // are zero. The buffer has room for `length` characters plus a terminator.
  char16_t* GetBufferSetLength(int length);
  // ReleaseBuffer: the final length; -1 takes the text up to its first null character.
  void ReleaseBuffer(int newLength = -1);

  CString& operator+=(const CString& text);
  CString& operator+=(const char16_t* text);
  CString& operator+=(std::u16string_view text);
  CString& operator+=(char16_t ch);

  CString Left(int count) const;
  CString Mid(int first) const;
  CString Mid(int first, int count) const;
  // Index of the first occurrence at or after `start`, or -1.
  int Find(std::u16string_view text, int start = 0) const;
  int Find(char16_t ch, int start = 0) const;

  // Compares the first `count` characters without regard to basic Latin letter case.
  bool StartsWithNoCase(std::u16string_view prefix) const;

  // Narrows to the calling thread's code page; characters it cannot represent become '?'.
  std::string ToCodePage() const;
  std::string ToUtf8() const;
  static CString FromUtf8(std::string_view text);

  friend bool operator==(const CString& a, const CString& b) { return a.m_text == b.m_text; }
  friend bool operator==(const CString& a, const char16_t* b) {
    return a.m_text == std::u16string_view(b ? b : u"");
  }
  friend bool operator==(const CString& a, std::u16string_view b) { return a.m_text == b; }

 private:
  std::u16string m_text;
};

CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, const char16_t* b);
CString operator+(const char16_t* a, const CString& b);
CString operator+(const CString& a, char16_t b);

// Length of a null-terminated UTF-16 text.
size_t TextLength(const char16_t* text);
