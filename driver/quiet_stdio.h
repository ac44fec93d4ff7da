// Keeps the standard output and standard error of the host program clean while libmdb and
// libmdbsql run: those libraries print warnings and errors with the C stdio streams (and glib
// logs through them too). While a QuietStdio is alive, the process's stdout and stderr
// streams point at a memory stream, and the captured text can be read back (libmdbsql reports
// the real cause of a failed query only there).
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

namespace mdbodbc {

// Serializes every use of libmdb and of the swapped stdio streams in the process.
std::recursive_mutex& LibraryMutex();

class QuietStdio {
 public:
  QuietStdio();
  ~QuietStdio();
  QuietStdio(const QuietStdio&) = delete;
  QuietStdio& operator=(const QuietStdio&) = delete;

  // The text printed since construction (at most a few kilobytes are kept).
  const std::string& Captured();

 private:
  std::lock_guard<std::recursive_mutex> lock_;
  std::string captured_;
  FILE* sink_ = nullptr;
  FILE* savedOut_ = nullptr;
  FILE* savedErr_ = nullptr;
};

}  // namespace mdbodbc
