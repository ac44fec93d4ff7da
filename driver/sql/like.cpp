// LIKE without regard to letter case for every letter, not only ASCII, in ODBC's syntax (% _
// and [classes]) or Access's (* ? # and [classes]). A pattern is folded once per statement
// (kept by the engine beside the constant argument) and matched with one remembered run, so
// time stays within pattern length times text length.
#include "functions.h"
#include "guarded.h"

#include "text/case_fold.h"
#include "text/utf.h"

#include <sqlite3.h>

#include <string_view>
#include <vector>

namespace mdbodbc::sql {
namespace {

// Decodes one UTF-8 character and advances; a malformed byte reads as U+FFFD, as it does for
// every other comparison of texts.
char32_t Next(const unsigned char*& p, const unsigned char* end) {
  if (*p < 0x80) return *p++;
  const std::string_view rest(reinterpret_cast<const char*>(p), static_cast<std::size_t>(end - p));
  std::size_t at = 0;
  const char32_t c = textconv::NextUtf8(rest, at);
  p += at;
  return c;
}

inline char32_t Fold(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
  return textconv::FoldCase(c);
}

// One element of a pattern: a character (folded), any one character, any run, a digit, or a
// class of characters ([a-c], [!x]).
struct Item {
  enum class Kind : unsigned char { Char, AnyOne, AnyRun, Digit, Class } kind = Kind::Char;
  char32_t c = 0;
  bool negated = false;
  std::vector<std::pair<char32_t, char32_t>> ranges;  // Class: folded, inclusive

