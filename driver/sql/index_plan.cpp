#include "index_plan.h"

#include "column_description.h"
#include "functions.h"

#include "jet/format.h"
#include "jet/index_key.h"
#include "jet/value_decoding.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace mdbodbc::sql {
namespace {

// How a column's values can bound an index.
enum class Seek { None, Whole, Money, YesNo, Single, Double, Date, Text };

Seek SeekOf(const jet::Column& column) {
  if (column.calculated) return Seek::None;  // its stored value carries a prefix no key has
  switch (column.type) {
    case jet::ColumnType::Byte:
    case jet::ColumnType::Integer:
    case jet::ColumnType::Long:
    case jet::ColumnType::BigInt: return Seek::Whole;
    case jet::ColumnType::Money: return Seek::Money;
    case jet::ColumnType::Bool: return Seek::YesNo;
    case jet::ColumnType::Single: return Seek::Single;
    case jet::ColumnType::Double: return Seek::Double;
    case jet::ColumnType::DateTime: return Seek::Date;
    case jet::ColumnType::Text:
      // Keys of the General sort order, in Jet 4 and later files (Unicode text).
      return column.sortOrder == jet::kSortOrderGeneral ? Seek::Text : Seek::None;
    default: return Seek::None;
  }
}

bool RangeSeek(Seek seek) { return seek != Seek::None && seek != Seek::Text && seek != Seek::YesNo; }
bool OrderSafe(Seek seek) { return seek == Seek::Whole || seek == Seek::Money; }

// The plan in idxNum: bit 0 set for a read through an index; then the index (8 bits), how
// many leading key columns are bound by equality (4), whether the next one takes an IN list,
// the low and high operators on it (0 none, 1 exclusive, 2 inclusive: the engine's view, before
// a descending column turns them round) and whether to walk backwards.
struct Plan {
  int index = 0;
  int equal = 0;
  bool in = false;
  int low = 0;
  int high = 0;
  bool descending = false;

