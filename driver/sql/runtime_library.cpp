// Access's text functions as engine functions, and the text functions of ODBC's {fn ...}:
// by characters (never bytes or UTF-16 units), without regard to case where Access compares
// text (a query compares as its database does, which is text compare), a Null where Access
// takes one and an error where it refuses one. Each takes its arguments in the engine's form of
// the types the translator converted them to (function_library.cpp says which).
#include "runtime.h"
#include "runtime_arguments.h"
#include "text/utf.h"

#include "jet/sort_order.h"

#include <sqlite3.h>

#include <algorithm>
#include <string>

namespace mdbodbc::sql {
namespace {


std::u32string Folded(std::u32string text) {
  for (char32_t& c : text) c = FoldCharacter(c);
  return text;
}

// ---- Pieces of a text ----

// Left(text, n) and Right(text, n): n characters; a negative n is an invalid argument.
template <bool FromRight>
void Ends(sqlite3_context* context, int, sqlite3_value** argv) {
  const char* name = FromRight ? "Right" : "Left";
  std::int64_t n = 0;
  if (!LongArgument(context, argv[1], {name, "length"}, n)) return;
  if (n < 0) return InvalidArgument(context, std::string(name) + "'s length cannot be negative");
  if (IsNullArgument(argv[0])) return;
  std::string_view text = TextArgument(argv[0]);
  if (!FromRight) return ResultText(context, text.substr(0, OffsetOfCharacter(text, static_cast<std::size_t>(n))));
  std::size_t count = CountCharacters(text);
  std::size_t skip = static_cast<std::uint64_t>(n) >= count ? 0 : count - static_cast<std::size_t>(n);
  ResultText(context, text.substr(OffsetOfCharacter(text, skip)));
}

// Mid(text, start [, length]) and {fn SUBSTRING}: from character `start` (1 the first).
void Mid(sqlite3_context* context, int argc, sqlite3_value** argv) {
  std::int64_t start = 0, length = -1;
  if (!LongArgument(context, argv[1], {"Mid", "start"}, start)) return;
  if (argc > 2 && !LongArgument(context, argv[2], {"Mid", "length"}, length)) return;
  if (start < 1) return InvalidArgument(context, "Mid's start must be 1 or more");
  if (argc > 2 && length < 0) return InvalidArgument(context, "Mid's length cannot be negative");
  if (IsNullArgument(argv[0])) return;
  std::string_view text = TextArgument(argv[0]);
  std::size_t from = OffsetOfCharacter(text, static_cast<std::size_t>(start - 1));
  std::string_view rest = text.substr(from);
  if (length >= 0) rest = rest.substr(0, OffsetOfCharacter(rest, static_cast<std::size_t>(length)));
  ResultText(context, rest);
}

// Len of any value (typed): the characters of its text.
void Len(sqlite3_context* context, int, sqlite3_value** argv) {
  if (IsTextual(ArgumentType(argv[1]).kind)) {
    if (IsNullArgument(argv[0])) return;
    return sqlite3_result_int64(context, static_cast<sqlite3_int64>(CountCharacters(TextArgument(argv[0]))));
  }
  Variant v = TypedArgument(argv, 0);
  if (v.IsNull()) return;
  std::size_t count = IsTextual(v.type.kind) ? CountCharacters(v.text) : CountCharacters(VariantText(v));
  sqlite3_result_int64(context, static_cast<sqlite3_int64>(count));
}

// {fn CHAR_LENGTH}: every character; {fn LENGTH}: without the trailing blanks;
// {fn OCTET_LENGTH} and {fn BIT_LENGTH}: the size of the text in UTF-16, as clients receive it.
enum class Measure { Characters, WithoutTrailingBlanks, Octets, Bits };

template <Measure M>
void OdbcLength(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  std::string_view text = TextArgument(argv[0]);
  if (M == Measure::WithoutTrailingBlanks) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  }
  sqlite3_int64 size = 0;
  if (M == Measure::Octets || M == Measure::Bits) {
    for (char32_t c : Characters(text)) size += c > 0xFFFF ? 4 : 2;
    if (M == Measure::Bits) size *= 8;
  } else {
    size = static_cast<sqlite3_int64>(CountCharacters(text));
  }
  sqlite3_result_int64(context, size);
}

// Trim, LTrim, RTrim: spaces only, as Access trims.
template <bool Left, bool Right>
void TrimSpaces(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  std::string_view text = TextArgument(argv[0]);
  if (Left) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  }
  if (Right) {
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  }
  ResultText(context, text);
}

