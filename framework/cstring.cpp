#include "framework/cstring.h"

#include <new>
#include <stdexcept>

#include "text/codepage.h"
#include "text/utf.h"
#include "framework/exception.h"

namespace {

// Runs a text operation that may allocate, turning a failed allocation into the framework's
// memory error.
template <class F>
decltype(auto) Allocating(F&& f) {
  try {
    return f();
  } catch (const std::bad_alloc&) {
    ThrowMemoryException();
  } catch (const std::length_error&) {
    ThrowMemoryException();
  }
}

char16_t FoldBasicLatin(char16_t c) { return (c >= u'a' && c <= u'z') ? c - 32 : c; }

}  // namespace

size_t TextLength(const char16_t* text) {
  return text ? std::char_traits<char16_t>::length(text) : 0;
}

CString::CString(const char16_t* text) {
  if (text) Allocating([&] { m_text.assign(text); });
}

CString::CString(const char16_t* text, int length) {
  if (text && length > 0) Allocating([&] { m_text.assign(text, static_cast<size_t>(length)); });
}

CString::CString(std::u16string_view text) {
  Allocating([&] { m_text.assign(text); });
}

CString::CString(const std::u16string& text) {
  Allocating([&] { m_text = text; });
}

CString::CString(const char* codePageText) {
  if (codePageText) Allocating([&] { m_text = textconv::WidenFromCodePage(codePageText); });
}

CString& CString::operator=(const char16_t* text) {
  Allocating([&] {
    if (text) {
      m_text.assign(text);
    } else {
      m_text.clear();
    }
  });
  return *this;
}

CString& CString::operator=(std::u16string_view text) {
  Allocating([&] { m_text.assign(text); });
  return *this;
}

CString& CString::operator=(const char* codePageText) {
  Allocating([&] { m_text = codePageText ? textconv::WidenFromCodePage(codePageText) : std::u16string(); });
  return *this;
}

char16_t* CString::GetBuffer(int minLength) {
  if (minLength > GetLength()) Allocating([&] { m_text.resize(static_cast<size_t>(minLength)); });
  return m_text.data();
}

char16_t* CString::GetBufferSetLength(int length) {
  if (length < 0) length = 0;
  Allocating([&] { m_text.resize(static_cast<size_t>(length)); });
  return m_text.data();
}

void CString::ReleaseBuffer(int newLength) {
  if (newLength < 0) {
    m_text.resize(std::char_traits<char16_t>::length(m_text.c_str()));
  } else if (static_cast<size_t>(newLength) <= m_text.size()) {
    m_text.resize(static_cast<size_t>(newLength));
  } else {
    // Never beyond the buffer the caller was given.
  }
}

CString& CString::operator+=(const CString& text) {
  Allocating([&] { m_text += text.m_text; });
  return *this;
}

CString& CString::operator+=(const char16_t* text) {
  if (text) Allocating([&] { m_text += text; });
  return *this;
}

CString& CString::operator+=(std::u16string_view text) {
  Allocating([&] { m_text += text; });
  return *this;
}

CString& CString::operator+=(char16_t ch) {
  Allocating([&] { m_text += ch; });
  return *this;
}

CString CString::Left(int count) const {
  if (count <= 0) return CString();
  return CString(std::u16string_view(m_text).substr(0, static_cast<size_t>(count)));
}

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
  if (first < 0) first = 0;
  if (first >= GetLength() || count <= 0) return CString();
  return CString(std::u16string_view(m_text).substr(static_cast<size_t>(first),
                                                    static_cast<size_t>(count)));
}

int CString::Find(std::u16string_view text, int start) const {
  if (start < 0 || start > GetLength()) return -1;
  size_t at = m_text.find(text, static_cast<size_t>(start));
  return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

int CString::Find(char16_t ch, int start) const {
  if (start < 0 || start > GetLength()) return -1;
  size_t at = m_text.find(ch, static_cast<size_t>(start));
  return at == std::u16string::npos ? -1 : static_cast<int>(at);
}

bool CString::StartsWithNoCase(std::u16string_view prefix) const {
  if (prefix.size() > m_text.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (FoldBasicLatin(m_text[i]) != FoldBasicLatin(prefix[i])) return false;
  }
  return true;
}

std::string CString::ToCodePage() const {
  return Allocating([&] { return textconv::NarrowToCodePage(m_text); });
}

std::string CString::ToUtf8() const {
  return Allocating([&] { return textconv::Utf16ToUtf8(m_text); });
}

CString CString::FromUtf8(std::string_view text) {
  return Allocating([&] { return CString(textconv::Utf8ToUtf16(text)); });
}

CString operator+(const CString& a, const CString& b) {
  CString r(a);
  r += b;
  return r;
}

CString operator+(const CString& a, const char16_t* b) {
  CString r(a);
  r += b;
  return r;
}

CString operator+(const char16_t* a, const CString& b) {
  CString r(a);
  r += b;
  return r;
}

CString operator+(const CString& a, char16_t b) {
  CString r(a);
  r += b;
  return r;
}
