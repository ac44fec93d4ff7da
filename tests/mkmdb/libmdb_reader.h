// Reads tables back through libmdb, the reader of mdbtools, telling NULL from empty values by
// the row's null mask as libmdb itself decodes it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace mkmdb_test {

struct ReadColumn {
  std::string name;
  int type = 0;  // libmdb type code (MDB_TEXT, MDB_LONGINT, ...)
  int size = 0;  // bytes, as the definition states
};

struct ReadCell {
  bool is_null = false;
  std::string text;               // the value as libmdb converts it (UTF-8)
  std::vector<std::uint8_t> raw;  // fixed-size, Binary and OLE columns: the stored bytes
};

using ReadRow = std::vector<ReadCell>;

// An index as libmdb reads its definition.
struct ReadIndex {
  std::string name;
  int kind = 0;                   // 1 primary key, 2 foreign key, 0 other
  std::vector<std::string> keys;  // column names
  int flags = 0;
  bool operator==(const ReadIndex&) const = default;
};

struct ReadTable {
  std::vector<ReadColumn> columns;
  unsigned declared_rows = 0;  // the row count of the table definition
  std::vector<ReadRow> rows;
};

// Date/time values come back as "YYYY-MM-DD HH:MM:SS".
class LibmdbReader {
 public:
  // `bind_size`: the largest value (in UTF-8 bytes) that libmdb hands over whole.
  explicit LibmdbReader(const std::string& path, std::size_t bind_size = 64 * 1024);
  ~LibmdbReader();
  LibmdbReader(const LibmdbReader&) = delete;
  LibmdbReader& operator=(const LibmdbReader&) = delete;

  // Empty when the file opened and its catalog was read; otherwise what failed.
  const std::string& error() const { return error_; }
  // User tables, in catalog order.
  std::vector<std::string> UserTables() const;
  // Calls `row` for each row in order; returns false (with error()) if the table is missing.
  bool ForEachRow(const std::string& table, std::vector<ReadColumn>& columns,
                  unsigned& declared_rows, const std::function<void(const ReadRow&)>& row);
  std::optional<ReadTable> Read(const std::string& table);

  // The indexes of a table in definition order; empty (with error()) if it is missing.
  std::vector<ReadIndex> Indexes(const std::string& table);
  // The row pointers (page << 8 | row) of a table's rows in the order a scan meets them, and
  // in the order libmdb's walk of an index meets their entries.
  std::vector<std::uint32_t> RowPointers(const std::string& table);
  std::vector<std::uint32_t> IndexOrder(const std::string& table, const std::string& index);

 private:
  struct Handle;
  struct TableHandle;
  // The table with its columns and indexes read, or null (with error_ set).
  std::unique_ptr<TableHandle> Open(const std::string& table);
  Handle* handle_;
  std::size_t bind_size_;
  std::string error_;
};

}  // namespace mkmdb_test