  int Encode() const {
    return 1 | index << 1 | equal << 9 | (in ? 1 : 0) << 13 | low << 14 | high << 16 |
           (descending ? 1 : 0) << 18;
  }
  static Plan Decode(int n) {
    Plan p;
    p.index = (n >> 1) & 0xFF;
    p.equal = (n >> 9) & 0xF;
    p.in = ((n >> 13) & 1) != 0;
    p.low = (n >> 14) & 3;
    p.high = (n >> 16) & 3;
    p.descending = ((n >> 18) & 1) != 0;
    return p;
  }
};

bool TextCollation(const char* collation) {
  return collation == nullptr || sqlite3_stricmp(collation, "BINARY") == 0 ||
         sqlite3_stricmp(collation, "NOCASE") == 0 || sqlite3_stricmp(collation, kTextCollation) == 0;
}

// The constraint on column `column` usable as `op` (an equality, or one side of a range).
int FindConstraint(const sqlite3_index_info* info, int column, bool (*fits)(unsigned char op)) {
  for (int i = 0; i < info->nConstraint; ++i) {
    const auto& c = info->aConstraint[i];
    if (c.usable && c.iColumn == column && fits(c.op)) return i;
  }
  return -1;
}

bool IsEqual(unsigned char op) { return op == SQLITE_INDEX_CONSTRAINT_EQ; }
bool IsLow(unsigned char op) {
  return op == SQLITE_INDEX_CONSTRAINT_GT || op == SQLITE_INDEX_CONSTRAINT_GE;
}
bool IsHigh(unsigned char op) {
  return op == SQLITE_INDEX_CONSTRAINT_LT || op == SQLITE_INDEX_CONSTRAINT_LE;
}

struct Candidate {
  Plan plan;
  std::vector<int> constraints;  // in argv order
  bool orderConsumed = false;
  bool unique = false;
  double cost = 0;
  double rows = 0;
};

// Whether walking `index` (with `equal` leading columns bound) gives the ORDER BY's order, and
// in which direction.
bool OrderFits(const jet::TableDefinition& table, const jet::Index& index, int equal,
               const sqlite3_index_info* info, bool& descending) {
  if (info->nOrderBy == 0) return false;
  std::size_t key = static_cast<std::size_t>(equal);
  bool direction = false, decided = false;
  for (int i = 0; i < info->nOrderBy; ++i) {
    const auto& term = info->aOrderBy[i];
    if (term.iColumn < 0) return false;
    // A column bound by equality has one value: it may stand anywhere in the ORDER BY.
    bool bound = false;
    for (int k = 0; k < equal; ++k) {
      bound = bound || index.keys[static_cast<std::size_t>(k)].column ==
                           static_cast<std::size_t>(term.iColumn);
    }
    if (bound) continue;
    if (key >= index.keys.size() ||
        index.keys[key].column != static_cast<std::size_t>(term.iColumn) ||
        !OrderSafe(SeekOf(table.columns[index.keys[key].column]))) {
      return false;
    }
    const bool backwards = (term.desc != 0) == index.keys[key].ascending;
    if (decided && backwards != direction) return false;
    direction = backwards;
    decided = true;
    ++key;
  }
  descending = direction;
  return true;
}

// A key column's segment for one engine value, widened to the nearest key when the value falls
// between the column's values.
enum class Outcome { Bound, NoBound, NoRows, Scan };
enum class Side { Equal, Low, High };

struct Segment {
  Outcome outcome = Outcome::Scan;
  bool inclusive = true;  // for a side
  jet::Value value;       // the column's value to build the key of
};

Segment Whole(std::int64_t value, bool inclusive) {
  Segment s;
  s.outcome = Outcome::Bound;
  s.inclusive = inclusive;
  s.value.kind = jet::ValueKind::Integer;
  s.value.integer = value;
  return s;
}

Segment Only(Outcome outcome) {
  Segment s;
  s.outcome = outcome;
  return s;
}

// A whole number bound from an integer or real engine value, within [low, high].
Segment WholeBound(sqlite3_value* v, Side side, bool inclusive, std::int64_t low,
                   std::int64_t high, jet::ValueKind kind) {
  Segment s;
  long double n = 0;
  if (sqlite3_value_type(v) == SQLITE_INTEGER) {
    n = static_cast<long double>(sqlite3_value_int64(v));
  } else if (sqlite3_value_type(v) == SQLITE_FLOAT) {
    const double r = sqlite3_value_double(v);
    if (std::isnan(r)) return Only(Outcome::Scan);
    if (side == Side::Equal && r != std::floor(r)) return Only(Outcome::NoRows);
    if (side == Side::Low && r != std::floor(r)) {
      n = std::ceil(static_cast<long double>(r));
      inclusive = true;
    } else if (side == Side::High && r != std::floor(r)) {
      n = std::floor(static_cast<long double>(r));
      inclusive = true;
    } else {
      n = r;
    }
  } else if (sqlite3_value_type(v) == SQLITE_NULL) {
    return Only(Outcome::NoRows);  // nothing equals or compares with NULL
  } else {
    return Only(Outcome::Scan);
  }
  if (n < static_cast<long double>(low)) {
    return Only(side == Side::Low ? Outcome::NoBound : Outcome::NoRows);
  }
  if (n > static_cast<long double>(high)) {
    return Only(side == Side::High ? Outcome::NoBound : Outcome::NoRows);
  }
  s = Whole(static_cast<std::int64_t>(n), inclusive);
  s.value.kind = kind;
  return s;
}

// A Single or Double bound: the real itself, or for a Single the nearest float on the side
// that keeps every match.
Segment RealBound(sqlite3_value* v, Side side, bool inclusive, bool single) {
  double r = 0;
  if (sqlite3_value_type(v) == SQLITE_INTEGER) {
    r = static_cast<double>(sqlite3_value_int64(v));
    if (static_cast<long double>(r) != static_cast<long double>(sqlite3_value_int64(v))) {
      // Beyond 2^53: the nearest doubles on each side keep every match.
      if (side == Side::Equal) return Only(Outcome::NoRows);
      inclusive = true;
      r = std::nextafter(r, side == Side::Low ? -INFINITY : INFINITY);
    }
  } else if (sqlite3_value_type(v) == SQLITE_FLOAT) {
    r = sqlite3_value_double(v);
  } else if (sqlite3_value_type(v) == SQLITE_NULL) {
    return Only(Outcome::NoRows);
  } else {
    return Only(Outcome::Scan);
  }
  if (std::isnan(r)) return Only(Outcome::Scan);
  Segment s;
  s.outcome = Outcome::Bound;
  s.inclusive = inclusive;
  s.value.kind = jet::ValueKind::Real;
  if (single) {
    float f = static_cast<float>(r);
    if (static_cast<double>(f) != r) {
      if (side == Side::Equal) return Only(Outcome::NoRows);
      if (std::isinf(f)) {
        const bool above = r > 0;
        return Only((side == Side::Low) == above ? Outcome::NoRows : Outcome::NoBound);
      }
      if (side == Side::Low && static_cast<double>(f) > r) f = std::nextafter(f, -INFINITY);
      if (side == Side::High && static_cast<double>(f) < r) f = std::nextafter(f, INFINITY);
      s.inclusive = true;
    }
    s.value.real = f;
  } else {
    s.value.real = r;
  }
  return s;
}

// A Date/Time bound from the engine's linear day number: from 1899-12-30 on it is the stored
// number; before, a day's stored numbers run from its number down to the one before, the time
// backwards, so a side becomes the whole day.
Segment DateBound(sqlite3_value* v, Side side, bool inclusive) {
  const int type = sqlite3_value_type(v);
  if (type == SQLITE_NULL) return Only(Outcome::NoRows);
  if (type != SQLITE_INTEGER && type != SQLITE_FLOAT) return Only(Outcome::Scan);
  const double linear = sqlite3_value_double(v);
  if (std::isnan(linear)) return Only(Outcome::Scan);
  Segment s;
  s.outcome = Outcome::Bound;
  s.inclusive = inclusive;
  s.value.kind = jet::ValueKind::DateTime;
  const double day = std::floor(linear);
  if (day >= 0) {
    s.value.real = linear;
  } else if (side == Side::Equal) {
    s.value.real = 2 * day - linear;  // day - time, exact
  } else if (side == Side::Low) {
    s.value.real = day - 1;
    s.inclusive = false;
  } else {
    s.value.real = day;
    s.inclusive = true;
  }
  if (s.value.real < jet::kFirstDay - 1) {
    return Only(side == Side::Low ? Outcome::NoBound : Outcome::NoRows);
  }
  if (s.value.real > jet::kLastDay + 1) {
    return Only(side == Side::High ? Outcome::NoBound : Outcome::NoRows);
  }
  return s;
}

Segment Bound(const jet::Column& column, sqlite3_value* v, Side side, bool inclusive) {
  switch (SeekOf(column)) {
    case Seek::Whole: {
      std::int64_t low = std::numeric_limits<std::int64_t>::min();
      std::int64_t high = std::numeric_limits<std::int64_t>::max();
      if (column.type == jet::ColumnType::Byte) low = 0, high = 255;
      if (column.type == jet::ColumnType::Integer) low = -32768, high = 32767;
      if (column.type == jet::ColumnType::Long) low = INT32_MIN, high = INT32_MAX;
      return WholeBound(v, side, inclusive, low, high, jet::ValueKind::Integer);
    }
    case Seek::Money:
      if (sqlite3_value_type(v) != SQLITE_INTEGER) return Only(Outcome::Scan);
      return WholeBound(v, side, inclusive, std::numeric_limits<std::int64_t>::min(),
                        std::numeric_limits<std::int64_t>::max(), jet::ValueKind::Money);
    case Seek::YesNo: {
      if (side != Side::Equal || sqlite3_value_type(v) != SQLITE_INTEGER) {
        return Only(Outcome::Scan);
      }
      Segment s = Whole(sqlite3_value_int64(v) != 0 ? 1 : 0, true);
      s.value.kind = jet::ValueKind::Bool;
      return s;
    }
    case Seek::Single: return RealBound(v, side, inclusive, true);
    case Seek::Double: return RealBound(v, side, inclusive, false);
    case Seek::Date: return DateBound(v, side, inclusive);
    case Seek::Text: {
      if (side != Side::Equal || sqlite3_value_type(v) != SQLITE_TEXT) return Only(Outcome::Scan);
      Segment s;
      s.outcome = Outcome::Bound;
      s.value.kind = jet::ValueKind::Text;
      s.value.bytes.assign(reinterpret_cast<const char*>(sqlite3_value_text(v)),
                           static_cast<std::size_t>(sqlite3_value_bytes(v)));
      return s;
    }
    case Seek::None: break;
  }
  return Only(Outcome::Scan);
}

// Passes over several key ranges of one index in turn.
class RangesScan : public jet::Scan {
 public:
  RangesScan(const jet::Database& database, const jet::TableDefinition& table, std::size_t index,
             std::vector<jet::KeyRange> ranges, bool descending, jet::IndexPageCache& pages)
      : database_(database), table_(table), index_(index), ranges_(std::move(ranges)),
        descending_(descending), pages_(pages) {}

