// The damaged files users reported, rebuilt from their descriptions, opened by every kind of
// host: the brand listing program, isql and pyodbc. Each host lives, ends within a second (in a
// release build) and shows what is broken.
#include "test_files.h"
#include "tests/support/child_process.h"
#include "tests/support/reported_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

namespace drivertest {
namespace {

struct HostRun { bool exited; std::string output; double seconds; };

// A host still running after a minute is killed.
HostRun RunShell(const std::string& command) {
  auto start = std::chrono::steady_clock::now();
  testsupport::ChildOptions options;
  options.argv = {"/bin/sh", "-c", command};
  options.mergeErrors = true;
  const testsupport::ChildResult result =
      testsupport::RunChild(options, std::chrono::seconds(60));
  return {result.exited, result.out,
          std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()};
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
  for (const testsupport::ReportedFile& file : testsupport::ReportedFiles()) {
    TestFolder folder;
    testsupport::WriteFile(folder.database(), file.bytes);
    folder.Enter();
    for (const auto& [host, command] : hosts) {
      if (host == "pyodbc" && !havePyodbc) continue;
      HostRun run = RunShell(command);
      EXPECT_TRUE(run.exited) << file.name << " through " << host;
      EXPECT_LT(run.seconds, HOST_SECONDS_LIMIT) << file.name << " through " << host;
      EXPECT_NE(run.output.find(file.shown), std::string::npos) << file.name << " through " << host << ":\n" << run.output;
      if (std::getenv("SHOW_HOST_OUTPUT") != nullptr) std::printf("%s through %s (%.2f s):\n%s\n", file.name.c_str(), host.c_str(), run.seconds, run.output.c_str());
    }
  }
}

}  // namespace
}  // namespace drivertest
