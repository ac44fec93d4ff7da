// LIKE without regard to letter case for every letter, not only ASCII.
#include "functions.h"

#include "jet/case_fold.h"

#include <sqlite3.h>

namespace mdbodbc::sql {
namespace {

// Decodes one UTF-8 character and advances; a byte that starts no valid sequence stands for
// itself (as a value outside Unicode, so it only matches itself).
char32_t Next(const unsigned char*& p) {
  unsigned char lead = *p;
  int length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
  if (length == 1) {
    ++p;
    return lead;
  }
  if (length == 0) {
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

void Like(sqlite3_context* context, int argc, sqlite3_value** argv) {
  const auto* pattern = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
  if (pattern == nullptr || text == nullptr) return;  // NULL
  char32_t escape = 0;
  if (argc == 3) {
    const auto* e = sqlite3_value_text(argv[2]);
    if (e == nullptr) return;
    const unsigned char* at = e;
    escape = *at != 0 ? Next(at) : 0;
    if (escape == 0 || *at != 0) {
      sqlite3_result_error(context, "ESCAPE expression must be a single character", -1);
      return;
    }
  }
  sqlite3_result_int(context, LikeMatches(pattern, text, escape) ? 1 : 0);
}

}  // namespace

bool LikeMatches(const char* patternText, const char* subjectText, char32_t escape) {
  const auto* p = reinterpret_cast<const unsigned char*>(patternText);
  const auto* s = reinterpret_cast<const unsigned char*>(subjectText);
  // Iterative matching with one remembered %: on a mismatch the last % takes one more
  // character. Time stays within pattern length times text length.
  const unsigned char* starPattern = nullptr;
  const unsigned char* starSubject = nullptr;
  while (*s != 0) {
    if (*p != 0) {
      const unsigned char* pNext = p;
      char32_t pc = Next(pNext);
      bool literal = false;
      if (escape != 0 && pc == escape && *pNext != 0) {
        pc = Next(pNext);
        literal = true;
      }
      if (!literal && pc == '%') {
        p = pNext;
        starPattern = p;
        starSubject = s;
        continue;
      }
      const unsigned char* sNext = s;
      char32_t sc = Next(sNext);
      if ((!literal && pc == '_') || jet::FoldCase(pc) == jet::FoldCase(sc)) {
        p = pNext;
        s = sNext;
        continue;
      }
    }
    if (starPattern == nullptr) return false;
    p = starPattern;
    Next(starSubject);
    s = starSubject;
  }
  while (*p == '%') ++p;
  return *p == 0;
}

bool RegisterLike(sqlite3* db) {
  int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
  return sqlite3_create_function(db, "like", 2, flags, nullptr, Like, nullptr, nullptr) == SQLITE_OK &&
         sqlite3_create_function(db, "like", 3, flags, nullptr, Like, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace mdbodbc::sql
