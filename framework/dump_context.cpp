#include "framework/dump_context.h"

#include <cstdio>

#include "text/utf.h"

CDumpContext& CDumpContext::operator<<(const char* text) {
  if (text) m_text += text;
  return *this;
}

CDumpContext& CDumpContext::operator<<(std::u16string_view text) {
  m_text += textconv::Utf16ToUtf8(text);
  return *this;
}

CDumpContext& CDumpContext::operator<<(const char16_t* text) {
  if (text) m_text += textconv::Utf16ToUtf8(text);
  return *this;
}

CDumpContext& CDumpContext::operator<<(const CString& text) { return *this << text.View(); }

CDumpContext& CDumpContext::operator<<(int value) { return *this << static_cast<long>(value); }

CDumpContext& CDumpContext::operator<<(unsigned int value) {
  return *this << static_cast<unsigned long>(value);
}

CDumpContext& CDumpContext::operator<<(short value) { return *this << static_cast<long>(value); }

CDumpContext& CDumpContext::operator<<(long value) {
  m_text += std::to_string(value);
  return *this;
}

CDumpContext& CDumpContext::operator<<(unsigned long value) {
  m_text += std::to_string(value);
  return *this;
}

CDumpContext& CDumpContext::operator<<(const void* pointer) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "$%p", pointer);
  m_text += buffer;
  return *this;
}
