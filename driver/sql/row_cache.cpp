#include "row_cache.h"

#include "access_dates.h"
#include "exact_number.h"
#include "variant.h"

#include "jet/sort_order.h"

#include <sqlite3.h>

#include <cmath>
#include <cstring>

namespace mdbodbc::sql {
namespace {

// What one value costs in memory besides its bytes.
constexpr std::size_t kValueOverhead = sizeof(jet::Value) + 8;

std::string NumberKey(double v) {
  if (v == 0) v = 0;  // -0 equals 0
  std::string key(1 + sizeof v, 'n');
  std::memcpy(key.data() + 1, &v, sizeof v);
  return key;
}

std::string DecimalKey(std::string_view text) {
  Decimal d;
  if (ParseDecimal(text, d) != NumberStatus::Ok) return "x" + std::string(text);
  // Equal values give one text: no trailing zeros after the point.
  std::string canonical = DecimalText(d);
  if (canonical.find('.') != std::string::npos) {
    while (canonical.back() == '0') canonical.pop_back();
    if (canonical.back() == '.') canonical.pop_back();
  }
  return "d" + canonical;
}

}  // namespace

std::unique_ptr<RowCache> RowCache::Load(const jet::Database& database, const jet::TableDefinition& table,
                                         std::size_t limitBytes) {
  std::unique_ptr<RowCache> cache(new RowCache(table));
  std::unique_ptr<jet::Scan> scan = database.StartScan(table);
  if (!scan) return nullptr;
  while (scan->Next()) {
    for (std::size_t c = 0; c < cache->columns_; ++c) {
      cache->values_.emplace_back();
      jet::Value& v = cache->values_.back();
      scan->Read(c, v);
      cache->usedBytes_ += kValueOverhead + v.bytes.capacity();
    }
    cache->rowIds_.push_back(scan->RowId());
    if (cache->usedBytes_ > limitBytes || cache->rowIds_.size() >= 0xFFFFFFFFu) return nullptr;
  }
  if (!scan->Error().empty()) return nullptr;
  return cache;
}

bool RowCache::KeyOf(std::size_t column, const jet::Value& v, std::string& key) const {
  switch (v.kind) {
    case jet::ValueKind::Null:
    case jet::ValueKind::Error: return false;
    case jet::ValueKind::Bool: key = NumberKey(v.integer != 0 ? -1 : 0); return true;
    case jet::ValueKind::Integer:
    case jet::ValueKind::Money: key = NumberKey(static_cast<double>(v.integer)); return true;
    case jet::ValueKind::Real: key = NumberKey(v.real); return true;
    case jet::ValueKind::DateTime: key = NumberKey(LinearFromStored(v.real)); return true;
    case jet::ValueKind::DateTimeExtended: return false;  // never looked up (see CanLookUp)
    case jet::ValueKind::Decimal: key = DecimalKey(v.bytes); return true;
    case jet::ValueKind::Text: key = "t" + jet::GeneralSortKey(v.bytes); return true;
    case jet::ValueKind::Binary:
    case jet::ValueKind::Guid: key = "b" + v.bytes; return true;
  }
  (void)column;
  return false;
}

bool RowCache::KeyOf(std::size_t column, sqlite3_value* v, std::string& key) const {
  const jet::Column& c = table_.columns[column];
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
      if (c.type == jet::ColumnType::Numeric) {
        key = DecimalKey(std::to_string(sqlite3_value_int64(v)));
        return true;
      }
      key = NumberKey(static_cast<double>(sqlite3_value_int64(v)));
      return true;
    case SQLITE_FLOAT: {
      double d = sqlite3_value_double(v);
      if (std::isnan(d) || c.type == jet::ColumnType::Numeric) return false;
      key = NumberKey(d);
      return true;
    }
    case SQLITE_TEXT: {
      std::string_view text = ValueBytes(v);
      if (c.type == jet::ColumnType::Numeric) {
        key = DecimalKey(text);
        return true;
      }
      if (c.type == jet::ColumnType::Text || c.type == jet::ColumnType::Memo) {
        key = "t" + jet::GeneralSortKey(text);
        return true;
      }
      return false;
    }
    default: return false;
  }
}

const std::vector<std::uint32_t>* RowCache::Lookup(std::size_t column, sqlite3_value* key) {
  // A GUID's engine form is its text, not its stored bytes: those keep to a scan.
  if (column >= columns_ || table_.columns[column].type == jet::ColumnType::Guid ||
      table_.columns[column].type == jet::ColumnType::Binary || table_.columns[column].type == jet::ColumnType::Ole) {
    return nullptr;
  }
  if (sqlite3_value_type(key) == SQLITE_NULL) return &none_;  // nothing equals Null
  std::string wanted;
  if (!KeyOf(column, key, wanted)) return nullptr;
  auto built = indexes_.find(column);
  if (built == indexes_.end()) {
    auto& index = indexes_[column];
    std::string k;
    for (std::size_t row = 0; row < Rows(); ++row) {
      if (KeyOf(column, Value(row, column), k)) index[k].push_back(static_cast<std::uint32_t>(row));
    }
    built = indexes_.find(column);
  }
  auto found = built->second.find(wanted);
  return found == built->second.end() ? &none_ : &found->second;
}

}  // namespace mdbodbc::sql
