// Access's General sort order for text. Two levels:
//  1. Letters by their base letter with case ignored in every script (e, E, é and É are one
//     letter here); ligatures as the letters they join (æ as ae, œ as oe, ß as ss). Digits,
//     punctuation and symbols come before all letters, among themselves by code point; letters
//     among themselves by code point of their folded base (Latin, then Greek, then Cyrillic).
//  2. Only between texts equal at the first level: the accents, letter by letter (a letter
//     without one first, then by the combining marks' code points), and a ligature after the
//     letters written apart ("ss" < "ß").
// So 'Elodie' < 'Élodie' < 'Zoë', 'zoe' < 'Zoë', 'Zoe' equals 'zoe', and 'e' differs from 'é'.
// Cyrillic short i (й) and short u (ў) are letters of their own, after и and у. A byte that is
// not valid UTF-8 is a character of its own, U+FFFD, and compares as that.
#pragma once

#include <string>
#include <string_view>

namespace jet {

// <0, 0 or >0. Allocates nothing.
int CompareGeneral(std::string_view a, std::string_view b);
// A byte key whose memcmp order is CompareGeneral's order: equal keys exactly when
// CompareGeneral is 0.
std::string GeneralSortKey(std::string_view utf8);

}  // namespace jet