  bool Matches(char32_t folded) const {
    switch (kind) {
      case Kind::Char: return c == folded;
      case Kind::AnyOne: return true;
      case Kind::Digit: return folded >= '0' && folded <= '9';
      case Kind::Class: {
        bool in = false;
        for (const auto& [low, high] : ranges) in = in || (folded >= low && folded <= high);
        return in != negated;
      }
      case Kind::AnyRun: return false;
    }
    return false;
  }
};

struct Pattern {
  std::string text;
  char32_t escape = 0;
  LikeSyntax syntax = LikeSyntax::Odbc;
  std::vector<Item> items;
  // A pattern that asks only whether the text holds `inner` (any run, characters that no letter
  // case changes, any run) is a search for its bytes.
  bool contains = false;
  std::string inner;
};

// ASCII characters that are not letters: no other character folds to one of them, and none is
// part of a longer UTF-8 sequence, so their bytes can be searched for as they are.
bool CaseFree(char32_t c) { return c < 0x80 && !((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')); }

void FindSearch(Pattern& p) {
  const auto& items = p.items;
  if (items.size() < 3 || items.front().kind != Item::Kind::AnyRun || items.back().kind != Item::Kind::AnyRun) return;
  std::string inner;
  for (std::size_t i = 1; i + 1 < items.size(); ++i) {
    if (items[i].kind != Item::Kind::Char || !CaseFree(items[i].c)) return;
    inner += static_cast<char>(items[i].c);
  }
  p.contains = true;
  p.inner = std::move(inner);
}

// [list], [!list], [a-z]: false (the [ is then a plain character) when the class is not closed.
bool ReadClass(const unsigned char*& p, const unsigned char* end, Item& out) {
  const unsigned char* at = p;
  out = Item{};
  out.kind = Item::Kind::Class;
  if (at < end && *at == '!') {
    out.negated = true;
    ++at;
  }
  bool first = true;
  while (at < end) {
    char32_t c = Next(at, end);
    if (c == ']' && !first) {
      p = at;
      return true;
    }
    first = false;
    char32_t low = Fold(c), high = low;
    if (at < end && *at == '-' && at + 1 < end && at[1] != ']') {
      ++at;
      high = Fold(Next(at, end));
      if (high < low) std::swap(low, high);
    }
    out.ranges.push_back({low, high});
  }
  return false;
}

void Compile(std::string_view text, char32_t escape, LikeSyntax syntax, Pattern& out) {
  out.text.assign(text);
  out.escape = escape;
  out.syntax = syntax;
  out.items.clear();
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  const bool access = syntax == LikeSyntax::Access;
  const bool classes = syntax != LikeSyntax::OdbcSearch;
  while (p < end) {
    char32_t c = Next(p, end);
    Item item;
    if (escape != 0 && c == escape && p < end) {
      item.c = Fold(Next(p, end));
    } else if (c == (access ? '*' : '%')) {
      if (out.items.empty() || out.items.back().kind != Item::Kind::AnyRun) {
        item.kind = Item::Kind::AnyRun;
        out.items.push_back(item);
      }
      continue;
    } else if (c == (access ? '?' : '_')) {
      item.kind = Item::Kind::AnyOne;
    } else if (access && c == '#') {
      item.kind = Item::Kind::Digit;
    } else if (classes && c == '[') {
      const unsigned char* at = p;
      if (!ReadClass(at, end, item)) {
        item = Item{};
        item.c = '[';
      } else {
        p = at;
      }
    } else {
      item.c = Fold(c);
    }
    out.items.push_back(std::move(item));
  }
  FindSearch(out);
}

bool Match(const Pattern& pattern, std::string_view subject) {
  if (pattern.contains) return subject.find(pattern.inner) != std::string_view::npos;
  const auto* s = reinterpret_cast<const unsigned char*>(subject.data());
  const auto* end = s + subject.size();
  std::size_t p = 0;
  const std::size_t n = pattern.items.size();
  std::size_t starPattern = 0;
  const unsigned char* starSubject = nullptr;  // null until a run was met
  while (s < end) {
    if (p < n && pattern.items[p].kind == Item::Kind::AnyRun) {
      starPattern = ++p;
      starSubject = s;
      continue;
    }
    const unsigned char* next = s;
    char32_t c = Next(next, end);
    const char32_t folded = Fold(c);
    if (p < n && (pattern.items[p].kind == Item::Kind::Char ? pattern.items[p].c == folded
                                                            : pattern.items[p].Matches(folded))) {
      ++p;
      s = next;
      continue;
    }
    if (starSubject == nullptr) return false;
    p = starPattern;
    Next(starSubject, end);
    s = starSubject;
  }
  while (p < n && pattern.items[p].kind == Item::Kind::AnyRun) ++p;
  return p == n;
}

std::string_view Bytes(sqlite3_value* value) {
  // The bytes of a text as they are: asking for them as a blob spares the engine a terminator.
  const auto* data = static_cast<const char*>(sqlite3_value_blob(value));
  return {data == nullptr ? "" : data, static_cast<std::size_t>(sqlite3_value_bytes(value))};
}

void DeletePattern(void* pattern) { delete static_cast<Pattern*>(pattern); }

// jet_like(value, pattern, access [, escape]): -1 when the value matches, 0 when not, NULL
// when either is NULL.
void Like(sqlite3_context* context, int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return;  // NULL
  }
  char32_t escape = 0;
  if (argc == 4) {
    std::string_view e = Bytes(argv[3]);
    const auto* at = reinterpret_cast<const unsigned char*>(e.data());
    const auto* end = at + e.size();
    escape = at < end ? Next(at, end) : 0;
    if (escape == 0 || at != end) {
      sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
      return;
    }
  }
  LikeSyntax syntax = sqlite3_value_int(argv[2]) != 0 ? LikeSyntax::Access : LikeSyntax::Odbc;
  std::string_view text = Bytes(argv[1]);
  auto* cached = static_cast<Pattern*>(sqlite3_get_auxdata(context, 1));
  if (cached != nullptr && cached->text == text && cached->escape == escape && cached->syntax == syntax) {
    sqlite3_result_int(context, Match(*cached, Bytes(argv[0])) ? -1 : 0);
    return;
  }
  auto* pattern = new Pattern;
  Compile(text, escape, syntax, *pattern);
  sqlite3_result_int(context, Match(*pattern, Bytes(argv[0])) ? -1 : 0);
  // The engine keeps the folded pattern while the argument stays the same (it may also free
  // it at once: it is not used after this call).
  sqlite3_set_auxdata(context, 1, pattern, DeletePattern);
}

}  // namespace

bool LikeMatches(std::string_view pattern, std::string_view text, char32_t escape, LikeSyntax syntax) {
  Pattern compiled;
  Compile(pattern, escape, syntax, compiled);
  return Match(compiled, text);
}

bool RegisterLike(sqlite3* db) {
  int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  return sqlite3_create_function(db, "jet_like", 3, flags, nullptr, Guarded<Like>, nullptr, nullptr) == SQLITE_OK &&
         sqlite3_create_function(db, "jet_like", 4, flags, nullptr, Guarded<Like>, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace mdbodbc::sql
