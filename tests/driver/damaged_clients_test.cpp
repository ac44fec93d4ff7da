// The damaged files users reported, rebuilt from their descriptions, opened by every kind of
// host: the brand listing program, isql and pyodbc. Each host lives, ends within a second (in a
// release build) and shows what is broken.
#include "file_edit.h"
#include "sample_files.h"
#include "test_files.h"
#include "tests/support/child_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

namespace drivertest {
namespace {

using jettest::FileEdit;

std::string BrandFile(const mkmdb::TableSpec& table) { return jettest::DatabaseBytes({table}); }

struct DamagedFile {
  const char* name;
  std::string bytes;
  const char* says;  // what every host must show
};

std::vector<DamagedFile> ReportedFiles() {
  std::vector<DamagedFile> files;
  const mkmdb::TableSpec oneRow{"avion", {{"marque", mkmdb::ColumnType::Text, 50}}, {{"Airbus"}}};
  {
    // The catalog's usage map pointer (4 bytes at offset 8247) names a row its page lacks.
    FileEdit edit(BrandFile(oneRow));
    constexpr std::size_t kMapPointer = 2 * 4096 + 0x37;
    std::uint32_t map = jet::GetU32(edit.Page(2) + 0x37);
    edit.PutU32(kMapPointer, jet::PageRow(map >> 8, 200));
    files.push_back({"catalog usage map names a missing row", edit.bytes(), "the catalog is broken"});
  }
  {
    // The table's definition page and its data page swapped.
    FileEdit edit(BrandFile(oneRow));
    std::uint32_t definition = edit.DefinitionPage("avion");
    std::uint32_t data = edit.RowPointer("avion", 0) >> 8;
    std::swap_ranges(edit.Page(definition), edit.Page(definition) + edit.PageSize(), edit.Page(data));
    files.push_back({"definition and data pages swapped", edit.bytes(), "is not a table definition page"});
  }
  {
    // A chained memo declaring 0x3FFFFFFF bytes whose chain points back to itself.
    FileEdit edit(BrandFile({"avion", {{"marque", mkmdb::ColumnType::Memo}}, {{jettest::MemoText(20000, false)}}}));
    std::size_t size = 0;
    std::uint8_t* field = edit.VariableValue("avion", 0, 0, size);
    std::uint32_t link = jet::GetU32(field + 4);
    jet::PutU32(field, 0x3FFFFFFF);
    std::size_t linkSize = 0;
    jet::PutU32(edit.RowBytes(link, linkSize), link);
    files.push_back({"memo of 0x3FFFFFFF bytes looping on itself", edit.bytes(), "memo declares 1073741823 bytes"});
  }
  return files;
}

struct HostRun {
  bool exited = false;
  std::string output;
  double seconds = 0;
};

// A host still running after a minute is killed.
HostRun RunShell(const std::string& command) {
  auto start = std::chrono::steady_clock::now();
  testsupport::ChildOptions options;
  options.argv = {"/bin/sh", "-c", command};
  options.mergeErrors = true;
  const testsupport::ChildResult result =
      testsupport::RunChild(options, std::chrono::seconds(60));
  HostRun run;
  run.exited = result.exited;
  run.output = result.out;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return run;
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

TEST(DamagedFileClientsTest, EveryHostLivesAndShowsWhatIsBroken) {
  const std::string connect = "DRIVER={MICROSOFT ACCESS DRIVER (*.mdb)};DBQ=../../bd2.mdb";
  const std::string python =
      "import pyodbc,sys\n"
      "try:\n"
      "  c = pyodbc.connect(sys.argv[1]); print(c.cursor().execute(\"SELECT * FROM avion\").fetchall())\n"
      "except pyodbc.Error as e: print(e)\n";
  const std::vector<std::pair<std::string, std::string>> hosts = {
      {"brand-listing", "unset DISPLAY WAYLAND_DISPLAY; " BRAND_LISTING_PROGRAM " </dev/null"},
      {"isql", "echo 'SELECT * FROM avion' | isql -b -v -k " + Quoted(connect)},
      {"pyodbc", "/usr/bin/python3 -c " + Quoted(python) + " " + Quoted(connect)},
  };
  testsupport::ChildOptions pyodbcCheck;
  pyodbcCheck.argv = {"/usr/bin/python3", "-c", "import pyodbc"};
  const bool havePyodbc = testsupport::RunChild(pyodbcCheck, std::chrono::seconds(60)).exitCode == 0;
  for (const DamagedFile& file : ReportedFiles()) {
    TestFolder folder;
    testsupport::WriteFile(folder.database(), file.bytes);
    folder.Enter();
    for (const auto& [host, command] : hosts) {
      if (host == "pyodbc" && !havePyodbc) continue;
      HostRun run = RunShell(command);
      EXPECT_TRUE(run.exited) << file.name << " through " << host;
      EXPECT_LT(run.seconds, HOST_SECONDS_LIMIT) << file.name << " through " << host;
      EXPECT_NE(run.output.find(file.says), std::string::npos) << file.name << " through " << host << ":\n" << run.output;
      if (std::getenv("SHOW_HOST_OUTPUT") != nullptr) std::printf("%s through %s (%.2f s):\n%s\n", file.name, host.c_str(), run.seconds, run.output.c_str());
    }
  }
}

}  // namespace
}  // namespace drivertest
