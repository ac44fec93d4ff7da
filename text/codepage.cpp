#include "text/codepage.h"

#include "text/utf.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <clocale>
#include <cwchar>
#include <mutex>
#include <type_traits>

namespace textconv {
namespace {

std::atomic<bool> g_userCodePageWanted{false};
std::once_flag g_userCodePageLoaded;

template <typename Char>
bool AllAscii(std::basic_string_view<Char> text) {
  return std::all_of(text.begin(), text.end(), [](Char c) {
    return static_cast<std::make_unsigned_t<Char>>(c) < 0x80;
  });
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
    char32_t cp = NextUtf16(text, i, &valid);
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

}  // namespace textconv