  bool Next() override {
    for (;;) {
      if (current_ == nullptr) {
        if (next_ >= ranges_.size()) return false;
        current_ = database_.StartIndexScan(table_, index_, ranges_[next_++], descending_, &pages_);
      }
      if (current_->Next()) return true;
      if (!current_->Error().empty()) {
        error_ = current_->Error();
        return false;
      }
      current_.reset();
    }
  }
  const std::string& Error() const override { return error_; }
  void Read(std::size_t column, jet::Value& out) override { current_->Read(column, out); }
  std::int64_t RowId() const override { return current_ != nullptr ? current_->RowId() : -1; }
  bool MoveTo(std::int64_t rowId) override {
    if (current_ == nullptr) return false;
    return current_->MoveTo(rowId);
  }

 private:
  const jet::Database& database_;
  const jet::TableDefinition& table_;
  std::size_t index_;
  std::vector<jet::KeyRange> ranges_;
  bool descending_;
  jet::IndexPageCache& pages_;
  std::size_t next_ = 0;
  std::unique_ptr<jet::Scan> current_;
  std::string error_;
};

// A read that gives no rows.
class NoRows : public jet::Scan {
 public:
  bool Next() override { return false; }
  const std::string& Error() const override { return error_; }
  void Read(std::size_t, jet::Value& out) override { out.kind = jet::ValueKind::Null; }
  std::int64_t RowId() const override { return -1; }
  bool MoveTo(std::int64_t) override { return false; }

