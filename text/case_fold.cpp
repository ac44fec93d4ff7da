#include "text/case_fold.h"

#include <clocale>
#include <cwctype>
#include <locale.h>

#include "text/utf.h"

namespace textconv {
namespace {

// The C.UTF-8 locale carries the Unicode case mappings and is the same on every machine, so
// folding never depends on the user's locale (a Turkish one maps 'i' to a dotted capital).
locale_t CaseLocale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return locale;
}

}  // namespace

char32_t FoldCase(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
  const locale_t locale = CaseLocale();
  if (c > 0x10FFFF || locale == static_cast<locale_t>(0)) return c;
  // Upper then lower, so that forms with one capital (final sigma, long s) meet.
  const auto upper = towupper_l(static_cast<wint_t>(c), locale);
  return static_cast<char32_t>(towlower_l(upper, locale));
}

int CompareFolded(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    const char32_t x = FoldCase(NextUtf8(a, i));
    const char32_t y = FoldCase(NextUtf8(b, j));
    if (x != y) return x < y ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

std::u16string FoldCase(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t at = 0;
  while (at < text.size()) AppendUtf16(out, FoldCase(NextUtf16(text, at)));
  return out;
}

}  // namespace textconv
