// The collations the translator writes: text in Access's order without regard to case, and
// Decimal values (exact text in the engine) by their value.
#include "exact_number.h"
#include "functions.h"

#include "jet/sort_order.h"

#include <sqlite3.h>

#include <string_view>

namespace mdbodbc::sql {
namespace {

int CompareText(void*, int lengthA, const void* a, int lengthB, const void* b) {
  std::string_view x(static_cast<const char*>(a), static_cast<std::size_t>(lengthA));
  std::string_view y(static_cast<const char*>(b), static_cast<std::size_t>(lengthB));
  int order = jet::CompareGeneral(x, y);
  return order < 0 ? -1 : order > 0 ? 1 : 0;
}

// A text that is no decimal number sorts after every number, and such texts by their bytes.
int CompareDecimals(void*, int lengthA, const void* a, int lengthB, const void* b) {
  std::string_view x(static_cast<const char*>(a), static_cast<std::size_t>(lengthA));
  std::string_view y(static_cast<const char*>(b), static_cast<std::size_t>(lengthB));
  Decimal dx, dy;
  bool okX = ParseDecimal(x, dx) == NumberStatus::Ok;
  bool okY = ParseDecimal(y, dy) == NumberStatus::Ok;
  if (okX && okY) return CompareDecimal(dx, dy);
  if (okX != okY) return okX ? -1 : 1;
  return x.compare(y);
}

}  // namespace

bool RegisterCollations(sqlite3* db) {
  return sqlite3_create_collation(db, kTextCollation, SQLITE_UTF8, nullptr, CompareText) == SQLITE_OK &&
         sqlite3_create_collation(db, kDecimalCollation, SQLITE_UTF8, nullptr, CompareDecimals) == SQLITE_OK;
}

}  // namespace mdbodbc::sql
