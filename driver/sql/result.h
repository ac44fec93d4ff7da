// A result set as the driver hands it out: column descriptions and rows of values, whether the
// rows come from a statement or from the file's catalog.
#pragma once

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <cstdint>
#include <string>
#include <vector>

namespace mdbodbc::sql {

// One value of a row, by the kind of its column's type. Yes/No values are integers 0 and 1.
struct Cell {
  enum class Kind : std::uint8_t {
    Null,
    Integer,   // integer
    Real,      // real (a Single's value widened)
    Text,      // bytes: UTF-8
    Blob,      // bytes
    Currency,  // integer: ten-thousandths
    Decimal,   // bytes: plain decimal text at the column's scale
    DateTime,  // real: days since 1899-12-30, linear (the time counts forward on every day)
    Timestamp,  // integer: 100-ns ticks since 0001-01-01 00:00:00 (Date/Time Extended)
  } kind = Kind::Null;
  std::int64_t integer = 0;
  double real = 0;
  std::string bytes;
};

using Row = std::vector<Cell>;

// How ODBC sees a result column.
struct ResultColumn {
  std::string name;        // UTF-8: the label of the result column
  std::string baseTable;   // the table a column comes from; empty for an expression
  std::string baseColumn;
  SQLSMALLINT sqlType = SQL_WVARCHAR;  // ODBC 3 type code
  SQLULEN size = 255;      // characters, digits or bytes
  SQLSMALLINT decimals = 0;
  SQLSMALLINT nullable = SQL_NULLABLE_UNKNOWN;
  SQLLEN displaySize = 255;
  SQLLEN octetLength = 510;
  bool isUnsigned = false;
  bool autoUnique = false;
  bool fixedPrecScale = false;
  std::string typeName = "VARCHAR";  // the Access name of the type
};

struct SqlError {
  std::string state;    // ODBC 3 SQLSTATE
  std::string message;  // without the driver's origin prefix
};

class ResultSource {
 public:
  // RowError: this row's values cannot be given (`error` says why); the rows after it can.
  enum class Step { Row, End, Error, RowError };
  virtual ~ResultSource() = default;
  virtual const std::vector<ResultColumn>& Columns() const = 0;
  // Starts (again) from the first row.
  virtual bool Start(SqlError& error) = 0;
  virtual Step Next(Row& row, SqlError& error) = 0;
  // What the answer leaves out although it is given (a part of the file that could not be
  // read), as warnings for the caller.
  virtual std::vector<SqlError> Warnings() const { return {}; }
};

// Rows known in advance (the catalog functions).
class FixedResult : public ResultSource {
 public:
  FixedResult(std::vector<ResultColumn> columns, std::vector<Row> rows,
              std::vector<SqlError> warnings = {})
      : columns_(std::move(columns)), rows_(std::move(rows)), warnings_(std::move(warnings)) {}
  const std::vector<ResultColumn>& Columns() const override { return columns_; }
  std::vector<SqlError> Warnings() const override { return warnings_; }
  bool Start(SqlError&) override {
    next_ = 0;
    return true;
  }
  Step Next(Row& row, SqlError&) override {
    if (next_ >= rows_.size()) return Step::End;
    row = rows_[next_++];
    return Step::Row;
  }

 private:
  std::vector<ResultColumn> columns_;
  std::vector<Row> rows_;
  std::vector<SqlError> warnings_;
  std::size_t next_ = 0;
};

}  // namespace mdbodbc::sql
