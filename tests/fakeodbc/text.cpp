#include "text.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "text/utf.h"

namespace fakeodbc::detail {

std::string toUtf8(std::u16string_view text) { return textconv::Utf16ToUtf8(text); }

std::u16string fromUtf8(std::string_view text) { return textconv::Utf8ToUtf16(text); }

std::string quoted(std::u16string_view text) {
  constexpr std::string_view escaped = "\"\\\n\r\t", shown = "\"\\nrt";
  std::string out = "\"";
  for (const char ch : toUtf8(text)) {
    if (const std::size_t which = escaped.find(ch); which != std::string_view::npos) {
      out += '\\';
      out += shown[which];
    } else if (static_cast<unsigned char>(ch) < 0x20) {
      char code[8];
      std::snprintf(code, sizeof code, "\\x%02X", static_cast<unsigned>(ch));
      out += code;
    } else {
      out += ch;
    }
  }
  return out + '"';
}

std::u16string readWide(const SQLWCHAR* text, long long length) {
  if (text == nullptr) return {};
  const auto* chars = reinterpret_cast<const char16_t*>(text);
  if (length == SQL_NTS) return std::u16string(chars);
  if (length <= 0) return {};
  return std::u16string(chars, static_cast<std::size_t>(length));
}

bool writeWide(SQLWCHAR* buffer, long long capacity, std::u16string_view text) {
  if (buffer == nullptr || capacity <= 0) return !text.empty();
  const std::size_t room = static_cast<std::size_t>(capacity - 1);
  const std::size_t count = std::min(room, text.size());
  std::memcpy(buffer, text.data(), count * sizeof(char16_t));
  buffer[count] = 0;
  return count < text.size();
}

}  // namespace fakeodbc::detail