// ---- Case ----

template <char32_t (*Change)(char32_t)>
void ChangeCase(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  std::u32string text = Characters(TextArgument(argv[0]));
  for (char32_t& c : text) c = Change(c);
  ResultText(context, text);
}

// StrConv's vbProperCase: the first letter of every word upper case, the others lower case;
// words are separated by blanks and the control characters NUL, tab, line feed, vertical tab,
// form feed and carriage return.
std::u32string ProperCase(std::u32string text) {
  bool wordStart = true;
  for (char32_t& c : text) {
    bool separator = c == U' ' || c == 0 || (c >= 9 && c <= 13);
    c = wordStart ? UpperCharacter(c) : LowerCharacter(c);
    wordStart = separator;
  }
  return text;
}

// StrConv(text, conversion [, locale]): vbUpperCase 1, vbLowerCase 2, vbProperCase 3.
void StrConv(sqlite3_context* context, int, sqlite3_value** argv) {
  std::int64_t conversion = 0;
  if (!LongArgument(context, argv[1], {"StrConv", "conversion"}, conversion)) return;
  if (conversion < 1 || conversion > 3) {
    return InvalidArgument(context, "StrConv converts to upper case (1), lower case (2) or proper case (3), not " +
                                        std::to_string(conversion));
  }
  if (IsNullArgument(argv[0])) return;
  std::u32string text = Characters(TextArgument(argv[0]));
  if (conversion == 3) return ResultText(context, ProperCase(std::move(text)));
  for (char32_t& c : text) c = conversion == 1 ? UpperCharacter(c) : LowerCharacter(c);
  ResultText(context, text);
}

void StrReverse(sqlite3_context* context, int, sqlite3_value** argv) {
  if (IsNullArgument(argv[0])) return NullNotAllowed(context, "StrReverse takes a text, not Null");
  std::u32string text = Characters(TextArgument(argv[0]));
  std::reverse(text.begin(), text.end());
  ResultText(context, text);
}

// ---- Searching ----

// The position (0-based) of `needle` in `haystack` from `from`, or npos; case-blind unless
// binary.
std::size_t Find(const std::u32string& haystack, const std::u32string& needle, std::size_t from, bool binary) {
  if (binary) return haystack.find(needle, from);
  return Folded(haystack).find(Folded(needle), from);
}

// InStr(start, text, search, compare): the translator passes start 1 and compare -1 when the
// call leaves them out.
void InStr(sqlite3_context* context, int, sqlite3_value** argv) {
  std::int64_t start = 0;
  bool binary = false;
  if (!LongArgument(context, argv[0], {"InStr", "start"}, start)) return;
  if (!CompareArgument(context, argv[3], "InStr", binary)) return;
  if (start < 1) return InvalidArgument(context, "InStr's start must be 1 or more");
  if (IsNullArgument(argv[1]) || IsNullArgument(argv[2])) return;
  std::u32string haystack = Characters(TextArgument(argv[1]));
  std::u32string needle = Characters(TextArgument(argv[2]));
  if (haystack.empty() || static_cast<std::uint64_t>(start) > haystack.size() + (needle.empty() ? 1 : 0)) {
    return sqlite3_result_int64(context, 0);
  }
  if (needle.empty()) return sqlite3_result_int64(context, start);
  std::size_t found = Find(haystack, needle, static_cast<std::size_t>(start - 1), binary);
  sqlite3_result_int64(context, found == std::u32string::npos ? 0 : static_cast<sqlite3_int64>(found) + 1);
}

