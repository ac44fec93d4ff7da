// UTF-8 and UTF-16, the two Unicode forms the program, the reader, the driver and the writer
// pass text in. One rule for malformed input everywhere: each byte (or UTF-16 unit) that does not
// belong to a well-formed character reads as one U+FFFD. Nothing is skipped, and no malformed
// sequence reads as some other character (an overlong form, an encoded surrogate or a value past
// U+10FFFF included).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace textconv {

inline constexpr char32_t kReplacement = 0xFFFD;

// The number of bytes of the well-formed UTF-8 character at `at` (1 to 4), or 0 when the byte
// there starts none.
std::size_t WellFormedUtf8Length(std::string_view text, std::size_t at);

// Reads the character at `at` and moves `at` past it; a malformed byte reads as kReplacement and
// moves `at` one byte on. `valid`, when given, tells the two apart.
inline char32_t NextUtf8(std::string_view text, std::size_t& at, bool* valid = nullptr) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) {
    ++at;
    if (valid != nullptr) *valid = true;
    return lead;
  }
  const std::size_t length = WellFormedUtf8Length(text, at);
  if (valid != nullptr) *valid = length != 0;
  if (length == 0) {
    ++at;
    return kReplacement;
  }
  char32_t c = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) c = (c << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
  at += length;
  return c;
}

// Reads the code point at `at` (a surrogate pair is one) and moves `at` past it; an unpaired
// surrogate reads as kReplacement.
char32_t NextUtf16(std::u16string_view text, std::size_t& at, bool* valid = nullptr);

// Writes one Unicode scalar value as UTF-8 at `at` (room for 4 bytes) and returns the end; a
// surrogate or a value past U+10FFFF is written as kReplacement.
inline char* PutUtf8(char32_t c, char* at) {
  if (c < 0x80) {
    *at++ = static_cast<char>(c);
    return at;
  }
  if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
  if (c < 0x800) {
    *at++ = static_cast<char>(0xC0 | (c >> 6));
  } else if (c < 0x10000) {
    *at++ = static_cast<char>(0xE0 | (c >> 12));
    *at++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  } else {
    *at++ = static_cast<char>(0xF0 | (c >> 18));
    *at++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *at++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
  }
  *at++ = static_cast<char>(0x80 | (c & 0x3F));
  return at;
}

// Append one Unicode scalar value; a surrogate or a value past U+10FFFF appends kReplacement.
inline void AppendUtf8(std::string& out, char32_t c) {
  char bytes[4];
  out.append(bytes, static_cast<std::size_t>(PutUtf8(c, bytes) - bytes));
}
void AppendUtf16(std::u16string& out, char32_t c);

std::string Utf16ToUtf8(std::u16string_view text);
std::u16string Utf8ToUtf16(std::string_view text);
// The same into `out`, reusing its storage; false when `text` had a malformed byte (each one
// then stands as kReplacement in `out`), for callers that refuse such text.
bool Utf8ToUtf16(std::string_view text, std::u16string& out);

// Whether every byte belongs to a well-formed character.
bool IsWellFormedUtf8(std::string_view text);

// The longest prefix of at most `bytes` bytes that does not end inside a character.
std::string_view Utf8Prefix(std::string_view text, std::size_t bytes);

}  // namespace textconv
