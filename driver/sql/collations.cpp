// The two collations of the file's columns: case-blind text and Date/Time order.
#include "date_text.h"
#include "functions.h"

#include "jet/case_fold.h"

#include <sqlite3.h>

#include <string_view>

namespace mdbodbc::sql {
namespace {

int CompareText(void*, int lengthA, const void* a, int lengthB, const void* b) {
  std::string_view x(static_cast<const char*>(a), static_cast<std::size_t>(lengthA));
  std::string_view y(static_cast<const char*>(b), static_cast<std::size_t>(lengthB));
  int folded = jet::CompareFolded(x, y);
  return folded < 0 ? -1 : folded > 0 ? 1 : 0;
}

int CompareDates(void*, int lengthA, const void* a, int lengthB, const void* b) {
  return CompareDateTexts(std::string_view(static_cast<const char*>(a), static_cast<std::size_t>(lengthA)),
                          std::string_view(static_cast<const char*>(b), static_cast<std::size_t>(lengthB)));
}

}  // namespace

bool RegisterCollations(sqlite3* db) {
  return sqlite3_create_collation(db, kTextCollation, SQLITE_UTF8, nullptr, CompareText) == SQLITE_OK &&
         sqlite3_create_collation(db, kDateCollation, SQLITE_UTF8, nullptr, CompareDates) == SQLITE_OK;
}

}  // namespace mdbodbc::sql
