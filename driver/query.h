// One SELECT statement run by libmdbsql over an open database, read one row at a time.
#pragma once

#include "column_types.h"
#include "database.h"
#include "field_value.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mdbodbc {

// Where a row of the result is stored, so that it can be read again after the scan moved on.
struct RowLocation {
  uint32_t page = 0;  // file page; for a computed result, the number of its page in memory
  uint32_t row = 0;   // row number on that page
};

struct QueryError {
  std::string state;    // ODBC 3 SQLSTATE
  std::string message;  // without the driver's origin prefix
};

class Query {
 public:
  // Parses and starts the statement. Only SELECT statements run: the driver is read-only.
  static std::unique_ptr<Query> Run(Database& database, const std::string& text,
                                    QueryError& error);
  ~Query();
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  const std::vector<ColumnInfo>& Columns() const { return columns_; }
  std::string TableName() const { return table_->name; }

  // Reads the next row of the result into the current row; false at the end of the result.
  bool Next(RowLocation& where);
  // Makes the row at a location (one that Next reported) the current row again.
  bool ReadAt(const RowLocation& where, std::string& error);
  // The value of a result column (0-based) of the current row.
  std::optional<FieldValue> Value(size_t column, std::string& error) const;

 private:
  Query(Database& database, MdbSQL* sql);
  void RestoreScanPage();
  bool CaptureRow(unsigned row, std::string& error);

  Database& database_;
  MdbHandle* mdb_;  // this query's own handle on the database file
  MdbSQL* sql_;
  MdbTableDef* table_;
  std::vector<ColumnInfo> columns_;
  RawRow current_;
  bool scanPageMoved_ = false;
};

}  // namespace mdbodbc
