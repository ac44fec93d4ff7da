// Text in the user's code page, to and from UTF-16.
//
// "Code page" text is the multibyte encoding of the calling thread's C locale (LC_CTYPE), as the
// C library's conversion functions see it. UTF-8 conversions do not depend on the locale.
#pragma once

#include <string>
#include <string_view>

namespace textconv {

// A program calls this once at start in place of setlocale(LC_CTYPE, ""): the user's character
// set is then loaded the first time a conversion below meets text outside ASCII, which every
// code page spells the same. A run whose texts are all ASCII never pays for loading it. Libraries
// leave the process's locale as they find it and call neither function.
void UseUserCodePage();

// Loads the user's character set now, when UseUserCodePage() asked for it and it is not loaded
// yet: for code about to start threads or to hand text to a library that reads the locale.
void LoadUserCodePage();

// Widens code-page text. A byte sequence the locale cannot decode becomes U+FFFD for each
// undecodable byte; characters outside the BMP become surrogate pairs.
std::u16string WidenFromCodePage(std::string_view text);

// Narrows to code-page text. A character the code page cannot represent (and an unpaired
// surrogate) becomes '?'. The result is never cut: every character produces output.
std::string NarrowToCodePage(std::u16string_view text);

}  // namespace textconv