// InStrRev(text, search, start, compare): the last `search` that ends at or before `start`
// (-1: the text's end).
void InStrRev(sqlite3_context* context, int, sqlite3_value** argv) {
  std::int64_t start = 0;
  bool binary = false;
  if (!LongArgument(context, argv[2], {"InStrRev", "start"}, start)) return;
  if (!CompareArgument(context, argv[3], "InStrRev", binary)) return;
  if (start == 0 || start < -1) return InvalidArgument(context, "InStrRev's start must be -1 or 1 or more");
  if (IsNullArgument(argv[0]) || IsNullArgument(argv[1])) return;
  std::u32string haystack = Characters(TextArgument(argv[0]));
  std::u32string needle = Characters(TextArgument(argv[1]));
  if (haystack.empty()) return sqlite3_result_int64(context, 0);
  if (start == -1) start = static_cast<std::int64_t>(haystack.size());
  if (static_cast<std::uint64_t>(start) > haystack.size()) return sqlite3_result_int64(context, 0);
  if (needle.empty()) return sqlite3_result_int64(context, start);
  if (needle.size() > static_cast<std::uint64_t>(start)) return sqlite3_result_int64(context, 0);
  std::size_t last = static_cast<std::size_t>(start) - needle.size();
  std::size_t found = binary ? haystack.rfind(needle, last) : Folded(haystack).rfind(Folded(needle), last);
  sqlite3_result_int64(context, found == std::u32string::npos ? 0 : static_cast<sqlite3_int64>(found) + 1);
}

// Replace(text, find, with, start, count, compare): what is left from `start` on, with `count`
// replacements (-1 all). Access refuses a Null in any argument.
void Replace(sqlite3_context* context, int, sqlite3_value** argv) {
  static const char* const kNames[] = {"Replace's text", "Replace's find", "Replace's replacement",
                                       "Replace's start", "Replace's count"};
  for (int i = 0; i < 5; ++i) {
    if (IsNullArgument(argv[i])) return NullNotAllowed(context, std::string(kNames[i]) + " cannot be Null");
  }
  bool binary = false;
  if (!CompareArgument(context, argv[5], "Replace", binary)) return;
  sqlite3_int64 start = sqlite3_value_int64(argv[3]);
  sqlite3_int64 count = sqlite3_value_int64(argv[4]);
  if (start < 1) return InvalidArgument(context, "Replace's start must be 1 or more");
  if (count < -1) return InvalidArgument(context, "Replace's count must be -1 or more");
  std::u32string text = Characters(TextArgument(argv[0]));
  std::u32string find = Characters(TextArgument(argv[1]));
  std::u32string with = Characters(TextArgument(argv[2]));
  if (static_cast<std::uint64_t>(start) > text.size()) return ResultText(context, std::string_view());
  text.erase(0, static_cast<std::size_t>(start - 1));
  if (find.empty() || count == 0) return ResultText(context, text);
  std::u32string folded = binary ? text : Folded(text);
  std::u32string target = binary ? find : Folded(find);
  std::u32string out;
  std::size_t at = 0;
  for (sqlite3_int64 done = 0; count < 0 || done < count; ++done) {
    std::size_t found = folded.find(target, at);
    if (found == std::u32string::npos) break;
    out.append(text, at, found - at);
    out += with;
    at = found + find.size();
  }
  out.append(text, at, std::u32string::npos);
  ResultText(context, out);
}

// StrComp(a, b, compare): -1, 0 or 1. Text compare is Access's General order, case-blind;
// binary compare orders by character codes.
void StrComp(sqlite3_context* context, int, sqlite3_value** argv) {
  bool binary = false;
  if (!CompareArgument(context, argv[2], "StrComp", binary)) return;
  if (IsNullArgument(argv[0]) || IsNullArgument(argv[1])) return;
  int order = binary ? Characters(TextArgument(argv[0])).compare(Characters(TextArgument(argv[1])))
                     : jet::CompareGeneral(TextArgument(argv[0]), TextArgument(argv[1]));
  sqlite3_result_int(context, order < 0 ? -1 : order > 0 ? 1 : 0);
}

