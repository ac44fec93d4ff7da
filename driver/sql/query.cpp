#include "query.h"

#include "column_description.h"
#include "rewrite.h"

#include <sqlite3.h>

#include <limits>

namespace mdbodbc::sql {

std::unique_ptr<Query> Query::Prepare(Engine& engine, std::string_view text, SqlError& error) {
  Rewritten rewritten = RewriteStatement(text);
  if (!rewritten.ok) {
    error = {"42000", rewritten.error};
    return nullptr;
  }
  sqlite3_stmt* statement = engine.Prepare(rewritten.text, error);
  if (statement == nullptr) return nullptr;
  std::unique_ptr<Query> query(new Query(engine, statement));
  query->DescribeColumns();
  return query;
}

Query::Query(Engine& engine, sqlite3_stmt* statement) : engine_(engine), statement_(statement) {}

Query::~Query() { sqlite3_finalize(statement_); }

int Query::ParameterCount() const { return sqlite3_bind_parameter_count(statement_); }

// A column that names a column of a table takes that column's type; an expression is taken
// as text until its first value tells more.
void Query::DescribeColumns() {
  int count = sqlite3_column_count(statement_);
  columns_.clear();
  fromTable_.assign(static_cast<std::size_t>(count), false);
  for (int i = 0; i < count; ++i) {
    const char* label = sqlite3_column_name(statement_, i);
    const char* table = sqlite3_column_table_name(statement_, i);
    const char* origin = sqlite3_column_origin_name(statement_, i);
    ResultColumn column;
    const Engine::Table* source = table != nullptr ? engine_.FindEngineTable(table) : nullptr;
    if (source != nullptr && origin != nullptr) {
      for (const jet::Column& jetColumn : source->definition.columns) {
        if (jetColumn.name == origin) {
          column = DescribeJetColumn(jetColumn, source->definition.name);
          fromTable_[static_cast<std::size_t>(i)] = true;
          break;
        }
      }
    }
    column.name = label != nullptr ? label : "";
    columns_.push_back(std::move(column));
  }
}

void Query::SettleExpressionTypes() {
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (fromTable_[i]) continue;
    ResultColumn& c = columns_[i];
    int index = static_cast<int>(i);
    switch (sqlite3_column_type(statement_, index)) {
      case SQLITE_INTEGER: {
        sqlite3_int64 v = sqlite3_column_int64(statement_, index);
        bool narrow = v >= std::numeric_limits<SQLINTEGER>::min() && v <= std::numeric_limits<SQLINTEGER>::max();
        c.sqlType = narrow ? SQL_INTEGER : SQL_BIGINT;
        c.typeName = narrow ? "INTEGER" : "BIGINT";
        c.size = narrow ? 10 : 19;
        c.displaySize = narrow ? 11 : 20;
        c.octetLength = narrow ? 4 : 8;
        break;
      }
      case SQLITE_FLOAT:
        c.sqlType = SQL_DOUBLE;
        c.typeName = "DOUBLE";
        c.size = 15;
        c.displaySize = 24;
        c.octetLength = 8;
        break;
      case SQLITE_BLOB:
        c.sqlType = SQL_LONGVARBINARY;
        c.typeName = "LONGBINARY";
        c.size = 1073741823;
        c.displaySize = c.octetLength = 1073741823;
        break;
      default: break;  // text, or NULL that tells nothing: text
    }
  }
}

bool Query::Start(SqlError& error) {
  sqlite3_reset(statement_);
  finished_ = false;
  pending_ = engine_.Step(statement_, control_, pendingError_);
  if (pending_ != SQLITE_ROW && pending_ != SQLITE_DONE) {
    error = pendingError_;
    pending_ = 0;
    return false;
  }
  if (pending_ == SQLITE_ROW) SettleExpressionTypes();
  return true;
}

void Query::ReadRow(Row& row) const {
  row.resize(columns_.size());
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    Cell& cell = row[i];
    sqlite3_value* value = sqlite3_column_value(statement_, static_cast<int>(i));
    int type = sqlite3_value_type(value);
    switch (type) {
      case SQLITE_INTEGER:
        cell.kind = Cell::Kind::Integer;
        cell.integer = sqlite3_value_int64(value);
        break;
      case SQLITE_FLOAT:
        cell.kind = Cell::Kind::Real;
        cell.real = sqlite3_value_double(value);
        break;
      case SQLITE_TEXT:
      case SQLITE_BLOB: {
        // Text read as its bytes: the engine need not add a terminator.
        cell.kind = type == SQLITE_TEXT ? Cell::Kind::Text : Cell::Kind::Blob;
        const auto* data = static_cast<const char*>(sqlite3_value_blob(value));
        cell.bytes.assign(data == nullptr ? "" : data, static_cast<std::size_t>(sqlite3_value_bytes(value)));
        break;
      }
      default: cell.kind = Cell::Kind::Null; cell.bytes.clear(); break;
    }
  }
}

ResultSource::Step Query::Next(Row& row, SqlError& error) {
  if (finished_) return Step::End;
  int rc = pending_;
  pending_ = 0;
  if (rc == 0) rc = engine_.Step(statement_, control_, error);
  if (rc == SQLITE_ROW) {
    ReadRow(row);
    return Step::Row;
  }
  finished_ = true;
  if (rc == SQLITE_DONE) return Step::End;
  return Step::Error;
}

}  // namespace mdbodbc::sql
