#include "text/utf.h"

namespace textconv {
namespace {

bool IsHighSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char32_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool IsScalarValue(char32_t c) { return c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF); }

}  // namespace

std::size_t WellFormedUtf8Length(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return 1;
  const std::size_t length = (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || length > text.size() - at) return 0;
  char32_t c = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    c = (c << 6) | (next & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kSmallest[length] || !IsScalarValue(c)) return 0;
  return length;
}

char32_t NextUtf16(std::u16string_view text, std::size_t& at, bool* valid) {
  const char32_t c = text[at++];
  if (valid != nullptr) *valid = true;
  if (IsHighSurrogate(c) && at < text.size() && IsLowSurrogate(text[at])) {
    const char32_t low = text[at++];
    return 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
  }
  if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
    if (valid != nullptr) *valid = false;
    return kReplacement;
  }
  return c;
}

void AppendUtf16(std::u16string& out, char32_t c) {
  if (!IsScalarValue(c)) c = kReplacement;
  if (c >= 0x10000) {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  } else {
    out += static_cast<char16_t>(c);
  }
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) AppendUtf8(out, NextUtf16(text, at));
  return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  Utf8ToUtf16(text, out);
  return out;
}

bool Utf8ToUtf16(std::string_view text, std::u16string& out) {
  out.clear();
  out.reserve(text.size());
  bool wellFormed = true;
  std::size_t at = 0;
  while (at < text.size()) {
    bool valid = true;
    AppendUtf16(out, NextUtf8(text, at, &valid));
    wellFormed = wellFormed && valid;
  }
  return wellFormed;
}

bool IsWellFormedUtf8(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t length = WellFormedUtf8Length(text, at);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

std::string_view Utf8Prefix(std::string_view text, std::size_t bytes) {
  if (bytes >= text.size()) return text;
  while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xC0) == 0x80) --bytes;
  return text.substr(0, bytes);
}

}  // namespace textconv