 private:
  std::string error_;
};

}  // namespace

void PlanTableRead(const jet::TableDefinition& table, sqlite3_index_info* info) {
  const double rows = static_cast<double>(table.storedRowCount) + 1;
  info->idxNum = 0;
  info->estimatedCost = rows;
  info->estimatedRows = static_cast<sqlite3_int64>(rows);
  if (table.indexes.size() > 255) return;
  Candidate best;
  best.cost = rows;
  bool found = false;
  for (std::size_t i = 0; i < table.indexes.size(); ++i) {
    const jet::Index& index = table.indexes[i];
    if (index.keys.empty() || index.keys.size() > 10) continue;
    Candidate c;
    c.plan.index = static_cast<int>(i);
    // Equality on the first key columns.
    std::size_t k = 0;
    for (; k < index.keys.size(); ++k) {
      const jet::Column& column = table.columns[index.keys[k].column];
      if (SeekOf(column) == Seek::None) break;
      const int at = FindConstraint(info, static_cast<int>(index.keys[k].column), IsEqual);
      if (at < 0 || sqlite3_vtab_in(info, at, -1)) break;
      if (SeekOf(column) == Seek::Text && !TextCollation(sqlite3_vtab_collation(info, at))) break;
      c.constraints.push_back(at);
    }
    c.plan.equal = static_cast<int>(k);
    double estimate = rows;
    for (std::size_t e = 0; e < k; ++e) estimate /= 20;
    c.unique = index.unique && k == index.keys.size();
    if (k < index.keys.size()) {
      const jet::Column& column = table.columns[index.keys[k].column];
      const Seek seek = SeekOf(column);
      const int in = FindConstraint(info, static_cast<int>(index.keys[k].column), IsEqual);
      if (seek != Seek::None && in >= 0 && sqlite3_vtab_in(info, in, -1) &&
          (seek != Seek::Text || TextCollation(sqlite3_vtab_collation(info, in)))) {
        c.plan.in = sqlite3_vtab_in(info, in, 1) != 0;  // all the list's values at once
      }
      if (c.plan.in) {
        c.constraints.push_back(in);
        estimate = estimate / 20 * 4;
      } else if (RangeSeek(seek)) {
        const int low = FindConstraint(info, static_cast<int>(index.keys[k].column), IsLow);
        const int high = FindConstraint(info, static_cast<int>(index.keys[k].column), IsHigh);
        if (low >= 0) {
          c.plan.low = info->aConstraint[low].op == SQLITE_INDEX_CONSTRAINT_GE ? 2 : 1;
          c.constraints.push_back(low);
          estimate /= 3;
        }
        if (high >= 0) {
          c.plan.high = info->aConstraint[high].op == SQLITE_INDEX_CONSTRAINT_LE ? 2 : 1;
          c.constraints.push_back(high);
          estimate /= 3;
        }
      }
    }
    bool descending = false;
    c.orderConsumed = !c.plan.in && OrderFits(table, index, c.plan.equal, info, descending);
    c.plan.descending = descending;
    if (c.constraints.empty() && !c.orderConsumed) continue;
    c.rows = c.unique ? 1 : std::max(1.0, estimate);
    // Each row is met through the index: a page of its own, more than a scan spends on it.
    // A walk without constraints costs more than a scan and saves only the sort, which the
    // engine weighs itself.
    // The walk down to the first leaf: about the bits of the row count (no libm for a log).
    const int depth = 64 - __builtin_clzll(static_cast<unsigned long long>(rows) | 1);
    c.cost = depth + 2 * c.rows;
    const bool better = !found || c.cost < best.cost ||
                        (c.cost == best.cost && c.orderConsumed && !best.orderConsumed);
    if (better && (c.cost < rows || c.orderConsumed)) {
      best = c;
      found = true;
    }
  }
  if (!found) return;
  info->idxNum = best.plan.Encode();
  for (std::size_t a = 0; a < best.constraints.size(); ++a) {
    info->aConstraintUsage[best.constraints[a]].argvIndex = static_cast<int>(a) + 1;
    info->aConstraintUsage[best.constraints[a]].omit = 0;
  }
  info->orderByConsumed = best.orderConsumed ? 1 : 0;
  info->estimatedCost = best.cost;
  info->estimatedRows = static_cast<sqlite3_int64>(best.rows);
  if (best.unique) info->idxFlags |= SQLITE_INDEX_SCAN_UNIQUE;
}

