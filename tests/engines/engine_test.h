// The fixture of every engine test: one test body per behaviour, instantiated per driver.
#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "db/database.h"
#include "tests/engines/engines.h"
#include "tests/support/process_libraries.h"
#include "text/utf.h"

namespace enginetest {

using Rows = std::vector<std::optional<std::string>>;

// The program's statement.
inline constexpr char kStatement[] = "SELECT marque FROM avion ";

class EngineTest : public ::testing::TestWithParam<EngineDriver> {
 protected:
  // Skips, or fails when the engines are required, for a missing package; starts the engine.
  void SetUp() override {
    if (const std::optional<std::string> missing = MissingPackage(Driver())) {
      if (EnginesRequired()) FAIL() << "missing package " << *missing << " (engines required)";
      GTEST_SKIP() << "missing package " << *missing;
    }
    m_server = &Server(Driver().engine);
  }

  EngineServer& Engine() { return *m_server; }
  const EngineDriver& Driver() const { return GetParam(); }

  // The table avion(marque TYPE) with the rows, made anew by the engine's own client.
  void MakeTable(const std::string& type, const Rows& rows) {
    std::string sql = "DROP TABLE IF EXISTS avion;\nCREATE TABLE avion (marque " + type + ");\n";
    for (const std::optional<std::string>& row : rows) {
      sql += "INSERT INTO avion (marque) VALUES (" + SqlLiteral(row) + ");\n";
    }
    Engine().Execute(sql);
  }

  // Opens the connection as the program does: the connect text behind "ODBC;", the cursor
  // library asked for. `stopped`: to a server that is not running.
  void Connect(CDatabase& database, bool stopped = false) {
    const CString connect(
        textconv::Utf8ToUtf16("ODBC;" + Engine().ConnectString(Driver(), stopped)));
    database.Open(nullptr, FALSE, FALSE, connect, TRUE);
  }

 private:
  EngineServer* m_server = nullptr;
};

// True when the driver manager's cursor library is loaded into this process.
inline bool CursorLibraryLoaded() { return testsupport::LibraryMapped("libodbccr"); }

}  // namespace enginetest

// Named "sqlite", "postgresql_ansi" ... after the driver.
#define INSTANTIATE_FOR_EVERY_ENGINE(suite)                                                  \
  INSTANTIATE_TEST_SUITE_P(Engines, suite, ::testing::ValuesIn(::enginetest::AllDrivers()), \
                           [](const auto& info) { return std::string(info.param.name); })
