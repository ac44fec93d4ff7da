#include "text.h"
#include "text/utf.h"

#include <algorithm>
#include <cstring>

namespace mdbodbc {
std::string NarrowInput(const SQLCHAR* text, SQLINTEGER length) {
  if (text == nullptr) return {};
  const char* chars = reinterpret_cast<const char*>(text);
  if (length == SQL_NTS) return std::string(chars);
  if (length < 0) return {};
  return std::string(chars, static_cast<size_t>(length));
}

std::string WideInput(const SQLWCHAR* text, SQLINTEGER length) {
  if (text == nullptr) return {};
  const auto* units = reinterpret_cast<const char16_t*>(text);
  size_t count = 0;
  if (length == SQL_NTS) {
    while (units[count] != 0) ++count;
  } else if (length > 0) {
    count = static_cast<size_t>(length);
  }
  return textconv::Utf16ToUtf8(std::u16string_view(units, count));
}

bool WriteNarrow(std::string_view utf8, SQLCHAR* buffer, SQLLEN bufferChars, SQLLEN* lengthOut) {
  if (lengthOut != nullptr) *lengthOut = static_cast<SQLLEN>(utf8.size());
  if (buffer == nullptr || bufferChars <= 0) return utf8.empty();
  size_t room = static_cast<size_t>(bufferChars) - 1;
  size_t n = std::min(room, utf8.size());
  std::memcpy(buffer, utf8.data(), n);
  buffer[n] = 0;
  return n == utf8.size();
}

bool WriteWide(std::string_view utf8, SQLWCHAR* buffer, SQLLEN bufferUnits, SQLLEN* lengthOut,
               bool lengthInBytes) {
  std::u16string wide = textconv::Utf8ToUtf16(utf8);
  if (lengthOut != nullptr) {
    *lengthOut = static_cast<SQLLEN>(wide.size()) * (lengthInBytes ? 2 : 1);
  }
  if (buffer == nullptr || bufferUnits <= 0) return wide.empty();
  size_t room = static_cast<size_t>(bufferUnits) - 1;
  size_t n = std::min(room, wide.size());
  std::memcpy(buffer, wide.data(), n * sizeof(char16_t));
  buffer[n] = 0;
  return n == wide.size();
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

}  // namespace mdbodbc