std::unique_ptr<jet::Scan> StartPlannedRead(const jet::Database& database,
                                            const jet::TableDefinition& table,
                                            jet::IndexPageCache& pages, int planNumber, int argc,
                                            sqlite3_value** argv) {
  if ((planNumber & 1) == 0) return database.StartScan(table);
  const Plan plan = Plan::Decode(planNumber);
  if (static_cast<std::size_t>(plan.index) >= table.indexes.size()) return database.StartScan(table);
  const jet::Index& index = table.indexes[static_cast<std::size_t>(plan.index)];
  const std::size_t equal = static_cast<std::size_t>(plan.equal);
  const int expected = plan.equal + (plan.in ? 1 : 0) + (plan.low ? 1 : 0) + (plan.high ? 1 : 0);
  if (argc != expected || equal > index.keys.size() ||
      (equal == index.keys.size() && (plan.in || plan.low || plan.high))) {
    return database.StartScan(table);
  }
  const auto column = [&](std::size_t k) -> const jet::Column& {
    return table.columns[index.keys[k].column];
  };
  // Access's text keys are known for Jet 4 files only; other files' text is scanned.
  const std::size_t bound = equal + (plan.in || plan.low || plan.high ? 1 : 0);
  for (std::size_t k = 0; k < bound && k < index.keys.size(); ++k) {
    if (column(k).type == jet::ColumnType::Text &&
        database.FileVersion() != jet::Version::Jet4) {
      return database.StartScan(table);
    }
  }
  // The key of the equal columns.
  std::string prefix;
  for (std::size_t k = 0; k < equal; ++k) {
    const Segment s = Bound(column(k), argv[k], Side::Equal, true);
    if (s.outcome == Outcome::NoRows) return std::make_unique<NoRows>();
    if (s.outcome != Outcome::Bound ||
        !jet::AppendValueKey(column(k), s.value, index.keys[k].ascending, prefix)) {
      return database.StartScan(table);
    }
  }
  std::vector<jet::KeyRange> ranges;
  int arg = plan.equal;
  if (plan.in) {
    // One range for each value of the list, in key order and each once.
    std::vector<std::string> keys;
    sqlite3_value* value = nullptr;
    int rc = sqlite3_vtab_in_first(argv[arg], &value);
    for (; rc == SQLITE_OK && value != nullptr; rc = sqlite3_vtab_in_next(argv[arg], &value)) {
      const Segment s = Bound(column(equal), value, Side::Equal, true);
      if (s.outcome == Outcome::NoRows) continue;
      std::string key = prefix;
      if (s.outcome != Outcome::Bound ||
          !jet::AppendValueKey(column(equal), s.value, index.keys[equal].ascending, key)) {
        return database.StartScan(table);
      }
      keys.push_back(std::move(key));
    }
    // The list ends with SQLITE_DONE; anything else (the engine handing the values one by one
    // after all) leaves the read to a scan.
    if (rc != SQLITE_DONE) return database.StartScan(table);
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    if (plan.descending) std::reverse(keys.begin(), keys.end());
    for (std::string& key : keys) ranges.push_back({jet::KeyBound{key, true}, jet::KeyBound{key, true}});
  } else {
    jet::KeyRange range;
    if (!prefix.empty()) {
      range.low = jet::KeyBound{prefix, true};
      range.high = jet::KeyBound{prefix, true};
    }
    // The engine's low and high values; on a descending column they bound the other end of
    // the key order.
    const bool ascending = equal < index.keys.size() && index.keys[equal].ascending;
    for (const auto& [op, side] : {std::pair{plan.low, Side::Low}, std::pair{plan.high, Side::High}}) {
      if (op == 0) continue;
      const Segment s = Bound(column(equal), argv[arg++], side, op == 2);
      if (s.outcome == Outcome::NoRows) return std::make_unique<NoRows>();
      if (s.outcome == Outcome::Scan) return database.StartScan(table);
      if (s.outcome == Outcome::NoBound) continue;
      std::string key = prefix;
      if (!jet::AppendValueKey(column(equal), s.value, ascending, key)) {
        return database.StartScan(table);
      }
      const bool lowInKeys = (side == Side::Low) == ascending;
      (lowInKeys ? range.low : range.high) = jet::KeyBound{key, s.inclusive};
    }
    ranges.push_back(std::move(range));
  }
  return std::make_unique<RangesScan>(database, table, static_cast<std::size_t>(plan.index),
                                       std::move(ranges), plan.descending, pages);
}

}  // namespace mdbodbc::sql
