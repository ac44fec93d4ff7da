// A database file as mdbtools' libmdb reads it: the oracle the reader and the writer are checked
// against. Values come as libmdb's text, NULL as libmdb's own decoding of the row's null mask
// marks it, fixed-size, Binary and OLE values also as their stored bytes; indexes as libmdb reads
// their definitions and walks them.
//
// libmdb's own limits stay visible: it crashes on damaged files (give it only intact ones), cuts
// Binary text at the first zero byte, gives "?" for characters outside the BMP and no dates
// before 1899-12-30. Date/time values come as "YYYY-MM-DD HH:MM:SS".
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace testsupport {

struct OracleColumn {
  std::string name;
  int type = 0;  // libmdb type code (MDB_TEXT, MDB_LONGINT, ...)
  int size = 0;  // bytes, as the definition states
};

struct OracleCell {
  bool is_null = false;
  std::string text;               // the value as libmdb converts it (UTF-8)
  std::vector<std::uint8_t> raw;  // fixed-size and Binary columns: the stored bytes; OLE: the object
};

using OracleRow = std::vector<OracleCell>;

struct OracleIndex {
  std::string name;
  int kind = 0;                   // 1 primary key, 2 foreign key, 0 other
  std::vector<std::string> keys;  // column names, " desc" after a descending one
  int flags = 0;                  // 0x01 unique, 0x08 required, ...
  bool operator==(const OracleIndex&) const = default;
};

struct OracleTable {
  std::vector<OracleColumn> columns;
  unsigned declared_rows = 0;  // the row count of the table definition
  std::vector<OracleRow> rows;
};

class LibmdbOracle {
 public:
  // `bind_size`: the largest value (in UTF-8 bytes) that libmdb hands over whole.
  explicit LibmdbOracle(const std::string& path, std::size_t bind_size = 64 * 1024);
  ~LibmdbOracle();
  LibmdbOracle(const LibmdbOracle&) = delete;
  LibmdbOracle& operator=(const LibmdbOracle&) = delete;

  // Empty while all went well; otherwise what failed last (opening the file, reading its
  // catalog, finding a table or an index).
  const std::string& error() const { return error_; }
  // User tables, in catalog order.
  std::vector<std::string> UserTables() const;
  // Calls `on_row` for each row in order; false (with error()) when the table cannot be read.
  bool ForEachRow(const std::string& table, std::vector<OracleColumn>& columns,
                  unsigned& declared_rows, const std::function<void(const OracleRow&)>& on_row);
  std::optional<OracleTable> Read(const std::string& table);

  // The indexes of a table in definition order; empty (with error()) if it cannot be read.
  std::vector<OracleIndex> Indexes(const std::string& table);
  // The row pointers (page << 8 | row) of a table's rows in the order a scan meets them, and
  // in the order libmdb's walk of an index meets their entries.
  std::vector<std::uint32_t> RowPointers(const std::string& table);
  std::vector<std::uint32_t> IndexOrder(const std::string& table, const std::string& index);

 private:
  struct Handle;
  struct TableHandle;
  // The table with its columns (and its indexes when asked) read, or null (with error_ set).
  std::unique_ptr<TableHandle> Open(const std::string& table, bool indexes);
  Handle* handle_;
  std::size_t bind_size_;
  bool readable_ = false;  // the file opened and its catalog was read
  std::string error_;
};

}  // namespace testsupport
