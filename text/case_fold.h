// Letter case as Access ignores it in names and text comparisons: every letter, not only
// ASCII, whatever the process locale.
#pragma once

#include <string>
#include <string_view>

namespace textconv {

// The case-folded form of one character (letters of any script; others unchanged).
char32_t FoldCase(char32_t c);
// Compares two UTF-8 texts character by character after folding; <0, 0 or >0. A malformed
// byte compares as U+FFFD.
int CompareFolded(std::string_view a, std::string_view b);
inline bool EqualFolded(std::string_view a, std::string_view b) {
  return CompareFolded(a, b) == 0;
}
// The folded form of a UTF-16 text, for keys of sets and maps.
std::u16string FoldCase(std::u16string_view text);

}  // namespace textconv
