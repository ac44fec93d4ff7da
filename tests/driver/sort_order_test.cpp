// Access's General text order: case ignored in every script, accents only between texts that
// are otherwise equal, ligatures as their letters, digits and punctuation before letters, and
// bytes that are no UTF-8 as U+FFFD. Each pair is checked both ways and through the sort keys;
// comparing allocates nothing.
#include "jet/sort_order.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

namespace {
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
// Not inlined: GCC would otherwise see free() meet a pointer from a new-expression and warn.
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace jet {
namespace {

int Sign(int v) { return (v > 0) - (v < 0); }

int KeyOrder(std::string_view a, std::string_view b) {
  const std::string x = GeneralSortKey(a);
  const std::string y = GeneralSortKey(b);
  const int common = std::memcmp(x.data(), y.data(), std::min(x.size(), y.size()));
  return common != 0 ? Sign(common) : Sign(static_cast<int>(x.size()) - static_cast<int>(y.size()));
}

TEST(SortOrderTest, PairsInGeneralOrder) {
  struct Case { const char* a; const char* b; int order; };
  const Case cases[] = {
      // Accents decide only between texts otherwise equal; case never does.
      {"Elodie", "Élodie", -1}, {"Élodie", "Zoë", -1}, {"zoe", "Zoë", -1}, {"Zoe", "zoe", 0}, {"e", "é", -1},
      {"É", "é", 0}, {"Élodie", "Elodiea", -1}, {"élan", "elbow", -1}, {"éa", "eá", 1},
      {"e\xCC\x81", "é", 0}, {"e\xCC\x81\xCC\x81", "é", 1}, {"ǖ", "Ǖ", 0}, {"ü", "ǖ", -1},
      // Ligatures as their letters, after those letters written apart.
      {"ss", "ß", -1}, {"ß", "st", -1}, {"sr", "ß", -1}, {"Straße", "STRASSE", 1}, {"ß", "ẞ", 0},
      {"ae", "æ", -1}, {"æ", "af", -1}, {"ad", "æ", -1}, {"Æsir", "aesir", 1}, {"Æ", "æ", 0}, {"oe", "œ", -1},
      {"ǽ", "æ", 1}, {"ﬁle", "file", 1}, {"ﬁle", "fila", 1},
      // Letters with a stroke beside their letter.
      {"o", "ø", -1}, {"ø", "p", -1}, {"Łódź", "lodz", 1}, {"Łódź", "lodza", -1},
      // Greek, then Cyrillic, after Latin; final sigma is sigma.
      {"α", "β", -1}, {"Άλφα", "αλφα", 1}, {"άλφα", "αλφβ", -1}, {"σ", "ς", 0}, {"Ω", "ω", 0}, {"z", "α", -1},
      {"ω", "а", -1}, {"ё", "е", 1}, {"ёж", "ежа", -1}, {"и", "й", -1}, {"й", "к", -1}, {"йод", "иод", 1},
      {"Я", "я", 0}, {"ЖУК", "жук", 0},
      // Digits, blanks and punctuation by code point, all before letters.
      {"1", "a", -1}, {"_", "a", -1}, {"Z", "_", 1}, {"10", "9", -1}, {"a b", "ab", -1}, {"-", "0", -1},
      {"", "a", -1}, {"", "", 0}, {"€", "a", -1}, {"1", "€", -1}, {"\x7F", "\u0080", -1}, {"~", "\x7F", -1},
      // Bytes that are no UTF-8: each one U+FFFD.
      {"\xFF", "\xEF\xBF\xBD", 0}, {"\xFF", "a", -1}, {"a\xFF", "a\xFE", 0}, {"\xC3", "\xC3\xA9", -1},
      {"\xE9t\xE9", "ete", -1}, {"\xFF\xFF", "\xFF", 1}, {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", 0},
      {"\xCC\x81", "", 1}, {"\xCC\x81", "a", -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.a) + " | " + c.b);
    EXPECT_EQ(Sign(CompareGeneral(c.a, c.b)), c.order);
    EXPECT_EQ(Sign(CompareGeneral(c.b, c.a)), -c.order);
    EXPECT_EQ(KeyOrder(c.a, c.b), c.order);
    EXPECT_EQ(GeneralSortKey(c.a) == GeneralSortKey(c.b), c.order == 0);
  }
}

TEST(SortOrderTest, ComparingAllocatesNothing) {
  const std::string longAccented = std::string(200, 'e') + "\xC3\xA9" + std::string(300, 'z');
  const long before = allocations.load();
  int sum = 0;
  sum += CompareGeneral("Boeing", "boeing 747");
  sum += CompareGeneral("Élodie", "Zoë");
  sum += CompareGeneral("Straße", "strasse");
  sum += CompareGeneral(longAccented, longAccented);
  EXPECT_EQ(allocations.load(), before);
  EXPECT_EQ(sum, -1 - 1 + 1 + 0);
}

}  // namespace
}  // namespace jet
