// CDumpContext: where diagnostic dumps write their text.
//
// Text accumulates as UTF-8 in the context; pointers are written as "$" followed by the
// pointer in the C library's %p form. The depth tells dumps how much of their neighbourhood to
// include (0: the object alone).
#pragma once

#include <string>
#include <string_view>

#include "framework/cstring.h"
#include "framework/types.h"

class CDumpContext {
 public:
  explicit CDumpContext(int depth = 0) : m_nDepth(depth) {}

  int GetDepth() const { return m_nDepth; }
  void SetDepth(int depth) { m_nDepth = depth; }
  const std::string& Text() const { return m_text; }

  CDumpContext& operator<<(const char* text);
  CDumpContext& operator<<(std::u16string_view text);
  CDumpContext& operator<<(const char16_t* text);
  CDumpContext& operator<<(const CString& text);
  CDumpContext& operator<<(int value);
  CDumpContext& operator<<(unsigned int value);
  CDumpContext& operator<<(long value);
  CDumpContext& operator<<(unsigned long value);
  CDumpContext& operator<<(short value);
  CDumpContext& operator<<(const void* pointer);

 private:
  int m_nDepth;
  std::string m_text;
};
