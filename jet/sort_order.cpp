#include "sort_order.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>

#include "text/case_fold.h"
#include "text/utf.h"

namespace jet {
namespace {

struct CodeRange {
  char32_t first;
  char32_t last;
};
struct Decomposition {
  char32_t code;
  char32_t base;  // 0 for a mark that is other marks
  char16_t marks[3];
};
struct Expansion {
  char32_t code;
  char32_t letters[3];
  std::uint8_t count;
  char16_t lastMark;  // a mark on the last letter, or 0
};

#include "sort_order_table.inc"

// First-level weights: a character that is no letter weighs its code point + 1, a letter
// kLetterWeight + its folded code point, so every letter follows every other character and
// 0 stays free to end the first level in a key.
constexpr std::uint32_t kLetterWeight = 0x200000;
// Second-level marks: the combining marks' code points; a ligature's letters carry one past
// Unicode, after every mark. 1 ends a letter's marks in a key.
constexpr char32_t kLigatureMark = 0x110000;
constexpr char32_t kEndOfMarks = 1;
constexpr std::array<std::uint32_t, 128> AsciiWeights() {
  std::array<std::uint32_t, 128> w{};
  for (std::uint32_t c = 0; c < 128; ++c) {
    if (c >= 'A' && c <= 'Z') {
      w[c] = kLetterWeight + c + ('a' - 'A');
    } else if (c >= 'a' && c <= 'z') {
      w[c] = kLetterWeight + c;
    } else {
      w[c] = c + 1;
    }
  }
  return w;
}
constexpr std::array<std::uint32_t, 128> kAsciiWeights = AsciiWeights();

template <typename Range, std::size_t N>
bool InRanges(const Range (&ranges)[N], char32_t c) {
  const auto* after = std::upper_bound(std::begin(ranges), std::end(ranges), c,
                                       [](char32_t v, const Range& r) { return v < r.first; });
  return after != std::begin(ranges) && (after - 1)->last >= c;
}

template <typename Entry, std::size_t N>
const Entry* Find(const Entry (&table)[N], char32_t c) {
  const auto* at = std::lower_bound(std::begin(table), std::end(table), c,
                                    [](const Entry& e, char32_t v) { return e.code < v; });
  return at != std::end(table) && at->code == c ? at : nullptr;
}

bool IsMark(char32_t c) { return c >= 0x300 && InRanges(kMarkRanges, c); }

std::uint32_t PrimaryWeight(char32_t c) {
  if (c < 0x80) return kAsciiWeights[c];
  if (InRanges(kLetterRanges, c)) return kLetterWeight + textconv::FoldCase(c);
  return c + 1;
}

// A text as the units the order weighs: each unit one first-level weight, with the marks that
// go with it (from the tables, then the combining marks written after it).
class UnitReader {
 public:
  explicit UnitReader(std::string_view text) : text_(text) {}

  // Moves to the next unit, passing over what is left of the current one's marks; false at
  // the end of the text.
  bool Next(std::uint32_t& primary) {
    SkipMarks();
    markCount_ = 0;
    markAt_ = 0;
    if (pendingAt_ < pendingCount_) {
      primary = PrimaryWeight(pendingLetters_[pendingAt_++]);
      textMarks_ = pendingAt_ == pendingCount_;
      if (textMarks_ && pendingLastMark_ != 0) marks_[markCount_++] = pendingLastMark_;
      return true;
    }
    if (at_ >= text_.size()) return false;
    textMarks_ = true;
    const char32_t c = textconv::NextUtf8(text_, at_);
    if (c < 0x80) {
      primary = kAsciiWeights[c];
      return true;
    }
    if (const Expansion* e = Find(kExpansions, c)) {
      primary = PrimaryWeight(e->letters[0]);
      marks_[markCount_++] = kLigatureMark;
      pendingCount_ = std::min<int>(e->count, 3);
      pendingAt_ = 1;
      std::copy(std::begin(e->letters), std::end(e->letters), pendingLetters_.begin());
      pendingLastMark_ = e->lastMark;
      textMarks_ = pendingAt_ >= pendingCount_;
      return true;
    }
    const Decomposition* d = Find(kDecompositions, c);
    if (d != nullptr && d->base != 0) {
      primary = PrimaryWeight(d->base);
      for (char16_t m : d->marks) {
        if (m != 0) marks_[markCount_++] = m;
      }
      return true;
    }
    // Any other character, also a mark with nothing before it to go with.
    primary = PrimaryWeight(c);
    return true;
  }

