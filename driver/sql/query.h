// One statement: Access SQL parsed, bound, typed and translated at prepare, then run by the
// engine and read row by row, each value in its column's type.
#pragma once

#include "binder.h"
#include "engine.h"
#include "result.h"

#include <memory>
#include <string_view>

namespace mdbodbc::sql {

class Query : public ResultSource {
 public:
  // Null with `error` set when the text is not a statement the driver runs.
  static std::unique_ptr<Query> Prepare(Engine& engine, std::string_view text, SqlError& error);
  ~Query() override;
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  const std::vector<ResultColumn>& Columns() const override { return columns_; }
  // Runs the statement with the values bound now and reads its first row.
  bool Start(SqlError& error) override;
  Step Next(Row& row, SqlError& error) override;

  // The statement's parameters in ODBC's order, each with the type it is read as; the engine's
  // parameter i+1 is ODBC's parameter i.
  const std::vector<ParameterInfo>& Parameters() const { return parameters_; }
  int ParameterCount() const { return static_cast<int>(parameters_.size()); }
  // The control its steps run under from now on (null: none); it must outlive the query's runs.
  void SetControl(const RunControl* control) { control_ = control; }
  sqlite3_stmt* statement() const { return statement_; }
  // The engine's SQL of the statement.
  const std::string& EngineSql() const { return sql_; }

 private:
  Query(Engine& engine, sqlite3_stmt* statement);
  // Reads the current row; false with `error` set when a value does not fit its column's type.
  bool ReadRow(Row& row, SqlError& error) const;

  Engine& engine_;
  sqlite3_stmt* statement_;
  std::string sql_;
  const RunControl* control_ = nullptr;
  std::vector<ResultColumn> columns_;
  std::vector<Type> types_;
  std::vector<ParameterInfo> parameters_;
  bool streaming_ = false;
  int pending_ = 0;  // the result of the step made by Start, not yet handed out
  bool finished_ = true;  // the end or an error was reached: no step until Start
  SqlError pendingError_;
};

}  // namespace mdbodbc::sql