// {fn LOCATE(search, text [, start])}: 1-based, 0 when absent, case-blind.
void Locate(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  std::u32string needle = Characters(TextArgument(argv[0]));
  std::u32string haystack = Characters(TextArgument(argv[1]));
  sqlite3_int64 start = argc == 3 ? sqlite3_value_int64(argv[2]) : 1;
  if (start < 1) return InvalidArgument(context, "LOCATE's start must be 1 or more");
  if (static_cast<std::uint64_t>(start) > haystack.size() + 1) return sqlite3_result_int64(context, 0);
  std::size_t found = Find(haystack, needle, static_cast<std::size_t>(start - 1), false);
  sqlite3_result_int64(context, found == std::u32string::npos ? 0 : static_cast<sqlite3_int64>(found) + 1);
}

// ---- Building texts ----

bool FitsEngine(sqlite3_context* context, std::int64_t bytes) {
  sqlite3* db = sqlite3_context_db_handle(context);
  if (bytes > sqlite3_limit(db, SQLITE_LIMIT_LENGTH, -1)) {
    sqlite3_result_error_toobig(context);
    return false;
  }
  return true;
}

// `count` copies of `piece`.
void Repeated(sqlite3_context* context, std::string_view piece, std::int64_t count) {
  if (!piece.empty() && count > 0 && !FitsEngine(context, static_cast<std::int64_t>(piece.size()) * count)) return;
  std::string out;
  out.reserve(piece.size() * static_cast<std::size_t>(count));
  for (std::int64_t i = 0; i < count; ++i) out += piece;
  ResultText(context, out);
}

// Space(n), and {fn SPACE}.
void Space(sqlite3_context* context, int, sqlite3_value** argv) {
  std::int64_t n = 0;
  if (!LongArgument(context, argv[0], {"Space", "count"}, n)) return;
  if (n < 0) return InvalidArgument(context, "Space takes a count of 0 or more");
  if (!FitsEngine(context, n)) return;
  ResultText(context, std::string(static_cast<std::size_t>(n), ' '));
}

// {fn REPEAT(text, count)}.
void Repeat(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  std::int64_t count = sqlite3_value_int64(argv[1]);
  if (count < 0) return InvalidArgument(context, "REPEAT takes a count of 0 or more");
  Repeated(context, TextArgument(argv[0]), count);
}

// Windows-1252, the code page of Chr and Asc with English regional settings: its 128..159 are
// these characters (five of them unassigned, kept as the C1 controls); 160..255 are Latin-1.
constexpr char16_t k1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t FromAnsi(std::int64_t code) {
  if (code >= 128 && code < 160) return k1252[code - 128];
  return static_cast<char32_t>(code);
}

// The code page's code of a character; '?' for one it lacks.
std::int64_t ToAnsi(char32_t c) {
  if (c < 128 || (c >= 160 && c < 256)) return c;
  for (int i = 0; i < 32; ++i) {
    if (k1252[i] == c) return 128 + i;
  }
  return '?';
}

// String(n, character): `character` a text (its first character) or a character code (taken
// Mod 256); typed.
void StringOf(sqlite3_context* context, int, sqlite3_value** argv) {
  Variant character = TypedArgument(argv, 1);
  if (IsNullArgument(argv[0]) || character.IsNull()) return;
  std::int64_t n = sqlite3_value_int64(argv[0]);
  if (n < 0) return InvalidArgument(context, "String's count cannot be negative");
  std::string piece;
  if (IsTextual(character.type.kind)) {
    if (character.text.empty()) return InvalidArgument(context, "String's character cannot be an empty text");
    piece = character.text.substr(0, OffsetOfCharacter(character.text, 1));
  } else {
    std::int64_t code = 0;
    if (!WholeArgument(context, character, 0, 0x7FFFFFFF, {"String", "character code"}, code)) return;
    textconv::AppendUtf8(piece, FromAnsi(code % 256));
  }
  Repeated(context, piece, n);
}

