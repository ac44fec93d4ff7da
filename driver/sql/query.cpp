#include "query.h"

#include "access_dates.h"
#include "column_description.h"
#include "exact_number.h"
#include "parser.h"
#include "translator.h"

#include "jet/extended_date.h"

#include <sqlite3.h>

#include <cmath>
#include <limits>

namespace mdbodbc::sql {
namespace {

bool WholeRange(JetType t, std::int64_t& low, std::int64_t& high) {
  switch (t) {
    case JetType::Byte: low = 0; high = 255; return true;
    case JetType::Integer: low = -32768; high = 32767; return true;
    case JetType::Long:
      low = std::numeric_limits<std::int32_t>::min();
      high = std::numeric_limits<std::int32_t>::max();
      return true;
    default:
      low = std::numeric_limits<std::int64_t>::min();
      high = std::numeric_limits<std::int64_t>::max();
      return true;
  }
}

std::string_view Bytes(sqlite3_value* value) {
  const auto* data = static_cast<const char*>(sqlite3_value_blob(value));
  return {data == nullptr ? "" : data, static_cast<std::size_t>(sqlite3_value_bytes(value))};
}

}  // namespace

std::unique_ptr<Query> Query::Prepare(Engine& engine, std::string_view text, SqlError& error) {
  BoundStatement bound;
  bound.statement = ParseStatement(text, error);
  if (!bound.statement) return nullptr;
  if (!Bind(engine, bound, error)) return nullptr;
  Translation translation;
  if (!Translate(engine, bound, translation, error)) return nullptr;
  for (std::size_t index : translation.tables) {
    if (!engine.ProvideTableModule(index)) {
      error = {"HY000", "table \"" + engine.database().Tables().at(index).name + "\" cannot be read"};
      return nullptr;
    }
  }
  sqlite3_stmt* statement = engine.Prepare(translation.sql, error);
  if (statement == nullptr) return nullptr;
  std::unique_ptr<Query> query(new Query(engine, statement));
  query->sql_ = std::move(translation.sql);
  query->streaming_ = translation.streaming;
  query->parameters_ = bound.parameters;
  for (const Output& out : translation.outputs) {
    ResultColumn column = DescribeType(out.type);
    column.name = out.label;
    column.baseTable = out.origin.baseTable;
    column.baseColumn = out.origin.baseColumn;
    column.nullable = out.origin.nullable == SQL_NO_NULLS && out.type.kind != JetType::Null ? SQL_NO_NULLS
                      : out.origin.nullable == SQL_NULLABLE_UNKNOWN                        ? SQL_NULLABLE_UNKNOWN
                                                                                           : SQL_NULLABLE;
    column.autoUnique = out.origin.autoUnique;
    if (out.type.kind == JetType::Long && out.origin.autoUnique) column.typeName = "COUNTER";
    query->columns_.push_back(std::move(column));
    query->types_.push_back(out.type);
  }
  return query;
}

Query::Query(Engine& engine, sqlite3_stmt* statement) : engine_(engine), statement_(statement) {}

Query::~Query() { sqlite3_finalize(statement_); }

bool Query::Start(SqlError& error) {
  sqlite3_reset(statement_);
  finished_ = false;
  engine_.rowFailure = {};
  engine_.rowsFailAlone = streaming_;
  pending_ = engine_.Step(statement_, control_, pendingError_);
  if (pending_ != SQLITE_ROW && pending_ != SQLITE_DONE) {
    error = pendingError_;
    pending_ = 0;
    finished_ = true;
    return false;
  }
  return true;
}

// Each value in its column's type: a value the engine computed past that type's range (a sum
// that left 64 bits, a Long product past 32 bits, a date past 9999) fails its row with 22003
// or 22008; the type never changes from row to row.
bool Query::ReadRow(Row& row, SqlError& error) const {
  row.resize(columns_.size());
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    Cell& cell = row[i];
    sqlite3_value* value = sqlite3_column_value(statement_, static_cast<int>(i));
    int stored = sqlite3_value_type(value);
    if (stored == SQLITE_NULL) {
      cell.kind = Cell::Kind::Null;
      continue;
    }
    const Type& type = types_[i];
    auto overflow = [&] {
      error = {"22003", "numeric value out of range: the value of column " + columns_[i].name + " does not fit a " +
                            TypeName(type)};
      return false;
    };
    switch (type.kind) {
      case JetType::Bool:
        cell.kind = Cell::Kind::Integer;
        cell.integer = sqlite3_value_int64(value) != 0 ? 1 : 0;
        break;
      case JetType::Byte:
      case JetType::Integer:
      case JetType::Long:
      case JetType::BigInt:
      case JetType::Currency: {
        if (stored != SQLITE_INTEGER) return overflow();
        std::int64_t v = sqlite3_value_int64(value), low = 0, high = 0;
        WholeRange(type.kind, low, high);
        if (v < low || v > high) return overflow();
        cell.kind = type.kind == JetType::Currency ? Cell::Kind::Currency : Cell::Kind::Integer;
        cell.integer = v;
        break;
      }
      case JetType::Single:
      case JetType::Double: {
        double v = sqlite3_value_double(value);
        if (stored == SQLITE_TEXT || stored == SQLITE_BLOB) return overflow();
        if (type.kind == JetType::Single) {
          if (std::isfinite(v) && std::fabs(v) > std::numeric_limits<float>::max()) return overflow();
          v = static_cast<float>(v);
        }
        cell.kind = Cell::Kind::Real;
        cell.real = v;
        break;
      }
      case JetType::Decimal: {
        Decimal d;
        std::string_view text = Bytes(value);
        if (stored == SQLITE_INTEGER) {
          d = DecimalFromInt64(sqlite3_value_int64(value));
        } else if (ParseDecimal(text, d) != NumberStatus::Ok) {
          return overflow();
        }
        cell.kind = Cell::Kind::Decimal;
        cell.bytes = DecimalText(d, type.scale);
        break;
      }
      case JetType::DateTime: {
        double v = sqlite3_value_double(value);
        if (stored == SQLITE_TEXT || stored == SQLITE_BLOB || !InDateRange(v)) {
          error = {"22008", "datetime field overflow: the value of column " + columns_[i].name +
                                " lies outside 0100-01-01..9999-12-31"};
          return false;
        }
        cell.kind = Cell::Kind::DateTime;
        cell.real = v;
        break;
      }
      case JetType::DateTimeExtended: {
        std::int64_t v = sqlite3_value_int64(value);
        if (stored != SQLITE_INTEGER || v < 0 || v >= jet::kExtendedTickLimit) {
          error = {"22008", "datetime field overflow: the value of column " + columns_[i].name +
                                " lies outside 0001-01-01..9999-12-31"};
          return false;
        }
        cell.kind = Cell::Kind::Timestamp;
        cell.integer = v;
        break;
      }
      case JetType::Binary:
      case JetType::LongBinary: {
        cell.kind = Cell::Kind::Blob;
        std::string_view bytes = Bytes(value);
        cell.bytes.assign(bytes.data(), bytes.size());
        break;
      }
      default: {
        // Text read as its bytes: the engine need not add a terminator.
        cell.kind = Cell::Kind::Text;
        if (stored == SQLITE_TEXT || stored == SQLITE_BLOB) {
          std::string_view bytes = Bytes(value);
          cell.bytes.assign(bytes.data(), bytes.size());
        } else {
          cell.bytes = reinterpret_cast<const char*>(sqlite3_value_text(value));
        }
      }
    }
  }
  return true;
}

ResultSource::Step Query::Next(Row& row, SqlError& error) {
  if (finished_) return Step::End;
  int rc = pending_;
  pending_ = 0;
  if (rc == 0) {
    engine_.rowsFailAlone = streaming_;
    engine_.rowFailure = {};
    rc = engine_.Step(statement_, control_, error);
  }
  if (rc == SQLITE_ROW) {
    if (!engine_.rowFailure.state.empty()) {
      error = engine_.rowFailure;
      engine_.rowFailure = {};
      return Step::RowError;
    }
    return ReadRow(row, error) ? Step::Row : Step::RowError;
  }
  finished_ = true;
  if (rc == SQLITE_DONE) return Step::End;
  return Step::Error;
}

}  // namespace mdbodbc::sql