  // The current unit's next mark; false when it has no more.
  bool NextMark(char32_t& mark) {
    if (markAt_ == markCount_) {
      if (!textMarks_ || at_ >= text_.size()) return false;
      std::size_t after = at_;
      const char32_t c = textconv::NextUtf8(text_, after);
      if (!IsMark(c)) return false;
      at_ = after;
      markCount_ = 0;
      markAt_ = 0;
      const Decomposition* d = Find(kDecompositions, c);
      if (d != nullptr && d->base == 0) {
        for (char16_t m : d->marks) {
          if (m != 0) marks_[markCount_++] = m;
        }
      } else {
        marks_[markCount_++] = c;
      }
    }
    mark = marks_[markAt_++];
    return true;
  }

 private:
  void SkipMarks() {
    char32_t mark = 0;
    while (NextMark(mark)) {
    }
  }

  std::string_view text_;
  std::size_t at_ = 0;
  // The letters of an expansion still to come as units.
  std::array<char32_t, 3> pendingLetters_{};
  int pendingCount_ = 0;
  int pendingAt_ = 0;
  char16_t pendingLastMark_ = 0;
  // The current unit's marks at hand; `textMarks_` when marks written after it are its own.
  std::array<char32_t, 4> marks_{};
  int markCount_ = 0;
  int markAt_ = 0;
  bool textMarks_ = false;
};

int CompareMarks(UnitReader& x, UnitReader& y) {
  for (;;) {
    char32_t a = 0;
    char32_t b = 0;
    const bool hasA = x.NextMark(a);
    const bool hasB = y.NextMark(b);
    if (!hasA || !hasB) return hasA ? 1 : hasB ? -1 : 0;
    if (a != b) return a < b ? -1 : 1;
  }
}

int CompareUnits(std::string_view a, std::string_view b) {
  UnitReader x(a);
  UnitReader y(b);
  int secondLevel = 0;
  for (;;) {
    std::uint32_t p = 0;
    std::uint32_t q = 0;
    const bool hasX = x.Next(p);
    const bool hasY = y.Next(q);
    if (!hasX || !hasY) return hasX ? 1 : hasY ? -1 : secondLevel;
    if (p != q) return p < q ? -1 : 1;
    if (secondLevel == 0) secondLevel = CompareMarks(x, y);
  }
}

void PutWeight(std::string& key, std::uint32_t w) {
  key += static_cast<char>(w >> 16);
  key += static_cast<char>(w >> 8);
  key += static_cast<char>(w);
}

}  // namespace

int CompareGeneral(std::string_view a, std::string_view b) {
  // ASCII alone: one unit per byte and no marks, so the first different weight decides, and
  // otherwise the shorter text (whatever follows in the longer adds units or marks).
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    const auto x = static_cast<unsigned char>(a[i]);
    const auto y = static_cast<unsigned char>(b[i]);
    if ((x | y) >= 0x80) return CompareUnits(a, b);
    if (x != y && kAsciiWeights[x] != kAsciiWeights[y]) return kAsciiWeights[x] < kAsciiWeights[y] ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::string GeneralSortKey(std::string_view utf8) {
  // The first-level weights, 0; then each unit's marks followed by kEndOfMarks, with the
  // kEndOfMarks at the end left out (they order nothing among texts of the same units).
  std::string key;
  key.reserve(utf8.size() * 3 + 3);
  std::uint32_t primary = 0;
  UnitReader first(utf8);
  while (first.Next(primary)) PutWeight(key, primary);
  PutWeight(key, 0);
  std::size_t keep = key.size();
  UnitReader second(utf8);
  while (second.Next(primary)) {
    char32_t mark = 0;
    while (second.NextMark(mark)) {
      PutWeight(key, mark);
      keep = key.size();
    }
    PutWeight(key, kEndOfMarks);
  }
  key.resize(keep);
  return key;
}

}  // namespace jet