void Chr(sqlite3_context* context, int, sqlite3_value** argv) {
  std::int64_t code = 0;
  if (!LongArgument(context, argv[0], {"Chr", "code"}, code)) return;
  if (code < 0 || code > 255) return InvalidArgument(context, "Chr takes a code from 0 to 255, not " + std::to_string(code));
  std::string out;
  textconv::AppendUtf8(out, FromAnsi(code));
  ResultText(context, out);
}

// ChrW(code): a UTF-16 code, -32768..65535 (negative codes count from 65536).
void ChrW(sqlite3_context* context, int, sqlite3_value** argv) {
  std::int64_t code = 0;
  if (!LongArgument(context, argv[0], {"ChrW", "code"}, code)) return;
  if (code < -32768 || code > 65535) {
    return InvalidArgument(context, "ChrW takes a code from -32768 to 65535, not " + std::to_string(code));
  }
  if (code < 0) code += 65536;
  if (code >= 0xD800 && code <= 0xDFFF) {
    return InvalidArgument(context, "ChrW(" + std::to_string(code) + ") is half of a character (a UTF-16 surrogate)");
  }
  std::string out;
  textconv::AppendUtf8(out, static_cast<char32_t>(code));
  ResultText(context, out);
}

// {fn CHAR(code)}: the character of that Unicode code.
void OdbcChar(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  std::int64_t code = sqlite3_value_int64(argv[0]);
  if (code < 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    return InvalidArgument(context, "CHAR takes a character code, not " + std::to_string(code));
  }
  std::string out;
  textconv::AppendUtf8(out, static_cast<char32_t>(code));
  ResultText(context, out);
}

// Asc (the code page's code), AscW (the UTF-16 code as an Integer: from 32768 on negative; a
// character beyond U+FFFF gives its first UTF-16 unit) and {fn ASCII} (the Unicode code, Null
// for an empty text).
enum class CodeOf { Ansi, Utf16, Unicode };

template <CodeOf Kind>
void Asc(sqlite3_context* context, int, sqlite3_value** argv) {
  if (IsNullArgument(argv[0])) {
    if (Kind == CodeOf::Unicode) return;
    return NullNotAllowed(context, "Asc takes a text, not Null");
  }
  std::string_view text = TextArgument(argv[0]);
  if (text.empty()) {
    if (Kind == CodeOf::Unicode) return;
    return InvalidArgument(context, "Asc takes a text of one character or more");
  }
  std::size_t at = 0;
  const char32_t c = textconv::NextUtf8(text, at);
  std::int64_t code = c;
  if (Kind == CodeOf::Ansi) code = ToAnsi(c);
  if (Kind == CodeOf::Utf16) {
    if (c > 0xFFFF) code = 0xD800 + ((c - 0x10000) >> 10);
    if (code >= 0x8000) code -= 0x10000;
  }
  sqlite3_result_int64(context, code);
}

// {fn INSERT(text, start, length, piece)}: `length` characters from `start` replaced by `piece`.
void OdbcInsert(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  std::int64_t start = sqlite3_value_int64(argv[1]);
  std::int64_t length = sqlite3_value_int64(argv[2]);
  if (start < 1 || length < 0) return InvalidArgument(context, "INSERT takes a start of 1 or more and a length of 0 or more");
  std::string_view text = TextArgument(argv[0]);
  std::size_t from = OffsetOfCharacter(text, static_cast<std::size_t>(start - 1));
  std::size_t to = from + OffsetOfCharacter(text.substr(from), static_cast<std::size_t>(length));
  std::string out(text.substr(0, from));
  out += TextArgument(argv[3]);
  out += text.substr(to);
  ResultText(context, out);
}

// ---- Soundex ----

