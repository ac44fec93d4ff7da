// One statement prepared by the engine, run and read row by row.
#pragma once

#include "engine.h"
#include "result.h"

#include <memory>
#include <string_view>

namespace mdbodbc::sql {

class Query : public ResultSource {
 public:
  // Rewrites the Access and ODBC forms of the text and prepares it. Null with `error` set
  // when the text is not a statement the driver runs.
  static std::unique_ptr<Query> Prepare(Engine& engine, std::string_view text, SqlError& error);
  ~Query() override;
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  const std::vector<ResultColumn>& Columns() const override { return columns_; }
  // Runs the statement with the values bound now and reads its first row, which also settles
  // the description of columns that are expressions.
  bool Start(SqlError& error) override;
  Step Next(Row& row, SqlError& error) override;

  int ParameterCount() const;
  // The control its steps run under from now on (null: none); it must outlive the query's runs.
  void SetControl(const RunControl* control) { control_ = control; }
  sqlite3_stmt* statement() const { return statement_; }

 private:
  Query(Engine& engine, sqlite3_stmt* statement);
  void DescribeColumns();
  void SettleExpressionTypes();
  void ReadRow(Row& row) const;

  Engine& engine_;
  sqlite3_stmt* statement_;
  const RunControl* control_ = nullptr;
  std::vector<ResultColumn> columns_;
  std::vector<bool> fromTable_;
  int pending_ = 0;  // the result of the step made by Start, not yet handed out
  bool finished_ = true;  // the end or an error was reached: no step until Start
  SqlError pendingError_;
};

}  // namespace mdbodbc::sql
