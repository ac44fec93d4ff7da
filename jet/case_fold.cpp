#include "case_fold.h"

#include <clocale>
#include <cwctype>
#include <locale.h>

namespace jet {
namespace {

// The C.UTF-8 locale carries the Unicode case mappings and is the same on every machine, so
// folding never depends on the user's locale (a Turkish one maps 'i' to a dotted capital).
locale_t CaseLocale() {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return locale;
}

// Decodes one UTF-8 character at `at`, advancing it. A byte that starts no valid sequence is
// returned as 0x110000 + byte, outside Unicode, so it only equals itself.
char32_t NextCharacter(std::string_view text, std::size_t& at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  std::size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3
                       : (lead >> 3) == 0x1E ? 4 : 0;
  if (length == 1) {
    ++at;
    return lead;
  }
  if (length == 0 || at + length > text.size()) {
    ++at;
    return 0x110000 + lead;
  }
  char32_t c = lead & (0x7F >> length);
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) {
      ++at;
      return 0x110000 + lead;
    }
    c = (c << 6) | (next & 0x3F);
  }
  static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (c < kSmallest[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
    ++at;
    return 0x110000 + lead;
  }
  at += length;
  return c;
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
    const char32_t x = FoldCase(NextCharacter(a, i));
    const char32_t y = FoldCase(NextCharacter(b, j));
    if (x != y) return x < y ? -1 : 1;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

std::u16string FoldCase(std::u16string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    }
    const char32_t folded = FoldCase(c);
    if (folded >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((folded - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((folded - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(folded));
    }
  }
  return out;
}

}  // namespace jet