// The American Soundex code: the first letter, then the digits of the consonants that follow,
// a code repeated across h and w written once, to four characters. Letters beyond ASCII are
// skipped; a text without a letter has an empty code.
std::string SoundexCode(std::string_view text) {
  static constexpr char kDigits[] = "01230120022455012623010202";  // a..z
  std::string code;
  char previous = 0;
  for (char c : text) {
    char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
    if (lower < 'a' || lower > 'z') continue;
    char digit = kDigits[lower - 'a'];
    if (code.empty()) {
      code += static_cast<char>(lower - 32);
      previous = digit;
      continue;
    }
    if (lower == 'h' || lower == 'w') continue;
    if (digit != '0' && digit != previous) code += digit;
    previous = digit;
    if (code.size() == 4) break;
  }
  if (!code.empty()) code.resize(4, '0');
  return code;
}

void Soundex(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  ResultText(context, SoundexCode(TextArgument(argv[0])));
}

// {fn DIFFERENCE(a, b)}: how many of the four Soundex characters agree, 0..4.
void Difference(sqlite3_context* context, int argc, sqlite3_value** argv) {
  if (AnyNull(argc, argv)) return;
  std::string a = SoundexCode(TextArgument(argv[0]));
  std::string b = SoundexCode(TextArgument(argv[1]));
  int same = 0;
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) same += a[i] == b[i];
  sqlite3_result_int(context, same);
}

// ---- Hyperlinks and GUIDs ----

// HyperlinkPart(hyperlink, part): a hyperlink is "display#address#subaddress#screentip". Part
// 0 is what Access shows (the display text, else the address), 1 the display text, 2 the
// address, 3 the subaddress, 4 the screen tip, 5 the address and subaddress together.
void HyperlinkPart(sqlite3_context* context, int, sqlite3_value** argv) {
  std::int64_t part = 0;
  if (!LongArgument(context, argv[1], {"HyperlinkPart", "part"}, part)) return;
  if (part < 0 || part > 5) return InvalidArgument(context, "HyperlinkPart takes a part from 0 to 5");
  if (IsNullArgument(argv[0])) return;
  std::string_view link = TextArgument(argv[0]);
  std::string_view pieces[4];
  for (int i = 0; i < 4; ++i) {
    std::size_t mark = i < 3 ? link.find('#') : std::string_view::npos;
    pieces[i] = link.substr(0, mark);
    link = mark == std::string_view::npos ? std::string_view() : link.substr(mark + 1);
  }
  switch (part) {
    case 0: return ResultText(context, pieces[0].empty() ? pieces[1] : pieces[0]);
    case 5: {
      std::string address(pieces[1]);
      if (!pieces[2].empty()) address.append("#").append(pieces[2]);
      return ResultText(context, address);
    }
    default: return ResultText(context, pieces[part - 1]);
  }
}

