#include "text.h"

#include <algorithm>
#include <cstring>

namespace mdbodbc {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  }
}

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    unsigned char b = *p;
    int extra = 0;
    char32_t c = 0;
    if (b < 0x80) {
      c = b;
    } else if ((b & 0xE0) == 0xC0) {
      c = b & 0x1F;
      extra = 1;
    } else if ((b & 0xF0) == 0xE0) {
      c = b & 0x0F;
      extra = 2;
    } else if ((b & 0xF8) == 0xF0) {
      c = b & 0x07;
      extra = 3;
    } else {
      AppendUtf16(out, kReplacement);
      ++p;
      continue;
    }
    if (end - p < extra + 1) {
      AppendUtf16(out, kReplacement);
      break;
    }
    bool ok = true;
    for (int i = 1; i <= extra; ++i) {
      if ((p[i] & 0xC0) != 0x80) {
        ok = false;
        break;
      }
      c = (c << 6) | (p[i] & 0x3F);
    }
    if (!ok) {
      AppendUtf16(out, kReplacement);
      ++p;
      continue;
    }
    static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
    if (c < kMinimum[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = kReplacement;
    AppendUtf16(out, c);
    p += extra + 1;
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

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
  return Utf16ToUtf8(std::u16string_view(units, count));
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
  std::u16string wide = Utf8ToUtf16(utf8);
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
