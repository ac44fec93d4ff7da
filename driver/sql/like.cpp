// LIKE without regard to letter case for every letter, not only ASCII. A pattern is folded
// once per statement (kept by the engine beside the constant argument) and matched with one
// remembered %, so time stays within pattern length times text length.
#include "functions.h"
#include "guarded.h"

#include "jet/case_fold.h"

#include <sqlite3.h>

#include <string_view>
#include <vector>

namespace mdbodbc::sql {
namespace {

// Decodes one UTF-8 character and advances; a byte that starts no valid sequence stands for
// itself (as a value outside Unicode, so it only matches itself).
char32_t Next(const unsigned char*& p, const unsigned char* end) {
  unsigned char lead = *p;
  int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
  if (length == 1) {
    ++p;
    return lead;
  }
  if (length == 0 || end - p < length) {
    ++p;
    return 0x110000 + lead;
  }
  char32_t c = lead & (0x7F >> length);
  for (int i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) {
      ++p;
      return 0x110000 + lead;
    }
    c = (c << 6) | (p[i] & 0x3F);
  }
  p += length;
  return c;
}

inline char32_t Fold(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
  return jet::FoldCase(c);
}

// A pattern as folded characters; kAnyOne and kAnyRun stand for _ and %.
constexpr char32_t kAnyOne = 0xFFFFFFFE;
constexpr char32_t kAnyRun = 0xFFFFFFFF;

struct Pattern {
  std::string text;
  char32_t escape = 0;
  std::vector<char32_t> items;
};

void Compile(std::string_view text, char32_t escape, Pattern& out) {
  out.text.assign(text);
  out.escape = escape;
  out.items.clear();
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    char32_t c = Next(p, end);
    if (escape != 0 && c == escape && p < end) {
      out.items.push_back(Fold(Next(p, end)));
    } else if (c == '%') {
      if (out.items.empty() || out.items.back() != kAnyRun) out.items.push_back(kAnyRun);
    } else if (c == '_') {
      out.items.push_back(kAnyOne);
    } else {
      out.items.push_back(Fold(c));
    }
  }
}

bool Match(const Pattern& pattern, std::string_view subject) {
  const auto* s = reinterpret_cast<const unsigned char*>(subject.data());
  const auto* end = s + subject.size();
  std::size_t p = 0;
  const std::size_t n = pattern.items.size();
  std::size_t starPattern = 0;
  const unsigned char* starSubject = nullptr;  // null until a % was met
  while (s < end) {
    if (p < n && pattern.items[p] == kAnyRun) {
      starPattern = ++p;
      starSubject = s;
      continue;
    }
    const unsigned char* next = s;
    char32_t c = Next(next, end);
    if (p < n && (pattern.items[p] == kAnyOne || pattern.items[p] == Fold(c))) {
      ++p;
      s = next;
      continue;
    }
    if (starSubject == nullptr) return false;
    p = starPattern;
    Next(starSubject, end);
    s = starSubject;
  }
  while (p < n && pattern.items[p] == kAnyRun) ++p;
  return p == n;
}

std::string_view Bytes(sqlite3_value* value) {
  // The bytes of a text as they are: asking for them as a blob spares the engine a terminator.
  const auto* data = static_cast<const char*>(sqlite3_value_blob(value));
  return {data == nullptr ? "" : data, static_cast<std::size_t>(sqlite3_value_bytes(value))};
}

void DeletePattern(void* pattern) { delete static_cast<Pattern*>(pattern); }

void Like(sqlite3_context* context, int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i) {
    if (sqlite3_value_type(argv[i]) == SQLITE_NULL) return;  // NULL
  }
  char32_t escape = 0;
  if (argc == 3) {
    std::string_view e = Bytes(argv[2]);
    const auto* at = reinterpret_cast<const unsigned char*>(e.data());
    const auto* end = at + e.size();
    escape = at < end ? Next(at, end) : 0;
    if (escape == 0 || at != end) {
      sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
      return;
    }
  }
  std::string_view text = Bytes(argv[0]);
  auto* cached = static_cast<Pattern*>(sqlite3_get_auxdata(context, 0));
  if (cached != nullptr && cached->text == text && cached->escape == escape) {
    sqlite3_result_int(context, Match(*cached, Bytes(argv[1])) ? 1 : 0);
    return;
  }
  auto* pattern = new Pattern;
  Compile(text, escape, *pattern);
  sqlite3_result_int(context, Match(*pattern, Bytes(argv[1])) ? 1 : 0);
  // The engine keeps the folded pattern while the argument stays the same (it may also free
  // it at once: it is not used after this call).
  sqlite3_set_auxdata(context, 0, pattern, DeletePattern);
}

}  // namespace

bool LikeMatches(const char* pattern, const char* text, char32_t escape) {
  Pattern compiled;
  Compile(pattern, escape, compiled);
  return Match(compiled, text);
}

bool RegisterLike(sqlite3* db) {
  int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  return sqlite3_create_function(db, "like", 2, flags, nullptr, Guarded<Like>, nullptr, nullptr) == SQLITE_OK &&
         sqlite3_create_function(db, "like", 3, flags, nullptr, Guarded<Like>, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace mdbodbc::sql
