// One open Access database file: the libmdb handle with its catalog read.
#pragma once

#include "mdb.h"

#include <memory>
#include <string>

namespace mdbodbc {

class Database {
 public:
  // Opens the file; on failure returns null and sets reason to a text that explains why.
  static std::unique_ptr<Database> Open(const std::string& path, std::string& reason);
  ~Database();
  Database(const Database&) = delete;
  Database& operator=(const Database&) = delete;

  MdbHandle* handle() const { return mdb_; }
  // Jet 3 files store text in an 8-bit code page; later ones in UTF-16.
  bool IsJet3() const { return mdb_->f->jet_version == MDB_VER_JET3; }
  // The DBMS version in the ODBC form "##.##.####".
  std::string EngineVersionText() const;

 private:
  explicit Database(MdbHandle* mdb) : mdb_(mdb) {}
  MdbHandle* mdb_;
};

}  // namespace mdbodbc
