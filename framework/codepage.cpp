#include "framework/codepage.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <clocale>
#include <cwchar>
#include <mutex>
#include <type_traits>

namespace {

std::atomic<bool> g_userCodePageWanted{false};
std::once_flag g_userCodePageLoaded;

template <typename Char>
bool AllAscii(std::basic_string_view<Char> text) {
  return std::all_of(text.begin(), text.end(), [](Char c) {
    return static_cast<std::make_unsigned_t<Char>>(c) < 0x80;
  });
}

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Decodes one code point at `i` and advances `i`. An unpaired surrogate yields U+FFFD and
// clears `valid`.
char32_t NextCodePoint(std::u16string_view text, size_t& i, bool& valid) {
  valid = true;
  char16_t c = text[i++];
  if (IsHighSurrogate(c) && i < text.size() && IsLowSurrogate(text[i])) {
    char16_t low = text[i++];
    return 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (low - 0xDC00);
  }
  if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
    valid = false;
    return kReplacement;
  }
  return c;
}

void AppendUtf16(std::u16string& out, char32_t cp) {
  if (cp >= 0x10000 && cp <= 0x10FFFF) {
    cp -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
  } else if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    out.push_back(static_cast<char16_t>(kReplacement));
  } else {
    out.push_back(static_cast<char16_t>(cp));
  }
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

}  // namespace

void UseUserCodePage() { g_userCodePageWanted.store(true, std::memory_order_release); }

void LoadUserCodePage() {
  if (!g_userCodePageWanted.load(std::memory_order_acquire)) return;
  std::call_once(g_userCodePageLoaded, [] { std::setlocale(LC_CTYPE, ""); });
}

std::u16string WidenFromCodePage(std::string_view text) {
  if (AllAscii(text)) return std::u16string(text.begin(), text.end());
  LoadUserCodePage();
  std::u16string out;
  out.reserve(text.size());
  std::mbstate_t state{};
  size_t i = 0;
  while (i < text.size()) {
    wchar_t wc = 0;
    size_t n = std::mbrtowc(&wc, text.data() + i, text.size() - i, &state);
    if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
      // An undecodable or incomplete sequence: one replacement character per byte.
      out.push_back(static_cast<char16_t>(kReplacement));
      state = std::mbstate_t{};
      ++i;
      continue;
    }
    if (n == 0) n = 1;  // an embedded NUL byte
    AppendUtf16(out, static_cast<char32_t>(wc));
    i += n;
  }
  return out;
}

std::string NarrowToCodePage(std::u16string_view text) {
  if (AllAscii(text)) return std::string(text.begin(), text.end());
  LoadUserCodePage();
  std::string out;
  out.reserve(text.size());
  std::mbstate_t state{};
  char buffer[MB_LEN_MAX];
  size_t i = 0;
  while (i < text.size()) {
    bool valid = true;
    char32_t cp = NextCodePoint(text, i, valid);
    size_t n = valid ? std::wcrtomb(buffer, static_cast<wchar_t>(cp), &state)
                     : static_cast<size_t>(-1);
    if (n == static_cast<size_t>(-1)) {
      out.push_back('?');
      state = std::mbstate_t{};
    } else {
      out.append(buffer, n);
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  bool valid = true;
  while (i < text.size()) AppendUtf8(out, NextCodePoint(text, i, valid));
  return out;
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    unsigned char b = static_cast<unsigned char>(text[i]);
    int extra = 0;
    char32_t cp = 0;
    char32_t min = 0;
    if (b < 0x80) {
      cp = b;
    } else if ((b & 0xE0) == 0xC0) {
      extra = 1; cp = b & 0x1F; min = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      extra = 2; cp = b & 0x0F; min = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      extra = 3; cp = b & 0x07; min = 0x10000;
    } else {
      out.push_back(static_cast<char16_t>(kReplacement));
      ++i;
      continue;
    }
    bool ok = true;
    for (int k = 1; ok && k <= extra; ++k) {
      if (i + k >= text.size()) { ok = false; break; }
      unsigned char cb = static_cast<unsigned char>(text[i + k]);
      if ((cb & 0xC0) != 0x80) { ok = false; break; }
      cp = (cp << 6) | (cb & 0x3F);
    }
    if (!ok || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
      out.push_back(static_cast<char16_t>(kReplacement));
      ++i;
      continue;
    }
    AppendUtf16(out, cp);
    i += 1 + extra;
  }
  return out;
}
