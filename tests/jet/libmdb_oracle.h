// A table as mdbtools' libmdb reads it: each value as libmdb's text, NULL as libmdb's own
// row decoding marks it, OLE objects whole. The oracle of the differential test.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace jettest {

struct OracleCell {
  bool null = false;
  std::string text;  // libmdb's text of the value; OLE objects: their bytes
};

struct OracleTable {
  std::vector<std::string> columns;
  std::vector<int> types;  // libmdb's type codes (MDB_TEXT, ...)
  std::vector<std::vector<OracleCell>> rows;
  // Each index as IndexText renders it.
  std::vector<std::string> indexes;
};

// An index as one line: "name: primary key, unique (column, column desc)", naming the kinds
// that apply (primary key, foreign key, unique).
std::string IndexText(const std::string& name, bool primaryKey, bool foreignKey, bool unique,
                      const std::vector<std::pair<std::string, bool>>& keys);

class LibmdbOracle {
 public:
  explicit LibmdbOracle(const std::string& path);
  ~LibmdbOracle();
  LibmdbOracle(const LibmdbOracle&) = delete;
  LibmdbOracle& operator=(const LibmdbOracle&) = delete;

  bool opened() const { return handle_ != nullptr; }
  std::vector<std::string> UserTables() const;
  // False when libmdb cannot read the table.
  bool Read(const std::string& table, OracleTable& out) const;
  // The row pointers (page << 8 | row) in the order libmdb's walk of an index meets them;
  // empty when libmdb cannot read the table or has no such index.
  std::vector<std::uint32_t> IndexOrder(const std::string& table, const std::string& index) const;

 private:
  struct Handle;
  Handle* handle_ = nullptr;
};

}  // namespace jettest
