// Database files for the driver tests, a working folder two levels below them, and a capture of
// the process's standard output and standard error.
#pragma once

#include <mdb_writer.h>

#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace drivertest {

// A fresh folder: the database goes to <root>/bd2.mdb and the tests run in <root>/a/b, so that
// the program's DBQ=../../bd2.mdb names it.
class TestFolder {
 public:
  TestFolder();
  ~TestFolder();

  const std::string& root() const { return folder_.path(); }
  std::string database() const { return folder_.Path("bd2.mdb"); }
  // Makes <root>/a/b the working directory until destruction.
  void Enter();

 private:
  testsupport::TempFolder folder_{"mdbodbc-test"};
  std::string previous_;
};

// The brand table of the tests, `avion`, with ten rows covering every column type, NULLs,
// empty and non-ASCII text and a long memo, and an empty table `vide`.
std::vector<mkmdb::TableSpec> BrandTables();
// The value of the long memo of row 7 of `avion`.
std::string LongMemo();
inline constexpr char kNonAscii[] = "Überflügel Ælfred 日本語 😀";

// Redirects file descriptors 1 and 2 to a file while alive.
class CapturedOutput {
 public:
  CapturedOutput();
  ~CapturedOutput();
  CapturedOutput(const CapturedOutput&) = delete;
  CapturedOutput& operator=(const CapturedOutput&) = delete;
  // Stops the capture and returns everything written meanwhile.
  std::string Finish();

 private:
  int savedOut_ = -1;
  int savedErr_ = -1;
  testsupport::TempFolder folder_{"mdbodbc-output"};
  bool finished_ = false;
};

}  // namespace drivertest
