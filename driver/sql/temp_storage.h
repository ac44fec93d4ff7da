// Where the engine of one connection keeps what a statement needs beyond its rows: the sorts,
// DISTINCT and GROUP BY tables and recursive queues that SQLite writes to temporary files. They
// stay in memory, are never written to disk, and together never grow past the connection's
// bound: past it a write fails with SQLITE_FULL, which fails the statement alone.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

struct sqlite3_vfs;

namespace mdbodbc::sql {

class TempStorage {
 public:
  // Registers a file system of its own under a name no other connection uses. Null with
  // `error` set when SQLite refuses it.
  static std::unique_ptr<TempStorage> Create(std::size_t limitBytes, std::string& error);
  ~TempStorage();
  TempStorage(const TempStorage&) = delete;
  TempStorage& operator=(const TempStorage&) = delete;

  // The name to open the engine's database with.
  const char* VfsName() const;
  std::size_t LimitBytes() const;
  // The bytes the open temporary files hold now, and the most they held at once.
  std::size_t UsedBytes() const;
  std::size_t PeakBytes() const;

  struct State;

 private:
  explicit TempStorage(std::unique_ptr<State> state);
  std::unique_ptr<State> state_;
};

}  // namespace mdbodbc::sql