// The 32 hexadecimal digits of a GUID written {8-4-4-4-12}, in upper case; empty when `text`
// is no such GUID.
std::string GuidDigits(std::string_view text) {
  if (text.size() != 38 || text.front() != '{' || text.back() != '}') return {};
  std::string out = "{";
  for (std::size_t i = 1; i < 37; ++i) {
    char c = text[i];
    bool hyphen = i == 9 || i == 14 || i == 19 || i == 24;
    if (hyphen != (c == '-')) return {};
    if (!hyphen && !((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return {};
    out += c >= 'a' && c <= 'f' ? static_cast<char>(c - 32) : c;
  }
  return out + "}";
}

// GUIDFromString(text): the GUID that "{guid {...}}" or "{...}" writes.
void GuidFromString(sqlite3_context* context, int, sqlite3_value** argv) {
  if (IsNullArgument(argv[0])) return;
  std::string_view text = TextArgument(argv[0]);
  if (text.size() == 45 && text.substr(0, 6) == "{guid " && text.back() == '}') text = text.substr(6, 38);
  std::string guid = GuidDigits(text);
  if (guid.empty()) {
    return Raise(context, {"22018", "GUIDFromString: '" + std::string(text) + "' is not a GUID (type mismatch)"});
  }
  ResultText(context, guid);
}

// StringFromGUID(guid): "{guid {...}}".
void StringFromGuid(sqlite3_context* context, int, sqlite3_value** argv) {
  if (IsNullArgument(argv[0])) return;
  std::string guid = GuidDigits(TextArgument(argv[0]));
  if (guid.empty()) return Raise(context, {"22018", "StringFromGUID takes a GUID (type mismatch)"});
  ResultText(context, "{guid " + guid + "}");
}

const RuntimeFunction kText[] = {
    {"jet_hyperlinkpart", 2, HyperlinkPart, nullptr, nullptr, true},
    {"jet_guidfromstring", 1, GuidFromString, nullptr, nullptr, true},
    {"jet_stringfromguid", 1, StringFromGuid, nullptr, nullptr, true},
    {"jet_ucase", 1, ChangeCase<UpperCharacter>, nullptr, nullptr, true},
    {"jet_lcase", 1, ChangeCase<LowerCharacter>, nullptr, nullptr, true},
    {"jet_strconv", 2, StrConv, nullptr, nullptr, true},
    {"jet_strreverse", 1, StrReverse, nullptr, nullptr, true},
    {"jet_left", 2, Ends<false>, nullptr, nullptr, true},
    {"jet_right", 2, Ends<true>, nullptr, nullptr, true},
    {"jet_mid", 2, Mid, nullptr, nullptr, true},
    {"jet_mid", 3, Mid, nullptr, nullptr, true},
    {"jet_len", 3, Len, nullptr, nullptr, true},
    {"jet_characters", 1, OdbcLength<Measure::Characters>, nullptr, nullptr, true},
    {"jet_odbc_length", 1, OdbcLength<Measure::WithoutTrailingBlanks>, nullptr, nullptr, true},
    {"jet_octet_length", 1, OdbcLength<Measure::Octets>, nullptr, nullptr, true},
    {"jet_bit_length", 1, OdbcLength<Measure::Bits>, nullptr, nullptr, true},
    {"jet_trim", 1, TrimSpaces<true, true>, nullptr, nullptr, true},
    {"jet_ltrim", 1, TrimSpaces<true, false>, nullptr, nullptr, true},
    {"jet_rtrim", 1, TrimSpaces<false, true>, nullptr, nullptr, true},
    {"jet_instr", 4, InStr, nullptr, nullptr, true},
    {"jet_instrrev", 4, InStrRev, nullptr, nullptr, true},
    {"jet_replace", 6, Replace, nullptr, nullptr, true},
    {"jet_strcomp", 3, StrComp, nullptr, nullptr, true},
    {"jet_locate", 2, Locate, nullptr, nullptr, true},
    {"jet_locate", 3, Locate, nullptr, nullptr, true},
    {"jet_space", 1, Space, nullptr, nullptr, true},
    {"jet_repeat", 2, Repeat, nullptr, nullptr, true},
    {"jet_string", 3, StringOf, nullptr, nullptr, true},
    {"jet_chr", 1, Chr, nullptr, nullptr, true},
    {"jet_chrw", 1, ChrW, nullptr, nullptr, true},
    {"jet_char", 1, OdbcChar, nullptr, nullptr, true},
    {"jet_asc", 1, Asc<CodeOf::Ansi>, nullptr, nullptr, true},
    {"jet_ascw", 1, Asc<CodeOf::Utf16>, nullptr, nullptr, true},
    {"jet_ascii", 1, Asc<CodeOf::Unicode>, nullptr, nullptr, true},
    {"jet_insert", 4, OdbcInsert, nullptr, nullptr, true},
    {"jet_soundex", 1, Soundex, nullptr, nullptr, true},
    {"jet_difference", 2, Difference, nullptr, nullptr, true},
};

}  // namespace

std::span<const RuntimeFunction> TextFunctions() { return kText; }

}  // namespace mdbodbc::sql
